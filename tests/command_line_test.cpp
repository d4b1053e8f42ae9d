#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "model/CommandLine.h"
#include "platform/MessageSink.h"
#include "platform/StringFormat.h"
#include "shell/Startup.h"
#include "shell/ToolTable.h"

namespace vx {
namespace {

const std::string kUsageMarker = "<usage>";

struct ParseRun {
  int code = 0;
  std::vector<std::string> messages;  // the usage text appears as kUsageMarker
  CommandLineRequest request;
  ProgramSettings settings;
};

std::vector<std::string> Split(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> args{"Velutrix.exe"};
  for (std::string word; in >> word;) args.push_back(word);
  return args;
}

ParseRun Parse(const std::vector<std::string>& args, ProgramSettings settings = {}) {
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  ParseRun run;
  run.settings = settings;
  run.code = ParseCommandLine(args, CommandLineActions(), run.request, run.settings);
  const std::string usage = UsageText(args[0]);
  for (const std::string& text : recorder.Texts())
    run.messages.push_back(text == usage ? kUsageMarker : text);
  return run;
}

ParseRun Parse(const std::string& line, ProgramSettings settings = {}) {
  return Parse(Split(line), settings);
}

TEST(CommandLine, RefusedCommandLinesGiveTheirMessageAndCode) {
  struct Case {
    std::string line;
    int code;
    std::vector<std::string> messages;
  };
  const std::string usage = kUsageMarker;
  const Case cases[] = {
      {"-a PLAY -n x.yuv",
       3,
       {"Sorry, invalid command PLAY after option -a, expecting 'play' or 'convert'!\n"}},
      {"-a play -n x.yuv -e EXIT",
       3,
       {"Sorry, invalid command EXIT after option -e, expecting 'exit' or 'no_exit'!\n"}},
      {"-u itu2020 -a play -n x.yuv",
       3,
       {"Sorry, invalid command itu2020 after option -u, expecting 'itu601' or 'itu709'. Other conversion "
        "formulae are not supported !\n"}},
      {"-r 0",
       1,
       {"Sorry, -r option error: 0.  Frame rate can only be set to a value between 1 and 120 !\n"}},
      {"-r 121",
       1,
       {"Sorry, -r option error: 121.  Frame rate can only be set to a value between 1 and 120 !\n"}},
      {"-w -3", 1, {"Sorry, -w option error: -3. Width of image cannot be a negative number or zero !\n"}},
      {"-W abc", 1, {"Sorry, -W option error: 0. Width of image cannot be a negative number or zero !\n"}},
      {"-h 0", 2, {"Sorry, -h option error: 0. Height of image cannot be a negative number or zero !\n"}},
      {"-H -1", 2, {"Sorry, -H option error: -1. Height of image cannot be a negative number or zero !\n"}},
      {"-s YUV999",
       4,
       {"Sorry, invalid command yuv999 after option -s (sampling order), expecting 'yuv444', 'yuv422', "
        "'yuv420' or 'rgb444'!\n"}},
      {"-S mono",
       4,
       {"Sorry, invalid command mono after option -S (sampling order), expecting 'yuv444', 'yuv422', "
        "'yuv420','rgb444' or 'bmp'!\n"}},
      {"-o YYY",
       5,
       {"Sorry, invalid command yyy after option -o (component order), expecting 'yuv', 'yvu', 'uyv', 'rgb' "
        "or 'bgr'!\n"}},
      {"-O x",
       5,
       {"Sorry, invalid command x after option -O (component order), expecting 'yuv', 'yvu', 'uyv', 'rgb' "
        "or 'bgr'!\n"}},
      {"-f Frame",
       6,
       {"Sorry, invalid command frame after option -f (field format), expecting either 'progressive' or "
        "'interlaced' !\n"}},
      {"-F x",
       6,
       {"Sorry, invalid command x after option -F (field format), expecting either 'progressive' or "
        "'interlaced' !\n"}},
      {"-d SPACE",
       6,
       {"Sorry, invalid command space after option -d (delimited format for psnr report), expecting either "
        "'tab' or 'comma' !\n"}},
      {"-v xvid2",
       6,
       {"Sorry, invalid command xvid2 after option -v (AVI encoding format), expecting a 4 charactor string "
        "!\n"}},
      {"-p Packing",
       7,
       {"Sorry, invalid command packing after option -p (pixel format), expecting either 'packed' or "
        "'planar' !\n"}},
      {"-P x",
       7,
       {"Sorry, invalid command x after option -P (pixel format), expecting either 'packed' or 'planar' "
        "!\n"}},
      {"-c 10,-2,5,5",
       7,
       {"Sorry, invalid command 10,-2,5,5 after option -c (crop area), parameter cannot be negative !\n"}},
      {"a -n x.yuv", 1, {"Oops!, option a does not start with - \n", usage}},
      {"-z x.yuv", 1, {"Oops!, I do not recognize option -z\n", usage}},
      {"-a play -n", 1, {usage}},
      {"-z", 1, {usage}},
      {"- x", 1, {"Oops!, I do not recognize option -\n", usage}},
      {"-a play", 1, {"Sorry, input file name is missing!\n", usage}},
      {"-a convert -n in.yuv -S yuv444",
       1,
       {"Sorry, destination file name needed for converting !\n", usage}},
      {"-a psnr -n a.yuv -m b.yuv", 1, {"Sorry, destination file name needed for converting !\n", usage}},
      {"-a play -n x.yuv -m y.yuv",
       1,
       {"Sorry, you can only specify second input file for join operation or PSNR calculation!\n", usage}},
      {"-a convert -n x.yuv -N y.yuv -S yuv444 -r 60",
       1,
       {"Sorry, you can only specify frame rate for player !\n", usage}},
      {"-n x.yuv",
       1,
       {"Sorry, please specify the action, either 'play', 'convert', 'crop', 'flip', 'join', 'yuv2avi', "
        "'avi2yuv', or 'psnr',  !\n",
        usage}},
      {"-a play -n x.bmp -s bmp",
       1,
       {"Sorry, although I can convert yuv file to from bmp file , I do not play bmp file !\n", usage}},
      {"-a convert -n x%d.bmp -s bmp -w 100 -N y.yuv -S yuv444",
       1,
       {" You cannot specify the format for input BMP file !\n", usage}},
      {"-a convert -n x.y -s mono -N y.yuv -S yuv444",
       1,
       {"Sorry, grey scale image files cannot be converted in commmand line mode!\n", usage}},
      {"-a convert -n x.yuv -N y.yuv",
       1,
       {" For converting, at least one converting destination format has to be specified !\n", usage}},
      {"-a crop -n x.yuv -N y.yuv -S yuv444",
       1,
       {" You cannot specify the format for cropped YUV file, which will be the same as the input file !\n",
        usage}},
      {"-a flip -n x.yuv -N y.yuv -H 10",
       1,
       {" You cannot specify the format for flipped YUV file, which will be the same as the input file !\n",
        usage}},
      {"-a join -n x.yuv -N y.yuv",
       1,
       {"Sorry, second source file is missing for join operation  !\n", usage}},
      {"-a join -n x.yuv -m z.yuv -N y.yuv -P planar",
       1,
       {" You cannot specify the format for joined YUV file, which will be the same as the first source file "
        "!\n",
        usage}},
      {"-a yuv2avi -n x.yuv -N y.avi -W 8",
       1,
       {" You cannot specify the format for encoded AVI file!\n", usage}},
      {"-a avi2yuv -n x.avi -N y.yuv -s yuv444",
       1,
       {" You cannot specify the format for input AVI file !\n", usage}},
      {"-a avi2yuv -n x.avi -N y.yuv -f progressive",
       1,
       {" You cannot specify the format for input AVI file !\n", usage}},
      {"-a psnr -n x.yuv -N r.xls",
       1,
       {"Sorry, second source file is missing for psnr operation  !\n", usage}},
      {"-a psnr -n x.yuv -m z.yuv -N r.xls -O yuv",
       1,
       {" You cannot specify image format for PSNR report file  !\n", usage}},
      {"-a pad -n x.yuv -N y.yuv -W 352",
       1,
       {" For padding, the padded width and height have to be given with -W and -H !\n", usage}},
      {"-a pad -n x.yuv -N y.yuv -W 352 -H 288 -P packed",
       1,
       {" You cannot specify the format for padded YUV file other than its size (-W, -H), the rest is the "
        "same "
        "as the input file !\n",
        usage}},
      {"-a pad -n x.yuv -N y.yuv -W 352 -H 288 -k 1,2",
       1,
       {"Sorry, invalid command 1,2 after option -k (colour), expecting three numbers between 0 and 255 like "
        "16,128,255 !\n"}},
      {"-a pad -n x.yuv -N y.yuv -W 352 -H 288 -k 1,2,256",
       1,
       {"Sorry, invalid command 1,2,256 after option -k (colour), expecting three numbers between 0 and 255 "
        "like "
        "16,128,255 !\n"}},
      {"-a pad -n x.yuv -N y.yuv -W 352 -H 288 -k 1,2,3x",
       1,
       {"Sorry, invalid command 1,2,3x after option -k (colour), expecting three numbers between 0 and 255 "
        "like "
        "16,128,255 !\n"}},
      {"-a crop -n x.yuv -N y.yuv -k 1,2,3",
       1,
       {"Sorry, you can only specify a fill colour (-k) for padding !\n", usage}},
      {"-a separate -n x.yuv -N y.yuv -S yuv444",
       1,
       {" You cannot specify the format for the component files, which hold one component each !\n", usage}},
      {"-a merge -n x -N y.yuv -s mono",
       1,
       {" For merging, -s has to be 'yuv444', 'yuv422', 'yuv420' or 'rgb444' !\n", usage}},
      {"-a merge -n x -N y.yuv -W 8",
       1,
       {" You cannot specify the format for merged YUV file, which is planar progressive in the sampling of "
        "-s "
        "!\n",
        usage}},
      {"-a separate -n x.yuv", 1, {"Sorry, destination file name needed for converting !\n", usage}},
  };
  for (const Case& c : cases) {
    const ParseRun run = Parse(c.line);
    EXPECT_EQ(run.code, c.code) << c.line;
    EXPECT_EQ(run.messages, c.messages) << c.line;
  }
}

TEST(CommandLine, PaddingTakesItsSizeOffsetsAndColour) {
  ParseRun run = Parse("-a pad -n x.yuv -N y.yuv -W 400 -H 300 -c 6,20,99 -k 255,0,16");
  ASSERT_EQ(run.code, 0) << (run.messages.empty() ? "" : run.messages[0]);
  EXPECT_EQ(run.request.Action, FindAction("pad")->action.number);
  EXPECT_EQ(run.request.OutputFormat.ImgWidth, 400);
  EXPECT_EQ(run.request.OutputFormat.ImgHeight, 300);
  EXPECT_TRUE(run.request.CropGiven);
  EXPECT_EQ(run.request.CropRect.Top, 6);
  EXPECT_EQ(run.request.CropRect.Left, 20);
  EXPECT_TRUE(run.request.PadColourGiven);
  EXPECT_EQ(run.request.PadColour, (RgbColor{255, 0, 16}));
  run = Parse("-a pad -n x.yuv -N y.yuv -W 400 -H 300");
  ASSERT_EQ(run.code, 0);
  EXPECT_FALSE(run.request.CropGiven) << "offsets 0,0";
  EXPECT_FALSE(run.request.PadColourGiven) << "edges repeated";
}

TEST(CommandLine, OnlyTheAviActionsNeedTheCodecs) {
  EXPECT_TRUE(NeedsCodecs({"v", "-n", "x", "-a", "avi2yuv"}));
  EXPECT_TRUE(NeedsCodecs({"v", "-a", "yuv2avi", "-n", "x"}));
  EXPECT_FALSE(NeedsCodecs({"v", "-a", "convert", "-n", "avi2yuv"}));
  EXPECT_FALSE(NeedsCodecs({"v", "-a"}));
}

TEST(CommandLine, ScanningStopsAtTheFirstBadValue) {
  // The bad -a ends the run before the bad -s is looked at.
  const ParseRun run = Parse("-a Play -s nothing -n x.yuv");
  EXPECT_EQ(run.code, 3);
  EXPECT_EQ(run.messages.size(), 1u);
}

TEST(CommandLine, AcceptedValuesAreStored) {
  ProgramSettings loaded;
  loaded.YUV2RGB_Formula = 2;
  ParseRun run = Parse(
      "-a play -n clip.yuv -w 4464 -h 288 -s YUV444 -o UYV -f progressive -p Planar -r 60 -e exit", loaded);
  ASSERT_EQ(run.code, 0) << (run.messages.empty() ? "" : run.messages[0]);
  EXPECT_TRUE(run.messages.empty());
  EXPECT_EQ(run.request.Action, FindAction("play")->action.number);
  EXPECT_EQ(run.request.InputName, "clip.yuv");
  EXPECT_EQ(run.request.FrameRate, 60);
  EXPECT_EQ(run.request.ExitWhenDone, 1);
  EXPECT_EQ(run.settings.Format.ImgWidth, 4464);
  EXPECT_EQ(run.settings.Format.ImgHeight, 288);
  EXPECT_EQ(run.settings.Format.SamplingFormat, YUV_444);
  EXPECT_EQ(run.settings.Format.ComponentOrder, UYV);
  EXPECT_EQ(run.settings.Format.FieldFormat, Progressive);
  EXPECT_EQ(run.settings.Format.PixelFormat, Planar);
  EXPECT_EQ(run.settings.Format.ImageResolution, 6) << "-w and -h leave the resolution index alone";
  EXPECT_EQ(run.settings.YUV2RGB_Formula, 0) << "a command line starts from ITU-R 601";
  EXPECT_EQ(run.request.OutputFormat, (OutputFormatRequest{YUV_444, UYV, Progressive, Planar, 4464, 288, 8}));

  run = Parse(
      "-a convert -n in.yuv -s yuv420 -w 176 -h 144 -N out.yuv -S yuv422 -O uyv -P packed -e exit "
      "-u itu709 -d comma -v DIVX");
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.request.Action, FindAction("convert")->action.number);
  EXPECT_EQ(run.settings.YUV2RGB_Formula, 1);
  EXPECT_EQ(run.request.ReportDelimiter, 1);
  EXPECT_EQ(run.request.AviFourcc, "DIVX") << "stored as typed";
  EXPECT_EQ(run.request.OutputFormat, (OutputFormatRequest{YUV_422, UYV, Interlaced, Packed, 176, 144, 8}));

