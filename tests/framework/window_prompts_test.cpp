// Prompts answered by scripts: menus, text entries, file prompts, OpenURL and
// message boxes, with no display.
#include "framework/IParam.h"
#include "framework/ITextControl.h"
#include "platform/winsys/winsys.h"
#include "support_window.h"

namespace {
// A message dialog's procedure: OK ends it with 1; the name field's text is
// kept for the test.
std::string gDialogName;
INT_PTR MessageDialogProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) return 1;
  if (msg != WM_COMMAND) return 0;
  char name[32];
  GetDlgItemText(w, 10013, name, sizeof(name));
  gDialogName = name;
  if (wp == (WPARAM)IDOK) EndDialog(w, 1);
  return 1;
}

// The dialog's name field: a model text field.
void MakeNameField(HWND w, int) {
  auto* field = new winsys::TextField;
  field->setTag(10013);
  winsys::lookup<winsys::View>(w)->addSubview(field);
  field->release();
}

class TextSink : public ITextControl {
 public:
  using ITextControl::ITextControl;
  void TextFromTextEntry(const char* text) override { received.push_back(text); }
  std::vector<std::string> received;
};
}  // namespace

class Prompts : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    Make(200, 120);
  }
};

TEST_F(Prompts, MenusChooseByPathDismissAndReportImpossibleAnswers) {
  AttachAndOpen();
  IPopupMenu sub;
  sub.AddItem("Inner A");
  sub.AddSeparator();
  sub.AddItem("Inner B");
  IPopupMenu menu;
  menu.SetPrefix(2);
  menu.AddItem("Heading", -1, IPopupMenuItem::kTitle);
  menu.AddItem("One", -1, IPopupMenuItem::kChecked);
  menu.AddSeparator();
  menu.AddItem("More", &sub);
  menu.AddItem("Off", -1, IPopupMenuItem::kDisabled);
  IRECT at(10, 20, 30, 40);

  g->answerMenuByIndex({3, 2});
  EXPECT_EQ(g->CreateIPopupMenu(&menu, &at), &sub);
  EXPECT_EQ(sub.GetChosenItemIdx(), 2);  // separators count
  EXPECT_EQ(menu.GetChosenItemIdx(), -1);
  ASSERT_EQ(g->menus().size(), 1u);
  EXPECT_EQ(g->menus()[0].rect, at);
  EXPECT_EQ(g->menus()[0].lines,
            std::vector<std::string>({"[ ] 01: Heading (title)", "[x] 02: One", "----", "[ ] 04: More >",
                                      "  [ ] Inner A", "  ----", "  [ ] Inner B", "[ ] 05: Off (disabled)"}));
  g->answerMenuByText({"More", "Inner A"});
  EXPECT_EQ(g->CreateIPopupMenu(&menu, &at), &sub);
  EXPECT_EQ(sub.GetChosenItemIdx(), 0);
  g->answerMenuByText({"One"});
  EXPECT_EQ(g->CreateIPopupMenu(&menu, &at), &menu);
  EXPECT_EQ(menu.GetChosenItemIdx(), 1);
  g->answerMenuDismiss();
  EXPECT_EQ(g->CreateIPopupMenu(&menu, &at), nullptr);
  EXPECT_EQ(g->CreateIPopupMenu(&menu, &at), nullptr);  // no answer: dismissed

  // Titles, disabled items, separators and submenu items cannot be chosen.
  for (int item : {0, 4, 2, 3, 9}) {
    g->answerMenuByIndex({item});
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &at), nullptr) << item;
  }
  EXPECT_EQ(g->takeScriptErrors().size(), 5u);

  // An empty menu shows nothing and takes no answer.
  IPopupMenu empty;
  g->answerMenuDismiss();
  const size_t shown = g->menus().size();
  EXPECT_EQ(g->CreateIPopupMenu(&empty, &at), nullptr);
  EXPECT_EQ(g->menus().size(), shown);
  EXPECT_EQ(g->unusedAnswers().size(), 1u);
  EXPECT_EQ(g->CreateIPopupMenu(&menu, &at), nullptr);
}

