#include "display/ZoomView.h"

#include <algorithm>
#include <cmath>

namespace vx {

void ZoomView::SetPicture(int32_t width, int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  Clamp();
}

void ZoomView::SetViewport(int32_t width, int32_t height) {
  viewportWidth_ = std::max(width, 0);
  viewportHeight_ = std::max(height, 0);
  Clamp();
}

double ZoomView::scale() const {
  if (!fit_) return factor_;
  if (width_ <= 0 || height_ <= 0 || viewportWidth_ <= 0 || viewportHeight_ <= 0) return 1;
  const double s =
      std::min(static_cast<double>(viewportWidth_) / width_, static_cast<double>(viewportHeight_) / height_);
  return std::min(s, static_cast<double>(kMaxZoom));
}

int64_t ZoomView::shownWidth() const {
  if (!fit_) return int64_t{width_} * factor_;
  return static_cast<int64_t>(std::floor(width_ * scale()));
}

int64_t ZoomView::shownHeight() const {
  if (!fit_) return int64_t{height_} * factor_;
  return static_cast<int64_t>(std::floor(height_ * scale()));
}

void ZoomView::Clamp() {
  if (fit_) {
    offsetX_ = offsetY_ = 0;
    return;
  }
  const int64_t maxX = std::max<int64_t>(shownWidth() - viewportWidth_, 0);
  const int64_t maxY = std::max<int64_t>(shownHeight() - viewportHeight_, 0);
  offsetX_ = static_cast<int32_t>(std::clamp<int64_t>(offsetX_, 0, maxX));
  offsetY_ = static_cast<int32_t>(std::clamp<int64_t>(offsetY_, 0, maxY));
}

void ZoomView::SetFactor(int32_t factor, int32_t anchorX, int32_t anchorY) {
  int32_t power = 1;
  while (power < factor && power < kMaxZoom) power *= 2;
  const double before = scale();
  const double pictureX = (offsetX_ + anchorX) / before, pictureY = (offsetY_ + anchorY) / before;
  fit_ = false;
  factor_ = power;
  offsetX_ = static_cast<int32_t>(std::clamp(std::lround(pictureX * power - anchorX), -1L, long{INT32_MAX}));
  offsetY_ = static_cast<int32_t>(std::clamp(std::lround(pictureY * power - anchorY), -1L, long{INT32_MAX}));
  Clamp();
}

void ZoomView::ZoomIn(int32_t anchorX, int32_t anchorY) {
  const double now = scale();
  int32_t next = 1;
  while (next <= now && next < kMaxZoom) next *= 2;
  if (next > now) SetFactor(next, anchorX, anchorY);
}

void ZoomView::ZoomOut(int32_t anchorX, int32_t anchorY) {
  if (fit_) return;
  if (factor_ > 1) {
    SetFactor(factor_ / 2, anchorX, anchorY);
    return;
  }
  fit_ = true;
  if (scale() >= 1) fit_ = false;  // the whole picture is seen at 1:1 already
  Clamp();
}

void ZoomView::Fit() {
  fit_ = true;
  Clamp();
}

void ZoomView::PanBy(int32_t dx, int32_t dy) {
  SetOffsets(static_cast<int32_t>(std::clamp<int64_t>(int64_t{offsetX_} + dx, 0, INT32_MAX)),
             static_cast<int32_t>(std::clamp<int64_t>(int64_t{offsetY_} + dy, 0, INT32_MAX)));
}

void ZoomView::SetOffsets(int32_t x, int32_t y) {
  offsetX_ = x;
  offsetY_ = y;
  Clamp();
}

void ZoomView::ScrollTo(int32_t x, int32_t y) {
  if (fit_) return;
  offsetX_ = static_cast<int32_t>(std::clamp<int64_t>(x, 0, std::max<int64_t>(shownWidth() - 1, 0)));
  offsetY_ = static_cast<int32_t>(std::clamp<int64_t>(y, 0, std::max<int64_t>(shownHeight() - 1, 0)));
}

std::optional<PicturePoint> ZoomView::PictureAt(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || width_ <= 0 || height_ <= 0 || x >= viewportWidth_ || y >= viewportHeight_)
    return std::nullopt;
  int64_t px = 0, py = 0;
  if (fit_) {
    if (x >= shownWidth() || y >= shownHeight()) return std::nullopt;
    const double s = scale();
    px = static_cast<int64_t>(std::floor(x / s));
    py = static_cast<int64_t>(std::floor(y / s));
  } else {
    px = (int64_t{offsetX_} + x) / factor_;
    py = (int64_t{offsetY_} + y) / factor_;
  }
  if (px >= width_ || py >= height_) return std::nullopt;
  return PicturePoint{static_cast<int32_t>(px), static_cast<int32_t>(py)};
}

Rect ZoomView::ToViewport(const Rect& picture) const {
  if (fit_) {
    const double s = scale();
    const auto at = [s](int64_t v) { return static_cast<int32_t>(std::lround(v * s)); };
    return {at(picture.x), at(picture.y), at(int64_t{picture.x} + picture.width) - at(picture.x),
            at(int64_t{picture.y} + picture.height) - at(picture.y)};
  }
  const auto clamp = [](int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  return {clamp(int64_t{picture.x} * factor_ - offsetX_), clamp(int64_t{picture.y} * factor_ - offsetY_),
          clamp(int64_t{picture.width} * factor_), clamp(int64_t{picture.height} * factor_)};
}

ZoomView::Drawn ZoomView::Visible() const {
  Drawn d;
  if (width_ <= 0 || height_ <= 0 || viewportWidth_ <= 0 || viewportHeight_ <= 0) return d;
  if (fit_) {
    d.source = {0, 0, width_, height_};
    d.destination = {0, 0, static_cast<int32_t>(shownWidth()), static_cast<int32_t>(shownHeight())};
    return d;
  }
  const int64_t z = factor_;
  const int64_t x0 = offsetX_ / z, y0 = offsetY_ / z;
  const int64_t x1 = std::min<int64_t>(width_, (int64_t{offsetX_} + viewportWidth_ + z - 1) / z);
  const int64_t y1 = std::min<int64_t>(height_, (int64_t{offsetY_} + viewportHeight_ + z - 1) / z);
  if (x1 <= x0 || y1 <= y0) return d;
  d.source = {static_cast<int32_t>(x0), static_cast<int32_t>(y0), static_cast<int32_t>(x1 - x0),
              static_cast<int32_t>(y1 - y0)};
  d.destination = ToViewport(d.source);
  return d;
}

}  // namespace vx