  run = Parse("-a convert -s bmp -S rgb444 -n aaa%d.bmp -N aaa.yuv -e exit");
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.request.OutputFormat, (OutputFormatRequest{RGB_444, YUV, Interlaced, Planar, -1, -1, 8}))
      << "a BMP sequence's size comes from its pictures; the rest from the first-run layout";

  run = Parse("-a join -n a.yuv -m b.yuv -N c.yuv -nfoo first.yuv -width 352");
  ASSERT_EQ(run.code, 0);
  EXPECT_EQ(run.request.InputName, "first.yuv") << "the last occurrence counts";
  EXPECT_EQ(run.settings.Format.ImgWidth, 352) << "-width acts as -w";

  run = Parse("-a avi2yuv -n in.avi -N out.yuv -S yuv444");
  EXPECT_EQ(run.code, 0);
}

TEST(CommandLine, RatesColoursCodecsAndDepthsAtBothEndsOfTheirRanges) {
  struct Accepted {
    std::string line;
    int32_t rate;
    RgbColor colour;
  };
  const Accepted accepted[] = {
      {"-a play -n x.yuv -r 1", 1, {}},
      {"-a play -n x.yuv -r 120", 120, {}},
      {"-a pad -n x.yuv -N y.yuv -W 400 -H 300 -k 0,0,0", 30, {0, 0, 0}},
      {"-a pad -n x.yuv -N y.yuv -W 400 -H 300 -k 255,255,255", 30, {255, 255, 255}},
  };
  for (const Accepted& c : accepted) {
    SCOPED_TRACE(c.line);
    const ParseRun run = Parse(c.line);
    ASSERT_EQ(run.code, 0) << (run.messages.empty() ? "" : run.messages[0]);
    EXPECT_TRUE(run.messages.empty());
    if (c.line.find("-r ") != std::string::npos) EXPECT_EQ(run.request.FrameRate, c.rate);
    if (c.line.find("-k ") != std::string::npos) EXPECT_EQ(run.request.PadColour, c.colour);
  }
  struct Refused {
    std::string line;
    int code;
    std::string message;
  };
  const Refused refused[] = {
      {"-a yuv2avi -n x.yuv -N y.avi -v xvi", 6,
       "Sorry, invalid command xvi after option -v (AVI encoding format), expecting a 4 charactor string "
       "!\n"},
      {"-a play -n x.yuv -b 016", 1,
       "Sorry, -b option error: 16. Bits per sample must be 8, 10, 12 or 16 !\n"},
      {"-a pad -n x.yuv -N y.yuv -W 400 -H 300 -k 0,256,0", 1,
       "Sorry, invalid command 0,256,0 after option -k (colour), expecting three numbers between 0 and 255 "
       "like 16,128,255 !\n"},
  };
  for (const Refused& c : refused) {
    SCOPED_TRACE(c.line);
    const ParseRun run = Parse(c.line);
    EXPECT_EQ(run.code, c.code);
    EXPECT_EQ(run.messages, std::vector<std::string>{c.message});
  }
  const ParseRun fourcc = Parse("-a yuv2avi -n x.yuv -N y.avi -v xvid");
  ASSERT_EQ(fourcc.code, 0);
  EXPECT_EQ(fourcc.request.AviFourcc, "xvid");
  // The largest size a layout keeps, in both directions.
  const ParseRun largest = Parse("-a play -n x.yuv -w 65535 -h 65535");
  ASSERT_EQ(largest.code, 0);
  EXPECT_EQ(largest.settings.Format.ImgWidth, 65535);
  EXPECT_EQ(largest.settings.Format.ImgHeight, 65535);
}

