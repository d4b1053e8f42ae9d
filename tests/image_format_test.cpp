#include <gtest/gtest.h>

#include "PixelTestSupport.h"
#include "image/FormatRules.h"
#include "image/ImageFormat.h"

namespace vx {
namespace {

using test::PlainLayout;

TEST(FrameSize, FollowsTheSamplingRule) {
  struct Case {
    int32_t sampling, w, h, bytes;
  } cases[] = {
      {YUV_420, 1920, 1080, 3110400},
      {YUV_420, 176, 144, 38016},
      {YUV_422, 720, 480, 691200},
      {YUV_444, 176, 144, 76032},
      {RGB_444, 2, 2, 12},
      {BMP, 3, 1, 9},
      {MONO, 100, 50, 5000},
      {YUV_420, 3, 3, 13},  // (3WH) >> 1 truncates
      {YUV_444, 8192, 5120, 125829120},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FrameSizeOf(PlainLayout(c.sampling, 0, 1, 1, c.w, c.h)), c.bytes) << c.sampling << " " << c.w;
  }
  EXPECT_EQ(FrameSizeOf(PlainLayout(6, 0, 1, 1)), -1);
  EXPECT_EQ(FrameSizeOf(PlainLayout(YUV_444, 0, 1, 1, 65535, 65535)), -1) << "beyond 31 bits";
  EXPECT_EQ(FrameSizeOf(PlainLayout(YUV_444, 0, 1, 1, -4, 4)), -1);
}

TEST(DeriveFourcc, NamesOnlyTheFormatsWithAFourcc) {
  struct Case {
    int32_t sampling, order, field, pixel, fourcc;
  } cases[] = {
      {YUV_422, YUV, Progressive, Planar, 11},
      {YUV_420, YVU, Progressive, Planar, 12},
      {YUV_420, YUV, Progressive, Planar, 13},
      {YUV_422, UYV, Progressive, Packed, 1},
      {YUV_422, UYV, Interlaced, Packed, 4},
      {YUV_422, YUV, Progressive, Packed, 5},
      {YUV_422, YVU, Progressive, Packed, 9},
      {YUV_444, UYV, Progressive, Packed, 10},
      // Only UYVY order has an interlaced FOURCC.
      {YUV_422, YUV, Interlaced, Packed, 0},
      {YUV_422, YVU, Interlaced, Packed, 0},
      {YUV_420, YUV, Interlaced, Planar, 0},
      {YUV_422, YVU, Progressive, Planar, 0},
      {YUV_444, YUV, Progressive, Packed, 0},
      {YUV_444, UYV, Progressive, Planar, 0},
      {RGB_444, RGB, Progressive, Packed, 0},
      {MONO, YUV, Progressive, Planar, 0},
  };
  for (const Case& c : cases) {
    ImageFormat f = PlainLayout(c.sampling, c.order, c.field, c.pixel);
    f.Fourcc = 7;
    DeriveFourcc(f);
    EXPECT_EQ(f.Fourcc, c.fourcc) << c.sampling << "/" << c.order << "/" << c.field << "/" << c.pixel;
  }
}

TEST(ApplyFourcc, IsTheInverseOfDeriveAndAliasesMapToTheirFormat) {
  const int32_t canonical[15] = {0, 1, 1, 1, 4, 5, 5, 5, 5, 9, 10, 11, 12, 13, 13};
  for (int32_t index = 1; index <= 14; ++index) {
    ImageFormat f = PlainLayout(RGB_444, BGR, Interlaced, Planar);
    ApplyFourcc(index, f);
    DeriveFourcc(f);
    EXPECT_EQ(f.Fourcc, canonical[index]) << kFourccs[static_cast<size_t>(index)].name;
  }
  for (int32_t index : {0, 15, -1, 1000}) {
    ImageFormat f = PlainLayout(RGB_444, BGR, Interlaced, Planar);
    const ImageFormat before = f;
    ApplyFourcc(index, f);
    EXPECT_EQ(f, before) << index;
  }
  EXPECT_STREQ(kFourccs[5].name, "YUY2");
  EXPECT_STREQ(kFourccs[5].listText, "YUYV");
  EXPECT_STREQ(kFourccs[8].name, "YUYV");
  EXPECT_STREQ(kFourccs[8].listText, "YUY2 (same as YUYV)");
}

TEST(Resolution, TableLookupsBothWays) {
  int32_t w = 11, h = 22;
  ResolutionSize(15, w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(11, 22));
  ResolutionSize(3, w, h);
  EXPECT_EQ(std::make_pair(w, h), std::make_pair(352, 288));
  for (int32_t bad : {-1, 16, 99}) {
    ResolutionSize(bad, w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(720, 480)) << bad;
  }
  struct Case {
    int32_t w, h, index;
    bool found;
  } cases[] = {{1280, 720, 13, true}, {1280, 1024, 11, true}, {1920, 1088, 15, false},
               {176, 120, 0, true},   {1920, 1080, 14, true}, {0, 0, 15, false}};
  for (const Case& c : cases) {
    ImageFormat f = PlainLayout(YUV_420, 0, 1, 1, c.w, c.h);
    EXPECT_EQ(DeriveResolution(f), c.found);
    EXPECT_EQ(f.ImageResolution, c.index) << c.w << "x" << c.h;
  }
  EXPECT_STREQ(kResolutions[5].listText, "4CIF_PAL  704x576");
}

TEST(GuessFormatFromFileName, ExtensionSelectsFourccAndNameMaySetSize) {
  struct Case {
    const char* path;
    int32_t fourcc;
    bool size;
    int32_t w, h, resolution, sampling, order, field, pixel;
  } cases[] = {
      {"clip_352x288.uyvy", 1, true, 352, 288, 3, YUV_422, UYV, Progressive, Packed},
      {"/data/a_1920x1080.yv12", 12, true, 1920, 1080, 14, YUV_420, YVU, Progressive, Planar},
      {"seq_1000x500.YUY2", 5, true, 1000, 500, 15, YUV_422, YUV, Progressive, Packed},
      {"seq_1000X500.i420", 13, true, 1000, 500, 15, YUV_420, YUV, Progressive, Planar},
      {"clip.y422", 1, false, 7, 9, 2, YUV_422, UYV, Progressive, Packed},
      {"x_12x34.yv12", 12, false, 7, 9, 2, YUV_420, YVU, Progressive, Planar},   // "x" at position 3
      {"x_123x45.yv12", 12, false, 7, 9, 2, YUV_420, YVU, Progressive, Planar},  // 2 digits after "x"
      {"x_123x456.yv12", 12, true, 123, 456, 15, YUV_420, YVU, Progressive, Planar},
      {"ab_0000x4567.iuyv", 4, false, 7, 9, 2, YUV_422, UYV, Interlaced, Packed},  // no zero width
      {"foot_clip.iyu2", 10, false, 7, 9, 2, YUV_444, UYV, Progressive, Packed},
  };
  for (const Case& c : cases) {
    ImageFormat f = PlainLayout(RGB_444, BGR, Interlaced, Planar, 7, 9);
    f.ImageResolution = 2;
    const FileNameGuess guess = GuessFormatFromFileName(c.path, f);
    EXPECT_EQ(guess.fourcc, c.fourcc) << c.path;
    EXPECT_EQ(guess.sizeFound, c.size) << c.path;
    EXPECT_EQ(f.Fourcc, c.fourcc) << c.path;
    EXPECT_EQ(f.ImgWidth, c.w) << c.path;
    EXPECT_EQ(f.ImgHeight, c.h) << c.path;
    EXPECT_EQ(f.ImageResolution, c.resolution) << c.path;
    EXPECT_EQ(f.SamplingFormat, c.sampling) << c.path;
    EXPECT_EQ(f.ComponentOrder, c.order) << c.path;
    EXPECT_EQ(f.FieldFormat, c.field) << c.path;
    EXPECT_EQ(f.PixelFormat, c.pixel) << c.path;
  }
  for (const char* unchanged : {"a.yuv", "", "uyvy", "x264x.yuv", "clip_0x288.yuv", "a_8193x100.yuv",
                                "a_100x5121.yuv", "a_123456x2.yuv", "/clips_352x288/a.yuv", "2x.yuv"}) {
    ImageFormat f = PlainLayout(RGB_444, BGR, Interlaced, Planar, 7, 9);
    const ImageFormat before = f;
    const FileNameGuess guess = GuessFormatFromFileName(unchanged, f);
    EXPECT_EQ(guess.fourcc, 0) << unchanged;
    EXPECT_FALSE(guess.sizeFound) << unchanged;
    EXPECT_EQ(f, before) << unchanged;
  }
}

TEST(GuessFormatFromFileName, OtherNamesGiveTheirSizeFromAnywhereInTheName) {
  struct Case {
    const char* path;
    int32_t w, h, resolution;
  } cases[] = {
      {"clip_352x288.yuv", 352, 288, 3},
      {"/data/big_1920x1080.yuv", 1920, 1080, 14},
      {"park_joy_3840x2160p50.yuv", 3840, 2160, kCustomResolution},
      {"1x1", 1, 1, kCustomResolution},
      {"foreman-176X144-30fps.raw", 176, 144, 1},
      {"a_720x576_from_8192x5120.bin", 8192, 5120, kCustomResolution},  // the last one
      {"a_1280x720_v9999x9999.yuv", 1280, 720, 13},                     // beyond the limits: passed over
      {"a_1920x1080.uyvy.bak", 1920, 1080, 14},
  };
  for (const Case& c : cases) {
    ImageFormat f = PlainLayout(RGB_444, BGR, Interlaced, Planar, 7, 9);
    f.ImageResolution = 2;
    const FileNameGuess guess = GuessFormatFromFileName(c.path, f);
    EXPECT_EQ(guess.fourcc, 0) << c.path;
    EXPECT_TRUE(guess.sizeFound) << c.path;
    EXPECT_EQ(f.ImgWidth, c.w) << c.path;
    EXPECT_EQ(f.ImgHeight, c.h) << c.path;
    EXPECT_EQ(f.ImageResolution, c.resolution) << c.path;
    // Only the size: the layout stays as it was.
    EXPECT_EQ(f.SamplingFormat, RGB_444) << c.path;
    EXPECT_EQ(f.ComponentOrder, BGR) << c.path;
    EXPECT_EQ(f.FieldFormat, Interlaced) << c.path;
    EXPECT_EQ(f.PixelFormat, Planar) << c.path;
    EXPECT_EQ(f.Fourcc, 0) << c.path;
  }
}

TEST(ValidateCustomResolution, ChecksInOrder) {
  struct Case {
    int32_t w, h, sampling, field;
    const char* messageStart;  // nullptr when accepted
  } cases[] = {
      {721, 480, YUV_422, Progressive, "Error CSRS1004:"},
      {721, 480, YUV_420, Progressive, "Error CSRS1003:"},
      {721, 480, YUV_444, Progressive, nullptr},
      {720, 481, YUV_444, Interlaced, "Error CSRS1001:"},
      {720, 481, YUV_420, Interlaced, "Error CSRS1001:"},
      {720, 481, YUV_420, Progressive, "Error CSRS1002:"},
      {8192, 5120, YUV_420, Interlaced, nullptr},
      {8193, 16, YUV_444, Progressive, "Error CSRS1005:"},
      {16, 5122, YUV_420, Progressive, "Error CSRS1005:"},
      {0, 16, YUV_444, Progressive, "Error CSRS1006:"},
      {16, -2, YUV_444, Progressive, "Error CSRS1006:"},
      {1, 1, MONO, Progressive, nullptr},
  };
  for (const Case& c : cases) {
    const auto message = ValidateCustomResolution(c.w, c.h, c.sampling, c.field);
    if (!c.messageStart) {
      EXPECT_FALSE(message.has_value()) << c.w << "x" << c.h << ": " << *message;
    } else {
      ASSERT_TRUE(message.has_value()) << c.w << "x" << c.h;
      EXPECT_EQ(message->rfind(c.messageStart, 0), 0u) << *message;
    }
  }
  EXPECT_EQ(*ValidateCustomResolution(8193, 16, YUV_444, Progressive),
            "Error CSRS1005:  Image resolution (8193, 16) exceeds limit (8192, 5120) !\n");
  EXPECT_EQ(*ValidateCustomResolution(720, 481, YUV_444, Interlaced),
            "Error CSRS1001: For interlace format, the image will be divided into two fields, thus its "
            "height cannot be an odd number !\n");
}

TEST(FormatChoice, ListChangesAreCorrected) {
  struct Case {
    const char* what;
    FormatChoice choice;
    std::vector<std::string> messages;
    int32_t field, pixel, sampling;
  };
  const ImageFormat packedInterlaced = PlainLayout(YUV_444, YUV, Interlaced, Packed);
  const ImageFormat planarInterlaced = PlainLayout(YUV_444, YUV, Interlaced, Planar);
  const ImageFormat rgb = PlainLayout(RGB_444, RGB, Progressive, Packed);
  const ImageFormat yuv420 = PlainLayout(YUV_420, YUV, Progressive, Planar);
  const Case cases[] = {
      {"420 while packed",
       ChooseSampling(packedInterlaced, YUV_420, false),
       {"Error FRMT1006: For 420 YUV format, only planar pixel is supported!\n"},
       Interlaced,
       Planar,
       YUV_420},
      {"RGB while interlaced",
       ChooseSampling(packedInterlaced, RGB_444, false),
       {"Error FRMT1007: For RGB, only progressive is supported!\n"},
       Progressive,
       Packed,
       RGB_444},
      {"mono outside the player",
       ChooseSampling(packedInterlaced, MONO, false),
       {"Error FRMT1008: Mono color image is only supported in YUV Plyer function!\n"},
       Interlaced,
       Packed,
       YUV_444},
      {"mono in the player", ChooseSampling(packedInterlaced, MONO, true), {}, Interlaced, Packed, MONO},
      {"BMP while interlaced and planar",
       ChooseSampling(planarInterlaced, BMP, false),
       {"Error FRMT1009: For BMP, only progressive is supported!\n",
        "Error FRMT1010: For BMP, only packed pixel is supported!\n"},
       Progressive,
       Packed,
       BMP},
      {"interlaced while RGB",
       ChooseFieldFormat(rgb, Interlaced),
       {"Error FRMT1011: For RGB, only progressive is supported!\n"},
       Progressive,
       Packed,
       RGB_444},
      {"packed while 420",
       ChoosePixelFormat(yuv420, Packed),
       {"Error FRMT1012: For 420 YUV format, only planar pixel is supported!\n"},
       Progressive,
       Planar,
       YUV_420},
      {"planar 444", ChoosePixelFormat(packedInterlaced, Planar), {}, Interlaced, Planar, YUV_444},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.choice.messages, c.messages) << c.what;
    EXPECT_EQ(c.choice.format.FieldFormat, c.field) << c.what;
    EXPECT_EQ(c.choice.format.PixelFormat, c.pixel) << c.what;
    EXPECT_EQ(c.choice.format.SamplingFormat, c.sampling) << c.what;
  }
  EXPECT_EQ(*PreviewRefusal(PlainLayout(RGB_444, RGB, Interlaced, Packed), PreviewPath::Second),
            "Error FRMT1016: For RGB format, only progressive is supported !\n");
  EXPECT_EQ(*PreviewRefusal(PlainLayout(YUV_420, YUV, Progressive, Packed), PreviewPath::First),
            "Error FRMT1017:  Packed format not suppoted for 420 !\n");
  EXPECT_FALSE(PreviewRefusal(yuv420, PreviewPath::First).has_value());
  EXPECT_EQ(*CheckFormatSelections(0, 0, -1, -1, 0),
            "Error FRMT1003: You did not select a pixel packing format!");
  EXPECT_FALSE(CheckFormatSelections(0, 0, 0, 0, 0).has_value());
}

