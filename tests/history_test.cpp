#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "TestSupport.h"
#include "app/FileHistory.h"
#include "app/FormatPreview.h"
#include "app/Settings.h"
#include "app/Startup.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/UserFolders.h"

namespace vx {
namespace {

ImageFormat Uyvy(int32_t w, int32_t h) {
  ImageFormat f;
  f.Fourcc = 1;
  f.SamplingFormat = YUV_422;
  f.ComponentOrder = UYV;
  f.FieldFormat = Progressive;
  f.PixelFormat = Packed;
  f.ImageResolution = 3;
  f.ImgWidth = w;
  f.ImgHeight = h;
  return f;
}

const HistoryTime kNoon{2026, 12, 7, 12, 5, 9};

TEST(FileHistory, ExactFileText) {
  FileHistoryStore store;
  ASSERT_TRUE(store.Add("/clips/a b.yuv", Uyvy(352, 288), kCreated, kNoon));
  const std::string expected = std::string(
                                   "[FileHistory 1]\r\nImageFileName=/clips/a\x01"
                                   "b.yuv\r\nFOURCC_Name=1\r\nYUVSamplingFormat=1\r\nComponentOrder=2\r\n"
                                   "FieldFormat=1\r\nPixelFormat=0\r\nImageResolution=3\r\nImageWidth=352\r\n"
                                   "ImageHeight=288\r\nReadWrite=1\r\nOpen_Time=  2026-12-07 12:05:09") +
                               std::string(5, '\0') + "\r\n";
  EXPECT_EQ(store.SaveText(), expected);
  FileHistoryStore back;
  back.LoadText(expected);
  ASSERT_EQ(back.Records().size(), 1u);
  EXPECT_EQ(back.Records()[0], store.Records()[0]);
  EXPECT_EQ(back.Records()[0].fileName, "/clips/a b.yuv");
  EXPECT_FALSE(back.Modified());
}

TEST(FileHistory, OneRecordPerPathMostRecentFirst) {
  FileHistoryStore store;
  store.Add("/a.yuv", Uyvy(8, 8), kOpened, kNoon);
  store.Add("/b.yuv", Uyvy(8, 8), kOpened, kNoon);
  store.Add("/A.yuv", Uyvy(8, 8), kOpened, kNoon);
  HistoryTime later = kNoon;
  later.second = 30;
  store.Add("/a.yuv", Uyvy(16, 16), kModified, later);
  const auto records = store.Records();
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].fileName, "/a.yuv");
  EXPECT_EQ(records[0].operation, kModified);
  EXPECT_EQ(records[0].openTime, later);
  EXPECT_EQ(records[1].fileName, "/A.yuv") << "names differing in case are different files";
  EXPECT_EQ(records[2].fileName, "/b.yuv");
  EXPECT_TRUE(store.Modified());

  store.Remove({records[0].id, records[2].id});
  ASSERT_EQ(store.Records().size(), 1u);
  EXPECT_EQ(store.Records()[0].fileName, "/A.yuv");

  for (const char* refused : {"", "/x\x01y.yuv", "/tab\there.yuv", "/new\nline.yuv"}) {
    EXPECT_FALSE(store.Add(refused, Uyvy(8, 8), kOpened, kNoon)) << refused;
  }
}

TEST(FileHistory, ADamagedRecordIsSkippedAndTheRestLoad) {
  FileHistoryStore store;
  for (const char* path : {"/3.yuv", "/2.yuv", "/1.yuv"}) store.Add(path, Uyvy(8, 8), kOpened, kNoon);
  const std::string text = store.SaveText();
  struct Case {
    std::string what;
    std::string text;
    size_t records;
  };
  std::string noReadWrite = text;
  const size_t third = noReadWrite.find("[FileHistory 3]");
  const size_t readWrite = noReadWrite.find("ReadWrite=0\r\n", third);
  noReadWrite.erase(readWrite, 13);
  std::string badTime = text;
  badTime.replace(badTime.find("12:05:09", badTime.find("[FileHistory 2]")), 8, "12:05   ");
  std::string longName = text;
  longName.replace(longName.find("/1.yuv"), 6, "/" + std::string(100000, 'x'));
  const Case cases[] = {
      {"whole", text, 3},
      {"third lacks ReadWrite", noReadWrite, 2},
      {"second has five time numbers", badTime, 2},
      {"cut in the time field", text.substr(0, text.size() - 10), 2},
      {"garbage", "\x01\x02[FileHistory x]", 0},
      {"empty", "", 0},
      {"a very long name", longName, 3},
  };
  for (const Case& c : cases) {
    FileHistoryStore loaded;
    loaded.LoadText(c.text);
    EXPECT_EQ(loaded.Records().size(), c.records) << c.what;
  }
}

