#pragma once
// The librarian views' test bench: a plug-in with the editor's parameters and
// a headless graphics context, and an editor stand-in that records every call
// the views make and stores collected dumps into a real PatchLibrarian.
#include <memory>
#include <string>
#include <vector>

#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "host/IGraphicsHeadless.h"
#include "librarian/FolderMenus.h"
#include "librarian/HeaderMenus.h"
#include "librarian/ILibrarianEditor.h"
#include "librarian/LibrarianMenus.h"
#include "librarian/LibrarianViewControl.h"

namespace viewtest {

class ViewPlug : public IPluginBase {
 public:
  ViewPlug()
      : IPluginBase(kParameterCount, "", 0, "Tavrin", "Tavrin", "Brannick", 0x10000, 1, 1, 0, true, true, false) {
    initialize(0, kParameterCount, "", 0, "Tavrin", "Tavrin", "Brannick", 0x10000, 1, 1, 0, true, true, false);
    GetParam(kCurrentPatch)->InitInt("patch", 0, 0, 99);
    GetParam(kCurrentBank)->InitInt("bank", 0, 0, 4);
    GetParam(kPatchSelectionListUpper)->InitInt("upper", 0, 0, 4999);
    GetParam(kPatchSelectionListLower)->InitInt("lower", 0, 0, 4999);
    GetParam(kDeviceOutSelection)->InitInt("out", 1, 0, 16);
    for (int p : {kBankEditUnsaved, kShowLibrarian, kControlLibrary, kRefreshFolders})
      GetParam(p)->InitBool("b", false);
    GetParam(kPatchRename)->InitText();
  }
  void setValue(int idx, double v) { GetParam(idx)->SetClamped(v); }
};

// Records every call as one line of text; the collector is the editor's.
class FakeEditor : public ILibrarianEditor {
 public:
  explicit FakeEditor(PatchLibrarian& lib) : lib(lib) {}

  PatchLibrarian& lib;
  ViewPlug* plug = nullptr;
  std::vector<std::string> calls;
  bool closed = true, midiIO = true, library = false, busy = false;
  LowerListSource source = LowerListSource::BankFiles;
  std::string names[2][2];  // [side][0 folder, 1 file]
  LibrarianViewControl* view = nullptr;
  IControl* linked = nullptr;
  std::unique_ptr<LibrarianHotZone> perClickMenu;
  std::vector<uint8_t> collected;
  bool armed = false;

  void call(const std::string& c) { calls.push_back(c); }
  bool start(const std::string& c) {
    call(c + (busy ? " dropped" : ""));
    return !busy;
  }

