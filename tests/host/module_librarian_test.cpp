// The librarian's bank saves in the plug-in module as a host loads it,
// driven through its window as a user does: clicks on the librarian page,
// the menus' and file prompts' answers scripted through the module's test
// table, the files read back from its data folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "hardware/ParameterList.h"
#include "testhost/TestHost.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Lines = std::vector<std::string>;
using testhost::Effect;
using testhost::Module;
namespace fs = std::filesystem;

// No hardware ports here: the port layer touches no MIDI library.
const bool g_noMidiPorts = setenv("TAVRIN_MIDI_API", "none", 1) == 0;

constexpr size_t kDump = 137;

// A sound dump of the instrument named "<tag> SOUND nn", category 1, with
// the header a bank read keeps (device 00, command 10, location 00 00) and
// its check byte (the low 7 bits of the sum of bytes 1..134) right.
Bytes sound(char tag, int slot) {
  Bytes d = {0xF0, 0x3E, 0x16, 0x00, 0x10, 0x00, 0x00};
  for (size_t p = 7; p < 120; ++p) d.push_back(static_cast<uint8_t>((p * 11 + slot * 3 + tag) & 0x7F));
  std::string name = std::string(1, tag) + " SOUND " + std::to_string(slot);
  name.resize(14, ' ');
  d.insert(d.end(), name.begin(), name.end());
  d.push_back(0x01);
  unsigned sum = 0;
  for (size_t i = 1; i < d.size(); ++i) sum += d[i];
  d.push_back(static_cast<uint8_t>(sum & 0x7F));
  d.push_back(0xF7);
  return d;
}

Bytes bank(char tag) {
  Bytes b;
  for (int slot = 0; slot < 100; ++slot) {
    const Bytes d = sound(tag, slot);
    b.insert(b.end(), d.begin(), d.end());
  }
  return b;
}

Bytes readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Lines entries(const std::string& folder) {
  Lines names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Lines splitLines(const std::string& text) {
  Lines out;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t at = text.find('\n', start);
    out.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) break;
    start = at + 1;
  }
  return out;
}

class ModuleLibrarian : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/tavrin-module-librarian-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    mData = std::string(templ) + "/";
    fs::create_directories(patches());
  }
  void TearDown() override {
    stop();
    std::error_code ec;
    fs::remove_all(mData, ec);
  }

  std::string patches() const { return mData + "Patches/"; }

  // The module over the data folder, one plug-in with its window open in
  // this thread's hands, on the librarian page.
  void start() {
    std::string error;
    mModule = Module::load(TAVRIN_MODULE, testhost::LoadOptions{mData, ""}, &error);
    ASSERT_TRUE(mModule && mModule->table() && mModule->table()->slotText) << error;
    t = mModule->table();
    mFx = std::make_unique<Effect>(mModule->firstEntry());
    ASSERT_TRUE(mFx->ok());
    mFx->start();
    e = mFx->effect();
    ASSERT_EQ(t->setViewFace(e, kFaceHeadless), 1);
    ASSERT_EQ(t->setViewDriving(e, kViewPumped), 1);
    ASSERT_EQ(mFx->dispatch(effEditOpen), 1);
    int32_t r[4];
    ASSERT_TRUE(t->controlRect(e, kShowLibrarian, nullptr, r) && click(r));
    ASSERT_EQ(t->paramValue(e, kShowLibrarian), 1.0);
  }
  void stop() {
    if (mFx) {
      mFx->dispatch(effEditClose);
      mFx->close();
    }
    mFx.reset();
    mModule.reset();
    e = nullptr;
  }

  // A press and release in the middle of r (the secondary button's for
  // secondary), delivered by one step of the view.
  bool click(const int32_t r[4], bool secondary = false) {
    TavrinViewCounters before{}, after{};
    if (!t->viewCounters(e, &before)) return false;
    for (int32_t kind : {kEventDown, kEventUp}) {
      TavrinViewEvent v{};
      v.kind = kind;
      v.x = (r[0] + r[2]) / 2 + 2;  // the view's point of a window point
      v.y = (r[1] + r[3]) / 2 + 3;
      v.secondary = secondary ? 1 : 0;
      v.clicks = 1;
      v.virtualKey = -1;
      if (!t->postViewEvent(e, &v)) return false;
    }
    t->pump(e, 1);
    return t->viewCounters(e, &after) && after.delivered == before.delivered + 2;
  }
  // Clicks the only control of a layer with the menu answer given (null:
  // the menu dismissed); the menu shown, its lines.
  Lines choose(const char* layer, const char* menuPath) {
    int32_t r[4];
    EXPECT_EQ(t->controlRect(e, -1, layer, r), 1) << layer;
    return chooseAt(r, menuPath);
  }
  Lines chooseAt(const int32_t r[4], const char* menuPath, bool secondary = false) {
    const int32_t menus = t->recordCount(e, kRecordMenu);
    const int32_t errors = t->recordCount(e, kRecordScriptError);
    t->answer(e, kAnswerMenuText, menuPath, 0);
    EXPECT_TRUE(click(r, secondary));
    EXPECT_EQ(t->recordCount(e, kRecordMenu), menus + 1);
    EXPECT_EQ(t->recordCount(e, kRecordScriptError), errors) << (menuPath ? menuPath : "dismissed");
    return lastRecord(kRecordMenu);
  }
  Lines lastRecord(int32_t kind) {
    const int32_t n = t->recordCount(e, kind);
    if (n == 0) return {};
    std::string text(size_t(t->record(e, kind, n - 1, nullptr, 0)) + 1, '\0');
    t->record(e, kind, n - 1, text.data(), int32_t(text.size()));
    text.resize(text.size() - 1);
    return splitLines(text);
  }
  std::string status() {
    char buf[256] = {};
    t->statusLine(e, 0, buf, sizeof buf);
    return buf;
  }
  // The upper list's folder menu as it shows now.
  Lines upperMenu() { return choose("LeftPatchPopupMenu", nullptr); }
  // A category for upper slot s through its slot menu, as a right click
  // there does: the bank is then edited.
  void setCategory(int slot, const char* category) {
    int32_t r[4];
    ASSERT_EQ(t->slotRect(e, 0, slot, r), 1);
    chooseAt(r, (std::string("Set Category/") + category).c_str(), true);
    ASSERT_EQ(t->paramValue(e, kBankEditUnsaved), 1.0);
  }

  std::string mData;
  std::unique_ptr<Module> mModule;
  std::unique_ptr<Effect> mFx;
  const TavrinModuleTable* t = nullptr;
  AEffect* e = nullptr;
};