TEST(CommandLine, CropValuesKeepFieldsThatDoNotParse) {
  CommandLineRequest request;
  ProgramSettings settings;
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  ASSERT_EQ(
      ParseCommandLine(Split("-a crop -n a.yuv -N b.yuv -c 10,20"), CommandLineActions(), request, settings),
      0);
  EXPECT_EQ(request.CropRect, (CropRectangle{10, 20, 0, 0}));
  ASSERT_EQ(ParseCommandLine(Split("-a crop -n a.yuv -N b.yuv -c 1,2,30,40"), CommandLineActions(), request,
                             settings),
            0);
  EXPECT_EQ(request.CropRect, (CropRectangle{1, 2, 30, 40}));
  ASSERT_EQ(ParseCommandLine(Split("-a crop -n a.yuv -N b.yuv -c 5,x,7,8"), CommandLineActions(), request,
                             settings),
            0);
  EXPECT_EQ(request.CropRect, (CropRectangle{5, 2, 30, 40})) << "scanning stops at the first bad field";
  ASSERT_EQ(
      ParseCommandLine(Split("-a crop -n a.yuv -N b.yuv -c 6;7"), CommandLineActions(), request, settings),
      0);
  EXPECT_EQ(request.CropRect, (CropRectangle{6, 2, 30, 40}));
  EXPECT_TRUE(recorder.Texts().empty());
}

