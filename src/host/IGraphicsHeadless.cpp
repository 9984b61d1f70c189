#include "host/IGraphicsHeadless.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "kit/mutex.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "raster/bitmap.h"
#include "raster/png.h"

namespace {

// The last path component of a name.
std::string LastComponent(const char* name) {
  const char* slash = strrchr(name, '/');
  return slash ? std::string(slash + 1) : std::string(name);
}

// Characters a text entry accepts for a parameter of each type.
const char* AllowedCharacters(int type) {
  switch (type) {
    case IParam::kTypeBool:
    case IParam::kTypeInt:
    case IParam::kTypeEnum: return "0123456789-+";
    case IParam::kTypeDouble: return "0123456789.-+";
    case IParam::kTypeText:
      return "abcdefbgihjklmonpqrstuvwxyzABCDEFGHIJKOLMNOPQRSTUVWXYZ !\"#$%&/'+-*()[],.0123456789-+";
    default: return "";
  }
}

// Length in bytes of the UTF-8 character starting with lead byte c.
size_t Utf8Len(unsigned char c) {
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) return 2;
  if ((c & 0xF0) == 0xE0) return 3;
  if ((c & 0xF8) == 0xF0) return 4;
  return 1;
}

}  // namespace

IGraphicsHeadless::IGraphicsHeadless(IPluginBase* plug, int w, int h, int fps) : IGraphics(plug, w, h, fps) {
  ResizeScreen();
  SHIM_InstallDialogScript(&mDialogScript);
}

IGraphicsHeadless::~IGraphicsHeadless() {
  SHIM_RemoveDialogScript(&mDialogScript);
  CloseWindow();
}

void IGraphicsHeadless::ResizeScreen() {
  mScreenW = Width() > 0 ? Width() : 0;
  mScreenH = Height() > 0 ? Height() : 0;
  mScreen.assign((size_t)mScreenW * (size_t)mScreenH, 0u);
}

uint32_t IGraphicsHeadless::screenPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= mScreenW || y >= mScreenH) return 0;
  return mScreen[(size_t)y * (size_t)mScreenW + (size_t)x];
}

// Runs one injected event under the plug-in's mutex, then applies whatever
// text entry it opened, as a platform delivers the typing later.
template <class F>
void IGraphicsHeadless::Dispatch(F&& f) {
  if (mPlug) {
    KIT_MutexLock lock(mPlug->GetMutex());
    f();
    settlePrompts();
  } else {
    f();
    settlePrompts();
  }
}

// ---- Window and screen ----

void* IGraphicsHeadless::OpenWindow(void*) {
  CloseWindow();
  mOpen = true;
  // The first display paints the whole area.
  IRECT all(0, 0, Width(), Height());
  Dispatch([&] { Draw(&all); });
  return this;
}

void* IGraphicsHeadless::OpenWindow(void* window, void*, short, short) { return OpenWindow(window); }

void IGraphicsHeadless::CloseWindow() {
  mEntry = OpenEntry();
  mOpen = false;
}

bool IGraphicsHeadless::DrawScreen(IRECT* r) {
  if (!mOpen) return false;
  RAST_IBitmap* surface = GetDrawBitmap();
  if (!surface || !r) return true;
  IRECT bounds(0, 0, mScreenW < surface->getWidth() ? mScreenW : surface->getWidth(),
               mScreenH < surface->getHeight() ? mScreenH : surface->getHeight());
  const IRECT c = bounds.Intersect(r);
  if (c.Empty()) return true;
  const RAST_pixel* bits = surface->getBits();
  const int span = surface->getRowSpan();
  if (!bits) return true;
  for (int y = c.T; y < c.B; ++y)
    memcpy(&mScreen[(size_t)y * (size_t)mScreenW + (size_t)c.L], bits + (size_t)y * (size_t)span + (size_t)c.L,
           (size_t)c.W() * sizeof(uint32_t));
  return true;
}

IRECT IGraphicsHeadless::tick() {
  IRECT r;
  if (!mOpen) return r;
  auto run = [&] {
    if (IsDirty(&r))
      Draw(&r);
    else
      r.Clear();
  };
  if (mPlug) {
    KIT_MutexLock lock(mPlug->GetMutex());
    run();
  } else {
    run();
  }
  return r;
}

void IGraphicsHeadless::Resize(int w, int h) {
  if (w == Width() && h == Height()) return;
  IGraphics::Resize(w, h);
  ResizeScreen();
}

// ---- Input ----

