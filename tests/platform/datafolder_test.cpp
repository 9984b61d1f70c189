// Where the data folder lies by default, and making it: a user who is not
// root must be able to make and write it, so it lives in the user's data
// home; every case runs with its home in a temporary folder.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/folders.h"
#include "testsupport.h"

namespace {

constexpr const char* kTail = "Quillfen/Brannick Tavrin Editor/";

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The plain user: no overrides, HOME at the given folder, no XDG_DATA_HOME.
struct DataFolder : ::testing::Test {
  void SetUp() override {
    platform::setDataFolder("");
    env.set(platform::kDataFolderEnv, nullptr);
    env.set("XDG_DATA_HOME", nullptr);
    env.set("HOME", home.path().c_str());
  }
  testsupport::TempDir home;
  testsupport::ScopedEnv env;
};

TEST_F(DataFolder, DefaultIsInTheUsersDataHome) {
  const std::string local = home.path() + ".local/share/" + kTail;
  EXPECT_EQ(platform::dataFolder(), local);
  EXPECT_EQ(platform::defaultDataFolder(), local);

  env.set("XDG_DATA_HOME", "/srv/data");
  EXPECT_EQ(platform::dataFolder(), std::string("/srv/data/") + kTail);
  // Empty, or relative to whatever folder the host runs in: not a data home.
  for (const char* unusable : {"", "data/share"}) {
    env.set("XDG_DATA_HOME", unusable);
    EXPECT_EQ(platform::dataFolder(), local) << unusable;
  }

  // Without HOME the password database names the home.
  env.set("HOME", nullptr);
  const passwd* entry = getpwuid(getuid());
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(platform::dataFolder(), platform::withTrailingSlash(entry->pw_dir) + ".local/share/" + kTail);

  // The environment variable and the programmatic override still win.
  env.set(platform::kDataFolderEnv, "/tmp/chosen");
  EXPECT_EQ(platform::dataFolder(), "/tmp/chosen/");
  platform::setDataFolder("/tmp/set");
  EXPECT_EQ(platform::dataFolder(), "/tmp/set/");
  platform::setDataFolder("");
}

TEST_F(DataFolder, MadeWithItsParentsAndPatches) {
  const std::string data = platform::dataFolder();
  ASSERT_FALSE(isFolder(data));
  EXPECT_EQ(platform::makeDataFolder(), platform::FolderState::Ready);
  EXPECT_TRUE(isFolder(data + "Patches"));
  // A data home it had to make is the user's alone.
  struct stat st {};
  ASSERT_EQ(::stat((home.path() + ".local/share").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0077, 0u);
  // Made once; the next start finds it.
  EXPECT_EQ(platform::makeDataFolder(), platform::FolderState::Ready);

  // An overriding folder is made the same way.
  const std::string chosen = home.path() + "elsewhere/deeper/";
  env.set(platform::kDataFolderEnv, chosen.c_str());
  EXPECT_EQ(platform::makeDataFolder(), platform::FolderState::Ready);
  EXPECT_TRUE(isFolder(chosen + "Patches"));
}

// A file where a folder has to go stops it, even for root; the file stays.
TEST_F(DataFolder, AFileInTheWayIsReportedAndKept) {
  ASSERT_TRUE(testsupport::writeFile(home.file("file"), std::string("x")));
  env.set("HOME", home.file("file").c_str());
  EXPECT_EQ(platform::makeDataFolder(), platform::FolderState::NotMade);
  EXPECT_EQ(testsupport::readFile(home.file("file")).size(), 1u);

  env.set("HOME", home.path().c_str());
  ASSERT_EQ(platform::makeFolders(platform::dataFolder()), platform::FolderState::Ready);
  ASSERT_TRUE(testsupport::writeFile(platform::dataFolder() + "Patches", std::string("y")));
  EXPECT_EQ(platform::makeDataFolder(), platform::FolderState::NotMade);
  EXPECT_EQ(platform::makeFolders(""), platform::FolderState::NotMade);
}

// A folder this process may not write to (root may write anywhere, so only
// another user sees it).
TEST_F(DataFolder, AReadOnlyFolderIsNotWritable) {
  const std::string data = platform::dataFolder();
  ASSERT_EQ(platform::makeDataFolder(), platform::FolderState::Ready);
  ASSERT_EQ(::chmod(data.c_str(), 0555), 0);
  const bool root = ::geteuid() == 0;
  EXPECT_EQ(platform::makeFolders(data), root ? platform::FolderState::Ready : platform::FolderState::NotWritable);
  ::chmod(data.c_str(), 0755);
}

}  // namespace
