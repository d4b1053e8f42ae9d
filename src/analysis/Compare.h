#pragma once

// The compare tool's arithmetic: the difference of two frames of one layout, the
// three PSNR values, and the picture the window shows of the difference (grey
// SAD, or the pixels whose SAD lies in a range painted over black or a file).

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "analysis/Psnr.h"
#include "image/ColorFormula.h"
#include "image/FrameImage.h"
#include "image/PixelOps.h"
#include "image/RgbColor.h"
#include "player/FrameSequences.h"

namespace vx {

struct CompareDisplay {
  int selector = 3;     // 0..2: that component; 3: all
  int displayMode = 0;  // 0: SAD as grey scale; 1: pixels with SAD in low..high
  int background = 0;   // range mode: 0 black, 1 file 1, 2 file 2
  int brightness = 0;   // 0..100
  int low = 64, high = 128;
  RgbColor colour{255, 0, 0};
  // The motion check: in grey scale, 0 the difference, 1 the previous frame, 2 the
  // current frame with the blocks not in `mask` tinted; -1 the compare tool's
  // difference alone. In range mode `mask` tints the unselected blocks over the
  // current frame (background 2).
  int imageChoice = -1;
  BlockMask mask;
};

class FrameDifference {
 public:
  // Work images for frames of `width` x `height` (kept when the size is the same).
  bool Allocate(int32_t width, int32_t height);
  // Whether work images of some size are there (a size refused leaves none).
  bool HasWorkImages() const { return width_ > 0; }
  // The difference of two frames of one layout for `selector`, with their PSNR
  // values and display copies (packed 4:4:4 YUV under `tables`). False when the
  // frames cannot be compared.
  bool Build(const ColourTables& tables, const FrameImage& one, const FrameImage& two, int selector);
  // The picture of the difference as packed 4:4:4 YUV into `display` (Data and
  // Capacity given). Grey-scale brightness of YUV sources is applied when drawn
  // (BrightnessOnDraw).
  bool Paint(const ColourTables& tables, const CompareDisplay& options, FrameImage& display);
  // The brightness the drawing applies: grey scale of a YUV source only.
  static int BrightnessOnDraw(const ImageFormat& source, const CompareDisplay& options);

  // In the file's storage order, the order PsnrBoxText names them.
  const std::array<double, 3>& Psnr() const { return psnr_; }
  // The difference in the source's layout (one component) or packed 4:4:4 (all).
  const FrameImage& Difference() const { return difference_; }
  // The difference as packed 4:4:4 YUV (Y the SAD), what the histograms read.
  const FrameImage& DifferencePicture() const { return differencePicture_; }
  const FrameImage& FirstPicture() const { return first_; }
  const FrameImage& SecondPicture() const { return second_; }

 private:
  bool Picture(const ColourTables& tables, const FrameImage& frame, FrameImage& picture);
  bool PackedRgb(const FrameImage& frame, FrameImage& packed);
  FrameBuffer differenceBuffer_, pictureBuffer_, firstBuffer_, secondBuffer_, scratchA_, scratchB_;
  FrameImage difference_, differencePicture_, first_, second_;
  ImageFormat source_;
  int selector_ = 3;
  std::array<double, 3> psnr_{100, 100, 100};
  int32_t width_ = 0, height_ = 0;
};

// The compare tool's frames: frame n of both files, the difference built and
// painted by the worker into the pictures the window draws, with the PSNR text.
class CompareSequence final : public LockstepPairSequence {
 public:
  CompareSequence();
  // The layout of both files, and the work images for it; the refusal naming the
  // size when they cannot be made (CMPR1007 the first time, CMPR1008 for a new size).
  std::optional<std::string> Prepare(const ImageFormat& format);
  // What the next pictures show (the window's choice; read once per picture).
  void SetDisplay(const CompareDisplay& display);
  CompareDisplay Display() const;
  // Reads frame 1 of both files with no worker running; false when they cannot be read.
  bool LoadFirstPair();
  const PictureExchange& Pictures() const { return pictures_; }
  // The PSNR text of the picture last published.
  std::string PsnrText() const;
  // Its values in the report's columns, with the pair's frame number (none before a picture).
  std::optional<FrameMeasures> ShownMeasures() const;

 private:
  void RenderPair(const FrameImage& first, const FrameImage& second) override;
  mutable std::mutex mutex_;
  CompareDisplay display_;
  std::string psnrText_;
  std::optional<FrameMeasures> measures_;
  FrameDifference difference_;
  PictureExchange pictures_;
};

// The PSNR box text: values in storage order, named by the layout's order.
std::string PsnrBoxText(const ImageFormat& format, const std::array<double, 3>& values);

// The set-up's refusal of work images for `format` (%d, %d: its size): `first`
// when there were none before, `resized` when they had another size.
struct WorkImageRefusals {
  const char* first;
  const char* resized;
};
std::string WorkImageRefusal(const WorkImageRefusals& refusals, bool hadWorkImages,
                             const ImageFormat& format);

}  // namespace vx
