#include "host/IGraphicsLinux.h"

#include <dlfcn.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "host/X11Face.h"
#include "kit/mutex.h"
#include "platform/folders.h"

extern char** environ;

namespace {

// The user's home: HOME, else the password database's entry.
std::string homeFolder() {
  if (const char* home = getenv("HOME"); home && *home) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd pw{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir) return found->pw_dir;
  return "";
}

// "~" and "~/..." against the home folder.
std::string expandHome(const std::string& path) {
  if (path == "~") return homeFolder();
  if (path.rfind("~/", 0) == 0) return homeFolder() + path.substr(1);
  return path;
}

std::string parentFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string lastName(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A save prompt's answer carries one of the allowed types, as the save
// panel of the plug-in's home platform makes it: a name whose extension is
// none of them (compared without case) gets the first type appended, so that
// "My Bank" is saved as "My Bank.sr2" where the librarian lists it.
std::string withAllowedType(const std::string& path, const std::vector<std::string>& types) {
  const size_t slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (types.empty() || name.empty()) return path;
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) {
    const std::string extension = name.substr(dot + 1);
    for (const std::string& type : types)
      if (strcasecmp(extension.c_str(), type.c_str()) == 0) return path;
  }
  return path + "." + types.front();
}

// How long an opener may take before it counts as failed, and its poll step.
constexpr int kOpenerLimitMs = 10000;
constexpr int kOpenerStepMs = 5;

}  // namespace

// Lets go of every level of the plug-in's mutex for a modal prompt's wait
// (or any other wait on the outside world), and takes them back.
struct IGraphicsLinux::ModalScope {
  IGraphicsLinux& g;
  KIT_Mutex* mutex;
  int levels = 0;
  explicit ModalScope(IGraphicsLinux& graphics)
      : g(graphics), mutex(graphics.GetPlug() ? &graphics.GetPlug()->GetMutex() : nullptr) {}
  void release() { levels = mutex ? mutex->ReleaseAll() : 0; }
  void reacquire() {
    if (mutex) mutex->ReacquireAll(levels);
    levels = 0;
  }
  X11Face::Modal modal() {
    X11Face::Modal m;
    m.stop = [this] { return !g.mView || g.mView->stopping(); };
    m.release = [this] { release(); };
    m.reacquire = [this] { reacquire(); };
    return m;
  }
};

IGraphicsLinux::IGraphicsLinux(IPluginBase* plug, int w, int h, int fps) : IGraphicsHeadless(plug, w, h, fps) {}

IGraphicsLinux::~IGraphicsLinux() {
  CloseWindow();
  ReapOpeners();
}

void IGraphicsLinux::SetBundleID(const char* id) { mBundleID = id ? id : ""; }

const char* IGraphicsLinux::GetGUIAPI() {
  return mView && mView->mode() == viewrules::Mode::Default ? "Carbon Composited gui" : "Cocoa gui";
}

void* IGraphicsLinux::OpenWindow(void* parentView) { return Open(parentView, viewrules::Mode::HostView); }

void* IGraphicsLinux::OpenWindow(void* window, void*, short, short) { return Open(window, viewrules::Mode::Default); }

void* IGraphicsLinux::Open(void* parent, viewrules::Mode mode) {
  CloseWindow();
  std::unique_ptr<X11Face> x;
  if (mFaceChoice == Face::TopLevel || (mFaceChoice == Face::Auto && parent)) {
    X11Face::Options o;
    o.parent = static_cast<unsigned long>(reinterpret_cast<uintptr_t>(parent));
    o.topLevel = mFaceChoice == Face::TopLevel;
    o.width = Width();
    o.height = Height();
    o.screen = &screenImage();
    o.title = mPlug ? mPlug->GetEffectName() : "";
    std::string why;
    x = X11Face::open(o, &why);  // none: the view shows itself nowhere
  }
  mX11 = x.get();
  SetOpen(true);
  mView = std::make_unique<EditorView>(*this, mode, mDriving, std::move(x));
  if (mX11) mX11->setWakeFd(mView->wakeFd());
  if (mPlug) {
    KIT_MutexLock lock(mPlug->GetMutex());
    mView->start();
  } else {
    mView->start();
  }
  return mView.get();
}

