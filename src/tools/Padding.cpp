#include "tools/Padding.h"

#include <algorithm>

#include "image/ColorFormula.h"
#include "platform/StringFormat.h"

namespace vx {

const ToolMessages kPaddingMessages = {
    .endBeforeStart = "Error CRP1021:  End frame number cannot be smaller than start frame number!\n",
    .startBeyondCount =
        "Error CRP1022:  The start frame number you specified is bigger than the number of frames in the "
        "image "
        "file "
        "to pad!\n",
    .endBeyondCount =
        "Error CRP1023:  The end frame number you specified is bigger than the number of frames in the image "
        "to "
        "pad!\n",
    .notPositive = "Error CRP1024:  Start or end frame number cannot be less than or equal to zero!\n",
    .sourceImageSize = "Error PADD1025: Image size (%d, %d) not support !\n",
    .targetImageSize = "Error PADD1026: Image size (%d, %d) not support !\n",
    .sourceNotFound = "Error PADD1027: Input file %s not found\n",
    .requestNotFound = "Error PADD1027: Input file %s not found\n",
    .bitstream = "Error PADD1028: Bitstream reading error!\n",
    .targetNotWritten = "Error PADD1029: File %s cannot be written !\n",
    .finished = "",  // the finish message names the new size
};

namespace {

int32_t RoundUpTo(int32_t value, int32_t step) {
  return static_cast<int32_t>((int64_t{value} + step - 1) / step * step);
}

bool Subsampled(int32_t sampling) {
  return sampling == YUV_422 || sampling == YUV_420;
}

}  // namespace

void LabelledPaddedSize(const PaddingParameters& p, int32_t width, int32_t height, int32_t& paddedWidth,
                        int32_t& paddedHeight) {
  paddedWidth = width;
  paddedHeight = height;
  if (p.SizeMode == PaddingSize::Explicit) {
    paddedWidth = p.PaddedWidth;
    paddedHeight = p.PaddedHeight;
  } else if (p.MultipleWidth > 0 && p.MultipleHeight > 0) {
    paddedWidth = RoundUpTo(width, p.MultipleWidth);
    paddedHeight = RoundUpTo(height, p.MultipleHeight);
  }
}

std::optional<std::string> CheckPaddedSize(const PaddingParameters& p, const ImageFormat& source,
                                           PaddedSize& size) {
  const int32_t w = source.ImgWidth, h = source.ImgHeight;
  if (p.SizeMode == PaddingSize::Explicit) {
    if (p.PaddedWidth == w && p.PaddedHeight == h) {
      return "Error PADD1006: Padded Image size is the same as orignal image size, no need for padding!\n";
    }
    if (p.PaddedWidth < w || p.PaddedHeight < h) {
      return "Error PADD1007: Padded Image size should be bigger than orignal image size.\n"
             "                            To create a small image, you can either use crop function to "
             "extract "
             "one area from the orginal image,\n"
             "                            or use convert function to down scale the image. \n";
    }
    size = {p.PaddedWidth, p.PaddedHeight};
  } else {
    if (p.MultipleWidth <= 1)
      return "Error PADD1003: Invalid value, padding image width to multiple at least of 2!\n";
    if (p.MultipleHeight <= 1) {
      return "Error PADD1004: Invalid value, padding image height to multiple at least of 2!\n";
    }
    if (w % p.MultipleWidth == 0 && h % p.MultipleHeight == 0) {
      return StrFormat(
          "Error PADD1005: Image (%d) width is already multiples of %d, and image height (%d) is already "
          "multiples of %d. No need for padding!\n",
          w, p.MultipleWidth, h, p.MultipleHeight);
    }
    size = {RoundUpTo(w, p.MultipleWidth), RoundUpTo(h, p.MultipleHeight)};
  }
  const int32_t pw = size.width, ph = size.height;
  if (Subsampled(source.SamplingFormat)) {
    if (pw % 2 != 0) {
      return StrFormat(
          "Error PADD1008: Invalid resolution (%d x %d). Cannot extend 422 or 420 image to odd width!\n", pw,
          ph);
    }
    if (p.PadLeft % 2 != 0) {
      return "Error PADD1009: Invalid start column on the left. Cannot start on odd column for  422 or 420 "
             "image!\n";
    }
  }
  if (source.SamplingFormat == YUV_420 && source.FieldFormat != Interlaced) {
    if (ph % 2 != 0) {
      return StrFormat(
          "Error PADD1012: Invalid resolution (%d x %d). Cannot extend 420 image to odd height!\n", pw, ph);
    }
    if (p.PadTop % 2 != 0)
      return "Error PADD1013: Invalid start row on the top. Cannot start on odd row for 420 image!\n";
  }
  if (source.SamplingFormat == YUV_420 && source.FieldFormat == Interlaced) {
    if (ph % 4 != 0) {
      return StrFormat(
          "Error PADD1010: Invalid resolution (%d x %d). For interlaced 420 format, the height can only be "
          "extended to multiples of 4 !\n",
          pw, ph);
    }
    if (p.PadTop % 4 != 0) {
      return "Error PADD1011: Invalid start row on the top. For interlaced 420 format, the top row can only "
             "be "
             "started fro multiples of 4 !\n";
    }
  }
  // Every interlaced picture is two fields of equal height.
  if (source.FieldFormat == Interlaced && ph % 2 != 0) {
    return StrFormat(
        "Error PADD1014: Invalid resolution (%d x %d). Cannot extend interlaced image to odd height!\n", pw,
        ph);
  }
  // The picture must lie inside the padded picture: refused here rather than
  // failing on the first row of the first frame.
  if (p.PadTop < 0 || p.PadLeft < 0 || int64_t{p.PadLeft} + w > pw || int64_t{p.PadTop} + h > ph) {
    return StrFormat(
        "Error VLTX1020: The original image (%d x %d) placed at row %d, column %d does not fit into the "
        "padded "
        "image (%d x %d)!\n",
        w, h, p.PadTop, p.PadLeft, pw, ph);
  }
  return std::nullopt;
}

bool PaddingJob::PreparePadding(const std::string& source, const std::string& target,
                                const ImageFormat& current, const PaddingParameters& padding) {
  Padding = padding;
  if (!PrepareFromRequest(source, target, current)) return false;
  TargetFormat = SourceFormat;
  return true;
}

bool PaddingJob::ChecksBeforeRange() {
  const FrameImage& source = In();
  PaddedSize size;
  if (const auto refusal = CheckPaddedSize(runPadding_, source, size)) {
    Report(*refusal);
    return false;
  }
  FrameImage& target = run_.outputs[0].format;
  target = FrameImage{};
  CopyFrameHeader(source, target);
  target.ImgWidth = size.width;
  target.ImgHeight = size.height;
  DeriveResolution(target);
  ComputeFrameSize(target);
  // MONO files take the colour's luma.
  ImageFormat fillLayout = source;
  if (source.SamplingFormat == MONO) fillLayout.ComponentOrder = YUV;
  fill_ = FillBytes(Colours(), fillLayout, runPadding_.FillColour);
  // Deeper samples take the colour's 8-bit values scaled to their depth, v << (b - 8).
  fillLayout.ComponentOrder = YUV;
  const std::array<uint8_t, 3> yuv = FillBytes(Colours(), fillLayout, runPadding_.FillColour);
  const int shift = std::max(source.BitsPerSample - 8, 0);
  deepBorder_.repeatEdges = runPadding_.FillMode == PaddingFill::RepeatEdges;
  for (size_t c = 0; c < 3; ++c) deepBorder_.fill[c] = static_cast<uint16_t>(yuv[c] << shift);
  row_ = SegmentBuffer(size.width);
  unit_ = SegmentBuffer(2);
  return true;
}

bool PaddingJob::CheckSize() {
  if (!WorkBufferSizeSupported(In().ImgWidth, In().ImgHeight)) {
    Report(StrFormat(messages_.sourceImageSize, In().ImgWidth, In().ImgHeight));
    return false;
  }
  if (!WorkBufferSizeSupported(Out().ImgWidth, Out().ImgHeight)) {
    Report(StrFormat(messages_.targetImageSize, Out().ImgWidth, Out().ImgHeight));
    return false;
  }
  return true;
}

bool PaddingJob::FillRun(FrameImage& picture, int32_t row, int32_t column, int32_t count,
                         std::array<uint8_t, 3> value) {
  // One unit (a pixel, or the pixel pair that shares chroma) is written pixel by
  // pixel; the rest of the run repeats its stored bytes.
  const int32_t sampling = picture.SamplingFormat;
  const bool pairs = Subsampled(sampling);
  const int32_t unit = pairs ? 2 : 1;
  if ((pairs && (column % 2 != 0 || count % 2 != 0)) || count < unit) {
    for (int32_t k = 0; k < count; ++k) {
      if (!AccessPixel(picture, row, column + k, value, Access::Write, 0)) return false;
    }
    return true;
  }
  for (int32_t k = 0; k < unit; ++k) {
    if (!AccessPixel(picture, row, column + k, value, Access::Write, 0)) return false;
  }
  if (count == unit) return true;
  if (!AccessSegment(picture, unit_, row, column, unit, Access::Read, 0)) return false;
  const auto repeat = [](const std::vector<uint8_t>& from, size_t period, std::vector<uint8_t>& to,
                         size_t n) {
    for (size_t i = 0; i < n; ++i) to[i] = from[i % period];
  };
  const auto n = static_cast<size_t>(count);
  if (sampling == MONO) {
    repeat(unit_.first, 1, row_.first, n);
  } else if (picture.PixelFormat == Packed) {
    const size_t bytesPerPixel = sampling == YUV_422 ? 2 : 3;
    repeat(unit_.first, bytesPerPixel * unit, row_.first, bytesPerPixel * n);
  } else {
    repeat(unit_.first, 1, row_.first, n);
    const size_t chroma = pairs ? n / 2 : n;
    repeat(unit_.second, 1, row_.second, chroma);
    repeat(unit_.third, 1, row_.third, chroma);
  }
  return AccessSegment(picture, row_, row, column, count, Access::Write, 0);
}

bool PaddingJob::RepeatRow(FrameImage& picture, int32_t from, int32_t first, int32_t last) {
  const int32_t width = picture.ImgWidth;
  if (first > last) return true;
  if (!AccessSegment(picture, row_, from, 0, width, Access::Read, 0)) return false;
  for (int32_t r = first; r <= last; ++r) {
    if (!AccessSegment(picture, row_, r, 0, width, Access::Write, 0)) return false;
  }
  return true;
}

bool PaddingJob::FillRows(FrameImage& picture, int32_t first, int32_t last) {
  if (first > last) return true;
  return FillRun(picture, first, 0, picture.ImgWidth, fill_) && RepeatRow(picture, first, first + 1, last);
}

bool PaddingJob::PadRow(FrameImage& input, FrameImage& padded, int32_t sourceRow) {
  const PaddingParameters& p = runPadding_;
  const int32_t w = input.ImgWidth, row = sourceRow + p.PadTop;
  const int32_t right = padded.ImgWidth - p.PadLeft - w;
  const bool repeat = p.FillMode == PaddingFill::RepeatEdges;
  if (!AccessSegment(input, row_, sourceRow, 0, w, Access::Read, 0) ||
      !AccessSegment(padded, row_, row, p.PadLeft, w, Access::Write, 0)) {
    return false;
  }
  // Edges repeat the source's outer pixels: at an odd width the last one has no
  // chroma column of its own and takes the one beside it.
  std::array<uint8_t, 3> value = fill_;
  if (p.PadLeft > 0) {
    if (repeat && !AccessPixel(input, sourceRow, 0, value, Access::Read, 0)) return false;
    if (!FillRun(padded, row, 0, p.PadLeft, value)) return false;
  }
  if (right > 0) {
    value = fill_;
    if (repeat && !AccessPixel(input, sourceRow, w - 1, value, Access::Read, 0)) return false;
    if (!FillRun(padded, row, p.PadLeft + w, right, value)) return false;
  }
  return true;
}

bool PaddingJob::DeepLayoutKept(const ImageFormat& stored) const {
  return stored.FieldFormat != Interlaced || stored.SamplingFormat != YUV_420 || stored.ImgHeight % 4 == 0;
}

ToolJob::FrameResult PaddingJob::PadStoredFrame() {
  FrameImage stored;
  const int64_t read = sources_[0].ReadStoredFrame(CurrentFrame, stored);
  if (read == 0) return FrameResult::EndOfInput;
  FrameImage padded = DeepFrame(run_.outputs[0].stored);
  if (read < 0 || !PadStored(stored, padded, runPadding_.PadTop, runPadding_.PadLeft, deepBorder_))
    return FrameResult::Failed;
  FrameShown = true;
  if (!WriteTarget(padded)) return FrameResult::Failed;
  if (PreviewWanted()) {
    FrameImage working = input_.Frame(Out());
    if (ConvertSamples(padded, working)) RefreshPreview(working);
  }
  return FrameResult::Written;
}

ToolJob::FrameResult PaddingJob::ProcessFrame() {
  if (DeepSamplesKept()) return PadStoredFrame();
  FrameImage input = input_.Frame(In());
  if (sources_[0].Read(CurrentFrame, input, FrameInput::FrameBytes::InPlace) == 0)
    return FrameResult::EndOfInput;
  FrameImage padded = Output().Frame(Out());
  const PaddingParameters& p = runPadding_;
  const int32_t h = input.ImgHeight, top = p.PadTop, bottom = top + h;
  for (int32_t i = 0; i < h; ++i) {
    if (!PadRow(input, padded, i)) return FrameResult::Failed;
  }
  const bool repeat = p.FillMode == PaddingFill::RepeatEdges;
  const bool borders =
      repeat
          ? RepeatRow(padded, top, 0, top - 1) && RepeatRow(padded, bottom - 1, bottom, padded.ImgHeight - 1)
          : FillRows(padded, 0, top - 1) && FillRows(padded, bottom, padded.ImgHeight - 1);
  if (!borders) return FrameResult::Failed;
  FrameShown = true;
  if (!WriteTarget(padded)) return FrameResult::Failed;
  if (PreviewWanted()) RefreshPreview(padded);
  return FrameResult::Written;
}

std::optional<std::string> PaddingJob::FinishText() const {
  return StrFormat("Padding finished! The resolution of the new file is %d(W) x %d(H)!", Out().ImgWidth,
                   Out().ImgHeight);
}

}  // namespace vx