void IGraphicsHeadless::press(int x, int y, IMouseMod mod) { Dispatch([&] { OnMouseDown(x, y, &mod); }); }
void IGraphicsHeadless::release(int x, int y, IMouseMod mod) { Dispatch([&] { OnMouseUp(x, y, &mod); }); }
void IGraphicsHeadless::drag(int x, int y, IMouseMod mod) { Dispatch([&] { OnMouseDrag(x, y, &mod); }); }
bool IGraphicsHeadless::doubleClick(int x, int y, IMouseMod mod) {
  bool single = false;
  Dispatch([&] { single = OnMouseDblClick(x, y, &mod); });
  return single;
}
void IGraphicsHeadless::wheel(int x, int y, int d, IMouseMod mod) { Dispatch([&] { OnMouseWheel(x, y, &mod, d); }); }
bool IGraphicsHeadless::move(int x, int y, IMouseMod mod) {
  bool handled = false;
  Dispatch([&] { handled = OnMouseOver(x, y, &mod); });
  return handled;
}
void IGraphicsHeadless::pointerOut() { Dispatch([&] { OnMouseOut(); }); }
bool IGraphicsHeadless::key(int x, int y, int keyCode) {
  bool handled = false;
  Dispatch([&] { handled = OnKeyDown(x, y, keyCode); });
  return handled;
}

IMouseMod IGraphicsHeadless::ViewMod(bool secondary, uint32_t flags) const {
  // The left flag is always set; the secondary button, or the primary one
  // with the command key, sets the right flag.
  return IMouseMod(true, secondary || (flags & kViewCommand) != 0, (flags & kViewShift) != 0,
                   (flags & kViewControl) != 0, (flags & kViewOption) != 0);
}

void IGraphicsHeadless::viewMouseDown(double vx, double vy, int clickCount, bool secondary, uint32_t flags) {
  mViewX = (int)vx - 2;
  mViewY = (int)vy - 3;
  IMouseMod mod = ViewMod(secondary, flags);
  mModalRan = false;
  if (!secondary && clickCount >= 2)
    doubleClick(mViewX, mViewY, mod);
  else
    press(mViewX, mViewY, mod);
  // A modal prompt tracked the mouse itself: its release never reaches us.
  mDropNextRelease = mModalRan;
  mModalRan = false;
}

void IGraphicsHeadless::viewMouseUp(double vx, double vy, bool secondary, uint32_t flags) {
  mViewX = (int)vx - 2;
  mViewY = (int)vy - 3;
  if (mDropNextRelease) {
    mDropNextRelease = false;
    return;
  }
  release(mViewX, mViewY, ViewMod(secondary, flags));
}

void IGraphicsHeadless::viewMouseDrag(double vx, double vy, bool secondary, uint32_t flags) {
  mViewX = (int)vx - 2;
  mViewY = (int)vy - 3;
  drag(mViewX, mViewY, ViewMod(secondary, flags));
}

void IGraphicsHeadless::viewMouseMove(double vx, double vy, uint32_t flags) {
  mViewX = (int)vx - 2;
  mViewY = (int)vy - 3;
  move(mViewX, mViewY, ViewMod(false, flags));
}

void IGraphicsHeadless::viewWheel(double vx, double vy, double deltaY, uint32_t flags) {
  mViewX = (int)vx - 2;
  mViewY = (int)vy - 3;
  if (mEntry.open) mEntry = OpenEntry();  // the wheel ends an open entry uncommitted
  wheel(mViewX, mViewY, (int)deltaY, ViewMod(false, flags));
}

int IGraphicsHeadless::KeyCode(const char* chars, int virtualKey) {
  switch (virtualKey) {
    case kVKSpace: return 0;
    case kVKUp: return 1;
    case kVKDown: return 2;
    case kVKLeft: return 3;
    case kVKRight: return 4;
    default: break;
  }
  if (!chars || !chars[0] || chars[1]) return -1;  // exactly one character
  const char c = chars[0];
  if (c == ' ') return 0;
  if (c >= '0' && c <= '9') return 5 + (c - '0');
  if (c >= 'A' && c <= 'Z') return 15 + (c - 'A');
  if (c >= 'a' && c <= 'z') return 15 + (c - 'a');
  return -1;
}

bool IGraphicsHeadless::viewKey(const char* chars, int virtualKey) {
  if (mEntry.open) return false;  // the text entry takes the keys
  const int code = KeyCode(chars, virtualKey);
  if (code < 0) return false;
  return key(mViewX, mViewY, code);
}

// ---- Prompts ----

