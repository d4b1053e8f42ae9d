#pragma once

// Where each picture row of a YUV frame finds its samples, through the layout's
// planes, fields, component order and 4:2:0 chroma sharing. Shared by the fused
// kernels that read a frame row by row.

#include <algorithm>
#include <cstdint>

#include "image/FrameImage.h"
#include "image/LayoutGeometry.h"

namespace vx {

struct PlanarRow {
  const uint8_t* y;
  const uint8_t* u;
  const uint8_t* v;
};

class YuvRowLocator {
 public:
  // `frame` must be a valid YUV layout (IsValidYuvLayout).
  explicit YuvRowLocator(const FrameImage& frame)
      : frame_(frame), interlaced_(frame.FieldFormat == Interlaced) {
    fields_[0] = geometry::PlanarField(frame, 0);
    fields_[1] = geometry::PlanarField(frame, interlaced_ ? 1 : 0);
    switch (frame.ComponentOrder) {
      case YVU:
        order_ = {0, 2, 1};
        break;
      case UYV:
        order_ = {1, 0, 2};
        break;
      default:
        order_ = {0, 1, 2};
        break;
    }
  }

  // Picture row y (top row 0) of a packed frame.
  const uint8_t* Packed(int64_t y) const {
    const int field = interlaced_ ? static_cast<int>(y & 1) : 0;
    const int64_t r = interlaced_ ? y >> 1 : y;
    return frame_.Data + geometry::FieldBase(frame_, field) + r * geometry::PackedRowBytes(frame_);
  }

  struct Order {
    int y, u, v;
  };
  // Storage indexes of the Y, U and V planes.
  const Order& order() const { return order_; }
  // The planes of field `field` (0 for a progressive frame).
  const geometry::PlanarPicture& Field(int field) const { return fields_[field]; }

  // Picture row y of a planar frame: its luma row and the chroma rows it uses.
  // In an interlaced 4:2:0 frame luma row y uses chroma row y / 2 of the whole
  // frame; the one chroma row no field holds repeats the row above it.
  PlanarRow Planar(int64_t y) const {
    const int field = interlaced_ ? static_cast<int>(y & 1) : 0;
    const int64_t r = interlaced_ ? y >> 1 : y;
    const geometry::PlanarPicture& p = fields_[field];
    const geometry::PlanarPicture* chroma = &p;
    int64_t chromaRow = r;
    if (frame_.SamplingFormat == YUV_420) {
      if (!interlaced_) {
        chromaRow = y / 2;
      } else {
        const int64_t j = std::min<int64_t>(y / 2, 2 * (frame_.ImgHeight / 4) - 1);
        chroma = &fields_[j & 1];
        chromaRow = j >> 1;
      }
    }
    return {Row(p.plane[order_.y], r), Row(chroma->plane[order_.u], chromaRow),
            Row(chroma->plane[order_.v], chromaRow)};
  }

 private:
  const uint8_t* Row(const geometry::Plane& plane, int64_t row) const {
    return frame_.Data + plane.offset + row * plane.width;
  }

  const FrameImage& frame_;
  bool interlaced_;
  geometry::PlanarPicture fields_[2];
  Order order_{0, 1, 2};
};

// Where each picture row of a target frame puts its samples: the mirror of
// YuvRowLocator for writing.
struct PlanarTargetRow {
  uint8_t* y;
  uint8_t* u;
  uint8_t* v;
};

class YuvRowPlacer {
 public:
  // `frame` must be a valid YUV layout whose DataSize is set.
  explicit YuvRowPlacer(FrameImage& frame)
      : frame_(frame), interlaced_(frame.FieldFormat == Interlaced), locator_(frame) {}

  uint8_t* Packed(int64_t y) const { return const_cast<uint8_t*>(locator_.Packed(y)); }

  // Picture row y of a planar frame: its luma row and, but for 4:2:0, its chroma rows.
  PlanarTargetRow Planar(int64_t y) const {
    const int field = interlaced_ ? static_cast<int>(y & 1) : 0;
    const int64_t r = interlaced_ ? y >> 1 : y;
    const auto& order = locator_.order();
    const geometry::PlanarPicture& p = locator_.Field(field);
    uint8_t* luma = Row(p.plane[order.y], r);
    if (frame_.SamplingFormat == YUV_420) return {luma, nullptr, nullptr};
    return {luma, Row(p.plane[order.u], r), Row(p.plane[order.v], r)};
  }

  // Chroma row j of a planar 4:2:0 frame (made from picture rows 2j and 2j + 1);
  // null rows for the one row no field holds.
  PlanarTargetRow Chroma420(int64_t j) const {
    const int field = interlaced_ ? static_cast<int>(j & 1) : 0;
    const int64_t r = interlaced_ ? j >> 1 : j;
    const auto& order = locator_.order();
    const geometry::PlanarPicture& p = locator_.Field(field);
    if (r >= p.plane[order.u].rows) return {nullptr, nullptr, nullptr};
    return {nullptr, Row(p.plane[order.u], r), Row(p.plane[order.v], r)};
  }

 private:
  uint8_t* Row(const geometry::Plane& plane, int64_t row) const {
    return frame_.Data + plane.offset + row * plane.width;
  }

  FrameImage& frame_;
  bool interlaced_;
  YuvRowLocator locator_;
};

}  // namespace vx
