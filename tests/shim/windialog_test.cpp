#include "shim/windialog.h"

#include <gtest/gtest.h>

#include "platform/winsys/testapi.h"

#include <deque>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

// A queue of commands, recording the dialogs it was shown.
class Script : public SHIM_DialogScript {
 public:
  void DialogShown(const SHIM_DialogResourceIndex* res) override { shown.push_back(res->title ? res->title : ""); }
  bool NextDialogCommand(Command* c) override {
    if (commands.empty()) return false;
    *c = commands.front();
    commands.pop_front();
    return true;
  }
  void ScriptError(const std::string& what) override { errors.push_back(what); }
  std::deque<Command> commands;
  Log shown;
  Log errors;
};

// What the dialog procedure saw: messages, command ids and the name field
// at each command.
struct Seen {
  Log log;
  HWND dialog = nullptr;
  bool endInInit = false;
};
Seen* gSeen = nullptr;

const int kNameField = 10013, kOK = 10006;

INT_PTR NameDialogProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  gSeen->dialog = w;
  char text[64];
  if (msg == WM_INITDIALOG) {
    GetDlgItemText(w, 0, text, 64);
    gSeen->log.push_back("init " + std::to_string(lp) + " " + text);
    if (gSeen->endInInit) EndDialog(w, 5);
  } else if (msg == WM_COMMAND) {
    GetDlgItemText(w, kNameField, text, 8);  // an 8-byte field
    gSeen->log.push_back("command " + std::to_string(wp) + " " + text);
    if (wp == (WPARAM)kOK || wp == (WPARAM)IDCANCEL) EndDialog(w, (INT_PTR)wp);
  } else if (msg == WM_DESTROY) {
    gSeen->log.push_back("destroy");
  }
  return msg == WM_INITDIALOG || msg == WM_COMMAND;
}

// The dialog's name field: a model text field.
void MakeFields(HWND w, int) {
  auto* field = new winsys::TextField;
  field->setTag(kNameField);
  winsys::lookup<winsys::View>(w)->addSubview(field);
  field->release();
  SetDlgItemText(w, kNameField, "Bank");
}

class Dialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    gSeen = &seen;
    child._next = &name;
    SHIM_InstallDialogScript(&script);
  }
  void TearDown() override {
    SHIM_RemoveDialogScript(&script);
    gSeen = nullptr;
    winsys::test::reset();
  }
  long Run(int id, LPARAM param = 0) {
    return SHIM_DialogBox(&child, MAKEINTRESOURCE(id), nullptr, NameDialogProc, param);
  }
  SHIM_DialogResourceIndex name{MAKEINTRESOURCE(10014), "Enter Bank Name", 12, MakeFields, 396, 144, nullptr};
  SHIM_DialogResourceIndex child{MAKEINTRESOURCE(20), "Child", SHIM_DIALOG_CHILD, nullptr, 10, 10, nullptr};
  Script script;
  Seen seen;
};

TEST_F(Dialogs, FailedLookUpsGiveMinusOneWithoutADialog) {
  EXPECT_EQ(SHIM_DialogBox(nullptr, MAKEINTRESOURCE(10014), nullptr, NameDialogProc, 0), -1);
  EXPECT_EQ(Run(999), -1);
  EXPECT_EQ(Run(20), -1);  // a child resource is never a modal dialog
  EXPECT_TRUE(seen.log.empty());
  EXPECT_TRUE(script.shown.empty());
}

TEST_F(Dialogs, CommandsSetTheirEditTextsFirstAndRunUntilEndDialog) {
  script.commands.push_back({1234, {{4242, "no such field"}}});
  script.commands.push_back({kOK, {{kNameField, "Pads: \xC3\xA9"}}});  // cut before the split character
  script.commands.push_back({IDCANCEL, {}});
  EXPECT_EQ(Run(10014, 77), kOK);
  // The editable field tells the dialog of its new text (EN_CHANGE).
  EXPECT_EQ(seen.log, Log({"init 77 Enter Bank Name", "command 1234 Bank",
                           "command " + std::to_string(kNameField | 0x3000000) + " Pads: ", "command 10006 Pads: ",
                           "destroy"}));
  EXPECT_EQ(script.shown, Log({"Enter Bank Name"}));
  EXPECT_EQ(script.errors, Log({"no text control with id 4242"}));
  EXPECT_EQ(script.commands.size(), 1u);  // the dialog ended before the last one

  // The handle of an ended dialog is refused.
  char buf[16] = "x";
  EXPECT_EQ(GetDlgItemText(seen.dialog, 0, buf, sizeof(buf)), 0);
  EXPECT_STREQ(buf, "");
  EXPECT_FALSE(EndDialog(seen.dialog, 1));
  EXPECT_FALSE(SetDlgItemText(seen.dialog, 1, "y"));
}

TEST_F(Dialogs, EndedInInitOrUnansweredDialogsStillGetDestroy) {
  seen.endInInit = true;
  script.commands.push_back({kOK, {}});
  EXPECT_EQ(Run(10014), 5);
  EXPECT_EQ(seen.log, Log({"init 0 Enter Bank Name", "destroy"}));
  EXPECT_EQ(script.commands.size(), 1u);  // no command was asked for

  // When the answers run out the user closes the dialog: WM_CLOSE is not
  // answered, so IDCANCEL follows; so it is with no script at all, and the
  // script installed before comes back when a later one is removed.
  seen = Seen();
  script.commands.clear();
  EXPECT_EQ(Run(10014), IDCANCEL);
  EXPECT_EQ(seen.log, Log({"init 0 Enter Bank Name", "command 2 Bank", "destroy"}));
  Script later;
  SHIM_InstallDialogScript(&later);
  script.commands.push_back({kOK, {}});
  EXPECT_EQ(Run(10014), IDCANCEL);
  SHIM_RemoveDialogScript(&later);
  EXPECT_EQ(later.shown.size(), 1u);
  EXPECT_EQ(Run(10014), kOK);
  SHIM_RemoveDialogScript(&script);
  EXPECT_EQ(Run(10014), IDCANCEL);
}

}  // namespace