TEST_F(Prompts, TextEntriesAreFilteredCutAndHandedOnOrCancelled) {
  IParam* cont = plug->GetParam(4);
  cont->InitDouble("level", 0.0, -100.0, 100.0, 0.01);
  IParam* text = plug->GetParam(5);
  text->InitText();
  auto* level = AddPromptingCaption(IRECT(0, 0, 40, 20), 4);
  AddPromptingCaption(IRECT(0, 30, 40, 50), 5);
  auto* sink = Add<TextSink>(IRECT(0, 60, 40, 80), &style, "");
  AttachAndOpen();

  g->answerTextEntry("1,5.25x");  // the comma and the letter are refused
  g->press(5, 5);
  EXPECT_NEAR(cont->Value(), 15.25, 1e-9);
  ASSERT_EQ(g->textEntries().size(), 1u);
  EXPECT_EQ(g->textEntries()[0].paramType, (int)IParam::kTypeDouble);
  EXPECT_EQ(g->textEntries()[0].maxLength, 16);

  level->SetTextEntryLength(4);
  g->answerTextEntry("-12345");  // cut to four characters
  g->press(5, 5);
  EXPECT_DOUBLE_EQ(cont->Value(), -100.0);  // "-123", limited to the range

  g->answerTextEntryCancel();
  g->press(5, 5);
  g->press(5, 5);  // no answer: cancelled
  EXPECT_DOUBLE_EQ(cont->Value(), -100.0);

  // A text parameter keeps ASCII letters, digits, space and some
  // punctuation; the text becomes display text 0, with two change calls.
  plug->ClearCounts();
  g->answerTextEntry("Bass: Ünder_1 \"x\"");
  g->press(5, 35);
  EXPECT_STREQ(text->GetDisplayText(0), "Bass nder1 \"x\"");
  EXPECT_EQ(plug->changes, std::vector<int>({5, 5}));
  EXPECT_EQ(text->Value(), 0.0);

  // Without a parameter nothing is filtered and the control gets the text.
  sink->DisablePrompt(false);
  g->CreateTextEntry(sink, sink->GetText(), sink->GetRECT(), "", nullptr);
  g->CreateTextEntry(level, level->GetText(), level->GetRECT(), "", cont);  // one entry at a time
  g->answerTextEntry("Ünder_1;");
  g->settlePrompts();
  EXPECT_EQ(sink->received, std::vector<std::string>({"Ünder_1;"}));
  EXPECT_EQ(g->textEntries().back().paramType, -1);

  // ForceEndUserEdit cancels an open entry.
  g->CreateTextEntry(sink, sink->GetText(), sink->GetRECT(), "", nullptr);
  EXPECT_TRUE(g->textEntryOpen());
  g->ForceEndUserEdit();
  EXPECT_FALSE(g->textEntryOpen());
  EXPECT_EQ(sink->received.size(), 1u);
}