TEST(CommandLine, OverlongValuesAreRefusedWithoutOverrun) {
  const std::string name511(511, 'n');
  const std::string name512(512, 'n');
  ParseRun run = Parse({"Velutrix.exe", "-a", "play", "-n", name511});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.request.InputName, name511);

  run = Parse({"Velutrix.exe", "-a", "play", "-n", name512});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.messages, std::vector<std::string>{"Sorry, the file name after option -n is longer than 511 "
                                                   "characters!\n"});
  run = Parse({"Velutrix.exe", "-a", "join", "-n", "a", "-N", "b", "-m", std::string(100000, 'm')});
  EXPECT_EQ(run.code, 1);

  run = Parse({"Velutrix.exe", "-s", std::string(256, 'y'), "-a", "play", "-n", "x"});
  EXPECT_EQ(run.code, 1);
  EXPECT_EQ(run.messages,
            std::vector<std::string>{"Sorry, the value after option -s is longer than 255 characters!\n"});
  run = Parse({"Velutrix.exe", "-w", std::string(255, '9'), "-a", "play", "-n", "x"});
  EXPECT_EQ(run.code, 1) << "a huge number saturates, and is too large";
  EXPECT_EQ(run.messages,
            std::vector<std::string>{"Sorry, -w option error: 2147483647. Width of image cannot "
                                     "be a negative number or zero !\n"});
}

