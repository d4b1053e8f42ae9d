#pragma once

#include <array>
#include <optional>
#include <string>

#include "image/PixelOps.h"
#include "image/RgbColor.h"
#include "image/SampleStorage.h"
#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kPaddingMessages;
// The preview shows the padded pictures; deeper samples are padded at full depth.
inline constexpr ToolTraits kPaddingTraits{
    .missingInputKeepsRunning = false, .previewOf = PreviewOf::Target, .keepsDeepSamples = true};

enum class PaddingSize : int32_t { ToMultiples = 0, Explicit = 1 };
enum class PaddingFill : int32_t { RepeatEdges = 0, Colour = 1 };

// What the padding boxes hold.
struct PaddingParameters {
  int32_t MultipleWidth = 8;
  int32_t MultipleHeight = 8;
  int32_t PadTop = 0;
  int32_t PadLeft = 0;
  int32_t PaddedWidth = 0;
  int32_t PaddedHeight = 0;
  PaddingSize SizeMode = PaddingSize::ToMultiples;
  PaddingFill FillMode = PaddingFill::RepeatEdges;
  RgbColor FillColour;
};

// The padded size the window's label shows while the boxes are typed: in the
// multiples mode with both multiples set, the source size rounded up to them; in
// the explicit mode the two sizes; otherwise the source's.
void LabelledPaddedSize(const PaddingParameters& p, int32_t width, int32_t height, int32_t& paddedWidth,
                        int32_t& paddedHeight);

// The padded size of a run, or the refusal (the size rules, then the layout's
// rules for the padded size and the offsets).
struct PaddedSize {
  int32_t width = 0, height = 0;
};
std::optional<std::string> CheckPaddedSize(const PaddingParameters& p, const ImageFormat& source,
                                           PaddedSize& size);

// Every frame of a range placed at (PadTop, PadLeft) in a larger picture of the
// same layout, the border repeating the picture's edge pixels or filled with one
// colour.
class PaddingJob : public ToolJob {
 public:
  PaddingJob() : ToolJob(kPaddingMessages, kPaddingTraits) {}

  PaddingParameters Padding;

  // From the command line: the source with the current format, the explicit size
  // and the offsets; the fill colour selects the fill mode. False after a message
  // when the source cannot be opened.
  bool PreparePadding(const std::string& source, const std::string& target, const ImageFormat& current,
                      const PaddingParameters& padding);

 protected:
  void FreezeParameters() override { runPadding_ = Padding; }
  bool ChecksBeforeRange() override;
  bool CheckSize() override;
  FrameResult ProcessFrame() override;
  std::optional<std::string> FinishText() const override;
  // Deeper samples are padded as they are stored, but for interlaced 4:2:0 frames
  // whose height the fields do not share in whole chroma rows.
  bool DeepLayoutKept(const ImageFormat& stored) const override;

 private:
  // A frame of deeper samples padded at full depth (PadStored).
  FrameResult PadStoredFrame();
  // Writes `count` pixels of row `row` from `column` with one pixel value.
  bool FillRun(FrameImage& picture, int32_t row, int32_t column, int32_t count, std::array<uint8_t, 3> value);
  // Copies padded row `from` into rows first..last.
  bool RepeatRow(FrameImage& picture, int32_t from, int32_t first, int32_t last);
  bool FillRows(FrameImage& picture, int32_t first, int32_t last);
  bool PadRow(FrameImage& input, FrameImage& padded, int32_t sourceRow);

  PaddingParameters runPadding_;
  std::array<uint8_t, 3> fill_{};
  StoredBorder deepBorder_;  // the border of deeper samples: the fill colour at their depth
  SegmentBuffer row_, unit_;
};

}  // namespace vx
