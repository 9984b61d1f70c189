#include <gtest/gtest.h>
#include <sys/stat.h>

#include <regex>

#include "editor/DebuggerOutput.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "testsupport.h"

namespace {

std::string text(const std::string& path) {
  auto b = testsupport::readFile(path);
  return std::string(b.begin(), b.end());
}

TEST(DebugLog, OffWithoutFileAndNothingCreated) {
  testsupport::ScopedFolders folders;
  const std::string path = platform::dataFolder() + kDebugLogFileName;
  EXPECT_FALSE(DebuggerOutput::openDebugFile(path));
  EXPECT_FALSE(testsupport::fileExists(path));
}

TEST(DebugLog, ExistingFileIsEmptiedThenAppended) {
  testsupport::ScopedFolders folders;
  const std::string path = platform::dataFolder() + kDebugLogFileName;
  ASSERT_TRUE(testsupport::writeFile(path, std::string("old line\nother\n")));
  ASSERT_TRUE(DebuggerOutput::openDebugFile(path));
  EXPECT_EQ(text(path), "");
  DebuggerOutput::printDebugInfo(path, "INITIALIZATION STARTED!");
  DebuggerOutput::printDebugInfo(path, "");
  const std::string t = text(path);
  const std::regex line(R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2}\t INITIALIZATION STARTED!\n)"
                        R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2}\t \n)");
  EXPECT_TRUE(std::regex_match(t, line)) << t;
}

// A pipe named like the log neither switches it on nor is waited for, and
// a line for it is dropped.
TEST(DebugLog, APipeNamedLikeTheLogCountsAsMissing) {
  testsupport::ScopedFolders folders;
  const std::string path = platform::dataFolder() + kDebugLogFileName;
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  EXPECT_TRUE(testsupport::endsWithoutWaitingOnPipes(
      [&] {
        EXPECT_FALSE(DebuggerOutput::openDebugFile(path));
        DebuggerOutput::printDebugInfo(path, "dropped");
      },
      {path}, std::chrono::seconds(60)));
  struct stat st {};
  ASSERT_EQ(::lstat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(DebugLog, TimeStampComesFromTheClock) {
  setenv("TZ", "UTC", 1);
  tzset();
  platform::ManualClock mc(1796480587ull * 1000000ull);  // 2026-12-05 14:23:07 UTC
  platform::ScopedClock scope(mc);
  EXPECT_EQ(DebuggerOutput::timeStamp(), "2026-12-05.14:23:07");
}

// A message given as ints: each int's low 8 bits as two digits, at most
// length of them; an empty message still gives its line.
TEST(DebugLog, SentIntsAreWrittenAsTheBytesThatGoOut) {
  testsupport::ScopedFolders folders;
  const std::string path = platform::dataFolder() + kDebugLogFileName;
  DebuggerOutput::logSysExOutMessageByteInt(path, {62, 22, 0x105, 4, 0x7F}, 5);
  DebuggerOutput::logSysExOutMessageByteInt(path, {0xF0, -1, 0xF7}, 2);
  DebuggerOutput::logSysExOutMessageByteInt(path, {62, 22}, 9);
  DebuggerOutput::logSysExOutMessageByteInt(path, {}, 0);
  const std::regex lines(R"(\S+\t SYSEX OUT: 3E 16 05 04 7F\n)"
                         R"(\S+\t SYSEX OUT: F0 FF\n)"
                         R"(\S+\t SYSEX OUT: 3E 16\n)"
                         R"(\S+\t SYSEX OUT:\n)");
  const std::string t = text(path);
  EXPECT_TRUE(std::regex_match(t, lines)) << t;
}

TEST(DebugLog, UnwritablePathIsSilent) {
  DebuggerOutput::printDebugInfo("/nonexistent-folder/x/log.txt", "msg");
  EXPECT_FALSE(testsupport::fileExists("/nonexistent-folder/x/log.txt"));
}

}  // namespace