void IGraphicsHeadless::answerMenuByIndex(std::vector<int> path) {
  mMenuAnswers.push_back(MenuAnswer{MenuAnswer::kIndex, std::move(path), {}});
}
void IGraphicsHeadless::answerMenuByText(std::vector<std::string> path) {
  mMenuAnswers.push_back(MenuAnswer{MenuAnswer::kText, {}, std::move(path)});
}
void IGraphicsHeadless::answerMenuDismiss() { mMenuAnswers.push_back(MenuAnswer{MenuAnswer::kDismiss, {}, {}}); }
void IGraphicsHeadless::answerTextEntry(const std::string& text) { mTextAnswers.push_back(TextAnswer{true, text}); }
void IGraphicsHeadless::answerTextEntryCancel() { mTextAnswers.push_back(TextAnswer{false, ""}); }
void IGraphicsHeadless::answerFilePrompt(const std::string& path) { mFileAnswers.push_back(FileAnswer{true, path}); }
void IGraphicsHeadless::answerFilePromptCancel() { mFileAnswers.push_back(FileAnswer{false, ""}); }
void IGraphicsHeadless::answerMessageBox(EBoxRole role) { mBoxAnswers.push_back((int)role); }
void IGraphicsHeadless::answerOpenURL(bool result) { mURLAnswers.push_back(result); }
void IGraphicsHeadless::answerDialog(int command, std::vector<std::pair<int, std::string>> editTexts) {
  SHIM_DialogScript::Command c;
  c.id = command;
  c.editTexts = std::move(editTexts);
  mDialogAnswers.push_back(std::move(c));
}

std::vector<std::string> IGraphicsHeadless::unusedAnswers() const {
  std::vector<std::string> out;
  for (size_t i = 0; i < mMenuAnswers.size(); ++i) out.push_back("menu answer");
  for (size_t i = 0; i < mTextAnswers.size(); ++i) out.push_back("text entry answer");
  for (size_t i = 0; i < mFileAnswers.size(); ++i) out.push_back("file prompt answer");
  for (size_t i = 0; i < mBoxAnswers.size(); ++i) out.push_back("message box answer");
  for (size_t i = 0; i < mURLAnswers.size(); ++i) out.push_back("OpenURL answer");
  for (size_t i = 0; i < mDialogAnswers.size(); ++i) out.push_back("dialog answer");
  return out;
}

void IGraphicsHeadless::RecordMenu(IPopupMenu* menu, int depth, std::vector<std::string>* lines) {
  if (depth > 16) return;  // a menu that holds itself
  for (int i = 0; i < menu->GetNItems(); ++i) {
    IPopupMenuItem* item = menu->GetItem(i);
    std::string line(depth * 2, ' ');
    if (item->GetIsSeparator() && !item->GetSubmenu()) {
      lines->push_back(line + "----");
      continue;
    }
    line += item->GetChecked() ? "[x] " : "[ ] ";
    line += menu->GetShownText(i).Get();
    if (item->GetIsTitle()) line += " (title)";
    if (!item->GetEnabled()) line += " (disabled)";
    if (item->GetSubmenu()) line += " >";
    lines->push_back(line);
    if (item->GetSubmenu()) RecordMenu(item->GetSubmenu(), depth + 1, lines);
  }
}

IPopupMenu* IGraphicsHeadless::ChooseFromMenu(IPopupMenu* menu, const MenuAnswer& a) {
  const size_t steps = a.kind == MenuAnswer::kIndex ? a.indices.size() : a.texts.size();
  if (steps == 0) return nullptr;
  IPopupMenu* current = menu;
  for (size_t s = 0; s < steps; ++s) {
    int idx = -1;
    if (a.kind == MenuAnswer::kIndex) {
      idx = a.indices[s];
    } else {
      for (int i = 0; i < current->GetNItems() && idx < 0; ++i)
        if (!current->GetItem(i)->GetIsSeparator() && a.texts[s] == current->GetItemText(i)) idx = i;
    }
    IPopupMenuItem* item = current->GetItem(idx);
    if (!item) return nullptr;
    if (s + 1 < steps) {
      if (!item->GetSubmenu()) return nullptr;
      current = item->GetSubmenu();
      continue;
    }
    if (!item->IsChoosable()) return nullptr;
    current->SetChosenItemIdx(idx);
    return current;
  }
  return nullptr;
}

