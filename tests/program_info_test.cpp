#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/ProgramInfo.h"
#include "shell/ProgramVersion.h"
#include "shell/ToolTable.h"

namespace vx {
namespace {

TEST(ProgramInfo, OnlyTheOptionAloneAsksForHelpOrTheVersion) {
  EXPECT_TRUE(AsksForHelp({"velutrix", "--help"}));
  EXPECT_TRUE(AsksForVersion({"velutrix", "--version"}));
  EXPECT_FALSE(AsksForHelp({"velutrix"}));
  EXPECT_FALSE(AsksForHelp({"velutrix", "--help", "-q"}));
  EXPECT_FALSE(AsksForHelp({"velutrix", "-help"}));
  EXPECT_FALSE(AsksForVersion({"velutrix", "--help"}));
  EXPECT_FALSE(AsksForVersion({"velutrix", "-a", "--version"}));
}

TEST(ProgramInfo, FilesToOpenAreArgumentsThatAreAllFiles) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(FilesToOpen({"velutrix", "a.yuv"}), Args{"a.yuv"});
  EXPECT_EQ(FilesToOpen({"velutrix", "a.yuv", "dir/b c.i420"}), (Args{"a.yuv", "dir/b c.i420"}));
  EXPECT_EQ(FilesToOpen({"velutrix"}), Args{});
  EXPECT_EQ(FilesToOpen({"velutrix", "a.yuv", "-q"}), Args{});
  EXPECT_EQ(FilesToOpen({"velutrix", "-a", "play", "-n", "a.yuv"}), Args{});
  EXPECT_EQ(FilesToOpen({"velutrix", "a.yuv", ""}), Args{});
}

TEST(ProgramInfo, TroffLiteralEscapesBackslashesMinusesAndRequestLines) {
  EXPECT_EQ(TroffLiteral("plain text\n"), "plain text\n");
  EXPECT_EQ(TroffLiteral("-a a\\b\n"), "\\-a a\\eb\n");
  EXPECT_EQ(TroffLiteral(".TH x\n'br\nmid.dle 'q'\n"), "\\&.TH x\n\\&'br\nmid.dle 'q'\n");
  EXPECT_EQ(TroffLiteral(".\n."), "\\&.\n\\&.");
  EXPECT_EQ(TroffLiteral(""), "");
}

TEST(ProgramInfo, ManPageCarriesTheVersionAndTheUsageTextInNoFillMode) {
  const std::string page = ManPage();
  EXPECT_TRUE(page.starts_with(std::string(".TH VELUTRIX 1 \"\" \"Velutrix ") + kProgramVersion + "\""))
      << page.substr(0, 80);
  const std::string usage = "\n.nf\n" + TroffLiteral(UsageText("velutrix"));
  const size_t at = page.find(usage);
  ASSERT_NE(at, std::string::npos);
  const std::string after = page.substr(at + usage.size());
  EXPECT_TRUE(after.starts_with("\n.fi\n") || after.starts_with(".fi\n")) << after.substr(0, 20);
  EXPECT_TRUE(page.ends_with("\n"));
}

}  // namespace
}  // namespace vx