TEST(CommandLine, WidthsAndHeightsOutside1To65535AreRefusedInEveryAction) {
  struct Option {
    char letter;
    const char* message;
    int code;
  };
  const Option options[] = {
      {'w', "Sorry, -w option error: %s. Width of image cannot be a negative number or zero !\n", 1},
      {'W', "Sorry, -W option error: %s. Width of image cannot be a negative number or zero !\n", 1},
      {'h', "Sorry, -h option error: %s. Height of image cannot be a negative number or zero !\n", 2},
      {'H', "Sorry, -H option error: %s. Height of image cannot be a negative number or zero !\n", 2},
  };
  // The value typed and the number the message gives (read as atoi would, saturated).
  const std::pair<const char*, const char*> refused[] = {
      {"0", "0"},
      {"-1", "-1"},
      {"65536", "65536"},
      {"70000", "70000"},
      {"99999999999", "2147483647"},
      {"-99999999999", "-2147483648"},
  };
  const std::vector<std::string> actions[] = {
      {"-a", "play", "-n", "a.yuv"},
      {"-a", "convert", "-n", "a.yuv", "-N", "b.yuv", "-S", "yuv444"},
      {"-a", "crop", "-n", "a.yuv", "-N", "b.yuv", "-c", "0,0,8,8"},
      {"-a", "flip", "-n", "a.yuv", "-N", "b.yuv"},
      {"-a", "join", "-n", "a.yuv", "-m", "c.yuv", "-N", "b.yuv"},
      {"-a", "yuv2avi", "-n", "a.yuv", "-N", "b.avi"},
      {"-a", "avi2yuv", "-n", "a.avi", "-N", "b.yuv"},
      {"-a", "psnr", "-n", "a.yuv", "-m", "c.yuv", "-N", "r"},
      {"-a", "pad", "-n", "a.yuv", "-N", "b.yuv", "-W", "32", "-H", "32"},
      {"-a", "separate", "-n", "a.yuv", "-N", "b"},
      {"-a", "merge", "-n", "a", "-N", "b.yuv", "-s", "yuv420"},
  };
  for (const Option& option : options) {
    const std::string flag = std::string("-") + option.letter;
    for (const auto& [value, shown] : refused) {
      for (const auto& action : actions) {
        std::vector<std::string> args = {"Velutrix.exe"};
        args.insert(args.end(), action.begin(), action.end());
        args.insert(args.end(), {flag, value});  // last: after the action's own sizes
        const ParseRun run = Parse(args);
        EXPECT_EQ(run.code, option.code) << flag << " " << value << " " << action[1];
        EXPECT_EQ(run.messages, std::vector<std::string>{StrFormat(option.message, shown)})
            << flag << " " << value << " " << action[1];
      }
    }
    for (const int accepted : {1, 65535}) {
      const ParseRun run =
          Parse({"Velutrix.exe", "-a", "play", "-n", "a.yuv", flag, std::to_string(accepted)});
      EXPECT_EQ(run.code, 0) << flag << " " << accepted;
      EXPECT_TRUE(run.messages.empty());
      const int32_t stored = option.letter == 'w'   ? run.settings.Format.ImgWidth
                             : option.letter == 'h' ? run.settings.Format.ImgHeight
                             : option.letter == 'W' ? run.request.OutputFormat.ImgWidth
                                                    : run.request.OutputFormat.ImgHeight;
      EXPECT_EQ(stored, accepted) << flag;
    }
  }
}