IPopupMenu* IGraphicsHeadless::CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) {
  ReleaseMouseCapture();
  if (!menu || menu->GetNItems() == 0) return nullptr;
  mModalRan = true;
  MenuRecord rec;
  if (rect) rec.rect = *rect;
  RecordMenu(menu, 0, &rec.lines);
  mMenus.push_back(std::move(rec));
  if (mMenuAnswers.empty()) return nullptr;
  MenuAnswer a = std::move(mMenuAnswers.front());
  mMenuAnswers.pop_front();
  if (a.kind == MenuAnswer::kDismiss) return nullptr;
  IPopupMenu* chosen = ChooseFromMenu(menu, a);
  if (!chosen) {
    std::string what;
    if (a.kind == MenuAnswer::kIndex)
      for (int i : a.indices) what += std::to_string(i) + "/";
    else
      for (const std::string& t : a.texts) what += t + "/";
    mScriptErrors.push_back("menu answer names no item that can be chosen: " + what);
  }
  return chosen;
}

void IGraphicsHeadless::CreateTextEntry(IControl* control, IText*, IRECT* rect, const char* str, IParam* param) {
  if (!control || mEntry.open) return;
  TextEntryRecord rec{control, rect ? *rect : IRECT(), str ? str : "", param ? (int)param->Type() : -1,
                      control->GetTextEntryLength()};
  mTextEntries.push_back(std::move(rec));
  mEntry.open = true;
  mEntry.control = control;
  mEntry.param = param;
}

void IGraphicsHeadless::ForceEndUserEdit() { mEntry = OpenEntry(); }

std::string IGraphicsHeadless::FilterEntryText(const std::string& text, IParam* param, int maxLength) const {
  std::string out;
  int chars = 0;
  for (size_t i = 0; i < text.size();) {
    const size_t n = Utf8Len((unsigned char)text[i]);
    const std::string ch = text.substr(i, n);
    i += n;
    if (param) {
      if (ch.size() != 1 || !strchr(AllowedCharacters(param->Type()), ch[0]) || ch[0] == '\0') continue;
    }
    if (maxLength > 0 && chars >= maxLength) break;
    out += ch;
    ++chars;
  }
  return out;
}

void IGraphicsHeadless::settlePrompts() {
  if (!mEntry.open) return;
  OpenEntry entry = mEntry;
  mEntry = OpenEntry();
  if (mTextAnswers.empty()) return;  // nobody typed: the entry is cancelled
  TextAnswer a = std::move(mTextAnswers.front());
  mTextAnswers.pop_front();
  if (!a.commit) return;
  const std::string text = FilterEntryText(a.text, entry.param, entry.control->GetTextEntryLength());
  auto apply = [&] {
    if (!entry.param)
      entry.control->TextFromTextEntry(text.c_str());
    else
      SetFromStringAfterPrompt(entry.control, entry.param, text.c_str());
  };
  if (mPlug) {
    KIT_MutexLock lock(mPlug->GetMutex());
    apply();
  } else {
    apply();
  }
}

int IGraphicsHeadless::ShowMessageBox(const char* text, const char* caption, int type) {
  mModalRan = true;
  mMessageBoxes.push_back(MessageBoxRecord{text ? text : "", caption ? caption : "", type});
  if (mBoxAnswers.empty()) return 0;
  const int role = mBoxAnswers.front();
  mBoxAnswers.pop_front();
  // The buttons each type shows: yes/no and OK/cancel have a default and an
  // alternate button, yes/no/cancel all three, every other type only the
  // default one.
  const bool hasAlternate = type == 1 || type == 3 || type == 4;
  const bool hasOther = type == 3;
  if ((role == kBoxAlternate && !hasAlternate) || (role == kBoxOther && !hasOther)) {
    mScriptErrors.push_back("message box answer names a button the box does not show");
    return 0;
  }
  return role;
}

void IGraphicsHeadless::DialogAnswers::DialogShown(const SHIM_DialogResourceIndex* resource) {
  mOwner->mModalRan = true;
  mOwner->mDialogs.push_back(DialogRecord{reinterpret_cast<intptr_t>(resource->resid),
                                          resource->title ? resource->title : ""});
}

bool IGraphicsHeadless::DialogAnswers::NextDialogCommand(Command* command) {
  if (mOwner->mDialogAnswers.empty()) return false;
  *command = std::move(mOwner->mDialogAnswers.front());
  mOwner->mDialogAnswers.pop_front();
  return true;
}

void IGraphicsHeadless::DialogAnswers::ScriptError(const std::string& what) {
  mOwner->mScriptErrors.push_back("dialog answer: " + what);
}

