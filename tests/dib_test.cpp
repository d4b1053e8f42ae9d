#include "image/Dib.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "TestSupport.h"
#include "platform/MessageSink.h"

namespace vx {
namespace {

std::vector<uint8_t> Rows(int32_t width, int32_t height, uint32_t seed) {
  const int64_t pitch = (3 * int64_t{width} + 3) / 4 * 4;
  return test::RandomBytes(static_cast<size_t>(pitch * height), seed);
}

bool WriteDib(const CDib& dib, const std::filesystem::path& path) {
  auto file = RawFile::Create(path);
  return file && dib.Write(*file);
}

struct ReadOutcome {
  bool ok;
  std::vector<std::string> messages;
};
ReadOutcome ReadDib(CDib& dib, const std::filesystem::path& path) {
  auto file = RawFile::OpenRead(path);
  const bool ok = file && dib.Read(*file);
  return {ok, dib.Error().empty() ? std::vector<std::string>{} : std::vector<std::string>{dib.Error()}};
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

TEST(Dib, ASizeTheFileCannotHoldIsRefusedBeforeAllocating) {
  // 58 bytes that declare 21845 x 16384 pixels of 24 bits with an image size of 4.
  std::vector<uint8_t> bmp(58, 0);
  Put32(bmp, 0, 0x4D42);
  Put32(bmp, 2, 58);
  Put32(bmp, 10, 54);
  Put32(bmp, 14, 40);
  Put32(bmp, 18, 21845);
  Put32(bmp, 22, 16384);
  Put32(bmp, 26, 1 | (24 << 16));
  Put32(bmp, 34, 4);
  test::TempDir dir;
  test::WriteFileBytes(dir / "hostile.bmp", bmp);
  CDib dib;
  const ReadOutcome read = ReadDib(dib, dir / "hostile.bmp");
  EXPECT_FALSE(read.ok);
  EXPECT_EQ(read.messages,
            std::vector<std::string>{
                "Invalid bitmap file: 21845 x 16384 pixels need 1073741824 bytes of rows, the file holds 4"});
  EXPECT_TRUE(dib.Bits().empty());
}

TEST(Dib, FileLayoutOfWrittenBitmaps) {
  test::TempDir dir;
  struct Case {
    int32_t w, h;
    int64_t rowBytes, imageSize, fileSize;
  } cases[] = {{176, 144, 528, 76032, 76086}, {3, 2, 12, 24, 78}};
  for (const Case& c : cases) {
    CDib dib;
    const auto rows = Rows(c.w, c.h, 1);
    ASSERT_TRUE(dib.CreateFromBits(c.w, c.h, 24, rows));
    EXPECT_EQ(dib.RowBytes(), c.rowBytes);
    EXPECT_EQ(dib.ImageSize(), c.imageSize);
    ASSERT_TRUE(WriteDib(dib, dir / "a.bmp"));
    const auto bytes = test::ReadFileBytes(dir / "a.bmp");
    ASSERT_EQ(static_cast<int64_t>(bytes.size()), c.fileSize);
    std::vector<uint8_t> header(54, 0);
    header[0] = 'B';
    header[1] = 'M';
    Put32(header, 2, static_cast<uint32_t>(c.fileSize));
    Put32(header, 10, 54);
    Put32(header, 14, 40);
    Put32(header, 18, static_cast<uint32_t>(c.w));
    Put32(header, 22, static_cast<uint32_t>(c.h));
    header[26] = 1;
    header[28] = 24;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 54), header);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 54, bytes.end()), rows);

    CDib back;
    ASSERT_TRUE(ReadDib(back, dir / "a.bmp").ok);
    EXPECT_EQ(back.Width(), c.w);
    EXPECT_EQ(back.Height(), c.h);
    EXPECT_EQ(back.BitCount(), 24);
    EXPECT_EQ(std::vector<uint8_t>(back.Bits().begin(), back.Bits().end()), rows);
  }
  CDib grey;
  ASSERT_TRUE(grey.CreateFromBits(4, 1, 8, std::vector<uint8_t>(4, 9)));
  EXPECT_EQ(grey.ColourEntries(), 256);
  EXPECT_EQ(grey.Palette()[200].green, 200);
  EXPECT_FALSE(grey.CreateFromBits(4, 1, 24, std::vector<uint8_t>(11))) << "too few bytes for the rows";
}

