// Small services of the window object: dragging files out of a window (a
// promised file created on drop, or existing files), GL context
// bookkeeping, hosted views (none on this platform) and button title
// colours; and the reset of the window functions' state.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "platform/winsys/testapi.h"
#include "shim/winwindow.h"

using winsys::Ref;

extern void* g_shim_current_gl;
extern HWND g_shim_only_timerhwnd;
void SHIM_ResetAutoHideState();

namespace {

// The pending promised-file drag: the file's path and its writer.
std::string* s_dragdropsrcfn = nullptr;
void (*s_dragdropsrccallback)(const char*) = nullptr;

bool exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

// A name beside the existing ones: "base NNN.ext" or the base's own
// trailing number (after ' ', '_' or '-') plus one, up to 999.
bool freeName(const std::string& folder, std::string* name) {
  const size_t dot = name->rfind('.');
  std::string base = dot == std::string::npos ? *name : name->substr(0, dot);
  const std::string ext = dot == std::string::npos ? "" : name->substr(dot);
  size_t digits = 0;
  while (digits < 3 && digits < base.size() && base[base.size() - 1 - digits] >= '0' &&
         base[base.size() - 1 - digits] <= '9')
    ++digits;
  int start = 0;
  const char sep = base.size() > digits ? base[base.size() - 1 - digits] : '\0';
  if (digits > 0 && base.size() > digits + 1 && (sep == ' ' || sep == '_' || sep == '-')) {
    start = std::stoi(base.substr(base.size() - digits));
    base.resize(base.size() - digits);
  } else {
    base += ' ';
  }
  for (int n = start + 1; n <= 999; ++n) {
    char num[16];
    std::snprintf(num, sizeof(num), "%03d", n);
    const std::string candidate = base + num + ext;
    if (!exists(folder + "/" + candidate)) {
      *name = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace

void SHIM_FinishDragDrop() {
  delete s_dragdropsrcfn;
  s_dragdropsrcfn = nullptr;
  s_dragdropsrccallback = nullptr;
}

void SHIM_InitiateDragDrop(HWND w, const RECT* r, const char* path, void (*write)(const char*)) {
  SHIM_FinishDragDrop();
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(w);
  if (!hw || !path) return;
  s_dragdropsrcfn = new std::string(path);
  s_dragdropsrccallback = write;
  const size_t dot = s_dragdropsrcfn->rfind('.');
  winsys::Drag d;
  d.promisedTypes.push_back(dot == std::string::npos ? *s_dragdropsrcfn : s_dragdropsrcfn->substr(dot + 1));
  d.source = hw;
  if (r) d.imageRect = winsys::Rect{static_cast<double>(r->left), static_cast<double>(r->top),
                                    static_cast<double>(r->right - r->left), static_cast<double>(r->bottom - r->top)};
  winsys::app::beginDrag(d);
}

void SHIM_InitiateDragDropOfFileList(HWND w, const RECT* r, const char** paths, int count, void*) {
  SHIM_FinishDragDrop();
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(w);
  if (!hw || !paths || count <= 0) return;
  winsys::Drag d;
  for (int i = 0; i < count; ++i)
    if (paths[i]) d.fileNames.push_back(paths[i]);
  d.source = hw;
  if (r) d.imageRect = winsys::Rect{static_cast<double>(r->left), static_cast<double>(r->top),
                                    static_cast<double>(r->right - r->left), static_cast<double>(r->bottom - r->top)};
  winsys::app::beginDrag(d);
}

// Fulfils the pending promise in folder (SHIM_DoDragDrop).
std::vector<std::string> Shim_vTavrin_hwnd::namesOfPromisedFilesDroppedAtDestination(const std::string& folder) {
  std::vector<std::string> names;
  if (folder.empty() || !s_dragdropsrcfn || !s_dragdropsrccallback) {
    SHIM_FinishDragDrop();
    return names;
  }
  std::string dir = folder;
  if (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const size_t slash = s_dragdropsrcfn->rfind('/');
  std::string name = slash == std::string::npos ? *s_dragdropsrcfn : s_dragdropsrcfn->substr(slash + 1);
  bool write = true;
  if (exists(dir + "/" + name)) {
    const std::string answer = winsys::app::runAlert(
        "Copy",
        "An item named \"" + name +
            "\" already exists in this location. Do you want to replace it with the one you're moving?",
        {"Keep Both Files", "Stop", "Replace"});
    if (answer == "Keep Both Files")
      write = freeName(dir, &name);
    else
      write = answer == "Replace";
  }
  if (write) {
    const std::string dest = dir + "/" + name;
    auto callback = s_dragdropsrccallback;
    try {
      callback(dest.c_str());
    } catch (...) {
    }
    if (exists(dest)) names.push_back(name);
  }
  SHIM_FinishDragDrop();
  return names;
}

// ---- GL contexts: bookkeeping only; nothing renders ----

namespace {
class ShimGLContext : public winsys::Object {};
}  // namespace

void SHIM_SetViewGL(HWND w, bool on) {
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(w);
  if (!hw || on == (hw->m_glctx != nullptr)) return;
  if (on) {
    hw->m_glctx = new ShimGLContext;
    return;
  }
  if (g_shim_current_gl == hw->m_glctx) g_shim_current_gl = nullptr;
  static_cast<ShimGLContext*>(hw->m_glctx)->release();
  hw->m_glctx = nullptr;
}

int SHIM_GetViewGL(HWND w) {
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(w);
  return hw && hw->m_glctx ? 1 : 0;
}

int SHIM_SetGLContextToView(HWND w) {
  if (!w) {
    g_shim_current_gl = nullptr;
    return 0;
  }
  Shim_vTavrin_hwnd* hw = SHIM_Hwnd(w);
  if (!hw || !hw->m_glctx) return 0;
  g_shim_current_gl = hw->m_glctx;
  return 1;
}

void* SHIM_GetCurrentGLContext() { return g_shim_current_gl; }

// ---- Hosted views: there is no Carbon and no audio-unit view protocol ----

HWND SHIM_CreateCarbonWindowView(HWND, void** carbonWindow, const RECT*, bool) {
  if (carbonWindow) *carbonWindow = nullptr;
  return nullptr;
}
void* SHIM_GetWindowFromCarbonWindowView(HWND) { return nullptr; }
void SHIM_AddCarbonPaneToView(HWND, void*) {}
void SHIM_CarbonWndHost_SetWantAllKeys(HWND, bool) {}
HWND SHIM_GetAudioUnitCocoaView(HWND, void*, const SHIM_AudioUnitViewInfo*, RECT*) { return nullptr; }

// ---- Button title colours ----

unsigned SHIM_GetButtonTextColor(HWND button) {
  auto* b = SHIM_As<winsys::Button>(button);
  return b ? b->textColor : 0;
}

void SHIM_SetButtonTextColor(HWND button, unsigned argb) {
  if (auto* b = SHIM_As<winsys::Button>(button)) b->textColor = argb;
}

// ---- Reset ----

void SHIM_ResetWindowState() {
  m_fakeCapture = nullptr;
  m_capChangeNotify = false;
  last_key_window = nullptr;
  g_shim_current_gl = nullptr;
  g_shim_only_timerhwnd = nullptr;
  SHIM_FinishDragDrop();
  SHIM_ResetAutoHideState();
  SHIM_SetDefaultWindowMenu(nullptr);
  SHIM_SetDefaultModalWindowMenu(nullptr);
}