TEST(FileHistory, LoadedRecordsGoBackAsTheyCameAndNamesAreMerged) {
  FileHistoryStore store;
  store.Add("/a.yuv", Uyvy(8, 8), kOpened, kNoon);
  store.Add("/b.yuv", Uyvy(8, 8), kCreated, kNoon);
  std::string text = store.SaveText();
  // A year that does not fit the time field's twenty characters, and /a.yuv twice.
  const size_t time = text.find("Open_Time= ") + 11;
  text.replace(time, 25, std::string(" 123456789-01-02 03:04:05").substr(0, 25));
  text += text.substr(text.find("[FileHistory 2]"));
  FileHistoryStore loaded;
  loaded.LoadText(text);
  ASSERT_EQ(loaded.Records().size(), 2u) << "one record per name";
  const std::string saved = loaded.SaveText();
  EXPECT_NE(saved.find(" 123456789-01-02 03:04:05"), std::string::npos) << "the time field as it was read";
  FileHistoryStore again;
  again.LoadText(saved);
  EXPECT_EQ(again.SaveText(), saved) << "a loaded file saves back the same bytes";
}

TEST(FileHistory, InstancesSavingOneFileKeepEachOthersRecords) {
  test::TempDir dir;
  const auto file = dir / "yuv_file_history3.ini";
  FileHistoryStore first, second;
  first.Load(file);
  second.Load(file);
  first.Add("/one.yuv", Uyvy(8, 8), kCreated, {2026, 1, 1, 10, 0, 0});
  second.Add("/two.yuv", Uyvy(8, 8), kCreated, {2026, 1, 1, 11, 0, 0});
  ASSERT_TRUE(first.Save(file));
  ASSERT_TRUE(second.Save(file));
  FileHistoryStore reread;
  reread.Load(file);
  const auto records = reread.Records();
  ASSERT_EQ(records.size(), 2u) << "the later save merged the earlier one's record";
  EXPECT_EQ(records[0].fileName, "/two.yuv") << "newest first";
  EXPECT_EQ(records[1].fileName, "/one.yuv");
  // A record removed in one instance is not merged back from the file.
  reread.Remove({records[1].id});
  ASSERT_TRUE(reread.Save(file));
  FileHistoryStore last;
  last.Load(file);
  ASSERT_EQ(last.Records().size(), 1u);
  EXPECT_EQ(last.Records()[0].fileName, "/two.yuv");
  EXPECT_FALSE(std::filesystem::exists(TemporaryNameFor(file))) << "no temporary file is left";
}

TEST(FileHistory, SavedOnlyWhenModified) {
  test::TempDir dir;
  const auto file = dir / "yuv_file_history3.ini";
  FileHistoryStore store;
  store.Load(file);  // missing: empty
  EXPECT_TRUE(store.Records().empty());
  ASSERT_TRUE(store.Save(file));
  EXPECT_FALSE(std::filesystem::exists(file)) << "nothing changed, nothing written";
  store.Add("/a.yuv", Uyvy(8, 8), kOpened, kNoon);
  ASSERT_TRUE(store.Save(file));
  EXPECT_EQ(test::ReadFileText(file), store.SaveText());
  store.Remove({store.Records()[0].id});
  ASSERT_TRUE(store.Save(file));
  EXPECT_EQ(test::ReadFileText(file), "") << "an empty list writes an empty file";
}

TEST(FileHistory, ARecordAddedDuringASaveIsNeverMarkedSaved) {
  for (int round = 0; round < 5; ++round) {
    test::TempDir dir;
    const auto file = dir / "yuv_file_history3.ini";
    FileHistoryStore store;
    std::atomic<bool> done{false};
    std::thread tool([&] {
      for (int i = 0; i < 400; ++i) {
        store.Add("/clip" + std::to_string(i) + ".yuv", Uyvy(8, 8), kCreated, kNoon);
        std::this_thread::yield();
      }
      done = true;
    });
    while (!done) {
      ASSERT_TRUE(store.Save(file));
    }
    tool.join();
    if (store.Modified()) {
      ASSERT_TRUE(store.Save(file));
    }
    FileHistoryStore reloaded;
    reloaded.Load(file);
    ASSERT_EQ(reloaded.Records().size(), 400u) << "every record reached the file";
  }
}

TEST(FileHistory, ListTexts) {
  FileHistoryStore store;
  store.Add("/a.yuv", Uyvy(352, 288), kModified, kNoon);
  ImageFormat planar = Uyvy(8, 8);
  planar.PixelFormat = Planar;
  planar.ComponentOrder = YVU;
  planar.Fourcc = 99;
  store.Add("/b.yuv", planar, kOpened, kNoon);
  const auto a = HistoryRowTexts(store.Records()[1]);
  EXPECT_EQ(std::vector<std::string>(a.begin(), a.end()),
            (std::vector<std::string>{"/a.yuv", "UYVY", "YUV_422", "UYYV", "Progressive", "Packed",
                                      "352 x 288", "Modifid", "2026-12-07 12:05:09"}));
  const auto b = HistoryRowTexts(store.Records()[0]);
  EXPECT_EQ(b[1], "Invalid");
  EXPECT_EQ(b[3], "YVU");
  EXPECT_EQ(b[5], "Planar");
  EXPECT_STREQ(kHistoryColumns[8], "Last Open Time    ");
}

