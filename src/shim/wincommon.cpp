#include "shim/wincommon.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "kit/utf8.h"
#include "platform/winsys/winsys.h"
#include "shim/winbase.h"
#include "shim/winmenu.h"
#include "shim/winregistry.h"
#include "shim/winwindow.h"

namespace {

constexpr size_t kMaxPath = 2046;
const char kTextType[] = "text/plain;charset=utf-8";
const char kTextName[] = "SHIM__CF_TEXT";
const char kAppBoard[] = "SHIM_APP";

// ---- Panels ----

struct Template {
  std::string id;
  DLGPROC proc = nullptr;
  SHIM_DialogResourceIndex* list = nullptr;
} g_template;

std::string cutPath(const std::string& p) { return p.substr(0, KIT_Utf8CutLength(p.c_str(), kMaxPath)); }

std::vector<std::string> extensionsOf(const char* list) {
  std::vector<std::string> out;
  for (const char* p = list; p && *p;) {
    p += std::strlen(p) + 1;  // the description
    const char* pat = p;
    p += std::strlen(p) + 1;
    while (*pat) {
      const char* dot = std::strchr(pat, '.');
      const char* semi = std::strchr(pat, ';');
      if (!dot) break;
      if (semi && semi < dot) {  // this pattern has no dot: the pair's list ends
        break;
      }
      const char* end = std::strchr(dot, ';');
      std::string ext(dot + 1, end ? static_cast<size_t>(end - dot - 1) : std::strlen(dot + 1));
      if (ext.size() > 31) ext.resize(31);
      if (!ext.empty() && ext != "*") out.push_back(ext);
      if (!end) break;
      pat = end + 1;
    }
  }
  return out;
}

// Splits an initial file at its last "/" into folder and name.
void splitInitial(const char* initialDir, const char* initialFile, std::string* folder, std::string* name) {
  const std::string f = initialFile ? std::string(initialFile).substr(0, 2047) : std::string();
  const size_t slash = f.rfind('/');
  if (slash == std::string::npos) {
    *name = f;
    *folder = initialDir ? initialDir : "";
  } else {
    *folder = slash == 0 ? "/" : f.substr(0, slash);
    *name = f.substr(slash + 1);
  }
}

// Runs a panel with the accessory template (once) and the modal menu.
std::vector<std::string> runPanel(winsys::app::PromptRecord rec) {
  HWND accessory = nullptr;
  if (!g_template.id.empty()) {
    rec.accessory = g_template.id;
    accessory = SHIM_CreateDialog(g_template.list, g_template.id.c_str(), nullptr, g_template.proc, 0);
    g_template = Template{};
  }
  HMENU copy = SHIM_DuplicateMenu(SHIM_GetDefaultModalWindowMenu());
  if (copy) SHIM_SetCurrentMenu(copy);
  const size_t at = winsys::app::runPrompt(rec);
  std::vector<std::string> answer = winsys::app::promptRecord(at).answer;
  if (copy) {
    winsys::app::setMainMenu(winsys::lookup<winsys::Menu>(GetMenu(GetFocus())));
    DestroyMenu(copy);
  }
  if (accessory) DestroyWindow(accessory);
  for (std::string& p : answer) p = cutPath(p);
  return answer;
}

// ---- Clipboard ----

struct Pasteboard {
  std::vector<std::string> types;
  std::map<std::string, std::string> data;
};

struct Clipboard {
  std::vector<std::string> formats;  // id = position + 1
  std::vector<UINT> current;
  std::vector<std::pair<UINT, HGLOBAL>> pending;
  std::vector<HGLOBAL> handedOut;
  std::map<std::string, Pasteboard> boards;
};

Clipboard& clip() {
  static Clipboard* c = new Clipboard;
  return *c;
}

std::string formatName(UINT id) {
  const Clipboard& c = clip();
  return id >= 1 && id <= c.formats.size() ? c.formats[id - 1] : std::string();
}

void freePending() {
  for (auto& [f, h] : clip().pending) GlobalFree(h);
  clip().pending.clear();
}

std::string bytesOf(HGLOBAL h) {
  const void* p = GlobalLock(h);
  std::string s = p ? std::string(static_cast<const char*>(p), static_cast<size_t>(GlobalSize(h))) : std::string();
  GlobalUnlock(h);
  return s;
}

HGLOBAL handleWith(const std::string& bytes) {
  HGLOBAL h = GlobalAlloc(0, static_cast<int>(std::min<size_t>(bytes.size(), INT32_MAX - 64)));
  if (!h) return nullptr;
  std::memcpy(GlobalLock(h), bytes.data(), static_cast<size_t>(GlobalSize(h)));
  GlobalUnlock(h);
  return h;
}

// ---- Drop blocks ----

// The file list of a drop block: whole NUL-ended paths inside the block.
std::vector<std::string> droppedPaths(HGLOBAL drop) {
  std::vector<std::string> out;
  const int size = drop ? GlobalSize(drop) : 0;
  const auto* b = static_cast<const uint8_t*>(drop ? GlobalLock(drop) : nullptr);
  if (b && size >= 4) {
    uint32_t off;
    std::memcpy(&off, b, 4);
    for (size_t at = off; at < static_cast<size_t>(size) && b[at];) {
      const void* nul = std::memchr(b + at, 0, static_cast<size_t>(size) - at);
      if (!nul) break;  // unterminated: only whole paths count
      const size_t len = static_cast<const uint8_t*>(nul) - (b + at);
      out.emplace_back(reinterpret_cast<const char*>(b + at), len);
      at += len + 1;
    }
  }
  if (b) GlobalUnlock(drop);
  return out;
}

bool endsWithNoCase(const std::string& s, const char* tail) {
  const size_t n = std::strlen(tail);
  return s.size() >= n + 1 && strcasecmp(s.c_str() + s.size() - n, tail) == 0;
}

}  // namespace