TEST(ComponentChoices, DependOnSamplingAndPacking) {
  auto texts = [](int32_t sampling, int32_t pixel) {
    std::string joined;
    for (const ComponentChoice& c : ComponentChoices(sampling, pixel)) {
      joined += std::string(c.text) + "=" + std::to_string(c.value) + ";";
    }
    return joined;
  };
  EXPECT_EQ(texts(YUV_444, Planar), "Y,U,V=0;Y,V,U=1;U,Y,V=2;");
  EXPECT_EQ(texts(YUV_422, Packed), "Y,U,Y,V=0;Y,V,Y,U=1;U,Y,V,Y=2;");
  EXPECT_EQ(texts(YUV_422, Planar), "Y,U,V=0;Y,V,U=1;");
  EXPECT_EQ(texts(RGB_444, Packed), "R,G,B=3;B,G,R=4;");
  EXPECT_EQ(texts(BMP, Packed), "R,G,B=3;");
  EXPECT_EQ(texts(MONO, Planar), "Single=-1;");
}

TEST(WorkBufferSize, RoundsUpToFourPixelsAndHasALimit) {
  EXPECT_EQ(WorkBufferSize(176, 144), 76032);
  EXPECT_EQ(WorkBufferSize(1, 1), 48);
  EXPECT_EQ(WorkBufferSize(8192, 5120), 125829120);
  EXPECT_TRUE(WorkBufferSizeSupported(8192, 5120));
  EXPECT_FALSE(WorkBufferSizeSupported(8196, 5120));
  EXPECT_FALSE(WorkBufferSizeSupported(0, 480));
  EXPECT_FALSE(WorkBufferSizeSupported(-5, 480));
  EXPECT_FALSE(WorkBufferSizeSupported(int64_t{1} << 40, int64_t{1} << 40));
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(GuessFormatFromFileName, LayoutWordsStandingAloneInTheNameSetTheLayoutAndDepth) {
  struct Case {
    const char* path;
    int32_t sampling, order, pixel, bits, w, h;
  } cases[] = {
      {"cam_nv12_1920x1080.yuv", YUV_420, YUV, SemiPlanar, 8, 1920, 1080},
      {"/data/NV21-640x480.raw", YUV_420, YVU, SemiPlanar, 8, 640, 480},
      {"a.nv16", YUV_422, YUV, SemiPlanar, 8, 7, 9},
      {"x_nv42.yuv", YUV_444, YVU, SemiPlanar, 8, 7, 9},
      {"hdr_p010_3840x2160.yuv", YUV_420, YUV, SemiPlanar, 10, 3840, 2160},
      {"b.p216.bin", YUV_422, YUV, SemiPlanar, 16, 7, 9},
      {"park.yuv420p10le.raw", YUV_420, YUV, Planar, 10, 7, 9},
      {"out_yuv444p12le_64x48.yuv", YUV_444, YUV, Planar, 12, 64, 48},
      {"y_gray16le.yuv", MONO, YUV, Planar, 16, 7, 9},
      {"yuv422p_then_nv12.yuv", YUV_420, YUV, SemiPlanar, 8, 7, 9},  // the last word counts
  };
  for (const Case& c : cases) {
    ImageFormat f = PlainLayout(RGB_444, BGR, Interlaced, Packed, 7, 9);
    const FileNameGuess guess = GuessFormatFromFileName(c.path, f);
    EXPECT_TRUE(guess.layoutFound) << c.path;
    EXPECT_EQ(guess.fourcc, 0) << c.path;
    EXPECT_EQ(f.SamplingFormat, c.sampling) << c.path;
    EXPECT_EQ(f.ComponentOrder, c.order) << c.path;
    EXPECT_EQ(f.PixelFormat, c.pixel) << c.path;
    EXPECT_EQ(f.FieldFormat, Progressive) << c.path;
    EXPECT_EQ(f.BitsPerSample, c.bits) << c.path;
    EXPECT_EQ(f.ImgWidth, c.w) << c.path;
    EXPECT_EQ(f.ImgHeight, c.h) << c.path;
  }
  // Words inside longer words, and words in folder names, say nothing.
  for (const char* unchanged : {"anv12.yuv", "nv12x.yuv", "/nv12/a.yuv", "p0100.yuv", "grayish.yuv"}) {
    ImageFormat f = PlainLayout(RGB_444, BGR, Interlaced, Packed, 7, 9);
    const ImageFormat before = f;
    EXPECT_FALSE(GuessFormatFromFileName(unchanged, f).layoutFound) << unchanged;
    EXPECT_EQ(f, before) << unchanged;
  }
}

TEST(FormatChoices, SemiPlanarAndDepthFollowTheLayoutsThatCanHoldThem) {
  const ImageFormat nv12 = [] {
    ImageFormat f = PlainLayout(YUV_420, YVU, Progressive, SemiPlanar, 64, 48);
    f.BitsPerSample = 10;
    return f;
  }();
  // Semi-planar RGB is refused, the packing kept.
  const ImageFormat rgb = PlainLayout(RGB_444, RGB, Progressive, Planar, 64, 48);
  FormatChoice choice = ChoosePixelFormat(rgb, SemiPlanar);
  ASSERT_EQ(choice.messages.size(), 1u);
  EXPECT_EQ(choice.messages[0],
            "Error FRMT1021: RGB, mono and BMP frames are never semi-planar; choose packed or planar!\n");
  EXPECT_EQ(choice.format, rgb);
  // Leaving semi-planar for packed 4:2:2 drops the depth to 8 bits, without a message.
  ImageFormat deep422 = nv12;
  deep422.SamplingFormat = YUV_422;
  choice = ChoosePixelFormat(deep422, Packed);
  EXPECT_TRUE(choice.messages.empty());
  EXPECT_EQ(choice.format.PixelFormat, Packed);
  EXPECT_EQ(choice.format.BitsPerSample, 8);
  // RGB chosen for a semi-planar file becomes planar 8-bit RGB.
  choice = ChooseSampling(nv12, RGB_444, true);
  EXPECT_EQ(choice.format.PixelFormat, Planar);
  EXPECT_EQ(choice.format.BitsPerSample, 8);
  // A depth the layout cannot hold is refused and the old one kept.
  const ImageFormat uyvy = PlainLayout(YUV_422, UYV, Progressive, Packed, 64, 48);
  choice = ChooseBits(uyvy, 12);
  ASSERT_EQ(choice.messages.size(), 1u);
  EXPECT_EQ(choice.messages[0],
            "Error FRMT1023: Packed, RGB and BMP frames have 8-bit samples only, not 12!\n");
  EXPECT_EQ(choice.format.BitsPerSample, 8);
  choice = ChooseBits(nv12, 16);
  EXPECT_TRUE(choice.messages.empty());
  EXPECT_EQ(choice.format.BitsPerSample, 16);
  // Semi-planar chroma offers which of U and V comes first.
  const auto orders = ComponentChoices(YUV_444, SemiPlanar);
  ASSERT_EQ(orders.size(), 2u);
  EXPECT_EQ(orders[0].value, YUV);
  EXPECT_EQ(orders[1].value, YVU);
}

}  // namespace
}  // namespace vx