TEST(Shutdown, SettingsThenHistory) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
  test::ScopedEnv state("XDG_STATE_HOME", (dir / "state").string());
  FileHistory().Clear();
  AddToHistory("/a.yuv", Uyvy(8, 8), kOpened);
  SaveAtShutdown(ProgramSettings{});
  struct stat settings {
  }, history{};
  ASSERT_EQ(stat(SettingsFilePath()->c_str(), &settings), 0);
  ASSERT_EQ(stat(HistoryFilePath()->c_str(), &history), 0);
  const auto ns = [](const struct stat& s) { return s.st_mtim.tv_sec * 1000000000LL + s.st_mtim.tv_nsec; };
  EXPECT_LE(ns(settings), ns(history));
  FileHistory().Clear();
  LoadHistory();
  ASSERT_EQ(FileHistory().Records().size(), 1u);
  FileHistory().Clear();
}

TEST(StructureDiagram, LabelsAndProportions) {
  struct Case {
    ImageFormat format;
    std::vector<std::string> labels;
  };
  ImageFormat yv12 = Uyvy(352, 288);
  yv12.SamplingFormat = YUV_420;
  yv12.PixelFormat = Planar;
  yv12.ComponentOrder = YVU;
  ImageFormat interlaced = Uyvy(352, 288);
  interlaced.FieldFormat = Interlaced;
  ImageFormat rgb = Uyvy(8, 8);
  rgb.SamplingFormat = RGB_444;
  rgb.ComponentOrder = BGR;
  rgb.PixelFormat = Planar;
  ImageFormat mono = rgb;
  mono.SamplingFormat = MONO;
  ImageFormat bad = yv12;
  bad.ComponentOrder = UYV;
  const Case cases[] = {
      {Uyvy(352, 288), {"UYVY UYVY"}},
      {yv12, {"Y Y Y", "V V V", "U U U"}},
      {interlaced, {"UYVY UYVY", "UYVY UYVY"}},
      {rgb, {"B B B", "G G G", "R R R"}},
      {mono, {"Single Channel"}},
      {bad, {"Invalid YUV420"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> labels;
    for (const DiagramBox& b : StructureDiagram(c.format)) labels.push_back(b.label);
    EXPECT_EQ(labels, c.labels) << c.labels[0];
  }
  const auto boxes = StructureDiagram(yv12);
  EXPECT_EQ(boxes[1].width, 176);
  EXPECT_EQ(boxes[1].height, 144);
  EXPECT_EQ(boxes[2].x, 176);
  EXPECT_EQ(boxes[1].fill, (RgbColor{218, 188, 188}));
  EXPECT_EQ(StructureDiagram(interlaced)[1].height, 144);
}

TEST(FormatPreview, ReadsTheFirstFrameAndCountsFrames) {
  test::TempDir dir;
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  ImageFormat f = Uyvy(16, 8);
  test::WriteFileBytes(dir / "clip.uyvy", test::RandomBytes(16 * 8 * 2 * 3 + 5, 1));
  FormatPreview preview;
  ASSERT_TRUE(preview.Load((dir / "clip.uyvy").string(), f));
  EXPECT_EQ(preview.FrameCount(), 3);
  const auto picture = preview.ImagePicture(32, 32, PreviewPath::First);
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->width, 32);
  EXPECT_EQ(picture->height, 16);
  const auto dump = preview.DumpPicture(100, 100);
  ASSERT_TRUE(dump.has_value());
  EXPECT_EQ(dump->width, 100) << "16 wide, 16 rows of bytes, fitted into 100 x 100";
  EXPECT_EQ(dump->height, 100);

  EXPECT_FALSE(preview.Load((dir / "missing.yuv").string(), f));
  ImageFormat packed420 = f;
  packed420.SamplingFormat = YUV_420;
  ASSERT_TRUE(preview.Load((dir / "clip.uyvy").string(), packed420));
  EXPECT_FALSE(preview.ImagePicture(32, 32, PreviewPath::First).has_value());
  ImageFormat huge = f;
  huge.ImgWidth = 9000;
  huge.ImgHeight = 9000;
  EXPECT_FALSE(preview.Load((dir / "clip.uyvy").string(), huge));
  EXPECT_EQ(recorder.Texts(),
            (std::vector<std::string>{
                "Error FRMT1014: File " + (dir / "missing.yuv").string() + " can not open !\n",
                "Error FRMT1017:  Packed format not suppoted for 420 !\n",
                "Error FRMT1013: Image size (9000, 9000) not support !\n"}));
}

}  // namespace
}  // namespace vx