void IGraphicsLinux::CloseWindow() {
  if (mView) {
    ++mCloses;
    mView->stop();
    mXEntry = XEntry();
    if (mCursorHidden) mCursorHidden = false;
    mView.reset();  // the face goes with it: its window, then its connection
    mX11 = nullptr;
  }
  IGraphicsHeadless::CloseWindow();
}

void IGraphicsLinux::Resize(int w, int h) {
  if (w == Width() && h == Height()) return;
  IGraphicsHeadless::Resize(w, h);
  if (mView) mView->resized();
}

void* IGraphicsLinux::GetWindow() {
  return mView && mView->mode() == viewrules::Mode::HostView ? mView.get() : nullptr;
}

bool IGraphicsLinux::ShowsX11() const { return mX11 != nullptr && !mX11->gone(); }
unsigned long IGraphicsLinux::X11Window() const { return mX11 ? mX11->window() : 0; }

X11Face* IGraphicsLinux::FaceHere() const {
  if (!mView || !mX11 || mX11->gone() || !mView->faceUsableHere()) return nullptr;
  return mX11;
}

int IGraphicsLinux::pump(int n) { return mView ? mView->pump(n) : 0; }

IRECT IGraphicsLinux::tick() {
  if (!mView) return IRECT();
  if (mPlug) {
    KIT_MutexLock lock(mPlug->GetMutex());
    return mView->tickLocked();
  }
  return mView->tickLocked();
}

ViewCounters IGraphicsLinux::counters() const { return mView ? mView->counters() : ViewCounters(); }

void IGraphicsLinux::post(const ViewEvent& e) {
  if (mView) mView->post(e);
}

void IGraphicsLinux::DeliverViewEvent(const ViewEvent& e) {
  if (!mView) return;
  const viewrules::Mode mode = mView->mode();
  const viewrules::Point p = viewrules::mousePoint(mode, e.x, e.y, Height());
  // The default view keeps the position of the last motion; the host view
  // that of every mouse and wheel event.
  auto remember = [&](bool motion) {
    if (motion || mode == viewrules::Mode::HostView) {
      mLastX = p.x;
      mLastY = p.y;
    }
  };
  switch (e.kind) {
    case ViewEvent::kEntryCommit:
    case ViewEvent::kEntryClick:
      EndXEntry(true);
      break;
    case ViewEvent::kEntryCancel:
      EndXEntry(false);
      break;
    case ViewEvent::kDown: {
      remember(false);
      IMouseMod mod = viewrules::mouseMod(mode, e.secondary, e.flags);
      TakeModalRan();
      if (!e.secondary && e.clicks >= 2)
        OnMouseDblClick(p.x, p.y, &mod);
      else
        OnMouseDown(p.x, p.y, &mod);
      // A modal prompt tracked the mouse itself: its release never reaches us.
      mDropNextRelease = TakeModalRan();
      break;
    }
    case ViewEvent::kUp: {
      remember(false);
      if (mDropNextRelease) {
        mDropNextRelease = false;
        break;
      }
      IMouseMod mod = viewrules::mouseMod(mode, e.secondary, e.flags);
      OnMouseUp(p.x, p.y, &mod);
      break;
    }
    case ViewEvent::kDrag: {
      remember(false);
      if (mXEntry.open || textEntryOpen()) break;  // no drags while typing
      IMouseMod mod = viewrules::mouseMod(mode, e.secondary, e.flags);
      OnMouseDrag(p.x, p.y, &mod);
      break;
    }
    case ViewEvent::kMove: {
      remember(true);
      IMouseMod mod = viewrules::mouseMod(mode, false, e.flags);
      OnMouseOver(p.x, p.y, &mod);
      break;
    }
    case ViewEvent::kWheel: {
      remember(false);
      EndXEntry(false);  // the wheel ends an open entry uncommitted
      IGraphicsHeadless::ForceEndUserEdit();
      IMouseMod mod = viewrules::mouseMod(mode, false, e.flags);
      OnMouseWheel(p.x, p.y, &mod, viewrules::wheelStep(e.delta));
      break;
    }
    case ViewEvent::kKey: {
      if (mXEntry.open || textEntryOpen()) break;  // the entry takes the keys
      const int code = viewrules::keyCode(e.chars.c_str(), e.virtualKey);
      const bool handled = code >= 0 && OnKeyDown(mLastX, mLastY, code);
      if (!handled) {
        mView->countUnhandledKey();
        if (mX11 && mView->faceUsableHere()) mX11->passKeyOn(e);  // the host gets it
      }
      break;
    }
  }
  settlePrompts();
}

