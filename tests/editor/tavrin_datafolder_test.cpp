// The plug-in of a user whose home is a fresh temporary folder, with no
// folder named in the environment: the data folder and its Patches folder
// are made in the user's data home at start, and a bank fetched from the
// simulated instrument is saved there. A home that cannot hold the folder
// is named on the status line, and the plug-in still starts.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "framework/ControlLayer.h"
#include "host/EffectInterface.h"
#include "framework/IControl.h"
#include "hardware/ParameterList.h"
#include "librarian/LibrarianViewControl.h"
#include "librarian/PatchLibrarian.h"
#include "platform/folders.h"
#include "support_midi.h"
#include "support_tavrin.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kNotMade = "Data folder cannot be made!";
constexpr const char* kReadOnly = "Data folder is read-only!";

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class TavrinDataFolder : public ::testing::Test {
 protected:
  // The harness makes its first plug-in in a folder of its own; the user's
  // plug-in is made again without any override, started as a host starts
  // it (each step resets the status line) and its window opened.
  void startAsUser(const std::string& homePath) {
    env.set("HOME", homePath.c_str());
    platform::setDataFolder("");
    h.make();
    dispatch(effOpen);
    dispatch(effSetSampleRate);
    dispatch(effSetBlockSize, 256);
    dispatch(effMainsChanged, 1);
    openWindow();
  }
  intptr_t dispatch(int32_t opcode, intptr_t value = 0) {
    AEffect* e = h.tavrin().GetAEffect();
    return e->dispatcher(e, opcode, 0, value, opcode == effEditOpen ? &mWindow : nullptr, 48000.0f);
  }
  void openWindow() { ASSERT_EQ(dispatch(effEditOpen), 1); }
  // Presses the middle of the only control of a layer with the menu answer
  // and, when given, the answer of the file prompt the item opens.
  void pressMenu(const char* layer, std::vector<std::string> answer, const std::string& file = "") {
    IControl* menu = nullptr;
    {
      KIT_MutexLock lock(h.tavrin().GetMutex());
      ControlLayer* l = h.tavrin().namedLayer(layer);
      ASSERT_NE(l, nullptr) << layer;
      ASSERT_TRUE(l->IsVisible()) << layer;
      menu = l->GetControl(0);
    }
    const IRECT r = *menu->GetRECT();
    h.gui().answerMenuByText(std::move(answer));
    if (!file.empty()) h.gui().answerFilePrompt(file);
    h.gui().press((r.L + r.R) / 2, (r.T + r.B) / 2);
    h.gui().release((r.L + r.R) / 2, (r.T + r.B) / 2);
    for (const std::string& unused : h.gui().unusedAnswers()) ADD_FAILURE() << layer << ": " << unused;
  }

  // Declared before the harness, so that the plug-in goes first.
  testsupport::TempDir home;
  testsupport::ScopedEnv env;
  edtest::Harness h{edtest::projectRoot(), nullptr, false, {}, false};
  std::string local = home.path() + ".local/share/Quillfen/Brannick Tavrin Editor/";
  char mWindow[1] = {};

  void SetUp() override {
    env.set(platform::kDataFolderEnv, nullptr);
    env.set("XDG_DATA_HOME", nullptr);
  }
};

TEST_F(TavrinDataFolder, PatchesIsMadeInTheHomeAndAFetchedBankIsSavedThere) {
  startAsUser(home.path());
  Tavrin& p = h.tavrin();
  const std::string patches = local + "Patches";
  ASSERT_TRUE(isFolder(patches));
  EXPECT_EQ(p.getPatchesFolderStr(), patches);
  EXPECT_NE(p.statusText(), kNotMade);
  EXPECT_NE(p.statusText(), kReadOnly);

  // A bank from elsewhere is imported into it, and becomes the upper bank.
  testsupport::TempDir outside;
  Bytes bank;
  for (int slot = 0; slot < 100; ++slot) {
    Bytes dump(137, 0);
    dump[0] = 0xF0, dump[1] = 0x3E, dump[2] = 0x16, dump[4] = 0x10, dump[136] = 0xF7;
    bank.insert(bank.end(), dump.begin(), dump.end());
  }
  ASSERT_TRUE(testsupport::writeFile(outside.file("Home Bank.sr2"), bank));
  h.set(kMainTab, 1);
  pressMenu("BANKEDITMENU", {"Import...", "SysEx (*.syx / *.sr2)"}, outside.file("Home Bank.sr2"));
  const std::string saved = patches + "/Home Bank.sr2";
  ASSERT_EQ(testsupport::readFile(saved), bank);
  {
    KIT_MutexLock lock(p.GetMutex());
    ASSERT_NE(p.librarian()->upperFile(), nullptr);
    EXPECT_EQ(p.librarian()->upperFile()->fullPath(), saved);
  }

  // The instrument's bank 0 is fetched into it and saved over it.
  ASSERT_TRUE(h.choosePortsAndWait());
  h.set(kMainTab, 1);
  h.holdJobSleeps([&] {
    h.settle();
    return true;
  });
  pressMenu("BANKEDITMENU", {"Request Patch Data", "Patches from 001-100"});
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.jobRunning(); }, std::chrono::seconds(60)));
  h.holdJobSleeps({});
  h.settle();
  pressMenu("BANKEDITMENU", {"Save (Overwrite current bank)"});

  const Bytes written = testsupport::readFile(saved);
  ASSERT_EQ(written.size(), 100u * 137u);
  for (size_t s = 0; s < 100; ++s) {
    char name[15];
    std::snprintf(name, sizeof name, "SIM 0-%02zu      ", s);
    const auto at = written.begin() + static_cast<std::ptrdiff_t>(s * 137 + 120);
    EXPECT_EQ(std::string(at, at + 14), std::string(name, 14)) << s;
  }
}

// A home that is a file: no folder can be made in it. The status line says
// so when the window first shows, and the plug-in starts as it would
// otherwise, with an empty librarian.
TEST_F(TavrinDataFolder, AFolderThatCannotBeMadeIsNamedOnTheStatusLine) {
  ASSERT_TRUE(testsupport::writeFile(home.file("not a folder"), std::string("x")));
  startAsUser(home.file("not a folder"));
  Tavrin& p = h.tavrin();
  EXPECT_EQ(p.statusText(), kNotMade);
  EXPECT_TRUE(p.editorReady());
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_EQ(p.librarian()->upperFile(), nullptr);
  }
  // Once: neither a later look at the folder nor the window's next opening
  // says it again.
  h.set(kMainTab, 1);
  p.setStatusText("");
  pressMenu("BANKEDITMENU", {"Refresh Folders"});
  EXPECT_NE(p.statusText(), kNotMade);
  p.setStatusText("");
  EXPECT_EQ(dispatch(effEditClose), 1);
  openWindow();
  EXPECT_EQ(p.statusText(), "");
  EXPECT_EQ(testsupport::readFile(home.file("not a folder")), Bytes{'x'});
}

}  // namespace