TEST(CommandLine, QuietStandsAloneAnywhereWithEveryAction) {
  for (const ToolRow& row : ToolTable()) {
    if (row.action.name.empty()) continue;
    const std::string line = "-a " + std::string(row.action.name) + " -n a.yuv -m b.yuv -N c.yuv -e exit";
    const ParseRun plain = Parse(line);
    EXPECT_FALSE(plain.request.Quiet);
    for (const std::string& quiet :
         {"-q " + line, line + " -q",
          "-a " + std::string(row.action.name) + " -q -n a.yuv -m b.yuv -N c.yuv -e exit"}) {
      const ParseRun run = Parse(quiet);
      EXPECT_TRUE(run.request.Quiet) << quiet;
      // The rest of the command line reads as without it.
      EXPECT_EQ(run.code, plain.code) << quiet;
      EXPECT_EQ(run.messages, plain.messages) << quiet;
      EXPECT_EQ(run.request.Action, plain.request.Action) << quiet;
      EXPECT_EQ(run.request.InputName, "a.yuv") << quiet;
      EXPECT_EQ(run.request.ExitWhenDone, 1) << quiet;
    }
  }
  // A later command line without -q is not quiet; -q takes no value, and "-qq" is no option.
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  CommandLineRequest request;
  ProgramSettings settings;
  EXPECT_EQ(ParseCommandLine(Split("-q -a play -n a.yuv"), CommandLineActions(), request, settings), 0);
  EXPECT_TRUE(request.Quiet);
  EXPECT_EQ(ParseCommandLine(Split("-a play -n a.yuv"), CommandLineActions(), request, settings), 0);
  EXPECT_FALSE(request.Quiet);
  EXPECT_EQ(ParseCommandLine(Split("-a play -q exit -n a.yuv"), CommandLineActions(), request, settings), 1);
  EXPECT_EQ(recorder.Texts().front(), "Oops!, option exit does not start with - \n");
  recorder.Clear();
  EXPECT_EQ(ParseCommandLine(Split("-a play -qq -n a.yuv"), CommandLineActions(), request, settings), 1);
  EXPECT_EQ(recorder.Texts().front(), "Oops!, I do not recognize option -qq\n");
}

