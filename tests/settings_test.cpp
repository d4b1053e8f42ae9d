#include "model/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestSupport.h"
#include "platform/RawFile.h"
#include "platform/UserFolders.h"

namespace vx {
namespace {

std::string DefaultFileText() {
  std::string text =
      "SamplingFormat: 2\nComponentOrder: 0\nImageResolution: 6\nFieldFormat: 0\nPixelFormat: 1\n"
      "ImgWidth: 720\nImgHeight: 480\n";
  for (int i = 0; i < 10; ++i) text += "OverlayData: 0 Color:(0,0,0)\n";
  text +=
      "ImageEditGridColor: (0,0,0)\n"
      "BlockEditGridColor: (0,0,0)\n"
      "Grid1: (0,80,8,8,0,0,0)\n"
      "Grid2: (0,0,16,16,255,0,0)\n"
      "YUV2RGB_Formula: 0\n"
      "Padding_Multiple_Width: 8\n"
      "Padding_Multiple_Height: 8\n"
      "Padding_Mode: 0\n"
      "PaddedResolutionMode: 0\n"
      "Padding_Color_RGB (0,0,0)\n"
      "DiffOverImage: 0\n"
      "DiffDisplayMode: 0\n"
      "BrightnessAdjust: 0\n"
      "DiffThreshold: 0, 0\n"
      "AddDiffGrid: 0\n"
      "ImageDiffColor_RGB (255,0,0)\n"
      "ImageDiffGridColor_RGB (0,0,0)\n"
      "User_Defined_Formula: (0.000000,0.000000,0.000000,0.000000) (0.000000,0.000000,0.000000,0.000000) "
      "(0.000000,0.000000,0.000000,0.000000) (0.000000,0.000000,0.000000,0.000000) "
      "(0.000000,0.000000,0.000000,0.000000) (0.000000,0.000000,0.000000,0.000000)\n";
  return text;
}

ProgramSettings Changed() {
  ProgramSettings s;
  s.Format.SamplingFormat = YUV_422;
  s.Format.ComponentOrder = UYV;
  s.Format.ImageResolution = 15;
  s.Format.FieldFormat = Progressive;
  s.Format.PixelFormat = Packed;
  s.Format.ImgWidth = 1000;
  s.Format.ImgHeight = 500;
  for (int i = 0; i < 10; ++i) s.OverlayData[static_cast<size_t>(i)] = {i * 3 - 5, {i, 255 - i, 17}};
  s.ImageEditGridColor = {1, 2, 3};
  s.BlockEditGridColor = {4, 5, 6};
  s.Grid1 = {1, 55, 16, 4, 10, 20, 30};
  s.Grid2 = {1, 100, 64, 2, 255, 255, 0};
  s.YUV2RGB_Formula = 2;
  s.Padding_Multiple_Width = 16;
  s.Padding_Multiple_Height = 32;
  s.Padding_Mode = 2;
  s.PaddedResolutionMode = 1;
  s.Padding_Color_RGB = {9, 8, 7};
  s.DiffOverImage = 1;
  s.DiffDisplayMode = 3;
  s.BrightnessAdjust = -4;
  s.DiffThreshold = {12, 34};
  s.AddDiffGrid = 1;
  s.ImageDiffColor_RGB = {0, 255, 0};
  s.ImageDiffGridColor_RGB = {1, 1, 1};
  const float formula[24] = {0.257f, 0.504f,  0.098f,  16,       -0.148f, -0.291f, 0.439f, 128,
                             0.439f, -0.368f, -0.071f, 128,      1.164f,  0,       1.596f, -222.912f,
                             1.164f, -0.39f,  -0.813f, 135.488f, 1.164f,  2.018f,  0,      -276.928f};
  std::copy(std::begin(formula), std::end(formula), s.User_Defined_Formula.begin());
  return s;
}

TEST(SettingsFile, DefaultsAndTheirExactText) {
  const ProgramSettings defaults;
  EXPECT_EQ(defaults.Format.SamplingFormat, YUV_420);
  EXPECT_EQ(defaults.Format.ImageResolution, 6);
  EXPECT_EQ(defaults.Format.FieldFormat, Interlaced);
  EXPECT_EQ(defaults.Format.PixelFormat, Planar) << "a layout that exists";
  EXPECT_EQ(defaults.YUV2RGB_Formula, 0);
  EXPECT_EQ(defaults.Grid1.Enabled, 0);
  EXPECT_EQ(defaults.Grid2.Enabled, 0);
  EXPECT_EQ(SettingsText(defaults), DefaultFileText());

  ProgramSettings read = Changed();
  EXPECT_EQ(ParseSettingsText(DefaultFileText(), read), 111);
  EXPECT_EQ(read, defaults);
}

TEST(SettingsFile, RoundTripsEveryValue) {
  const ProgramSettings changed = Changed();
  const std::string text = SettingsText(changed);
  EXPECT_NE(text.find("Grid1: (1,55,16,4,10,20,30)\n"), std::string::npos);
  EXPECT_NE(text.find("BrightnessAdjust: -4\n"), std::string::npos);
  EXPECT_NE(text.find("(1.164000,-0.390000,-0.813000,135.488007)"), std::string::npos) << text;
  ProgramSettings read;
  EXPECT_EQ(ParseSettingsText(text, read), 111);
  EXPECT_EQ(read, changed);
}

TEST(SettingsFile, ToleratesWhiteSpaceAndStopsAtTheFirstMismatch) {
  const ProgramSettings changed = Changed();
  const std::string text = SettingsText(changed);
  struct Case {
    std::string what;
    std::string text;
    int values;
  };
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n\r\n  ") : std::string(1, c);
  std::string indented;
  for (char c : text) indented += c == '\n' ? std::string("\n                         ") : std::string(1, c);
  std::string squeezed;  // no white space at all between lines
  for (char c : text) {
    if (c != '\n') squeezed += c;
  }
  std::string damagedLine8 = text;
  damagedLine8.replace(damagedLine8.find("OverlayData"), 11, "Overlaydata");
  std::string damagedMiddle = text;
  damagedMiddle.replace(damagedMiddle.find("Grid2: (1,100"), 13, "Grid2: (1,x00");
  const Case cases[] = {
      {"carriage returns and blank lines", crlf, 111},
      {"indentation", indented, 111},
      {"no line breaks", squeezed, 111},
      {"line 8 damaged", damagedLine8, 7},
      {"second grid's transparency damaged", damagedMiddle, 7 + 40 + 6 + 7 + 1},
      {"empty", "", 0},
      {"cut in the middle of a line", text.substr(0, text.find("ImgHeight: 500") + 10), 6},
  };
  for (const Case& c : cases) {
    ProgramSettings read;
    EXPECT_EQ(ParseSettingsText(c.text, read), c.values) << c.what;
  }

  ProgramSettings partial;
  ParseSettingsText(damagedLine8, partial);
  EXPECT_EQ(partial.Format, changed.Format) << "lines 1-7 are kept";
  EXPECT_EQ(partial.OverlayData, ProgramSettings{}.OverlayData) << "the rest keeps its defaults";
  EXPECT_EQ(partial.Grid2, kDefaultGrid2);

  ProgramSettings middle;
  ParseSettingsText(damagedMiddle, middle);
  EXPECT_EQ(middle.Grid1, changed.Grid1);
  EXPECT_EQ(middle.Grid2.Enabled, 1) << "values before the mismatch on the same line are kept";
  EXPECT_EQ(middle.Grid2.Transparency, kDefaultGrid2.Transparency);
}

TEST(SettingsFile, LoadReadsOnlyTheFirst4096BytesAndRepairsImpossibleValues) {
  test::TempDir dir;
  const ProgramSettings changed = Changed();
  std::string text = SettingsText(changed);
  const size_t line8 = text.find("OverlayData");
  text.insert(line8, std::string(kSettingsReadLimit - line8 + 10, ' '));
  test::WriteFileText(dir / "long.ini", text);
  ProgramSettings read;
  LoadSettings(read, dir / "long.ini");
  EXPECT_EQ(read.Format, changed.Format);
  EXPECT_EQ(read.Grid1, kDefaultGrid1);

  ProgramSettings missing = changed;
  LoadSettings(missing, dir / "missing.ini");
  EXPECT_EQ(missing, changed);

  std::string bad = DefaultFileText();
  auto put = [&bad](const std::string& from, const std::string& to) {
    bad.replace(bad.find(from), from.size(), to);
  };
  put("SamplingFormat: 2", "SamplingFormat: 9");
  put("ImgWidth: 720", "ImgWidth: -20");
  put("ImgHeight: 480", "ImgHeight: 99999999999");
  put("Grid1: (0,80,8,8,0,0,0)", "Grid1: (7,180,1,99,300,-1,5)");
  put("ImageDiffColor_RGB (255,0,0)", "ImageDiffColor_RGB (256,0,-9)");
  put("User_Defined_Formula: (0.000000", "User_Defined_Formula: (nan");
  test::WriteFileText(dir / "bad.ini", bad);
  ProgramSettings repaired;
  LoadSettings(repaired, dir / "bad.ini");
  EXPECT_EQ(repaired.Format.SamplingFormat, YUV_420);
  EXPECT_EQ(repaired.Format.ImgWidth, 720);
  EXPECT_EQ(repaired.Format.ImgHeight, 480);
  EXPECT_EQ(repaired.Grid1, (GridSettings{1, 100, 2, 64, {255, 0, 5}}));
  EXPECT_EQ(repaired.ImageDiffColor_RGB, (RgbColor{255, 0, 0}));
  EXPECT_EQ(repaired.User_Defined_Formula, ProgramSettings{}.User_Defined_Formula) << "a NaN is no number";
}

// Files in a folder apart from the lock files that serialise the program's instances.
long FilesBesideLocks(const std::filesystem::path& folder) {
  long count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    count += entry.path().extension() != ".lock";
  return count;
}

TEST(SettingsFile, SaveReplacesTheFileWholeOrNotAtAll) {
  test::TempDir dir;
  const auto file = dir / "velutrix3.ini";
  test::WriteFileText(file, "old contents");
  ASSERT_TRUE(SaveSettings(Changed(), file));
  EXPECT_EQ(test::ReadFileText(file), SettingsText(Changed()));
  EXPECT_EQ(FilesBesideLocks(dir.path()), 1) << "no temporary file is left behind";

  // A killed save leaves its temporary file; the next start removes it.
  test::WriteFileText(TemporaryNameFor(file), "half");
  ProgramSettings loaded;
  LoadSettings(loaded, file);
  EXPECT_EQ(FilesBesideLocks(dir.path()), 1);

  // Saving through a link replaces the file it points to; the link stays a link.
  std::filesystem::create_directory(dir / "real");
  test::WriteFileText(dir / "real" / "settings.ini", "old");
  std::filesystem::create_symlink(dir / "real" / "settings.ini", dir / "linked.ini");
  ASSERT_TRUE(SaveSettings(Changed(), dir / "linked.ini"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "linked.ini"));
  EXPECT_EQ(test::ReadFileText(dir / "real" / "settings.ini"), SettingsText(Changed()));
  std::filesystem::remove(dir / "linked.ini");
  std::filesystem::remove_all(dir / "real");

  // The target cannot be replaced (it is a folder): saving fails, cleans up, and
  // touches nothing else.
  std::filesystem::create_directory(dir / "blocked.ini");
  std::error_code why;
  EXPECT_FALSE(SaveSettings(Changed(), dir / "blocked.ini", &why));
  EXPECT_EQ(why, std::errc::is_a_directory) << why.message();
  EXPECT_EQ(FilesBesideLocks(dir.path()), 2);
  EXPECT_FALSE(SaveSettings(Changed(), dir / "no-such-folder" / "velutrix3.ini", &why));
  EXPECT_EQ(why, std::errc::no_such_file_or_directory) << why.message();
}

TEST(SettingsFile, LivesInTheUserConfigFolder) {
  test::TempDir dir;
  test::ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
  test::ScopedEnv state("XDG_STATE_HOME", (dir / "state").string());
  ASSERT_EQ(SettingsFilePath(), dir / "config" / "velutrix" / "velutrix3.ini");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "config" / "velutrix")) << "created when missing";
  ASSERT_EQ(HistoryFilePath(), dir / "state" / "velutrix" / "yuv_file_history3.ini");

