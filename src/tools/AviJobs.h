#pragma once

// The AVI bridge's two jobs: an AVI file's frames decoded into a raw file or BMP
// pictures (the converter's frame step with an AVI source), and a raw file or BMP
// pictures encoded into an AVI file.

#include <optional>
#include <string>

#include "avi/AviFile.h"
#include "tools/Converter.h"

namespace vx {

extern const ToolMessages kAviToYuvMessages;
extern const ToolMessages kYuvToAviMessages;
inline constexpr ToolTraits kYuvToAviTraits{.makesEightBitOutputs = true};

// The opening refusal for `failure` (AVIT1001-1004, AVIT1029-1030), naming `path`.
std::string AviOpenMessage(avi::OpenFailure failure, const std::string& path);

// The information box shown when an AVI is opened by Browse: the readable codecs,
// then the stream's code ("unknown" when not printable), size and frame count.
std::string AviInformationText(const std::vector<avi::CodecInfo>& codecs, uint32_t handler, int32_t width,
                               int32_t height, int64_t frames);
// The codec list's entry for `codec`: "code description".
std::string CodecListEntry(const avi::CodecInfo& codec);
// What choosing the codec `code` in the list writes to the standard output.
std::string CodecDiagnostics(const std::string& code);

// An AVI decoded without the window: its frames into `target` in `targetFormat`
// (a size of -1 or 0: the AVI's).
struct AviDecodeParameters {
  std::string source;
  std::string target;
  ImageFormat targetFormat;
};

// Frames encoded into an AVI without the window: the whole source, in
// `sourceFormat` (a pattern of BMP pictures when that is BMP), with `codec`.
struct AviEncodeParameters {
  std::string source;
  std::string target;
  ImageFormat sourceFormat;
  std::string codec = "iyuv";
};

class AviToYuvJob : public ConverterJob {
 public:
  AviToYuvJob();

  // The stream's handler code, as the information box shows it.
  uint32_t Handler = 0;

  // Opens the AVI: its picture size and length become the source and the range
  // 1..length. False after its message.
  bool ChooseAvi(const std::string& path);
  // The part without windows: the AVI, the target layout, the BMP names
  // (TAVI1006 beyond 10240 pictures). False after a message.
  bool PrepareDecoding(const AviDecodeParameters& parameters);
  // The BMP pictures of the range, counted from _0000 for the first one written;
  // `first` and `last` are the numbers the notice names.
  void NameBmpTargets(int64_t& first, int64_t& last);

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  void FreezeParameters() override;
  bool ToolChecks() override;
};

class YuvToAviJob : public ToolJob {
 public:
  YuvToAviJob();

  // A BMP list instead of a raw source: frame k is picture k - 1.
  std::vector<std::string> SourceBmpNames;
  // The codec's four-character code, written as the stream handler as typed.
  std::string Codec = "iyuv";
  // The screen of the window that runs the job (none without windows): it sizes
  // the writer's heap.
  avi::ScreenSize Screen;

  // The target picture: 24 bits, the source's size.
  void SetTargetFromSource();
  // The part without windows: the source, the whole file as the range, the
  // codec. False after a message.
  bool PrepareEncoding(const AviEncodeParameters& parameters);

 protected:
  void DescribeFiles(ToolRunSpec& spec) const override;
  void FreezeParameters() override;
  bool ToolChecks() override;
  bool CreateTarget() override;
  FrameResult ProcessFrame() override;
  bool FinishOutputs() override;

 private:
  // Bottom-up B G R rows padded to 4 bytes of frame `a`, in `rows`; false for a
  // layout that cannot be shown.
  bool PictureRows(FrameImage& a, uint8_t* rows);
  std::string runCodec_;
  avi::ScreenSize runScreen_;
  std::vector<uint8_t> rows_;
  std::optional<avi::AviWriter> writer_;
};

}  // namespace vx
