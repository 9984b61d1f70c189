#include "shim/wincommon.h"

#include <cstdlib>
#include <cstring>

#include "shim/winbase.h"
#include "shim/winmenu.h"
#include "support_windows.h"

namespace {

class Common : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SHIM_ResetClipboard();
  }
  void TearDown() override {
    SHIM_ResetClipboard();
    WindowTest::TearDown();
  }
  static HGLOBAL Block(const std::string& bytes) {
    HGLOBAL h = GlobalAlloc(0, static_cast<int>(bytes.size()));
    std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
    GlobalUnlock(h);
    return h;
  }
  static std::string Text(HGLOBAL h) { return std::string(static_cast<const char*>(GlobalLock(h)), GlobalSize(h)); }
};

TEST_F(Common, PanelsGiveTheirFormsAndKeepTheirAnswersInBounds) {
  const char filters[] = "Sounds\0*.wav;*.aif\0All\0*.*\0Archives\0*.tar.gz;noext;*.x\0";
  EXPECT_EQ(SHIM_FilterExtensions(filters), "wav;aif;tar.gz");
  winsys::test::answerPrompt({"/p1"});
  winsys::test::answerPrompt({"/p1", "/p2"});
  winsys::test::answerPrompt({});
  for (auto [multiple, want] : {std::pair{false, std::string("/p1\0\0", 5)}, {true, std::string("\0/p1\0/p2\0\0", 10)}}) {
    char* list = BrowseForFiles("Open", "/start", "/dir/name.wav", multiple, filters);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(std::string(list, want.size()), want);
    std::free(list);
  }
  EXPECT_EQ(BrowseForFiles("Open", nullptr, nullptr, false, nullptr), nullptr);  // no answer: cancel
  const auto& rec = winsys::test::prompts();
  ASSERT_EQ(rec.size(), 3u);
  EXPECT_EQ(rec[0].folder, "/dir");
  EXPECT_EQ(rec[0].name, "name.wav");
  EXPECT_EQ(rec[0].extensions.size(), 3u);
  EXPECT_TRUE(rec[1].multiple);

  char buf[8];
  std::memset(buf, 'X', sizeof buf);
  EXPECT_FALSE(BrowseForSaveFile("Save", nullptr, "/only", nullptr, buf, 0));
  EXPECT_FALSE(BrowseForDirectory("Dir", nullptr, buf, 1));
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(winsys::test::prompts().size(), 3u);  // nothing was shown
  winsys::test::answerPrompt({"/folder/file"});
  EXPECT_TRUE(BrowseForSaveFile("Save", nullptr, "/only", nullptr, buf, 5));
  EXPECT_STREQ(buf, "/fol");
  EXPECT_EQ(winsys::test::prompts().back().folder, "/");
  winsys::test::answerPrompt({"/abcdef"});
  std::memset(buf, 'X', sizeof buf);
  EXPECT_TRUE(BrowseForDirectory("Dir", "/start", buf, 6));
  EXPECT_EQ(std::string(buf, 6), std::string("/abc\0\0", 6));
}

TEST_F(Common, TheAccessoryAppliesOnceAndTheModalMenuShowsMeanwhile) {
  static SHIM_DialogResourceIndex acc{"ACC", nullptr, SHIM_DIALOG_FLIPPED, nullptr, 100, 50, nullptr};
  HMENU modal = CreatePopupMenuEx("modal");
  SHIM_SetDefaultModalWindowMenu(modal);
  BrowseFile_SetTemplate("ACC", RecorderDlgProc, &acc);
  char buf[16];
  BrowseForDirectory("a", nullptr, buf, sizeof buf);
  BrowseForDirectory("b", nullptr, buf, sizeof buf);
  const auto& rec = winsys::test::prompts();
  EXPECT_EQ(rec[0].accessory, "ACC");
  EXPECT_EQ(rec[1].accessory, "");
  EXPECT_TRUE(rec[0].mainMenuShown);
  EXPECT_EQ(rec[0].mainMenuTitle, "modal");
  EXPECT_EQ(winsys::app::mainMenu(), nullptr);  // the focus has no menu
  EXPECT_EQ(rec.size(), 2u);
  SHIM_SetDefaultModalWindowMenu(nullptr);
  DestroyMenu(modal);
}

TEST_F(Common, MessageBoxesAnswerByTitle) {
  winsys::test::answerAlert("No");
  EXPECT_EQ(MessageBox(nullptr, "text", "caption", MB_YESNOCANCEL), IDNO);
  winsys::test::answerAlert("Maybe");
  EXPECT_EQ(MessageBox(nullptr, "t", "c", MB_OKCANCEL), 0);
  EXPECT_EQ(MessageBox(nullptr, "t", "c", 2), 0);
  ASSERT_EQ(winsys::test::alerts().size(), 2u);
  EXPECT_EQ(winsys::test::alerts()[0].buttons, (std::vector<std::string>{"Yes", "Cancel", "No"}));
}