  SaveSettings(Changed());
  ProgramSettings read;
  LoadSettings(read);
  EXPECT_EQ(read, Changed());

  test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/path");
  test::ScopedEnv home("HOME", (dir / "home").string());
  EXPECT_EQ(SettingsFilePath(), dir / "home" / ".config" / "velutrix" / "velutrix3.ini");
}

TEST(SettingsFile, TheLastFolderIsAKeyAfterTheOthers) {
  test::TempDir dir;
  ProgramSettings changed = Changed();
  changed.LastFolder = "/clips/a folder/with spaces";
  const std::string text = SettingsText(changed);
  const std::string older = SettingsText(Changed());
  ASSERT_EQ(text.substr(0, older.size()), older) << "the earlier keys are written as before";
  EXPECT_EQ(text.substr(older.size()), "LastFolder: /clips/a folder/with spaces\n");
  EXPECT_EQ(SettingsText(ProgramSettings{}), DefaultFileText()) << "no folder yet: no key";

  // A round trip through the file keeps every value and the folder.
  ASSERT_TRUE(SaveSettings(changed, dir / "velutrix3.ini"));
  ProgramSettings read;
  LoadSettings(read, dir / "velutrix3.ini");
  EXPECT_EQ(read, changed);

  // A file written before the key existed loads every value, and no folder.
  test::WriteFileText(dir / "old.ini", older);
  ProgramSettings old;
  old.LastFolder = "/kept/unless/read";
  LoadSettings(old, dir / "old.ini");
  ProgramSettings expected = Changed();
  expected.LastFolder = "/kept/unless/read";
  EXPECT_EQ(old, expected);
  ProgramSettings fresh;
  LoadSettings(fresh, dir / "old.ini");
  EXPECT_EQ(fresh, Changed());
  EXPECT_TRUE(fresh.LastFolder.empty());
  // ... and saved again, gains the key at its end.
  fresh.LastFolder = "/clips";
  ASSERT_TRUE(SaveSettings(fresh, dir / "old.ini"));
  EXPECT_EQ(test::ReadFileText(dir / "old.ini"), older + "LastFolder: /clips\n");

  struct Case {
    std::string what;
    std::string text;
    std::string folder;
  };
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const Case cases[] = {
      {"carriage returns", crlf, "/clips/a folder/with spaces"},
      {"cut before its line end", text.substr(0, text.size() - 1), ""},
      {"not absolute", older + "LastFolder: clips\n", ""},
      {"after a damaged key",
       text.substr(0, text.find("AddDiffGrid")) + "AddDiffGrid: x\n" +
           text.substr(text.find("ImageDiffColor_RGB")),
       ""},
  };
  for (const Case& c : cases) {
    ProgramSettings parsed;
    ParseSettingsText(c.text, parsed);
    EXPECT_EQ(parsed.LastFolder, c.folder) << c.what;
  }

  // Past the 4096 bytes read, the folder is not half read.
  ProgramSettings longFolder = Changed();
  longFolder.LastFolder = "/" + std::string(kSettingsReadLimit, 'd');
  ASSERT_TRUE(SaveSettings(longFolder, dir / "long.ini"));
  ProgramSettings cut;
  LoadSettings(cut, dir / "long.ini");
  EXPECT_EQ(cut, Changed());

  // A folder that would break the line is never written.
  ProgramSettings broken = Changed();
  broken.LastFolder = "/two\nlines";
  EXPECT_EQ(SettingsText(broken), older);
}