// ---- Panels ----

void BrowseFile_SetTemplate(const char* dialogId, DLGPROC dialogProc, SHIM_DialogResourceIndex* resourceList) {
  g_template = Template{dialogId ? dialogId : "", dialogProc, resourceList};
}

std::string SHIM_FilterExtensions(const char* filterList) {
  std::string out;
  for (const std::string& e : extensionsOf(filterList)) out += (out.empty() ? "" : ";") + e;
  return out;
}

char* BrowseForFiles(const char* title, const char* initialDir, const char* initialFile, bool allowMultiple,
                     const char* filterList) {
  winsys::app::PromptRecord rec;
  rec.kind = "open";
  rec.title = title ? title : "";
  splitInitial(initialDir, initialFile, &rec.folder, &rec.name);
  rec.extensions = extensionsOf(filterList);
  rec.multiple = allowMultiple;
  std::vector<std::string> paths = runPanel(rec);
  if (paths.empty()) return nullptr;
  if (!allowMultiple) paths.resize(1);
  std::string list;
  if (paths.size() > 1) list.push_back('\0');
  for (const std::string& p : paths) list.append(p).push_back('\0');
  list.push_back('\0');
  char* out = static_cast<char*>(std::malloc(list.size()));
  if (out) std::memcpy(out, list.data(), list.size());
  return out;
}

bool BrowseForSaveFile(const char* title, const char* initialDir, const char* initialFile, const char* filterList,
                       char* buffer, int size) {
  if (!buffer || size < 1) return false;
  winsys::app::PromptRecord rec;
  rec.kind = "save";
  rec.title = title ? title : "";
  splitInitial(initialDir, initialFile, &rec.folder, &rec.name);
  rec.extensions = extensionsOf(filterList);
  const std::vector<std::string> paths = runPanel(rec);
  if (paths.empty() || paths[0].empty()) return false;
  KIT_CopyField(buffer, static_cast<size_t>(size), paths[0].c_str());
  return true;
}

bool BrowseForDirectory(const char* title, const char* initialDir, char* buffer, int size) {
  if (!buffer || size < 2) return false;
  winsys::app::PromptRecord rec;
  rec.kind = "folder";
  rec.title = title ? title : "";
  rec.folder = initialDir ? initialDir : "";
  const std::vector<std::string> paths = runPanel(rec);
  if (paths.empty() || paths[0].empty()) return false;
  KIT_CopyField(buffer, static_cast<size_t>(size) - 1, paths[0].c_str());
  buffer[size - 1] = '\0';
  return true;
}

int MessageBox(HWND, const char* text, const char* caption, int type) {
  static const struct {
    int type;
    std::vector<std::pair<const char*, int>> buttons;
  } kinds[] = {
      {MB_OK, {{"OK", IDOK}}},
      {MB_OKCANCEL, {{"OK", IDOK}, {"Cancel", IDCANCEL}}},
      {MB_YESNOCANCEL, {{"Yes", IDYES}, {"Cancel", IDCANCEL}, {"No", IDNO}}},
      {MB_YESNO, {{"Yes", IDYES}, {"No", IDNO}}},
      {MB_RETRYCANCEL, {{"Retry", IDRETRY}, {"Cancel", IDCANCEL}}},
  };
  for (const auto& k : kinds) {
    if (k.type != type) continue;
    std::vector<std::string> titles;
    for (const auto& b : k.buttons) titles.push_back(b.first);
    const std::string answer = winsys::app::runAlert(caption ? caption : "", text ? text : "", titles);
    for (const auto& b : k.buttons)
      if (answer == b.first) return b.second;
    return 0;
  }
  return 0;
}

// ---- Clipboard ----

UINT RegisterClipboardFormat(const char* name) {
  if (!name) return 0;
  const std::string n = std::strcmp(name, kTextName) == 0 ? kTextType : name;
  auto& f = clip().formats;
  auto it = std::find(f.begin(), f.end(), n);
  if (it == f.end()) it = f.insert(f.end(), n);
  return static_cast<UINT>(it - f.begin() + 1);
}