TEST(Dib, DamagedAndHostileFiles) {
  test::TempDir dir;
  CDib dib;
  ASSERT_TRUE(dib.CreateFromBits(5, 3, 24, Rows(5, 3, 2)));
  ASSERT_TRUE(WriteDib(dib, dir / "good.bmp"));
  const auto good = test::ReadFileBytes(dir / "good.bmp");
  struct Case {
    std::string what;
    std::vector<uint8_t> bytes;
    std::string message;  // empty: read succeeds
  };
  auto with = [&](auto change) {
    auto b = good;
    change(b);
    return b;
  };
  const Case cases[] = {
      {"13 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 13), "read error 1"},
      {"not BM", with([](auto& b) { b[0] = 'X'; }), "Invalid bitmap file"},
      {"rows cut short", std::vector<uint8_t>(good.begin(), good.end() - 1), "Read error 1"},
      {"header cut short", std::vector<uint8_t>(good.begin(), good.begin() + 30), "Read error 1"},
      {"offset inside the headers", with([](auto& b) { Put32(b, 10, 20); }),
       "Invalid bitmap file: its pixel rows would start at byte 20, inside the headers"},
      {"offset past the file", with([](auto& b) { Put32(b, 10, 0xFFFFFFF0u); }), "Read error 1"},
      {"top-down", with([](auto& b) { Put32(b, 22, static_cast<uint32_t>(-3)); }),
       "Top-down bitmaps (negative height) are not supported"},
      {"compressed", with([](auto& b) { Put32(b, 30, 1); }), "Compressed bitmaps are not supported"},
      {"huge", with([](auto& b) { Put32(b, 18, 0x7FFFFFFF); }),
       "Bitmaps of 2147483647 x 3 pixels are not supported"},
      {"declared size past the file", with([](auto& b) { Put32(b, 34, 1000); }), "Read error 1"},
      {"odd bit count", with([](auto& b) { b[28] = 7; }), "Invalid bitmap file: 7 bits per pixel"},
      {"short information header", with([](auto& b) { Put32(b, 14, 12); }),
       "Invalid bitmap file: its information header is too short"},
      {"smaller declared size", with([](auto& b) { Put32(b, 34, 20); }), ""},
  };
  for (const Case& c : cases) {
    test::WriteFileBytes(dir / "bad.bmp", c.bytes);
    CDib read;
    const ReadOutcome outcome = ReadDib(read, dir / "bad.bmp");
    EXPECT_EQ(outcome.ok, c.message.empty()) << c.what;
    EXPECT_EQ(outcome.messages,
              c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message})
        << c.what;
    if (!outcome.ok) {
      EXPECT_TRUE(read.IsEmpty()) << c.what;
    }
  }
  // A declared image size is used as it is; the rows stay whole for readers.
  test::WriteFileBytes(dir / "small.bmp", with([](auto& b) { Put32(b, 34, 20); }));
  CDib small;
  ASSERT_TRUE(ReadDib(small, dir / "small.bmp").ok);
  EXPECT_EQ(small.ImageSize(), 20);
  EXPECT_GE(static_cast<int64_t>(small.Bits().size()), small.RowBytes() * small.Height());

  auto full = RawFile::Create("/dev/full");
  if (full) {
    RecordingMessageSink recorder;
    ScopedMessageSink scope(recorder);
    EXPECT_FALSE(dib.Write(*full));
    EXPECT_EQ(dib.Error(), "write error");
    EXPECT_TRUE(recorder.Texts().empty()) << "the caller decides what to show";
  }
}

// ImageMagick reads what we write, and we read what it writes.
class DibInterop : public testing::Test {
 protected:
  void SetUp() override {
    if (std::system("command -v convert >/dev/null 2>&1 && command -v identify >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "ImageMagick (convert, identify) is not installed; scripts/setup installs it";
    }
  }
  static std::string Run(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[4096];
      size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
      pclose(pipe);
    }
    return output;
  }
  test::TempDir dir_;
};

TEST_F(DibInterop, ImageMagickReadsOurBitmaps) {
  for (const auto& [w, h] : {std::pair{5, 3}, std::pair{176, 144}, std::pair{1, 1}}) {
    CDib dib;
    const auto rows = Rows(w, h, 7);
    ASSERT_TRUE(dib.CreateFromBits(w, h, 24, rows));
    const auto path = dir_ / "ours.bmp";
    ASSERT_TRUE(WriteDib(dib, path));
    const std::string info = Run("identify -format '%m %w %h %z %[channels]' '" + path.string() + "' 2>&1");
    EXPECT_EQ(info, "BMP3 " + std::to_string(w) + " " + std::to_string(h) + " 8 srgb") << info;
    const std::string rgb = Run("convert '" + path.string() + "' rgb:- 2>/dev/null");
    ASSERT_EQ(rgb.size(), static_cast<size_t>(w * h * 3));
    const int64_t pitch = dib.RowBytes();
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* bgr = rows.data() + (h - 1 - y) * pitch + 3 * x;
        const auto* px = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (y * w + x);
        ASSERT_EQ(px[0], bgr[2]) << x << "," << y;
        ASSERT_EQ(px[1], bgr[1]);
        ASSERT_EQ(px[2], bgr[0]);
      }
    }
  }
}

TEST_F(DibInterop, WeReadImageMagickBitmaps) {
  for (const auto& [w, h] : {std::pair{7, 5}, std::pair{33, 2}, std::pair{64, 48}}) {
    const auto path = dir_ / "theirs.bmp";
    const std::string size = std::to_string(w) + "x" + std::to_string(h);
    ASSERT_EQ(std::system(("convert -size " + size + " plasma:fractal -seed 3 -type truecolor BMP3:'" +
                           path.string() + "' 2>/dev/null")
                              .c_str()),
              0);
    const std::string rgb = Run("convert '" + path.string() + "' rgb:- 2>/dev/null");
    ASSERT_EQ(rgb.size(), static_cast<size_t>(w * h * 3));
    CDib dib;
    ASSERT_TRUE(ReadDib(dib, path).ok);
    ASSERT_EQ(dib.Width(), w);
    ASSERT_EQ(dib.Height(), h);
    ASSERT_EQ(dib.BitCount(), 24);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const uint8_t* bgr = dib.Bits().data() + (h - 1 - y) * dib.RowBytes() + 3 * x;
        const auto* px = reinterpret_cast<const uint8_t*>(rgb.data()) + 3 * (y * w + x);
        ASSERT_EQ((std::array<uint8_t, 3>{px[0], px[1], px[2]}),
                  (std::array<uint8_t, 3>{bgr[2], bgr[1], bgr[0]}))
            << size << " at " << x << "," << y;
      }
    }
  }
}

}  // namespace
}  // namespace vx
