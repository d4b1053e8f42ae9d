#pragma once

// What the format settings dialog shows about a file: the structure of the
// chosen layout, the first frame read with it, and the frame's raw bytes.

#include <optional>
#include <string>
#include <vector>

#include "display/DisplayPicture.h"
#include "display/GridOverlay.h"
#include "image/ColorFormula.h"
#include "image/FormatRules.h"
#include "image/FrameImage.h"

namespace vx {

// One rectangle of the structure diagram, in picture units: a component plane or
// a packed frame of width x height pixels (fields at half height).
struct DiagramBox {
  double x = 0, y = 0, width = 0, height = 0;
  std::string label;
  RgbColor fill, frame;
};
std::vector<DiagramBox> StructureDiagram(const ImageFormat& format);

// Display rows (B G R, bottom row first, rows padded to 4 bytes) of a picture.
struct DisplayPicture {
  std::vector<uint8_t> rows;
  int32_t width = 0, height = 0;
};

// The largest size of width x height that fits in maxWidth x maxHeight with the
// same proportions (never below 1 x 1).
void FitInto(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight, int32_t& fitWidth,
             int32_t& fitHeight);

class FormatPreview {
 public:
  // Reads the first frame of the file with the layout and counts its frames.
  // Shows FRMT1013 (size refused) or FRMT1014 (file cannot be opened); on failure
  // what was loaded before is kept.
  bool Load(const std::string& path, const ImageFormat& format);
  bool Loaded() const { return loaded_; }
  int64_t FrameCount() const { return frameCount_; }
  const ImageFormat& Format() const { return format_; }

  // The first frame through the formula of `tables`, scaled to fit the panel;
  // nullopt (after FRMT1015, FRMT1016 or FRMT1017) for layouts that cannot be previewed.
  std::optional<DisplayPicture> ImagePicture(const ColourTables& tables, int32_t maxWidth, int32_t maxHeight,
                                             PreviewPath path);
  // The frame's bytes as a grey picture W pixels wide (one row per W bytes),
  // scaled to fit the panel.
  std::optional<DisplayPicture> DumpPicture(int32_t maxWidth, int32_t maxHeight) const;

 private:
  bool ToCanonical(const ColourTables& tables, FrameImage& canonical);

  std::string path_;
  ImageFormat format_;
  FrameBuffer raw_, work_, canonical_, scaled_;
  DisplayWork displayWork_;
  int64_t rawBytes_ = 0;
  int64_t frameCount_ = 0;
  bool loaded_ = false;
};

}  // namespace vx