TEST_F(Common, ClipboardFormatsAndPasteboards) {
  OpenClipboard(nullptr);
  EXPECT_EQ(RegisterClipboardFormat("SHIM__CF_TEXT"), 1u);
  const UINT x = RegisterClipboardFormat("X");
  EXPECT_EQ(x, 2u);
  EXPECT_EQ(RegisterClipboardFormat("X"), 2u);
  EmptyClipboard();
  SetClipboardData(1, Block("hello\0junk"));
  SetClipboardData(x, Block(std::string("\x01\0\x02", 3)));
  CloseClipboard();
  OpenClipboard(nullptr);
  EXPECT_EQ(EnumClipboardFormats(0), 1u);
  EXPECT_EQ(EnumClipboardFormats(1), x);
  EXPECT_EQ(EnumClipboardFormats(x), 0u);
  EXPECT_EQ(Text(GetClipboardData(1)), std::string("hello\0", 6));
  EXPECT_EQ(Text(GetClipboardData(x)), std::string("\x01\0\x02", 3));  // kept beside the text
  EXPECT_EQ(GetClipboardData(9), nullptr);
  CloseClipboard();
  // a private format alone leaves the text where it was
  OpenClipboard(nullptr);
  SetClipboardData(x, Block("y"));
  CloseClipboard();
  OpenClipboard(nullptr);
  EXPECT_EQ(Text(GetClipboardData(1)), std::string("hello\0", 6));
  EXPECT_EQ(Text(GetClipboardData(x)), "y");
  SetClipboardData(x, Block("pending, never closed"));
  OpenClipboard(nullptr);  // frees what was pending
  CloseClipboard();
}

TEST_F(Common, DropBlocksAreReadWithinTheirSize) {
  std::string head("\x10\0\0\0\x05\0\0\0\x06\0\0\0\0\0\0\0", 16);
  HGLOBAL drop = Block(head + std::string("/a/b\0/c\0/d\0\0", 12));
  POINT pt{};
  EXPECT_EQ(DragQueryPoint(drop, &pt), TRUE);
  EXPECT_EQ(pt.x, 5);
  EXPECT_EQ(DragQueryFile(drop, 0xFFFFFFFFu, nullptr, 0), 3u);
  char buf[3];
  EXPECT_EQ(DragQueryFile(drop, 0, buf, sizeof buf), 2u);
  EXPECT_STREQ(buf, "/a");
  EXPECT_EQ(DragQueryFile(drop, 0, nullptr, 0), 4u);
  EXPECT_EQ(DragQueryFile(drop, 3, buf, sizeof buf), 0u);
  GlobalFree(drop);
  HGLOBAL open = Block(head + std::string("/a\0/unterminated", 16));
  EXPECT_EQ(DragQueryFile(open, 0xFFFFFFFFu, nullptr, 0), 1u);
  GlobalFree(open);
  HGLOBAL outside = Block(std::string("\xFF\0\0\0", 4));
  EXPECT_EQ(DragQueryFile(outside, 0xFFFFFFFFu, nullptr, 0), 0u);
  EXPECT_EQ(DragQueryPoint(outside, &pt), FALSE);
  GlobalFree(outside);
  EXPECT_EQ(DragQueryFile(nullptr, 0xFFFFFFFFu, nullptr, 0), 0u);
}

TEST_F(Common, ShellExecuteRecordsWhatItWouldOpen) {
  struct Case {
    const char *file, *params;
    winsys::app::WorkspaceRecord want;
  } cases[] = {
      {"HTTPS://example.org", nullptr, {"url", "HTTPS://example.org", ""}},
      {"http://x", nullptr, {"url", "http://x", ""}},
      {"notepad", "/doc.txt", {"file", "/doc.txt", "TextEdit.app"}},
      {"explorer.exe", "/folder", {"file", "/folder", ""}},
      {"Tool.APP", nullptr, {"launch", "Tool.APP", ""}},
  };
  for (const Case& c : cases) EXPECT_EQ(ShellExecute(nullptr, "open", c.file, c.params, nullptr, 1), TRUE);
  ASSERT_EQ(winsys::test::workspaceRecords().size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    const auto& r = winsys::test::workspaceRecords()[i];
    EXPECT_EQ(r.kind + "|" + r.target + "|" + r.application,
              cases[i].want.kind + "|" + cases[i].want.target + "|" + cases[i].want.application);
  }
  EXPECT_EQ(ShellExecute(nullptr, nullptr, "explorer.exe", "explorer.exe", nullptr, 1), FALSE);
  winsys::test::answerWorkspace(false);
  EXPECT_EQ(ShellExecute(nullptr, nullptr, "/file", nullptr, nullptr, 1), FALSE);
}

}  // namespace
