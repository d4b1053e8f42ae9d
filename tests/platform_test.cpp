#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <regex>
#include <stdexcept>
#include <thread>

#include "TestSupport.h"
#include "platform/HelperThread.h"
#include "platform/MessageSink.h"
#include "platform/RawFile.h"
#include "platform/StringFormat.h"

namespace vx {
namespace {

// Whether RunAlongside gives the helper's half to another thread (it does when
// the helper is free).
bool HelperTakesItsHalf() {
  std::thread::id theirs, mine;
  RunAlongside([&] { theirs = std::this_thread::get_id(); }, [&] { mine = std::this_thread::get_id(); });
  return theirs != mine;
}

TEST(HelperThread, AnExceptionFromEitherHalfReachesTheCallerAfterBothHalvesEnded) {
  using namespace std::chrono_literals;
  ASSERT_TRUE(HelperTakesItsHalf());
  // The caller's half throws while the helper's still runs on the caller's frame.
  std::atomic<bool> theirsEnded{false};
  try {
    RunAlongside(
        [&] {
          std::this_thread::sleep_for(50ms);
          theirsEnded = true;
        },
        [] { throw std::runtime_error("mine"); });
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "mine");
  }
  EXPECT_TRUE(theirsEnded) << "the helper's half ended before the exception reached the caller";
  EXPECT_TRUE(HelperTakesItsHalf()) << "and the helper is free again";

  // The helper's half throws: carried over to the caller once its own half ended.
  std::atomic<bool> mineEnded{false};
  try {
    RunAlongside([] { throw std::runtime_error("theirs"); },
                 [&] {
                   std::this_thread::sleep_for(20ms);
                   mineEnded = true;
                 });
    ADD_FAILURE() << "nothing thrown";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "theirs");
  }
  EXPECT_TRUE(mineEnded);
  EXPECT_TRUE(HelperTakesItsHalf());

  // Both throw: the caller's own exception is the one it gets.
  EXPECT_THROW(
      RunAlongside([] { throw std::logic_error("theirs"); }, [] { throw std::runtime_error("mine"); }),
      std::runtime_error);
  EXPECT_TRUE(HelperTakesItsHalf());
}

TEST(HelperThread, SharedWorkIsDoneOnceWhoeverTakesIt) {
  for (int round = 0; round < 200; ++round) {
    std::atomic<int> next{0};
    std::atomic<int> done[64] = {};
    RunShared([&] {
      for (int item; (item = next.fetch_add(1)) < 64;) ++done[item];
    });
    for (int item = 0; item < 64; ++item)
      ASSERT_EQ(done[item].load(), 1) << "round " << round << " item " << item;
  }
  EXPECT_TRUE(HelperTakesItsHalf()) << "the helper is free again";
}

TEST(HelperThread, SharedWorkThatThrowsReachesTheCallerAfterEveryRunEnded) {
  using namespace std::chrono_literals;
  std::atomic<int> running{0}, ended{0};
  EXPECT_THROW(RunShared([&] {
                 ++running;
                 std::this_thread::sleep_for(20ms);
                 ++ended;
                 throw std::runtime_error("work");
               }),
               std::runtime_error);
  EXPECT_EQ(running.load(), ended.load()) << "no run outlives the call";
  EXPECT_TRUE(HelperTakesItsHalf());
}

// A long output is handed to the disk in steps while it is written, and the file it
// replaces has its cached pages dropped first: neither may change a byte of either.
TEST(AtomicOutput, ALongOutputWrittenInOddPiecesKeepsItsBytesAndTheOldFileUntilCommit) {
  test::TempDir dir;
  const auto target = dir / "out.yuv";
  const std::vector<uint8_t> old = test::RandomBytes(3'000'001, 7);
  test::WriteFileBytes(target, old);
  const std::vector<uint8_t> bytes = test::RandomBytes(40'000'003, 8);  // beyond two writeback steps

  auto output = AtomicOutput::Create(target);
  ASSERT_TRUE(output);
  AtomicOutput moved = std::move(*output);  // the writeback position moves with the file
  for (size_t at = 0, piece = 4'147'201; at < bytes.size(); at += piece) {
    ASSERT_TRUE(
        moved.file().Write(bytes.data() + at, static_cast<int64_t>(std::min(piece, bytes.size() - at))));
  }
  EXPECT_EQ(test::ReadFileBytes(target), old);
  ASSERT_TRUE(moved.Commit());
  EXPECT_EQ(test::ReadFileBytes(target), bytes);
  EXPECT_EQ(test::FileNamesIn(dir.path()), std::vector<std::string>{"out.yuv"});
}

