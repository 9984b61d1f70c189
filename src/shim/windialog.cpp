// Dialogs from resource records on the window system: modal dialog boxes
// run by the dialog script, EndDialog, modeless dialogs and child windows,
// and the default menus.
#include "shim/windialog.h"

#include <algorithm>
#include <mutex>

#include "shim/winwindow.h"

using winsys::Ref;

SHIM_DialogResourceIndex* SHIM_curmodule_dialogresource_head = nullptr;

namespace {

std::mutex gMutex;
std::vector<SHIM_DialogScript*> gScripts;  // the last one answers

SHIM_DialogScript* CurrentScript() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gScripts.empty() ? nullptr : gScripts.back();
}

const SHIM_DialogResourceIndex* findResource(const SHIM_DialogResourceIndex* head, const char* resid) {
  for (const SHIM_DialogResourceIndex* r = head; r; r = r->_next)
    if (r->resid == resid) return r;
  return nullptr;
}

bool stillRunning(winsys::Window* w) { return winsys::isLive(w) && winsys::app::modalWindow() == w && !w->isClosed(); }

// One scripted user action on a running dialog box.
void scriptTurn(SHIM_DialogScript* script, winsys::Window* w) {
  Ref<winsys::Window> hold(w);
  HWND content = w->contentView() ? SHIM_Handle(w->contentView()) : nullptr;
  SHIM_DialogScript::Command c;
  if (!script || !script->NextDialogCommand(&c)) {
    // Nobody answers: the user closes the dialog.
    w->performClose();
    if (stillRunning(w)) EndDialog(content, IDCANCEL);
    return;
  }
  if (c.waitMs > 0) winsys::app::runTimersFor(c.waitMs, [w] { return !stillRunning(w); });
  if (!stillRunning(w)) return;
  for (const auto& edit : c.editTexts) {
    if (!GetDlgItem(content, edit.first)) {
      script->ScriptError("no text control with id " + std::to_string(edit.first));
      continue;
    }
    SetDlgItemText(content, edit.first, edit.second.c_str());
  }
  if (auto* b = SHIM_As<winsys::Button>(GetDlgItem(content, c.id))) {
    winsys::Event up;
    up.type = winsys::EventType::LeftUp;
    up.window = w;
    up.clickCount = 1;
    up.location = b->convertToWindow(winsys::Point{b->bounds().w / 2, b->bounds().h / 2});
    Ref<winsys::View> hb(b);
    winsys::app::performWithEvent(up, [b] { b->performClick(); });
    return;
  }
  SendMessage(content, WM_COMMAND, static_cast<WPARAM>(c.id & 0xFFFF), 0);
}

}  // namespace

long SHIM_DialogBox(SHIM_DialogResourceIndex* head, const char* resid, HWND parent, DLGPROC proc, LPARAM param) {
  const SHIM_DialogResourceIndex* res = findResource(head, resid);
  if (!res || (res->windowTypeFlags & SHIM_DIALOG_CHILD)) return -1;
  SHIM_DialogScript* script = CurrentScript();
  if (script) script->DialogShown(res);
  Shim_vTavrin_dialogbox* box = SHIM_InitDialogBox(res, SHIM_Obj(parent), proc, param);
  if (!box) return -1;
  Ref<winsys::Window> hold(box);
  long result = 0;
  if (box->shimHasModalRetVal()) {
    result = box->shimGetModalRetVal();
  } else {
    winsys::app::runModal(box, [script](winsys::Window* w) { scriptTurn(script, w); });
    result = box->shimGetModalRetVal();
  }
  if (box->contentView()) SHIM_DeliverMessage(box->contentView(), WM_DESTROY, 0, 0);
  box->shimDoDestroyStuff();
  box->close();
  return result;
}

BOOL EndDialog(HWND h, INT_PTR result) {
  winsys::Object* o = SHIM_Obj(h);
  if (!o) return FALSE;
  winsys::Window* w = dynamic_cast<winsys::Window*>(o);
  winsys::View* dialog = nullptr;
  if (w) {
    dialog = w->contentView();
  } else if (auto* v = dynamic_cast<winsys::View*>(o)) {
    w = v->window();
    dialog = v;
  }
  if (!w) return FALSE;
  Ref<winsys::Window> hold(w);
  auto* box = dynamic_cast<Shim_vTavrin_dialogbox*>(w);
  if (box) box->shimSetModalRetVal(static_cast<int>(result));
  if (winsys::app::modalWindow() != w) return box ? TRUE : FALSE;
  if (dialog) SHIM_DeliverMessage(dialog, WM_DESTROY, 0, 0);
  const winsys::Event* e = winsys::app::currentEvent();
  if (e && e->window == w) winsys::app::stopModal();
  winsys::app::abortModal();
  w->close();
  return box ? TRUE : FALSE;
}

HWND SHIM_CreateDialog(SHIM_DialogResourceIndex* head, const char* resid, HWND parent, DLGPROC proc, LPARAM param) {
  unsigned style = 0;
  bool forced = false;
  const auto id = reinterpret_cast<intptr_t>(resid);
  if ((id & ~static_cast<intptr_t>(0xF)) == 0x400000) {
    const int bits = static_cast<int>(id & 0xF);
    resid = nullptr;
    style = winsys::kTitled;
    if (!(bits & 4)) style |= winsys::kClosable;
    if (!(bits & 2)) style |= winsys::kMiniaturizable;
    if (bits & 1) style |= winsys::kResizable;
    forced = bits != 0;
  }
  const SHIM_DialogResourceIndex* res = resid ? findResource(head, resid) : nullptr;
  if (resid && !res) return nullptr;
  winsys::Object* po = SHIM_Obj(parent);
  winsys::Object* parentView = nullptr;
  if (auto* pw = dynamic_cast<winsys::Window*>(po))
    parentView = pw->isPanelKind() ? static_cast<winsys::Object*>(pw) : pw->contentView();
  else if (dynamic_cast<winsys::View*>(po))
    parentView = po;
  if (parentView && ((res && (res->windowTypeFlags & SHIM_DIALOG_CHILD)) || (!res && !forced))) {
    auto* w = new Shim_vTavrin_hwnd;
    w->initChild(res, parentView, proc, param);
    w->setShimCreateWindowFlags(15);
    HWND h = SHIM_Handle(w);
    w->release();
    return winsys::isLive(h) ? h : nullptr;
  }
  HWND out = nullptr;
  SHIM_InitModeless(res, po, proc, param, &out, style);
  return out;
}

void SHIM_InstallDialogScript(SHIM_DialogScript* script) {
  if (!script) return;
  std::lock_guard<std::mutex> lock(gMutex);
  gScripts.push_back(script);
}

void SHIM_RemoveDialogScript(SHIM_DialogScript* script) {
  std::lock_guard<std::mutex> lock(gMutex);
  gScripts.erase(std::remove(gScripts.begin(), gScripts.end(), script), gScripts.end());
}
