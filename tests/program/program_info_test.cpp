#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "ProgramTestSupport.h"
#include "avi/AviFile.h"
#include "shell/ProgramVersion.h"
#include "shell/ToolTable.h"

namespace vx::test {
namespace {

TEST_F(HeadlessProgram, HelpPrintsTheUsageOnStdoutAndSucceeds) {
  const Outcome o = Run({"--help"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.output, UsageText(VELUTRIX_BINARY));
  EXPECT_EQ(o.errors, "");
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

// The small program hands --version to the full one, which loads Qt and FFmpeg.
TEST_F(HeadlessProgram, VersionNamesTheProgramCommitQtAndFfmpeg) {
  const Outcome o = Run({"--version"});
  EXPECT_EQ(o.exitCode, 0);
  EXPECT_EQ(o.errors, "");
  const std::regex expected(
      std::string("Velutrix ") + kProgramVersion +
      "\n(Commit [0-9a-f]{12}\n)?Qt 6\\.[0-9]+\\.[0-9]+ \\(built with 6\\.[0-9]+\\.[0-9]+\\)\n");
  const std::string codecs = avi::CodecLibraryVersions() + "\n";
  ASSERT_GT(o.output.size(), codecs.size());
  EXPECT_TRUE(std::regex_match(o.output.substr(0, o.output.size() - codecs.size()), expected)) << o.output;
  EXPECT_EQ(o.output.substr(o.output.size() - codecs.size()), codecs);
  EXPECT_TRUE(codecs.starts_with("FFmpeg ")) << codecs;
}

// Only the option alone asks for help or the version; with more, the command line
// is refused as before.
TEST_F(HeadlessProgram, HelpAndVersionWithOtherArgumentsAreUsageErrors) {
  for (const char* option : {"--help", "--version"}) {
    const Outcome o = Run({option, "x.yuv"});
    EXPECT_EQ(o.exitCode, 1) << option;
    EXPECT_EQ(o.errors,
              std::string("Oops!, I do not recognize option ") + option + "\n" + UsageText(VELUTRIX_BINARY))
        << option;
    EXPECT_EQ(o.output, "") << option;
  }
}

// Files named without options need the desktop; without a display the command
// line is refused as before.
TEST_F(HeadlessProgram, FilesWithoutOptionsAreRefusedWithoutADisplay) {
  const Outcome o = Run({"clip.yuv"});
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_EQ(o.errors, "Oops!, option clip.yuv does not start with - \n" + UsageText(VELUTRIX_BINARY));
}

}  // namespace
}  // namespace vx::test