TEST(Usage, HasAllPiecesWithTheProgramName) {
  const std::string text = UsageText("Velutrix.exe");
  EXPECT_EQ(
      text.rfind("Velutrix supports several functions in command line mode: \n\nUsage: Velutrix.exe   -a "
                 "[action]:                     \n",
                 0),
      0u);
  EXPECT_NE(text.find("  Velutrix.exe  -a convert -s bmp -S rgb444 -n aaa%d.bmp -N aaa.yuv -e exit   \n\n"),
            std::string::npos);
  EXPECT_NE(text.find("                                              ''iyuv', divx', ...  \n"),
            std::string::npos);
  // The original text, then the actions added after it.
  const std::string originalEnding =
      "                                    -m tulips_yuv420_inter_planar_qcif2.yuv -N "
      "tulips_yuv420_inter_planar_qcif_joined.yuv   -e exit  \n";
  const size_t added = text.find(originalEnding);
  ASSERT_NE(added, std::string::npos);
  EXPECT_EQ(
      std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(added + originalEnding.size()), '\n'),
      55);  // with the three lines of -b and -B, and the one of -q
  EXPECT_NE(text.find("\n                                    -q [no progress line on the terminal; takes no "
                      "value]  \n                                                               \n"),
            std::string::npos);
  const std::string rest = text.substr(added + originalEnding.size());
  EXPECT_EQ(rest.rfind("\n Without a display, four more actions:\n", 0), 0u);
  for (const char* action : {"-a pad ", "-a separate ", "-a merge ", "-a ssim ", "-k [fill colour R,G,B]"})
    EXPECT_NE(rest.find(action), std::string::npos) << action;
  EXPECT_EQ(UsageText(std::string(20000, 'p')).size(), kMaxUsageLength);
}

}  // namespace
}  // namespace vx

