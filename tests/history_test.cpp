#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include "TestSupport.h"
#include "display/FormatPreview.h"
#include "model/FileHistory.h"
#include "model/Settings.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"
#include "platform/UserFolders.h"
#include "shell/Startup.h"

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
  EXPECT_TRUE(TemporariesOf(file).empty()) << "no temporary file is left";
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

// The history as it was merged before names were hashed: one linear search per
// record. Kept as the model that the faster merge must match record for record.
namespace model {

std::vector<CFileHistoryInfo> Parse(const std::vector<CFileHistoryInfo>& sections) {
  std::vector<CFileHistoryInfo> records;
  for (const CFileHistoryInfo& r : sections) {
    const bool known = std::any_of(records.begin(), records.end(),
                                   [&](const CFileHistoryInfo& old) { return old.fileName == r.fileName; });
    if (!known) records.push_back(r);
  }
  return records;
}

bool NewerThan(const HistoryTime& a, const HistoryTime& b) {
  return std::tie(a.year, a.month, a.day, a.hour, a.minute, a.second) >
         std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second);
}

void Merge(std::vector<CFileHistoryInfo>& records, const std::vector<std::string>& removed,
           const std::vector<CFileHistoryInfo>& others) {
  for (const CFileHistoryInfo& r : others) {
    const auto same = [&](const std::string& name) { return name == r.fileName; };
    if (std::any_of(records.begin(), records.end(), [&](const auto& mine) { return same(mine.fileName); }) ||
        std::any_of(removed.begin(), removed.end(), same)) {
      continue;
    }
    const auto place = std::find_if(records.begin(), records.end(), [&](const CFileHistoryInfo& mine) {
      return NewerThan(r.openTime, mine.openTime);
    });
    records.insert(place, r);
  }
}

}  // namespace model

// A history text of several pieces, each saved by its own store, so that names
// come back in later pieces; and its sections in order.
struct HistoryPieces {
  std::string text;
  std::vector<CFileHistoryInfo> sections;
};

HistoryTime RandomTime(std::mt19937& rng) {
  // Few distinct times, so that equal times are common.
  std::uniform_int_distribution<int> pick(0, 5);
  return {2020 + pick(rng) / 3, 1 + pick(rng) % 2, 1, 12, pick(rng), 0};
}

std::string RandomName(std::mt19937& rng, int names) {
  return "/clips/c" + std::to_string(std::uniform_int_distribution<int>(0, names - 1)(rng)) + ".yuv";
}

HistoryPieces RandomHistory(std::mt19937& rng, int names) {
  HistoryPieces history;
  const int pieces = std::uniform_int_distribution<int>(0, 4)(rng);
  for (int p = 0; p < pieces; ++p) {
    FileHistoryStore piece;
    const int adds = std::uniform_int_distribution<int>(0, 3 * names)(rng);
    for (int i = 0; i < adds; ++i) {
      piece.Add(RandomName(rng, names), Uyvy(8 * (i % 5 + 1), 8), i % 3, RandomTime(rng));
    }
    history.text += piece.SaveText();
    FileHistoryStore read;  // one piece's names are distinct: its records as the file gives them
    read.LoadText(piece.SaveText());
    for (CFileHistoryInfo& r : read.Records()) history.sections.push_back(r);
  }
  return history;
}

std::vector<std::string> Names(const std::vector<CFileHistoryInfo>& records) {
  std::vector<std::string> names;
  for (const CFileHistoryInfo& r : records) names.push_back(r.fileName);
  return names;
}

