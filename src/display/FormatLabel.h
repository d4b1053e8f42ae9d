#pragma once

#include <string>

#include "image/ImageFormat.h"

namespace vx {

// The one-line description of a layout, e.g. "YUV 420  352x288 Progressive Planar";
// BMP labels end after the size.
std::string FormatLabel(const ImageFormat& format);

// What a "Format:" box shows for a file's layout: its label, or nothing while there
// is no layout yet (no size) or the fields hold one that no file can have.
std::string FormatBoxText(const ImageFormat& format);

// The label followed by ", %d frames".
std::string FormatLabelWithFrames(const ImageFormat& format, int64_t frames);

}  // namespace vx
