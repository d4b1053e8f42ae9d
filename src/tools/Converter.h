#pragma once

// The format converter: a range of frames of a raw file rewritten in another
// layout or size, or turned into numbered BMP pictures, or a list of BMP pictures
// turned into a raw file.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "image/SamplePicture.h"
#include "tools/ToolJob.h"

namespace vx {

extern const ToolMessages kConverterMessages;
// Also the AVI decoder's, a converter with another source.
inline constexpr ToolTraits kConverterTraits{.keepsDeepSamples = true};

// The converter's own refusals, which a tool built on its frame step words its way.
struct ConverterTexts {
  const char* oddWidth422;          // %d
  const char* oddWidth420;          // %d
  const char* oddHeight420;         // %d
  const char* oddHeightInterlaced;  // %d
  const char* bmpInit;
  const char* bmpWrite;
};
extern const ConverterTexts kConverterTexts;

inline constexpr int64_t kMaxBmpFiles = 10240;

// "%s_%04d.bmp" names for frames 1..count: the target name up to the last dot
// of its file name (the whole name when it has none) and the frame number - 1.
std::vector<std::string> BmpSequenceNames(const std::string& target, int64_t count);

// A file-name pattern with one integer conversion ("tulips%02d.bmp") formatted
// with a number. Any other conversion is taken literally, so a pattern can never
// read beyond its argument.
std::string FormatNamePattern(const std::string& pattern, int64_t number);

// The pictures a command-line pattern names, from number 0 on. nullopt after a
// message when nothing can start.
struct BmpSequence {
  std::vector<std::string> names;
  int32_t width = 0, height = 0, bitCount = 0;
};
std::optional<BmpSequence> ScanBmpPattern(const std::string& pattern);

// The message for a picture that differs from the first one of a list.
std::string DifferentBmpFormatMessage(const std::string& name, int32_t w, int32_t h, int32_t bits,
                                      int32_t refW, int32_t refH, int32_t refBits);

// A conversion of a whole file without the window: the source in `sourceFormat`
// (a pattern of BMP pictures when that is BMP) into `targetFormat`, whose width
// and height may be -1 for the source's.
struct ConvertParameters {
  std::string source;
  std::string target;
  ImageFormat sourceFormat;
  ImageFormat targetFormat;
};

// A destination layout as asked for (resolution 15); a size left out (-1) stays
// as it is for the caller to complete; a depth left out (-1) is 8 bits.
FrameImage RequestedTarget(const ImageFormat& asked);

class ConverterJob : public ToolJob {
 public:
  ConverterJob();
  ConverterJob(const ToolMessages& messages, const ConverterTexts& texts);

  // Name k - 1 holds the picture of frame k.
  std::vector<std::string> SourceBmpNames;
  std::vector<std::string> TargetBmpNames;

  // The part without windows: the source and target layouts, the frame count,
  // and the BMP name lists. False (after a message) when the job cannot start.
  bool PrepareConversion(const ConvertParameters& parameters);

  // The target layout equals the source's: frames are copied as they are.
  bool SameLayout() const;

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  void FreezeParameters() override;
  std::vector<std::string> OutputNames() const override;
  bool ToolChecks() override;
  bool CreateTarget() override;
  FrameResult ProcessFrame() override;
  int64_t OutputBytesPerFrame() const override;

 private:
  // YUV to YUV without scaling: one streamed pass instead of the canonical frame.
  bool DirectYuvConversion() const;
  bool PlanarYuvScaling() const;
  // Deeper samples into deeper samples of the same sampling, size and field
  // format: rewritten straight from the stored frame.
  bool DeepToDeep() const;
  FrameResult ConvertStoredSamples();
  // Deeper samples out of a YUV or mono source with another sampling, size or
  // field format: made on 4:4:4 pictures of samples at the greater depth.
  bool DeepThroughPictures() const;
  FrameResult ConvertThroughPictures();
  // The source frame as a picture of samples at `depth`; its result as ConvertStoredSamples'.
  int64_t ReadPicture(int depth, SamplePicture& picture);
  void ReleaseToolBuffers() override;
  // Bottom-up BGR rows padded to 4 bytes of an intermediate picture.
  void BitmapRows(const FrameImage& a, bool yuv, uint8_t* rows) const;
  bool WriteBmp(const FrameImage& a, bool yuv, FrameImage& b);
  bool WriteOutput(const FrameImage& b);
  // CONV1048 for a layout the frames cannot be converted from or to.
  FrameResult LayoutFailure(const FrameImage& layout) const;
  const ConverterTexts& texts_;
  std::array<SamplePicture, 2> pictures_;

 protected:
  // Entry k - 1 names the picture of frame k.
  std::vector<std::string> runTargetBmpNames_;
};

}  // namespace vx