  bool renameClosed() const override { return closed; }
  void setRenameClosed(bool c) override { closed = c; }
  LowerListSource lowerListSource() const override { return source; }
  bool midiIOSet() const override { return midiIO; }
  bool libraryControlMode() const override { return library; }
  double uiScale() const override { return 1.0; }
  bool jobRunning() const override { return busy; }
  void hideLayer(const std::string& n, bool h) override { call((h ? "hide " : "show ") + n); }
  void grayOutLayer(const std::string& n, bool g) override { call((g ? "grey " : "ungrey ") + n); }
  void setStatusText(const std::string& t) override { call("status " + t); }
  void DisplayLibrarianPatchCategory(int slot, bool lower) override {
    call("category " + std::to_string(slot) + (lower ? " lower" : " upper"));
  }
  IControl* listLinkedControl(int) override { return linked; }
  LibrarianViewControl* librarianView() override { return view; }
  std::string rememberedFolderName(Side s) const override { return names[static_cast<int>(s)][0]; }
  std::string rememberedFileName(Side s) const override { return names[static_cast<int>(s)][1]; }
  void setRememberedNames(Side s, const std::string& folder, const std::string& file) override {
    names[static_cast<int>(s)][0] = folder;
    names[static_cast<int>(s)][1] = file;
  }
  bool sendPatchToDeviceFromLibrarian(int slot, bool lower) override {
    return start("send " + std::to_string(slot) + (lower ? " lower" : " upper"));
  }
  bool sendPatchToDeviceLocation(int slot, int location) override {
    return start("store " + std::to_string(slot) + " at " + std::to_string(location));
  }
  bool storeAllPatchesToDeviceFromLibrarian(int bank, int list) override {
    return start("store all " + std::to_string(bank) + " " + std::to_string(list));
  }
  bool BankChangeMessage() override {
    call("bank change");
    return true;
  }
  bool startSendArrangement(bool toLib, bool mark) override {
    return start(std::string("job 0") + (toLib ? " librarian" : " device") + (mark ? " transfer" : ""));
  }
  bool sendActiveArrangementRequestSysex(bool toEditor) override {
    return start(std::string("job 4") + (toEditor ? " editor" : " librarian"));
  }
  bool startPartRequest() override { return start("job 5"); }
  bool sendSinglePatchRequestSysexFromLibrarian(bool eb) override {
    return start(std::string("job 6") + (eb ? " edit buffer" : " program"));
  }
  bool sendAllPatchRequestSysexFromLibrarian(int bank) override { return start("job 7 " + std::to_string(bank)); }
  bool initClassicPatch() override { return start("job 8"); }
  void SetLibrarianRequestActive(bool a) override {
    armed = a;
    collected.clear();
  }
  // The collector: a whole sound dump is stored at targetSlot at once.
  void feedSysEx(const uint8_t* data, int size) override {
    if (!armed || size <= 0) return;
    collected.assign(data, data + size);
    if (!isFramedSoundDump(collected)) return;
    LibrarianPatch p = LibrarianPatch::fromDump(collected);
    p.takeNameAndCategory();
    lib.setSysexDatatoSelectedSlot(&p);
    armed = false;
  }
  void SetLibrarianStatusUnsaved(bool u) override {
    call(u ? "unsaved" : "saved");
    if (plug) plug->setValue(kBankEditUnsaved, u ? 1 : 0);
  }
  void SetCategoryForLibrarianPatch(int c) override { call("set category " + std::to_string(c)); }
  void saveImportedFile(bool midi) override { call(midi ? "import mid" : "import syx"); }
  void ImportSingleSorrelPatches(bool m1) override { call(m1 ? "single model 1" : "single model 2"); }
  void OpenDataDirectory(bool manual) override { call(manual ? "open manual" : "open data"); }
  void OpenHelpTopics(int t) override { call("help " + std::to_string(t)); }
  void showFileEditMenu(int x, int y) override {
    call("slot menu");
    // The latest per-click menu replaces the one before, once that is done.
    auto m = std::make_unique<FileEditPopupMenu>(plug, &lib, IRECT(x, y, x, y), this);
    m->doPopupMenu(this, x, y);
    perClickMenu = std::move(m);
  }
  void showFileCopyMenu(int x, int y) override {
    call("copy menu");
    auto m = std::make_unique<FileCopyPopupMenu>(plug, &lib, IRECT(x, y, x, y), this);
    m->doPopupMenu(this, x, y);
    perClickMenu = std::move(m);
  }
  void updateBankAndProgramMenuNames(bool spare) override { call(spare ? "menus spare bank" : "menus"); }
  void OnParamChange(int idx) override { call("param " + std::to_string(idx)); }
};

// A plug-in, its headless context and the editor stand-in over lib.
struct Bench {
  PatchLibrarian lib;
  ViewPlug* plug = new ViewPlug;
  std::unique_ptr<ViewPlug> owner{plug};
  IGraphicsHeadless* g;
  FakeEditor editor{lib};
  explicit Bench(int w = 1500, int h = 757) : g(new IGraphicsHeadless(plug, w, h)) {
    plug->AttachGraphics(g);
    editor.plug = plug;
  }
};

}  // namespace viewtest
