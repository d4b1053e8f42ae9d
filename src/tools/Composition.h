#pragma once

#include <array>
#include <string>
#include <vector>

#include "image/PixelOps.h"
#include "image/RgbColor.h"
#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kCompositionMessages;
// The range checks start with the frame numbers' sign.
inline constexpr ToolTraits kCompositionTraits{
    .rangeChecks = {RangeCheck::NotPositive, RangeCheck::EndBeforeStart, RangeCheck::StartBeyondCount,
                    RangeCheck::EndBeyondCount}};

// What the composition boxes hold.
struct CompositionParameters {
  int32_t TopLine = 10;
  int32_t LeftColumn = 20;
  int32_t Transparency = 0;  // share of the base kept where the top is drawn, 0..100
  bool RepeatLastTop = false;
  bool ColorKeyEnabled = false;
  RgbColor ColorKey;
  int32_t ColorKeyRange = 0;
};

// The top picture's drawn area: its height rounded down to an even number (a
// multiple of 4 over an interlaced 4:2:0 base), its width to an even number over
// 4:2:2 and 4:2:0 bases.
struct DrawnArea {
  int32_t width = 0, height = 0;
};
DrawnArea DrawnAreaOf(const ImageFormat& base, int32_t topWidth, int32_t topHeight);

// Whether a raw top can lie over the base: the same sampling, order, field format
// and packing (the size may differ).
bool Composable(const ImageFormat& base, const ImageFormat& top);

// Lays the frames of a top picture (a raw file in the base's layout, or a list of
// 24-bit pictures) over the frames of a base file, blended and colour-keyed.
class CompositionJob : public ToolJob {
 public:
  CompositionJob();

  std::string SecondSourceName;  // the top file (or its first picture)
  FrameImage TopFormat;          // header only; sampling BMP for a picture list
  std::vector<std::string> TopBmpNames;
  int64_t TopFrameCount = 0;
  CompositionParameters Composition;

  // The information texts of the two frame counts (none when they are equal).
  static std::optional<std::string> CountNotice(int64_t baseFrames, int64_t topFrames);

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  void FreezeParameters() override;
  bool ToolChecks() override;
  bool ChecksAfterRange() override;
  bool CheckSize() override;
  bool OpenSource() override;
  FrameResult ProcessFrame() override;

 private:
  enum class TopFetch : uint8_t { Fetched, EndOfInput, Failed };
  bool TopIsPictures() const { return In(1).SamplingFormat == BMP; }
  // The next top frame into `top_`, in the base's layout.
  TopFetch FetchTop();
  // The picture's bottom N rows' first M pixels, turned into the base's layout.
  bool PictureToBaseLayout(const FrameImage& picture);
  // Lays the top over `output`, a copy of `base`, blending each drawn pixel with
  // the base's.
  bool Draw(FrameImage& base, FrameImage& output);

  CompositionParameters runComposition_;
  int64_t baseFrames_ = 0, topCount_ = 0;  // the two files' frame counts at Start
  FrameImage topLayout_;                   // the base's layout at the top's size (drawn size for pictures)
  DrawnArea drawn_;
  std::array<uint8_t, 3> key_{};
  int64_t topFrames_ = 0;
  bool haveTop_ = false;
  FrameBuffer top_, picture_, work_;
};

}  // namespace vx