bool has(const Lines& lines, const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); }

// Each "Save As..." item asks in save mode, proposing the bank's name in
// its form and its folder, and writes the upper bank in that form under
// the name chosen; after "Refresh Folders" the folder menu lists the file
// and shows it checked. A cancelled prompt writes nothing.
TEST_F(ModuleLibrarian, SaveAsWritesTheUpperBankInEachFormUnderTheChosenName) {
  const Bytes a = bank('A');
  writeFile(patches() + "Bank A.syx", a);
  start();

  choose("BANKEDITMENU", "Save As.../Tavrin Format (*.sr2)");
  const std::string folder = patches().substr(0, patches().size() - 1);
  EXPECT_EQ(lastRecord(kRecordFilePrompt), (Lines{"action 1", "folder " + folder, "name Bank A.sr2", "types sr2"}));
  EXPECT_EQ(t->recordCount(e, kRecordFilePrompt), 1);  // nothing answered yet: cancelled
  EXPECT_EQ(entries(patches()), Lines{"Bank A.syx"});

  t->answer(e, kAnswerFilePrompt, (patches() + "Raw Copy.sr2").c_str(), 0);
  choose("BANKEDITMENU", "Save As.../Tavrin Format (*.sr2)");
  EXPECT_EQ(readFile(patches() + "Raw Copy.sr2"), a);

  t->answer(e, kAnswerFilePrompt, (patches() + "Midi Copy.mid").c_str(), 0);
  choose("BANKEDITMENU", "Save As.../Standard MIDI (*.mid)");
  EXPECT_EQ(lastRecord(kRecordFilePrompt), (Lines{"action 1", "folder " + folder, "name Bank A.mid", "types mid"}));
  const Bytes midi = readFile(patches() + "Midi Copy.mid");
  ASSERT_EQ(midi.size(), 14152u);
  EXPECT_EQ(Bytes(midi.begin(), midi.begin() + 4), (Bytes{'M', 'T', 'h', 'd'}));
  for (int slot = 0; slot < 100; ++slot) {
    // Each event carries the dump from its byte 1; byte 4 is 01 and byte 5
    // the slot in this form, and the check byte follows them.
    Bytes want = sound('A', slot);
    want[4] = 0x01;
    want[5] = static_cast<uint8_t>(slot);
    unsigned sum = 0;
    for (size_t i = 1; i < 135; ++i) sum += want[i];
    want[135] = static_cast<uint8_t>(sum & 0x7F);
    const size_t at = 53 + 141 * size_t(slot);
    EXPECT_EQ(Bytes(midi.begin() + long(at), midi.begin() + long(at + kDump - 1)), Bytes(want.begin() + 1, want.end()))
        << slot;
  }

  t->answer(e, kAnswerFilePrompt, nullptr, 0);
  choose("BANKEDITMENU", "Save As.../Standard MIDI (*.mid)");
  EXPECT_EQ(t->recordCount(e, kRecordFilePrompt), 4);
  EXPECT_EQ(entries(patches()), (Lines{"Bank A.syx", "Midi Copy.mid", "Raw Copy.sr2"}));

  choose("BANKEDITMENU", "Refresh Folders");
  const Lines menu = upperMenu();
  EXPECT_TRUE(has(menu, "[x] Midi Copy.mid")) << ::testing::PrintToString(menu);
  EXPECT_TRUE(has(menu, "[ ] Raw Copy.sr2")) << ::testing::PrintToString(menu);
  EXPECT_TRUE(has(menu, "[ ] Bank A.syx")) << ::testing::PrintToString(menu);
}

