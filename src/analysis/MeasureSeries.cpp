#include "analysis/MeasureSeries.h"

#include <algorithm>
#include <cmath>

namespace vx {

MeasureSeries::MeasureSeries(std::vector<std::string> names) {
  Reset(std::move(names));
}

void MeasureSeries::Reset(std::vector<std::string> names) {
  names_ = std::move(names);
  points_.assign(names_.size(), {});
  const auto all = std::find(names_.begin(), names_.end(), "All");
  key_ = all == names_.end() ? 0 : static_cast<size_t>(all - names_.begin());
}

void MeasureSeries::Add(int32_t frame, const std::vector<double>& values) {
  for (size_t c = 0; c < std::min(values.size(), names_.size()); ++c) {
    std::vector<Point>& curve = points_[c];
    auto at = std::lower_bound(curve.begin(), curve.end(), frame,
                               [](const Point& p, int32_t f) { return p.frame < f; });
    if (at != curve.end() && at->frame == frame)
      at->value = values[c];
    else
      curve.insert(at, Point{frame, values[c]});
  }
}

bool MeasureSeries::Empty() const {
  return std::all_of(points_.begin(), points_.end(), [](const auto& curve) { return curve.empty(); });
}

std::optional<double> MeasureSeries::Average(size_t curve) const {
  if (curve >= points_.size() || points_[curve].empty()) return std::nullopt;
  double sum = 0;
  for (const Point& p : points_[curve]) sum += p.value;
  return sum / static_cast<double>(points_[curve].size());
}

std::optional<MeasureSeries::Point> MeasureSeries::Worst() const {
  if (key_ >= points_.size() || points_[key_].empty()) return std::nullopt;
  const auto& key = points_[key_];
  return *std::min_element(key.begin(), key.end(),
                           [](const Point& a, const Point& b) { return a.value < b.value; });
}

std::optional<MeasureSeries::Range> MeasureSeries::Extent() const {
  if (Empty()) return std::nullopt;
  Range r{.low = INFINITY, .high = -INFINITY, .first = INT32_MAX, .last = INT32_MIN};
  for (const auto& curve : points_) {
    for (const Point& p : curve) {
      r.low = std::min(r.low, p.value);
      r.high = std::max(r.high, p.value);
    }
    if (!curve.empty()) {
      r.first = std::min(r.first, curve.front().frame);
      r.last = std::max(r.last, curve.back().frame);
    }
  }
  return r;
}

std::optional<int32_t> MeasureSeries::NearestFrame(double frame) const {
  std::optional<int32_t> best;
  double distance = INFINITY;
  for (const auto& curve : points_) {
    auto at = std::lower_bound(curve.begin(), curve.end(), frame,
                               [](const Point& p, double f) { return p.frame < f; });
    for (auto it : {at, at == curve.begin() ? curve.end() : at - 1}) {
      if (it == curve.end()) continue;
      const double d = std::abs(it->frame - frame);
      if (d < distance || (d == distance && best && it->frame < *best)) {
        distance = d;
        best = it->frame;
      }
    }
  }
  return best;
}

}  // namespace vx
