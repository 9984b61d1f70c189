// The UI settings file on its own: the lines it writes and reads back, and a
// pipe or folder under its name, which is never waited on or written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "editor/UISettingsFile.h"
#include "testsupport.h"

namespace {

struct UISettings : ::testing::Test {
  testsupport::TempDir dir;
  const std::string path = dir.path() + "settings.txt";
};

TEST_F(UISettings, WritesTheFiveLinesAndReadsThemBack) {
  EXPECT_FALSE(UISettingsFile::exists(path));
  EXPECT_FALSE(UISettingsFile::read(path).opened);
  const UISettingsFile::Lines lines = {"black", "large", "no", "", "kept"};
  ASSERT_TRUE(UISettingsFile::write(path, lines));
  const auto bytes = testsupport::readFile(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "black\nlarge\nno\n\nkept");
  EXPECT_TRUE(UISettingsFile::exists(path));
  const UISettingsFile::Contents read = UISettingsFile::read(path);
  EXPECT_TRUE(read.opened);
  EXPECT_EQ(read.lines, lines);
  EXPECT_EQ(read.scale, 1.25);
  EXPECT_EQ(read.theme, 1);
}

// Opening a pipe for reading would wait for a writer; none of these does.
TEST_F(UISettings, APipeOrFolderOfThatNameIsMissingAndNeverWritten) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
  EXPECT_FALSE(UISettingsFile::exists(path));
  EXPECT_FALSE(UISettingsFile::read(path).opened);
  EXPECT_FALSE(UISettingsFile::write(path, {"normal", "small", "yes", "", ""}));
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  const std::string folder = dir.path() + "folder";
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  EXPECT_FALSE(UISettingsFile::exists(folder));
  EXPECT_FALSE(UISettingsFile::write(folder, {}));
}

}  // namespace