// "Save (Overwrite current bank)" of a ".syx" bank whose ".sr2" name holds
// another bank keeps that bank byte for byte, writes "Bank A (2).sr2",
// names it on the status line and lists it after the refresh.
TEST_F(ModuleLibrarian, SavingASyxBankKeepsAnotherBankOfItsSr2Name) {
  const Bytes a = bank('A'), other = bank('O');
  writeFile(patches() + "Bank A.syx", a);
  writeFile(patches() + "Bank A.sr2", other);
  start();
  choose("LeftPatchPopupMenu", "Bank A.syx");
  ASSERT_TRUE(has(upperMenu(), "[x] Bank A.syx"));

  choose("BANKEDITMENU", "Save (Overwrite current bank)");
  EXPECT_EQ(readFile(patches() + "Bank A.sr2"), other);
  EXPECT_EQ(readFile(patches() + "Bank A (2).sr2"), a);
  EXPECT_EQ(readFile(patches() + "Bank A.syx"), a);
  EXPECT_EQ(status(), "Saved as Bank A (2).sr2");

  choose("BANKEDITMENU", "Refresh Folders");
  EXPECT_TRUE(has(upperMenu(), "[x] Bank A (2).sr2"));
  EXPECT_EQ(readFile(patches() + "Bank A.sr2"), other);
}

// The stale ".syx" opened again after an earlier save (here by discarding
// the edits made since, which reads it anew) and saved with other edits:
// the earlier save keeps every byte.
TEST_F(ModuleLibrarian, TheStaleSyxSavedAgainKeepsTheEarlierSave) {
  const Bytes a = bank('A');
  writeFile(patches() + "Bank A.syx", a);
  start();
  setCategory(3, "Pad");
  choose("BANKEDITMENU", "Save (Overwrite current bank)");
  const Bytes earlier = readFile(patches() + "Bank A.sr2");
  ASSERT_EQ(earlier.size(), 13700u);
  EXPECT_EQ(earlier[3 * kDump + 134], 9);  // the edit
  EXPECT_EQ(status().find("Saved as"), std::string::npos) << status();
  // Saved again unchanged: its own file, no copy.
  choose("BANKEDITMENU", "Save (Overwrite current bank)");
  EXPECT_EQ(entries(patches()), (Lines{"Bank A.sr2", "Bank A.syx"}));

  ASSERT_EQ(t->setParamFromGUI(e, kDiscardBankData, 1), 1);
  EXPECT_EQ(t->paramValue(e, kBankEditUnsaved), 0.0);
  ASSERT_TRUE(has(upperMenu(), "[x] Bank A.syx"));
  setCategory(4, "Bass");
  choose("BANKEDITMENU", "Save (Overwrite current bank)");
  EXPECT_EQ(readFile(patches() + "Bank A.sr2"), earlier);
  const Bytes later = readFile(patches() + "Bank A (2).sr2");
  ASSERT_EQ(later.size(), 13700u);
  EXPECT_EQ(later[3 * kDump + 134], 1);
  EXPECT_EQ(later[4 * kDump + 134], 3);
  EXPECT_EQ(status(), "Saved as Bank A (2).sr2");
}

}  // namespace