TEST_F(Prompts, FilePromptsOpenURLAndMessageBoxes) {
  KIT_String file("old.syx"), dir;
  g->PromptForFile(&file, kFileOpen, &dir, "syx mid");  // closed: the name is emptied, nothing shown
  EXPECT_STREQ(file.Get(), "");
  EXPECT_TRUE(g->filePrompts().empty());
  AttachAndOpen();

  file.Set("start.syx");
  g->answerFilePrompt("/banks/new/Bank A.syx");
  g->PromptForFile(&file, kFileSave, &dir, "syx mid");
  EXPECT_STREQ(file.Get(), "/banks/new/Bank A.syx");
  EXPECT_STREQ(dir.Get(), "/banks/new/");
  ASSERT_EQ(g->filePrompts().size(), 1u);
  EXPECT_EQ(g->filePrompts()[0].startFolder, "~/Desktop");
  EXPECT_EQ(g->filePrompts()[0].startName, "start.syx");
  EXPECT_EQ(g->filePrompts()[0].types, std::vector<std::string>({"syx", "mid"}));
  EXPECT_EQ(g->filePrompts()[0].action, (int)kFileSave);

  KIT_String empty;
  g->answerFilePromptCancel();
  g->PromptForFile(&file, kFileOpen, &empty, nullptr);
  EXPECT_STREQ(file.Get(), "");
  EXPECT_STREQ(empty.Get(), "~/Desktop");  // set even when cancelled
  g->PromptForFile(&file, kFileOpen, &dir, nullptr);  // no answer: cancelled
  EXPECT_STREQ(dir.Get(), "/banks/new/");

  EXPECT_FALSE(g->OpenURL(nullptr));
  EXPECT_FALSE(g->OpenURL(""));
  EXPECT_TRUE(g->OpenURL("https://example.invalid/kb/articles/"));
  g->answerOpenURL(false);
  EXPECT_FALSE(g->OpenURL("/data/manual.pdf"));
  ASSERT_EQ(g->urls().size(), 2u);
  EXPECT_TRUE(g->urls()[0].web);
  EXPECT_FALSE(g->urls()[1].web);

  // {answer (-1: none), box type, result}: no answer confirms nothing, and an
  // alternate answer to a box without that button is a script error.
  const int boxes[][3] = {{-1, 3, 0}, {IGraphicsHeadless::kBoxOther, 3, 2}, {IGraphicsHeadless::kBoxDefault, 4, 1},
                          {IGraphicsHeadless::kBoxAlternate, 4, 7}, {IGraphicsHeadless::kBoxAlternate, 0, 0}};
  for (const auto& b : boxes) {
    if (b[0] >= 0) g->answerMessageBox(static_cast<IGraphicsHeadless::EBoxRole>(b[0]));
    EXPECT_EQ(g->ShowMessageBox("Save?", "Bank", b[1]), b[2]) << b[1];
  }
  EXPECT_EQ(g->takeScriptErrors().size(), 1u);
  ASSERT_EQ(g->messageBoxes().size(), 5u);
  EXPECT_EQ(g->messageBoxes()[0].caption, "Bank");
  EXPECT_EQ(g->messageBoxes()[4].type, 0);

  KIT_String p;
  g->DesktopPath(&p);
  EXPECT_NE(strstr(p.Get(), "/Desktop"), nullptr);
  g->PluginPath(&p);
  EXPECT_EQ(p.Get()[p.GetLength() - 1], '/');
  g->HostPath(&p);
  EXPECT_GT(p.GetLength(), 0);
  EXPECT_TRUE(g->WindowIsOpen());
}

TEST_F(Prompts, DialogsAnswerFromTheQueueAndCloseWhenUnanswered) {
  AttachAndOpen();
  SHIM_DialogResourceIndex res{MAKEINTRESOURCE(10014), "Enter Bank Name", 12, MakeNameField, 396, 144, nullptr};
  g->answerDialog(99, {{10013, "Strings"}});  // a command the procedure ignores
  g->answerDialog(IDOK);
  EXPECT_EQ(SHIM_DialogBox(&res, MAKEINTRESOURCE(10014), nullptr, MessageDialogProc, 0), 1);
  EXPECT_EQ(gDialogName, "Strings");
  EXPECT_EQ(SHIM_DialogBox(&res, MAKEINTRESOURCE(10014), nullptr, MessageDialogProc, 0), IDCANCEL);
  EXPECT_EQ(SHIM_DialogBox(&res, MAKEINTRESOURCE(7), nullptr, MessageDialogProc, 0), -1);
  ASSERT_EQ(g->dialogs().size(), 2u);
  EXPECT_EQ(g->dialogs()[0].id, 10014);
  EXPECT_EQ(g->dialogs()[1].title, "Enter Bank Name");
  g->answerDialog(IDOK);
  EXPECT_EQ(g->unusedAnswers(), std::vector<std::string>({"dialog answer"}));
  EXPECT_EQ(SHIM_DialogBox(&res, MAKEINTRESOURCE(10014), nullptr, MessageDialogProc, 0), 1);
}
