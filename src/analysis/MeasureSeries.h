#pragma once

// The per-frame values of a quality measure (PSNR or SSIM) for a plot: one curve
// per component, their averages, and the frame where the key curve is worst.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vx {

class MeasureSeries {
 public:
  struct Point {
    int32_t frame = 0;
    double value = 0;
  };

  // Curves named `names` (say Y, U, V, All). The key curve, which names the worst
  // frame, is All when there is one, else the first (Y).
  explicit MeasureSeries(std::vector<std::string> names = {"Y", "U", "V"});

  // Starts over with new curves (no points).
  void Reset(std::vector<std::string> names);
  // One value per curve for `frame`; a frame given again replaces its values.
  // Values past the curves are ignored; missing ones leave those curves without
  // a point.
  void Add(int32_t frame, const std::vector<double>& values);

  size_t Curves() const { return names_.size(); }
  const std::string& Name(size_t curve) const { return names_[curve]; }
  // The curve's points in frame order.
  const std::vector<Point>& Points(size_t curve) const { return points_[curve]; }
  bool Empty() const;
  // The mean of the curve's values (nullopt without points).
  std::optional<double> Average(size_t curve) const;
  // The frame of the key curve's lowest value (the first such); nullopt without points.
  std::optional<Point> Worst() const;
  // The lowest and highest value of every curve, and the first and last frame.
  struct Range {
    double low = 0, high = 1;
    int32_t first = 1, last = 1;
  };
  std::optional<Range> Extent() const;
  // The frame with a point nearest to `frame` (any curve); nullopt without points.
  std::optional<int32_t> NearestFrame(double frame) const;

 private:
  std::vector<std::string> names_;
  std::vector<std::vector<Point>> points_;
  size_t key_ = 0;
};

}  // namespace vx