namespace vx {
namespace {

TEST(ToolTable, OneRowPerActionNamedAsOnTheCommandLine) {
  std::vector<std::pair<int32_t, std::string>> actions;
  for (const ToolRow& row : ToolTable()) {
    EXPECT_EQ(FindTool(row.id), &row);
    if (row.action.name.empty()) continue;
    actions.emplace_back(row.action.number, row.action.name);
    EXPECT_EQ(FindAction(row.action.number), &row);
    EXPECT_EQ(FindAction(row.action.name), &row);
    ASSERT_NE(row.unavailable, nullptr) << row.action.name;
    EXPECT_EQ(std::string(row.unavailable).rfind("Error VLTX10", 0), 0u) << row.action.name;
    EXPECT_NE(row.runHeadless, nullptr) << row.action.name;
  }
  std::sort(actions.begin(), actions.end());
  std::vector<std::string> names;
  for (const auto& [number, name] : actions) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"play", "convert", "crop", "flip", "join", "yuv2avi", "avi2yuv",
                                             "psnr", "pad", "separate", "merge", "ssim"}));
  EXPECT_EQ(std::adjacent_find(actions.begin(), actions.end(),
                               [](const auto& a, const auto& b) { return a.first == b.first; }),
            actions.end())
      << "each action has its own number";
  EXPECT_EQ(FindAction(ActionNone), nullptr);
  EXPECT_EQ(FindAction("Play"), nullptr) << "names are matched exactly";
  EXPECT_EQ(FindAction("psnr")->id, ToolId("psnr"));
}

TEST(ToolTable, TheParserAndTheUsageTextAreViewsOfTheTable) {
  const std::string usage = UsageText("Velutrix.exe");
  for (const ToolRow& row : ToolTable()) {
    const CommandLineAction& action = row.action;
    if (action.name.empty()) continue;
    const std::string name(action.name);
    const ParseRun run = Parse("-a " + name + " -n a.yuv");
    EXPECT_EQ(run.request.Action, action.number) << name;
    if (action.usage) {
      EXPECT_NE(usage.find(action.usage), std::string::npos) << name;
      EXPECT_EQ(usage.find("'" + name + "'"), std::string::npos) << name << " has lines of its own";
    } else {
      EXPECT_NE(usage.find("'" + name + "'"), std::string::npos) << name;
    }
    if (action.examples) {
      EXPECT_NE(usage.find(action.examples), std::string::npos) << name;
    }
    for (const ActionCheck& check : action.checks) {
      if (check.message) {
        EXPECT_TRUE(check.when != ActionRefusal::None) << name;
      }
    }
  }
}

TEST(ToolTable, AnotherTableGivesAnotherCommandLine) {
  const CommandLineAction actions[] = {
      {.name = "tile", .number = 2, .usage = "      -a tile -N [base]\n", .examples = "  v -a tile\n"},
      {.name = "blur", .number = 0, .examples = "  v -a blur -n a -N b\n"},
      {.name = "sharpen",
       .number = 1,
       .checks = {{{.when = ActionRefusal::NoSecondInput, .message = "sharpen needs -m\n"}}}},
  };
  const std::string usage = UsageText("Velutrix.exe", actions);
  EXPECT_NE(usage.find("  'blur', 'sharpen' \n"), std::string::npos);
  EXPECT_NE(usage.find("Help document):\n\n  v -a blur -n a -N b\n\n Without a display, one more actions:\n"
                       "      -a tile -N [base]\n\n  v -a tile\n"),
            std::string::npos);
  RecordingMessageSink recorder;
  ScopedMessageSink scope(recorder);
  CommandLineRequest request;
  ProgramSettings settings;
  EXPECT_EQ(ParseCommandLine(Split("-a tile -n a.yuv -N b"), actions, request, settings), 0);
  EXPECT_EQ(request.Action, 2);
  EXPECT_EQ(ParseCommandLine(Split("-a sharpen -n a.yuv -N b"), actions, request, settings), 1);
  EXPECT_EQ(ParseCommandLine(Split("-a play -n a.yuv"), actions, request, settings), 3);
  EXPECT_EQ(ParseCommandLine(Split("-n a.yuv"), actions, request, settings), 1);
  EXPECT_EQ(recorder.Texts(),
            (std::vector<std::string>{"sharpen needs -m\n", usage,
                                      "Sorry, invalid command play after option -a, expecting 'blur' or "
                                      "'sharpen'!\n",
                                      "Sorry, please specify the action, either 'blur', or 'sharpen',  !\n",
                                      usage}));
}

}  // namespace
}  // namespace vx