TEST(SettingsFile, WindowPlacesAreLinesAfterTheOthers) {
  ProgramSettings placed = Changed();
  placed.LastFolder = "/clips";
  placed.Format.BitsPerSample = 10;
  const std::string before = SettingsText(placed);
  placed.Windows["play"] = {.X = -20, .Y = 40, .Width = 800, .Height = 600, .Zoom = 0};
  placed.Windows["compare"] = {.X = 32767, .Y = -32767, .Width = 1, .Height = 32767, .Zoom = 32};
  const std::string text = SettingsText(placed);
  ASSERT_EQ(text.substr(0, before.size()), before) << "every earlier key is written as before";
  EXPECT_EQ(text.substr(before.size()),
            "Window: compare 32767 -32767 1 32767 32\n"
            "Window: play -20 40 800 600 0\n");
  EXPECT_EQ(SettingsText(ProgramSettings{}), DefaultFileText()) << "no window closed yet: no line";

  ProgramSettings read;
  EXPECT_EQ(ParseSettingsText(text, read), 111);
  EXPECT_EQ(read, placed);

  // A file of an older program reads exactly as before, with no places.
  const std::string older = SettingsText(Changed());
  ProgramSettings old;
  EXPECT_EQ(ParseSettingsText(older, old), 111);
  EXPECT_EQ(old, Changed());
  // ... and the places' lines leave what an older reader takes alone: the text
  // up to them parses to the same values.
  ProgramSettings withoutPlaces;
  ParseSettingsText(before, withoutPlaces);
  ProgramSettings expected = placed;
  expected.Windows.clear();
  EXPECT_EQ(withoutPlaces, expected);

  // Damaged or absurd lines are passed over; the good ones around them are read.
  const std::string base = SettingsText(Changed());
  struct Case {
    std::string what;
    std::string line;
  };
  const Case refused[] = {
      {"negative width", "Window: crop 0 0 -5 100 1\n"},
      {"zero height", "Window: crop 0 0 5 0 1\n"},
      {"huge width", "Window: crop 0 0 32768 100 1\n"},
      {"huge position", "Window: crop 99999999999 0 100 100 1\n"},
      {"far left", "Window: crop -32768 0 100 100 1\n"},
      {"zoom past 32", "Window: crop 0 0 100 100 33\n"},
      {"negative zoom", "Window: crop 0 0 100 100 -1\n"},
      {"a number missing", "Window: crop 0 0 100 100\n"},
      {"a number too many", "Window: crop 0 0 100 100 1 7\n"},
      {"letters after", "Window: crop 0 0 100 100 1x\n"},
      {"no name", "Window:  0 0 100 100 1\n"},
      {"odd name", "Window: cr/op 0 0 100 100 1\n"},
      {"name too long", "Window: " + std::string(33, 'a') + " 0 0 100 100 1\n"},
      {"not at a line start", "x Window: crop 0 0 100 100 1\n"},
      {"numbers on the next line", "Window: crop\n0 0 100 100 1\n"},
  };
  for (const Case& c : refused) {
    ProgramSettings parsed;
    EXPECT_EQ(
        ParseSettingsText(base + "Window: flip 1 2 3 4 2\n" + c.line + "Window: pad 5 6 7 8 16\n", parsed),
        111)
        << c.what;
    const std::map<std::string, WindowPlace, std::less<>> good = {{"flip", {1, 2, 3, 4, 2}},
                                                                  {"pad", {5, 6, 7, 8, 16}}};
    EXPECT_EQ(parsed.Windows, good) << c.what;
  }
  ProgramSettings cut;
  ParseSettingsText(base + "Window: flip 1 2 3 4 2\nWindow: crop 0 0 100 100 1", cut);
  EXPECT_EQ(cut.Windows, (std::map<std::string, WindowPlace, std::less<>>{{"flip", {1, 2, 3, 4, 2}}}))
      << "a line cut before its end (by the read limit) is not read";

  // Carriage returns and blanks are read; a later line of a tool wins.
  ProgramSettings loose;
  ParseSettingsText(base + "Window:\tcrop  -1 +2 3 4 1 \r\nWindow: crop 9 9 9 9 0\n", loose);
  EXPECT_EQ(loose.Windows, (std::map<std::string, WindowPlace, std::less<>>{{"crop", {9, 9, 9, 9, 0}}}));
  // A file damaged before its last key keeps no places.
  ProgramSettings damaged;
  ParseSettingsText(base.substr(0, base.find("AddDiffGrid")) + "AddDiffGrid: x\nWindow: crop 1 1 1 1 1\n",
                    damaged);
  EXPECT_TRUE(damaged.Windows.empty());

  // At most kMaxWindowPlaces tools are read, and a place set in memory outside
  // the limits is forgotten, never written.
  std::string many = base;
  for (size_t i = 0; i < kMaxWindowPlaces + 5; ++i)
    many += "Window: t" + std::to_string(100 + i) + " 0 0 9 9 0\n";
  ProgramSettings crowded;
  ParseSettingsText(many, crowded);
  EXPECT_EQ(crowded.Windows.size(), kMaxWindowPlaces);
  EXPECT_TRUE(crowded.Windows.contains("t100"));
  EXPECT_FALSE(crowded.Windows.contains("t164"));
  ProgramSettings absurd = Changed();
  absurd.Windows["play"] = {.X = 0, .Y = 0, .Width = 0, .Height = 10, .Zoom = 0};
  absurd.Windows["a b"] = {.X = 0, .Y = 0, .Width = 10, .Height = 10, .Zoom = 0};
  absurd.Windows["crop"] = {.X = 0, .Y = 0, .Width = 10, .Height = 10, .Zoom = 0};
  EXPECT_EQ(SettingsText(absurd), base + "Window: crop 0 0 10 10 0\n");
  SanitizeSettings(absurd);
  EXPECT_EQ(absurd.Windows.size(), 1u);
  EXPECT_TRUE(absurd.Windows.contains("crop"));
}

