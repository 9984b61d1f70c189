// Opening files by name: only a regular file is opened, read or appended
// to, and nothing in a file's place (a pipe, a device, a folder) is waited
// for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "testsupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool isFifo(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

TEST(Files, OnlyRegularFilesAreOpenedReadOrAppendedTo) {
  testsupport::TempDir dir;
  const std::string plain = dir.file("plain.txt"), link = dir.file("link.txt"), pipe = dir.file("pipe.txt"),
                    folder = dir.file("folder.txt"), device = dir.file("device.txt"), missing = dir.file("none.txt");
  ASSERT_TRUE(testsupport::writeFile(plain, std::string("abcdef")));
  ASSERT_EQ(::symlink(plain.c_str(), link.c_str()), 0);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  ASSERT_EQ(::symlink("/dev/null", device.c_str()), 0);
  struct Row {
    std::string path;
    bool regular;
  };
  const Row rows[] = {{plain, true}, {link, true}, {pipe, false}, {folder, false}, {device, false}, {missing, false}};
  const bool ended = testsupport::endsWithoutWaitingOnPipes(
      [&] {
        for (const Row& r : rows) {
          SCOPED_TRACE(r.path);
          for (int flags : {O_RDONLY, O_WRONLY, O_RDWR}) {
            const int fd = platform::openRegularFile(r.path, flags);
            EXPECT_EQ(fd >= 0, r.regular) << flags;
            if (fd >= 0) {
              EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
              EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
              ::close(fd);
            }
          }
          Bytes bytes{9};
          EXPECT_EQ(platform::readFileStart(r.path, &bytes, 4), r.regular);
          EXPECT_EQ(bytes, r.regular ? Bytes({'a', 'b', 'c', 'd'}) : Bytes());
          EXPECT_EQ(platform::readWholeFile(r.path, &bytes, 100), r.regular);
        }
      },
      {pipe}, std::chrono::seconds(60));
  EXPECT_TRUE(ended);
  EXPECT_EQ(platform::openRegularFile("", O_RDONLY), -1);
}

TEST(Files, AppendingCreatesAMissingFileAndLeavesAPipeAlone) {
  testsupport::TempDir dir;
  const std::string log = dir.file("log.txt"), pipe = dir.file("pipe.txt");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const Bytes one{'1', '\n'}, two{'2', '\n'};
  const bool ended = testsupport::endsWithoutWaitingOnPipes(
      [&] {
        EXPECT_TRUE(platform::appendToFile(log, one));
        EXPECT_TRUE(platform::appendToFile(log, two));
        EXPECT_FALSE(platform::appendToFile(pipe, one));
        EXPECT_FALSE(platform::appendToFile(dir.file("no-folder/log.txt"), one));
      },
      {pipe}, std::chrono::seconds(60));
  EXPECT_TRUE(ended);
  EXPECT_EQ(testsupport::readFile(log), Bytes({'1', '\n', '2', '\n'}));
  EXPECT_TRUE(isFifo(pipe));
}

}  // namespace