// ---- Prompts ----

IPopupMenu* IGraphicsLinux::CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) {
  X11Face* x = FaceHere();
  if (!x || HasMenuAnswer() || !menu || menu->GetNItems() == 0) return IGraphicsHeadless::CreateIPopupMenu(menu, rect);
  ReleaseMouseCapture();
  NoteModalRan();
  RecordShownMenu(menu, rect);
  const size_t index = menus().size() - 1;
  const viewrules::Point corner = viewrules::menuCorner(mView->mode(), rect ? *rect : IRECT(), Height());
  ModalScope scope(*this);
  return x->runMenu(
      menu, corner,
      [&](IRECT window, int rowHeight) {
        MenuRecord& rec = MenuRecordAt(index);
        rec.window = window;
        rec.rowHeight = rowHeight;
      },
      scope.modal());
}

void IGraphicsLinux::CreateTextEntry(IControl* control, IText* text, IRECT* rect, const char* str, IParam* param) {
  const int size = text ? static_cast<int>(text->mSize * 0.9) : static_cast<int>(IText().mSize * 0.9);
  X11Face* x = FaceHere();
  if (!x || HasTextAnswer() || !control) {
    const size_t before = textEntries().size();
    IGraphicsHeadless::CreateTextEntry(control, text, rect, str, param);
    if (textEntries().size() > before) {
      LastTextEntry().fontName = kEntryFontName;
      LastTextEntry().fontSize = size;
    }
    return;
  }
  if (mXEntry.open || textEntryOpen()) return;
  RecordTextEntry(control, rect, str, param);
  LastTextEntry().fontName = kEntryFontName;
  LastTextEntry().fontSize = size;
  const IText style = text ? *text : IText();
  const viewrules::Mode mode = mView->mode();
  x->openEntry(viewrules::entryRect(mode, rect ? *rect : IRECT(), Height()), str ? str : "",
               param ? static_cast<int>(param->Type()) : -1, control->GetTextEntryLength(),
               mode == viewrules::Mode::HostView, style, kEntryFontName, size);
  mXEntry = XEntry{true, control, param};
}

void IGraphicsLinux::EndXEntry(bool commit) {
  if (!mXEntry.open) return;
  const XEntry entry = mXEntry;
  mXEntry = XEntry();
  std::string text;
  if (mX11) {
    text = mX11->entryText();
    mX11->closeEntry();
  }
  if (commit) ApplyEntryText(entry.control, entry.param, CommitText(text));
}

std::string IGraphicsLinux::CommitText(const std::string& filtered) const {
  // The default view hands on at most 63 bytes, cut at a character boundary.
  if (mView && mView->mode() == viewrules::Mode::HostView) return filtered;
  return viewrules::cutAtCharacter(filtered, viewrules::kDefaultCommitBytes);
}

void IGraphicsLinux::ForceEndUserEdit() {
  EndXEntry(false);
  IGraphicsHeadless::ForceEndUserEdit();
}

int IGraphicsLinux::ShowMessageBox(const char* text, const char* caption, int type) {
  X11Face* x = FaceHere();
  if (!x || HasBoxAnswer()) {
    if (!HasBoxAnswer()) std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    return IGraphicsHeadless::ShowMessageBox(text, caption, type);
  }
  NoteModalRan();
  RecordMessageBox(text, caption, type);
  ModalScope scope(*this);
  return x->runMessageBox(text ? text : "", caption ? caption : "", type, scope.modal());
}