TEST(SettingsFile, RepairKeepsBothEndsOfEachRangeAndClampsOnePastThem) {
  ProgramSettings ends;
  ends.Format.ImgWidth = 65535;
  ends.Format.ImgHeight = 1;
  ends.Grid1.Transparency = 100;
  ends.Grid1.HorizontalSpacing = 2;
  ends.Grid1.VerticalSpacing = 64;
  ends.Grid2.Transparency = 0;
  ends.Grid2.HorizontalSpacing = 64;
  ends.Grid2.VerticalSpacing = 2;
  ends.Padding_Color_RGB = RgbColor{255, 0, 255};
  ProgramSettings kept = ends;
  SanitizeSettings(kept);
  EXPECT_EQ(kept.Format, ends.Format);
  EXPECT_EQ(kept.Grid1, ends.Grid1);
  EXPECT_EQ(kept.Grid2, ends.Grid2);
  EXPECT_EQ(kept.Padding_Color_RGB, ends.Padding_Color_RGB);

  ProgramSettings past = ends;
  past.Format.ImgWidth = 65536;
  past.Format.ImgHeight = 0;
  past.Grid1.Transparency = 101;
  past.Grid1.HorizontalSpacing = 1;
  past.Grid1.VerticalSpacing = 65;
  past.Grid2.Transparency = -1;
  past.Padding_Color_RGB = RgbColor{256, -1, 300};
  SanitizeSettings(past);
  EXPECT_EQ(past.Format.ImgWidth, ImageFormat{}.ImgWidth);
  EXPECT_EQ(past.Format.ImgHeight, ImageFormat{}.ImgHeight);
  EXPECT_EQ(past.Grid1.Transparency, 100);
  EXPECT_EQ(past.Grid1.HorizontalSpacing, 2);
  EXPECT_EQ(past.Grid1.VerticalSpacing, 64);
  EXPECT_EQ(past.Grid2.Transparency, 0);
  EXPECT_EQ(past.Padding_Color_RGB, (RgbColor{255, 0, 255}));
}

}  // namespace
}  // namespace vx