TEST(AtomicOutput, TheTemporaryIsAHiddenNameBesideTheTargetWithTheProcessAndARandomPart) {
  test::TempDir dir;
  const auto target = dir / "k.yuv";
  auto output = AtomicOutput::Create(target);
  ASSERT_TRUE(output);
  const std::vector<std::string> names = test::FileNamesIn(dir.path());
  ASSERT_EQ(names.size(), 1u);
  const std::regex temporary("\\.k\\.yuv\\.velutrix-part\\." + std::to_string(::getpid()) +
                             "\\.[0-9a-f]{16}");
  EXPECT_TRUE(std::regex_match(names[0], temporary)) << names[0];
  // Names that only look alike belong to no write of k.yuv.
  for (const char* other :
       {".k.yuv.velutrix-partial", "k.yuv.velutrix-part.1.ab", ".k.yuv.velutrix-part2.1.ab"})
    test::WriteFileText(dir / other, "x");
  test::WriteFileText(dir / ".k.yuv.velutrix-part", "left by an older version");
  std::vector<std::string> found;
  for (const auto& path : TemporariesOf(target)) found.push_back(path.filename().string());
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{".k.yuv.velutrix-part", names[0]}));
  ASSERT_TRUE(output->Commit());
  EXPECT_TRUE(std::filesystem::exists(target));
  EXPECT_FALSE(std::filesystem::exists(dir / names[0]));
}

TEST(RawFile, OnlyRegularFilesAreOpenedForReading) {
  test::TempDir dir;
  test::WriteFileText(dir / "plain", "abc");
  EXPECT_TRUE(RawFile::OpenRead(dir / "plain"));
  EXPECT_FALSE(RawFile::OpenRead(dir.path())) << "a folder";
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  EXPECT_FALSE(RawFile::OpenRead(dir / "fifo")) << "a FIFO, never waited for";
}

TEST(MessageSink, RoutesEveryMessageToTheInstalledSink) {
  RecordingMessageSink outer;
  ScopedMessageSink outerScope(outer);
  {
    RecordingMessageSink inner;
    ScopedMessageSink innerScope(inner);
    ShowMessage("Error TEST1001: one\n");
    ShowMessage("Please give a name!", kPromptCaption);
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i) {
      workers.emplace_back([] {
        for (int j = 0; j < 100; ++j) ShowMessage("from a worker");
      });
    }
    for (std::thread& t : workers) t.join();
    const auto entries = inner.Entries();
    ASSERT_EQ(entries.size(), 402u);
    EXPECT_EQ(entries[0].caption, "Velutrix");
    EXPECT_EQ(entries[0].text, "Error TEST1001: one\n");
    EXPECT_EQ(entries[1].caption, "Error");
  }
  ShowMessage("after");
  EXPECT_EQ(outer.Texts(), std::vector<std::string>{"after"}) << "the previous sink is restored";
}

TEST(MessageSink, StderrSinkEndsEachMessageWithALineBreak) {
  StderrMessageSink sink;
  testing::internal::CaptureStderr();
  sink.Show("Velutrix", "Sorry, one\n");
  sink.Show("Velutrix", "two");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Sorry, one\ntwo\n");
}

TEST(StringHelpers, AtoiLikeNumbersAndCase) {
  struct Case {
    const char* text;
    int value;
  } cases[] = {{"42", 42},
               {"  -7x", -7},
               {"+3", 3},
               {"abc", 0},
               {"", 0},
               {"99999999999", INT32_MAX},
               {"-99999999999", INT32_MIN},
               {"12,5", 12}};
  for (const Case& c : cases) EXPECT_EQ(ParseLeadingInt(c.text), c.value) << c.text;
  EXPECT_EQ(ToLowerAscii("YUV420-Ab"), "yuv420-ab");
  EXPECT_TRUE(EqualsIgnoreCase(".UYVY", ".uyvy"));
  EXPECT_FALSE(EqualsIgnoreCase(".UYVY", ".uyv"));
  EXPECT_EQ(StrFormat("%s_%04d.bmp", "a", 7), "a_0007.bmp");
}

}  // namespace
}  // namespace vx