void IGraphicsLinux::PromptForFile(KIT_String* fileName, EFileAction action, KIT_String* dir,
                                   const char* extensions) {
  X11Face* x = FaceHere();
  if (!fileName || !x || HasFileAnswer()) {
    IGraphicsHeadless::PromptForFile(fileName, action, dir, extensions);
    return;
  }
  NoteModalRan();
  const FilePromptRecord rec = RecordFilePrompt(fileName, action, dir, extensions);
  // dir keeps "~/Desktop"; the panel starts in the folder it names.
  std::string path = expandHome(rec.startFolder);
  if (!path.empty() && path.back() != '/') path += '/';
  path += rec.startName;
  ModalScope scope(*this);
  if (!x->runFilePrompt(action == kFileSave, &path, scope.modal()) || path.empty()) return;
  if (action == kFileSave) path = withAllowedType(path, rec.types);
  fileName->Set(path.c_str());
  if (dir) dir->Set(parentFolder(path).empty() ? "/" : parentFolder(path).c_str());
}

bool IGraphicsLinux::OpenURL(const char* url, const char* msgWindowTitle, const char* confirmMsg,
                             const char* errMsg) {
  if (!url || !*url) return false;
  if (!mView || !mX11 || mX11->gone()) return IGraphicsHeadless::OpenURL(url, msgWindowTitle, confirmMsg, errMsg);
  RecordURL(url);
  ReapOpeners();
  // No shell: the text is the opener's one argument.
  char opener[] = "xdg-open";
  std::string arg = url;
  char* argv[] = {opener, arg.data(), nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, opener, nullptr, nullptr, argv, environ) != 0) return false;
  // The opener may take seconds (a browser starting): the wait holds no
  // level of the plug-in's mutex, which the audio callback takes. A close
  // of the view meanwhile ends the wait; the opener is reaped later.
  const unsigned closes = mCloses.load();
  ModalScope scope(*this);
  scope.release();
  int status = 0;
  pid_t r = 0;
  for (int waited = 0; waited <= kOpenerLimitMs && mCloses.load() == closes; waited += kOpenerStepMs) {
    r = waitpid(pid, &status, WNOHANG);
    if (r < 0 && errno == EINTR) r = 0;
    if (r != 0) break;
    poll(nullptr, 0, kOpenerStepMs);  // a child process: real time
  }
  scope.reacquire();
  if (r == pid) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (r == 0) mOpeners.push_back(pid);  // still running: reaped later
  return false;
}

void IGraphicsLinux::ReapOpeners() {
  for (size_t i = 0; i < mOpeners.size();) {
    int status = 0;
    if (waitpid(mOpeners[i], &status, WNOHANG) != 0)
      mOpeners.erase(mOpeners.begin() + static_cast<long>(i));
    else
      ++i;
  }
}

void IGraphicsLinux::HideMouseCursor() {
  mCursorCalls.push_back("hide");
  if (mCursorHidden) return;
  mCursorHidden = true;
  if (X11Face* x = FaceHere()) x->setCursorHidden(true);
}

void IGraphicsLinux::ShowMouseCursor() {
  mCursorCalls.push_back("show");
  if (!mCursorHidden) return;
  mCursorHidden = false;
  if (X11Face* x = FaceHere()) x->setCursorHidden(false);
}

// ---- Paths ----

void IGraphicsLinux::HostPath(KIT_String* path) {
  if (!path) return;
  Dl_info info{};
  std::string p;
  if (dladdr(reinterpret_cast<void*>(&homeFolder), &info) && info.dli_fname) {
    char resolved[PATH_MAX];
    p = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
  }
  path->Set(p.c_str());
}

std::string IGraphicsLinux::PluginPathOf(const std::string& module) {
  const std::string contents = parentFolder(module);
  if (lastName(contents) == "Contents") return parentFolder(parentFolder(contents));
  return platform::withTrailingSlash(module);
}

void IGraphicsLinux::PluginPath(KIT_String* path) {
  if (path) path->Set(PluginPathOf(platform::moduleFolder()).c_str());
}

void IGraphicsLinux::DesktopPath(KIT_String* path) {
  if (path) path->Set((homeFolder() + "/Desktop").c_str());
}

// ---- Resources: only in the bundle the identifier names ----

std::unique_ptr<uint8_t[]> IGraphicsLinux::OSLoadFile(int id, const char* name) {
  if (mBundleID.empty()) return nullptr;
  return IGraphicsHeadless::OSLoadFile(id, name);
}

RAST_IBitmap* IGraphicsLinux::OSLoadBitmap(int id, const char* name) {
  if (mBundleID.empty()) return nullptr;
  return IGraphicsHeadless::OSLoadBitmap(id, name);
}