BOOL OpenClipboard(HWND) {
  Clipboard& c = clip();
  freePending();
  const UINT text = RegisterClipboardFormat(kTextName);
  c.current.clear();
  if (c.boards["general"].data.count(kTextType)) c.current.push_back(text);
  for (const std::string& t : c.boards[kAppBoard].types) {
    auto it = std::find(c.formats.begin(), c.formats.end(), t);
    const UINT id = static_cast<UINT>(it - c.formats.begin() + 1);
    if (it != c.formats.end() && std::find(c.current.begin(), c.current.end(), id) == c.current.end())
      c.current.push_back(id);
  }
  return TRUE;
}

UINT EnumClipboardFormats(UINT format) {
  const auto& cur = clip().current;
  if (format == 0) return cur.empty() ? 0 : cur[0];
  auto it = std::find(cur.begin(), cur.end(), format);
  return it == cur.end() || it + 1 == cur.end() ? 0 : *(it + 1);
}

HGLOBAL GetClipboardData(UINT format) {
  const std::string name = formatName(format);
  if (name.empty()) return nullptr;
  const Pasteboard& b = clip().boards[name == kTextType ? "general" : kAppBoard];
  auto it = b.data.find(name);
  if (it == b.data.end()) return nullptr;
  HGLOBAL h = handleWith(name == kTextType ? it->second + '\0' : it->second);
  if (h) clip().handedOut.push_back(h);
  return h;
}

BOOL EmptyClipboard() {
  freePending();
  return TRUE;
}

void SetClipboardData(UINT format, HGLOBAL data) {
  // Only a live block is taken; an unknown or freed handle changes nothing.
  if (shim::isLiveHandle(data, shim::HandleKind::GlobalMemory)) clip().pending.emplace_back(format, data);
}

BOOL CloseClipboard() {
  Clipboard& c = clip();
  while (!c.handedOut.empty()) {
    GlobalFree(c.handedOut.back());
    c.handedOut.pop_back();
  }
  // Text goes to the general pasteboard, every other format to "SHIM_APP".
  bool declaredGeneral = false, declaredApp = false;
  for (const auto& [format, handle] : c.pending) {
    const std::string name = formatName(format);
    if (name.empty()) continue;
    const bool text = name == kTextType;
    Pasteboard& b = c.boards[text ? "general" : kAppBoard];
    bool& declared = text ? declaredGeneral : declaredApp;
    if (!declared) b = Pasteboard{};
    declared = true;
    if (std::find(b.types.begin(), b.types.end(), name) == b.types.end()) b.types.push_back(name);
    const std::string bytes = bytesOf(handle);
    b.data[name] = text ? bytes.substr(0, bytes.find('\0')) : bytes;
  }
  freePending();
  return TRUE;
}

void SHIM_ResetClipboard() {
  Clipboard& c = clip();
  freePending();
  for (HGLOBAL h : c.handedOut) GlobalFree(h);
  c = Clipboard{};
}

// ---- Dropped files ----

BOOL DragQueryPoint(HGLOBAL drop, POINT* point) {
  if (!drop || GlobalSize(drop) < 16) return FALSE;
  const auto* b = static_cast<const uint8_t*>(GlobalLock(drop));
  int32_t v[3];
  std::memcpy(v, b + 4, sizeof v);
  GlobalUnlock(drop);
  if (point) *point = POINT{v[0], v[1]};
  return v[2] == 0 ? TRUE : FALSE;
}

UINT DragQueryFile(HGLOBAL drop, UINT index, char* buffer, UINT size) {
  const std::vector<std::string> paths = droppedPaths(drop);
  if (index == 0xFFFFFFFFu) return static_cast<UINT>(paths.size());
  if (index >= paths.size()) return 0;
  const std::string& p = paths[index];
  if (!buffer || size == 0) return static_cast<UINT>(p.size());
  const size_t n = std::min<size_t>(p.size(), size - 1);
  std::memcpy(buffer, p.data(), n);
  buffer[n] = '\0';
  return static_cast<UINT>(n);
}

void DragFinish(HGLOBAL) {}

// ---- Shell ----

BOOL ShellExecute(HWND, const char*, const char* file, const char* parameters, const char*, int) {
  std::string f = file ? file : "", params = parameters ? parameters : "";
  if (strncasecmp(f.c_str(), "http://", 7) == 0 || strncasecmp(f.c_str(), "https://", 8) == 0)
    return winsys::app::workspaceOpen({"url", f, ""}) ? TRUE : FALSE;
  if (strcasecmp(f.c_str(), "explorer.exe") == 0) f.clear();
  if (strcasecmp(f.c_str(), "notepad.exe") == 0 || strcasecmp(f.c_str(), "notepad") == 0) f = "TextEdit.app";
  if (strcasecmp(params.c_str(), "explorer.exe") == 0) params.clear();
  if (!f.empty() && !params.empty()) return winsys::app::workspaceOpen({"file", params, f}) ? TRUE : FALSE;
  const std::string target = !f.empty() ? f : params;
  if (target.empty()) return FALSE;
  const bool app = endsWithNoCase(target, ".app");
  return winsys::app::workspaceOpen({app ? "launch" : "file", target, ""}) ? TRUE : FALSE;
}