TEST(FileHistory, LoadAndMergeKeepTheRecordsAndOrderOfTheLinearSearch) {
  std::mt19937 rng(7);
  test::TempDir dir;
  const auto file = dir / "yuv_file_history3.ini";
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const int names = std::uniform_int_distribution<int>(1, 60)(rng);
    const HistoryPieces loaded = RandomHistory(rng, names);
    FileHistoryStore store;
    store.LoadText(loaded.text);
    std::vector<CFileHistoryInfo> expected = model::Parse(loaded.sections);
    ASSERT_EQ(store.Records(), expected) << "loaded";

    // This run adds and removes records.
    std::vector<std::string> removed;
    const int changes = std::uniform_int_distribution<int>(1, names)(rng);
    for (int i = 0; i < changes; ++i) {
      const auto records = store.Records();
      if (!records.empty() && rng() % 3 == 0) {
        const CFileHistoryInfo& gone = records[rng() % records.size()];
        store.Remove({gone.id});
        std::erase_if(expected, [&](const CFileHistoryInfo& r) { return r.fileName == gone.fileName; });
        removed.push_back(gone.fileName);
      } else {
        const std::string name = RandomName(rng, names);
        const HistoryTime when = RandomTime(rng);
        ASSERT_TRUE(store.Add(name, Uyvy(16, 16), kModified, when));
        std::erase_if(expected, [&](const CFileHistoryInfo& r) { return r.fileName == name; });
        std::erase(removed, name);
        expected.insert(expected.begin(), store.Records()[0]);
      }
    }

    // Meanwhile another instance saved its own history.
    const HistoryPieces saved = RandomHistory(rng, names);
    test::WriteFileText(file, saved.text);
    ASSERT_TRUE(store.Save(file));
    model::Merge(expected, removed, model::Parse(saved.sections));
    const auto merged = store.Records();
    ASSERT_EQ(Names(merged), Names(expected)) << "merged";
    ASSERT_EQ(merged, expected);
    for (size_t i = 0; i < merged.size(); ++i) {
      ASSERT_EQ(merged[i].storedTime, expected[i].storedTime) << i;
    }
    EXPECT_EQ(test::ReadFileText(file), store.SaveText());
    std::set<uint64_t> ids;
    for (const CFileHistoryInfo& r : merged) ids.insert(r.id);
    EXPECT_EQ(ids.size(), merged.size()) << "every record has its own id";
  }
}

// A history text of `count` records /clips/n0.yuv, /clips/n1.yuv, ..., each a
// second older than the one before.
std::string NumberedHistoryText(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    const int t = 80000 - i;
    text += StrFormat(
        "[FileHistory %d]\r\nImageFileName=/clips/n%d.yuv\r\nFOURCC_Name=1\r\nYUVSamplingFormat=1\r\n"
        "ComponentOrder=2\r\nFieldFormat=1\r\nPixelFormat=0\r\nImageResolution=3\r\nImageWidth=8\r\n"
        "ImageHeight=8\r\nReadWrite=0\r\nOpen_Time=  2020-01-01 %02d:%02d:%02d",
        i + 1, i, t / 3600, t / 60 % 60, t % 60);
    text += std::string(5, '\0') + "\r\n";
  }
  return text;
}

TEST(FileHistory, KeepsTheNewestTenThousandRecords) {
  const auto name = [](size_t i) { return "/clips/n" + std::to_string(i) + ".yuv"; };
  const auto expectNumbered = [&](const std::vector<CFileHistoryInfo>& records, size_t from, size_t count) {
    ASSERT_GE(records.size(), from + count);
    for (size_t i = 0; i < count; ++i) ASSERT_EQ(records[from + i].fileName, name(i)) << from + i;
  };
  // A file of 12,000 records (as an older version wrote them) loads as its first 10,000.
  const std::string text = NumberedHistoryText(12000);
  FileHistoryStore loaded;
  loaded.LoadText(text);
  ASSERT_EQ(loaded.Records().size(), kHistoryLimit);
  expectNumbered(loaded.Records(), 0, 10000);
  EXPECT_FALSE(loaded.Modified()) << "nothing is written until something changes";
  // A new record pushes the oldest out.
  loaded.Add("/clips/new.yuv", Uyvy(8, 8), kCreated, {2030, 1, 1, 0, 0, 0});
  ASSERT_EQ(loaded.Records().size(), kHistoryLimit);
  EXPECT_EQ(loaded.Records()[0].fileName, "/clips/new.yuv");
  expectNumbered(loaded.Records(), 1, 9999);

  // Merged with that file at a save: the newest 10,000, the new record first.
  test::TempDir dir;
  const auto file = dir / "yuv_file_history3.ini";
  test::WriteFileText(file, text);
  FileHistoryStore fresh;
  fresh.Add("/clips/new.yuv", Uyvy(8, 8), kCreated, {2030, 1, 1, 0, 0, 0});
  ASSERT_TRUE(fresh.Save(file));
  FileHistoryStore reread;
  reread.Load(file);
  ASSERT_EQ(reread.Records().size(), kHistoryLimit);
  EXPECT_EQ(reread.Records()[0].fileName, "/clips/new.yuv");
  expectNumbered(reread.Records(), 1, 9999);
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
  const auto picture = preview.ImagePicture(MakeColourTables(kItu601, {}), 32, 32, PreviewPath::First);
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
  EXPECT_FALSE(preview.ImagePicture(MakeColourTables(kItu601, {}), 32, 32, PreviewPath::First).has_value());
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
