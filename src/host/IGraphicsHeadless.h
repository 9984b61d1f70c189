#pragma once
// A graphics context with no display: the window model draws into its
// surface as on any platform, each redrawn area is copied into a screen
// image, resources come from the resource folder, and every prompt (menus,
// text entries, file prompts, message boxes, modal dialogs) is answered from
// a script. While it lives, the context answers the modal dialogs of the
// process.
// Tests drive it: they tick it, inject input at framework or view
// coordinates, queue answers and read back what was shown and recorded.
//
// Ticks and injected events take the plug-in's mutex for their whole run,
// as the platform's timer and input handlers do.
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "framework/IGraphics.h"
#include "shim/windialog.h"

class IGraphicsHeadless : public IGraphics {
 public:
  IGraphicsHeadless(IPluginBase* plug, int w, int h, int fps = 0);
  ~IGraphicsHeadless() override;

  // ---- Platform operations ----
  bool DrawScreen(IRECT* r) override;
  void ForceEndUserEdit() override;
  void Resize(int w, int h) override;
  bool WindowIsOpen() override { return mOpen; }
  const char* GetGUIAPI() override { return "Headless gui"; }
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) override;
  void CreateTextEntry(IControl* control, IText* text, IRECT* rect, const char* str, IParam* param) override;
  void HostPath(KIT_String* path) override;
  void PluginPath(KIT_String* path) override;
  void DesktopPath(KIT_String* path) override;
  void PromptForFile(KIT_String* fileName, EFileAction action = kFileOpen, KIT_String* dir = nullptr,
                     const char* extensions = nullptr) override;
  bool PromptForColor(IColor* color, const char* prompt = nullptr) override { return false; }
  bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
               const char* errMsg = nullptr) override;
  void* OpenWindow(void* parentView) override;
  void* OpenWindow(void* window, void* parentControl, short leftOffset = 0, short topOffset = 0) override;
  void CloseWindow() override;
  void* GetWindow() override { return nullptr; }
  std::unique_ptr<uint8_t[]> OSLoadFile(int id, const char* name) override;
  RAST_IBitmap* OSLoadBitmap(int id, const char* name) override;
  std::vector<uint8_t> OSLoadBitmapFile(int id, const char* name) override;

  // ---- Redraw ----
  // While open: asks for the dirty area and draws it. Returns the area drawn
  // (empty when nothing was dirty or the context is closed).
  IRECT tick();

  // The screen image: what a display would show, width x height pixels in
  // rows of exactly the width (A,R,G,B bytes; byte 0 is not shown).
  const std::vector<uint32_t>& screenImage() const { return mScreen; }
  uint32_t screenPixel(int x, int y) const;

  // ---- Input at framework coordinates ----
  void press(int x, int y, IMouseMod mod = IMouseMod(true));
  void release(int x, int y, IMouseMod mod = IMouseMod(true));
  void drag(int x, int y, IMouseMod mod = IMouseMod(true));
  bool doubleClick(int x, int y, IMouseMod mod = IMouseMod(true));
  void wheel(int x, int y, int d, IMouseMod mod = IMouseMod());
  bool move(int x, int y, IMouseMod mod = IMouseMod());
  void pointerOut();
  bool key(int x, int y, int keyCode);

  // ---- Input at view coordinates ----
  // Modifier bits of the default view.
  enum : uint32_t { kViewCommand = 0x100, kViewShift = 0x200, kViewOption = 0x800, kViewControl = 0x1000 };
  // Virtual key codes of the keys without a character.
  enum : int { kVKSpace = 49, kVKLeft = 123, kVKRight = 124, kVKDown = 125, kVKUp = 126 };
  void viewMouseDown(double vx, double vy, int clickCount = 1, bool secondary = false, uint32_t flags = 0);
  void viewMouseUp(double vx, double vy, bool secondary = false, uint32_t flags = 0);
  void viewMouseDrag(double vx, double vy, bool secondary = false, uint32_t flags = 0);
  void viewMouseMove(double vx, double vy, uint32_t flags = 0);
  // Only the vertical axis; the delta is truncated toward zero.
  void viewWheel(double vx, double vy, double deltaY, uint32_t flags = 0);
  // A key with its characters (one character, or none for the arrows and
  // space given by virtual key). False when the key is not handled.
  bool viewKey(const char* chars, int virtualKey = -1);
  // The framework key code of a key, or -1 when it has none.
  static int KeyCode(const char* chars, int virtualKey);

  // ---- Scripted answers ----
  void answerMenuByIndex(std::vector<int> path);
  void answerMenuByText(std::vector<std::string> path);
  void answerMenuDismiss();
  void answerTextEntry(const std::string& text);
  void answerTextEntryCancel();
  void answerFilePrompt(const std::string& path);
  void answerFilePromptCancel();
  enum EBoxRole { kBoxDefault = 1, kBoxAlternate = 7, kBoxOther = 2 };
  void answerMessageBox(EBoxRole role);
  void answerOpenURL(bool result);
  // A command (a button id) for the next modal dialog, after setting the
  // given edit texts (item id, text). Unanswered dialogs close with IDCANCEL.
  void answerDialog(int command, std::vector<std::pair<int, std::string>> editTexts = {});
  // Applies an open text entry's answer. Injected events do this once they
  // have been dispatched; a test that prompts directly calls it itself.
  void settlePrompts();

  // ---- Records ----
  struct MenuRecord {
    IRECT rect;
    std::vector<std::string> lines;  // as shown: prefixes, marks, flags, submenus indented
  };
  struct TextEntryRecord {
    IControl* control;
    IRECT rect;
    std::string initial;
    int paramType;  // -1 without a parameter
    int maxLength;
  };
  struct FilePromptRecord {
    int action;
    std::string startFolder, startName;
    std::vector<std::string> types;
  };
  struct URLRecord {
    std::string url;
    bool web;
  };
  struct MessageBoxRecord {
    std::string text, caption;
    int type;
  };
  struct DialogRecord {
    intptr_t id;
    std::string title;
  };
  const std::vector<MenuRecord>& menus() const { return mMenus; }
  const std::vector<TextEntryRecord>& textEntries() const { return mTextEntries; }
  const std::vector<FilePromptRecord>& filePrompts() const { return mFilePrompts; }
  const std::vector<URLRecord>& urls() const { return mURLs; }
  const std::vector<MessageBoxRecord>& messageBoxes() const { return mMessageBoxes; }
  const std::vector<DialogRecord>& dialogs() const { return mDialogs; }
  bool textEntryOpen() const { return mEntry.open; }

  // Answers that named something impossible, and answers never asked for.
  const std::vector<std::string>& scriptErrors() const { return mScriptErrors; }
  // Hands the script errors so far to a test that expected them.
  std::vector<std::string> takeScriptErrors() {
    std::vector<std::string> e;
    e.swap(mScriptErrors);
    return e;
  }
  std::vector<std::string> unusedAnswers() const;

 private:
  struct MenuAnswer {
    enum Kind { kDismiss, kIndex, kText } kind;
    std::vector<int> indices;
    std::vector<std::string> texts;
  };
  struct TextAnswer {
    bool commit;
    std::string text;
  };
  struct FileAnswer {
    bool ok;
    std::string path;
  };
  struct OpenEntry {
    bool open = false;
    IControl* control = nullptr;
    IParam* param = nullptr;
  };

  // Answers the process's modal dialogs from the dialog queue.
  class DialogAnswers : public SHIM_DialogScript {
   public:
    explicit DialogAnswers(IGraphicsHeadless* owner) : mOwner(owner) {}
    void DialogShown(const SHIM_DialogResourceIndex* resource) override;
    bool NextDialogCommand(Command* command) override;
    void ScriptError(const std::string& what) override;

   private:
    IGraphicsHeadless* mOwner;
  };

  template <class F>
  void Dispatch(F&& f);
  void RecordMenu(IPopupMenu* menu, int depth, std::vector<std::string>* lines);
  IPopupMenu* ChooseFromMenu(IPopupMenu* menu, const MenuAnswer& a);
  std::string FilterEntryText(const std::string& text, IParam* param, int maxLength) const;
  IMouseMod ViewMod(bool secondary, uint32_t flags) const;
  void ResizeScreen();

  bool mOpen = false;
  std::vector<uint32_t> mScreen;
  int mScreenW = 0, mScreenH = 0;

  std::deque<MenuAnswer> mMenuAnswers;
  std::deque<TextAnswer> mTextAnswers;
  std::deque<FileAnswer> mFileAnswers;
  std::deque<int> mBoxAnswers;
  std::deque<bool> mURLAnswers;
  std::deque<SHIM_DialogScript::Command> mDialogAnswers;
  DialogAnswers mDialogScript{this};

  std::vector<MenuRecord> mMenus;
  std::vector<TextEntryRecord> mTextEntries;
  std::vector<FilePromptRecord> mFilePrompts;
  std::vector<URLRecord> mURLs;
  std::vector<MessageBoxRecord> mMessageBoxes;
  std::vector<DialogRecord> mDialogs;
  std::vector<std::string> mScriptErrors;

  OpenEntry mEntry;
  bool mModalRan = false;
  bool mDropNextRelease = false;
  int mViewX = -1, mViewY = -1;
};
