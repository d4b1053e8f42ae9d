// The yardstick of bench/speed_vs_libyuv: reads an I420 (or UYVY) clip frame by
// frame, makes one libyuv call per frame and writes the result, nothing else.
//   libyuv_tool i420_to_uyvy|uyvy_to_i420|i420_to_i444|crop|flip W H in out
//   libyuv_tool scale W H in out TW TH
//   libyuv_tool psnr W H a b report
//   libyuv_tool paths               (the widest vector path libyuv picks here)
#include <fcntl.h>
#include <libyuv.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool ReadAll(int fd, uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t got = ::read(fd, data + done, size - done);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    const ssize_t put = ::write(fd, data + done, size - done);
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

struct Planes {
  uint8_t *y, *u, *v;
  int strideY, strideUV;
};

Planes I420At(uint8_t* base, int w, int h) {
  return {base, base + w * h, base + w * h + (w / 2) * (h / 2), w, w / 2};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::string(argv[1]) == "paths") {
    std::puts(libyuv::TestCpuFlag(libyuv::kCpuHasAVX512BW) ? "AVX-512"
              : libyuv::TestCpuFlag(libyuv::kCpuHasAVX2)   ? "AVX2"
              : libyuv::TestCpuFlag(libyuv::kCpuHasSSSE3)  ? "SSSE3"
                                                           : "portable");
    return 0;
  }
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s op W H in out\n", argv[0]);
    return 2;
  }
  const std::string op = argv[1];
  const int w = std::atoi(argv[2]), h = std::atoi(argv[3]);
  const size_t i420 = size_t(w) * h * 3 / 2, packed422 = size_t(w) * h * 2;
  const int in = ::open(argv[4], O_RDONLY);
  if (in < 0) return 1;
  if (op == "psnr") {
    const int second = ::open(argv[5], O_RDONLY);
    FILE* report = std::fopen(argv[6], "w");
    if (second < 0 || !report) return 1;
    std::vector<uint8_t> a(i420), b(i420);
    for (int frame = 1; ReadAll(in, a.data(), i420) && ReadAll(second, b.data(), i420); ++frame) {
      const Planes pa = I420At(a.data(), w, h), pb = I420At(b.data(), w, h);
      const double y = libyuv::CalcFramePsnr(pa.y, pa.strideY, pb.y, pb.strideY, w, h);
      const double u = libyuv::CalcFramePsnr(pa.u, pa.strideUV, pb.u, pb.strideUV, w / 2, h / 2);
      const double v = libyuv::CalcFramePsnr(pa.v, pa.strideUV, pb.v, pb.strideUV, w / 2, h / 2);
      std::fprintf(report, "%d\t%.4f\t%.4f\t%.4f\n", frame, y, u, v);
    }
    return std::fclose(report) == 0 ? 0 : 1;
  }
  const int out = ::open(argv[5], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0) return 1;
  const int sw = w / 2, sh = h / 2;  // the crop's size and the scale's target are set below
  const int tw = argc > 7 ? std::atoi(argv[6]) : w, th = argc > 7 ? std::atoi(argv[7]) : h;
  // 10-bit frames are 16-bit words: twice the bytes of their 8-bit kin.
  const bool tenBit = op == "i010_to_p010" || op == "p010_to_i010";
  const size_t inBytes = op == "uyvy_to_i420" ? packed422 : (tenBit ? 2 * i420 : i420);
  size_t outBytes = i420;
  if (op == "i420_to_uyvy") outBytes = packed422;
  if (op == "i420_to_i444") outBytes = size_t(w) * h * 3;
  if (op == "scale") outBytes = size_t(tw) * th * 3 / 2;
  if (op == "crop") outBytes = size_t(sw) * sh * 3 / 2;
  if (tenBit) outBytes = 2 * i420;
  std::vector<uint8_t> src(inBytes), dst(outBytes);
  while (ReadAll(in, src.data(), inBytes)) {
    const Planes s = I420At(src.data(), w, h);
    int result = 0;
    if (op == "i420_to_uyvy") {
      result = libyuv::I420ToUYVY(s.y, s.strideY, s.u, s.strideUV, s.v, s.strideUV, dst.data(), 2 * w, w, h);
    } else if (op == "uyvy_to_i420") {
      const Planes d = I420At(dst.data(), w, h);
      result = libyuv::UYVYToI420(src.data(), 2 * w, d.y, d.strideY, d.u, d.strideUV, d.v, d.strideUV, w, h);
    } else if (op == "i420_to_i444") {
      uint8_t* d = dst.data();
      result = libyuv::I420ToI444(s.y, s.strideY, s.u, s.strideUV, s.v, s.strideUV, d, w, d + w * h, w,
                                  d + 2 * w * h, w, w, h);
    } else if (op == "scale") {
      const Planes d = I420At(dst.data(), tw, th);
      result = libyuv::I420Scale(s.y, s.strideY, s.u, s.strideUV, s.v, s.strideUV, w, h, d.y, d.strideY, d.u,
                                 d.strideUV, d.v, d.strideUV, tw, th, libyuv::kFilterBilinear);
    } else if (op == "crop") {
      // The middle quarter: from (H / 4, W / 4), W / 2 x H / 2.
      const int top = h / 4 / 2 * 2, left = w / 4 / 2 * 2;
      const Planes d = I420At(dst.data(), sw, sh);
      result = libyuv::I420Copy(s.y + top * w + left, s.strideY, s.u + top / 2 * sw + left / 2, s.strideUV,
                                s.v + top / 2 * sw + left / 2, s.strideUV, d.y, d.strideY, d.u, d.strideUV,
                                d.v, d.strideUV, sw, sh);
    } else if (op == "flip") {
      const Planes d = I420At(dst.data(), w, h);
      result = libyuv::I420Copy(s.y, s.strideY, s.u, s.strideUV, s.v, s.strideUV, d.y, d.strideY, d.u,
                                d.strideUV, d.v, d.strideUV, w, -h);
    } else if (op == "nv12_to_i420") {
      const Planes d = I420At(dst.data(), w, h);
      result = libyuv::NV12ToI420(src.data(), w, src.data() + size_t(w) * h, w, d.y, d.strideY, d.u,
                                  d.strideUV, d.v, d.strideUV, w, h);
    } else if (op == "i420_to_nv12") {
      result = libyuv::I420ToNV12(s.y, s.strideY, s.u, s.strideUV, s.v, s.strideUV, dst.data(), w,
                                  dst.data() + size_t(w) * h, w, w, h);
    } else if (op == "i010_to_p010" || op == "p010_to_i010") {
      // Strides in 16-bit samples; planes as in I420, each sample two bytes.
      auto* in16 = reinterpret_cast<const uint16_t*>(src.data());
      auto* out16 = reinterpret_cast<uint16_t*>(dst.data());
      const size_t luma = size_t(w) * h, chroma = luma / 4;
      if (op == "i010_to_p010") {
        result = libyuv::I010ToP010(in16, w, in16 + luma, w / 2, in16 + luma + chroma, w / 2, out16, w,
                                    out16 + luma, w, w, h);
      } else {
        result = libyuv::P010ToI010(in16, w, in16 + luma, w, out16, w, out16 + luma, w / 2,
                                    out16 + luma + chroma, w / 2, w, h);
      }
    } else {
      std::fprintf(stderr, "unknown op %s\n", op.c_str());
      return 2;
    }
    if (result != 0 || !WriteAll(out, dst.data(), outBytes)) return 1;
  }
  return ::close(out) == 0 ? 0 : 1;
}
