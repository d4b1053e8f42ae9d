#pragma once

#include <string>

#include "image/ImageFormat.h"

namespace vx {

// The one-line description of a layout, e.g. "YUV 420  352x288 Progressive Planar";
// BMP labels end after the size.
std::string FormatLabel(const ImageFormat& format);

// The label followed by ", %d frames".
std::string FormatLabelWithFrames(const ImageFormat& format, int64_t frames);

}  // namespace vx