void IGraphicsHeadless::PromptForFile(KIT_String* fileName, EFileAction action, KIT_String* dir,
                                      const char* extensions) {
  if (!fileName) return;
  if (!mOpen) {
    fileName->Set("");
    return;
  }
  mModalRan = true;
  FilePromptRecord rec;
  rec.action = (int)action;
  rec.startName = fileName->Get();
  if (dir && dir->GetLength() == 0) dir->Set("~/Desktop");
  rec.startFolder = dir ? dir->Get() : "~/Desktop";
  fileName->Set("");
  if (extensions) {
    std::string ext(extensions);
    size_t pos = 0;
    while (pos < ext.size()) {
      const size_t sp = ext.find(' ', pos);
      const std::string t = ext.substr(pos, sp == std::string::npos ? std::string::npos : sp - pos);
      if (!t.empty()) rec.types.push_back(t);
      if (sp == std::string::npos) break;
      pos = sp + 1;
    }
  }
  mFilePrompts.push_back(std::move(rec));
  if (mFileAnswers.empty()) return;  // cancelled
  FileAnswer a = std::move(mFileAnswers.front());
  mFileAnswers.pop_front();
  if (!a.ok || a.path.empty()) return;
  fileName->Set(a.path.c_str());
  if (dir) {
    const size_t slash = a.path.rfind('/');
    dir->Set(slash == std::string::npos ? "/" : (a.path.substr(0, slash) + "/").c_str());
  }
}

bool IGraphicsHeadless::OpenURL(const char* url, const char*, const char*, const char*) {
  if (!url || !*url) return false;
  mURLs.push_back(URLRecord{url, strstr(url, "http") != nullptr});
  if (mURLAnswers.empty()) return true;
  const bool result = mURLAnswers.front();
  mURLAnswers.pop_front();
  return result;
}

// ---- Paths ----

void IGraphicsHeadless::HostPath(KIT_String* path) {
  if (!path) return;
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  buf[n > 0 ? n : 0] = '\0';
  path->Set(buf);
}

void IGraphicsHeadless::PluginPath(KIT_String* path) {
  if (path) path->Set(platform::moduleFolder().c_str());
}

void IGraphicsHeadless::DesktopPath(KIT_String* path) {
  if (!path) return;
  const char* home = getenv("HOME");
  std::string p = home ? home : "";
  p += "/Desktop";
  path->Set(p.c_str());
}

// ---- Resources ----

// The PNG file of a resource image: the name's last component with its
// ".png" extension (any case) in the resource folder; empty when the name
// is not one of a PNG file or no regular file has it.
static std::string BitmapFilePath(const char* name) {
  if (!name) return {};
  const char* dot = strrchr(name, '.');
  const char* ext = dot ? dot + 1 : name;
  if (strcasecmp(ext, "png") != 0) return {};
  std::string base = LastComponent(name);
  const size_t baseDot = base.rfind('.');
  if (baseDot != std::string::npos) base.resize(baseDot);
  if (base.empty()) return {};
  const std::string path = platform::resourceFolder() + base + ".png";
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  return path;
}

RAST_IBitmap* IGraphicsHeadless::OSLoadBitmap(int, const char* name) {
  const std::string path = BitmapFilePath(name);
  return path.empty() ? nullptr : RAST_LoadPNG(path.c_str(), nullptr);
}

std::vector<uint8_t> IGraphicsHeadless::OSLoadBitmapFile(int, const char* name) {
  const std::string path = BitmapFilePath(name);
  std::vector<uint8_t> bytes;
  // A bitmap's file is far below this; a larger one is not an image of ours.
  if (!path.empty() && !platform::readWholeFile(path, &bytes, size_t{1} << 28)) bytes.clear();
  return bytes;
}

std::unique_ptr<uint8_t[]> IGraphicsHeadless::OSLoadFile(int, const char* name) {
  if (!name || !*name) return nullptr;
  const std::string file = LastComponent(name);
  if (file.empty()) return nullptr;
  const std::string path = platform::resourceFolder() + file;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return nullptr;  // missing: quietly null
  FILE* f = S_ISREG(st.st_mode) ? fopen(path.c_str(), "rb") : nullptr;
  if (!f) {
    fputs("failed to open file", stdout);
    fflush(stdout);
    return nullptr;
  }
  std::unique_ptr<uint8_t[]> result;
  if (fseek(f, 0, SEEK_END) == 0) {
    const long size = ftell(f);
    // The buffer holds the file and at least 8 zero bytes after it, which a
    // decipherer of whole blocks reads with the last partial block.
    if (size >= 0 && size <= (long)std::numeric_limits<int>::max() - 16 && fseek(f, 0, SEEK_SET) == 0) {
      const size_t alloc = (size_t)size + 8;
      result.reset(new (std::nothrow) uint8_t[alloc]);
      if (result) {
        memset(result.get(), 0, alloc);
        const size_t got = fread(result.get(), 1, (size_t)size, f);
        mLastFileSize = (int)got;
      }
    }
  }
  fclose(f);
  return result;
}
