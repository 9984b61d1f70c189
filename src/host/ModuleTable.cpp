#include "host/ModuleTable.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "framework/IParam.h"
#include "host/IGraphicsLinux.h"
#include "host/IPluginVST.h"
#include "kit/mutex.h"
#include "platform/clock.h"
#include "platform/folders.h"
#include "platform/pngwrite.h"

#ifndef TAVRIN_BUILD_ID
#define TAVRIN_BUILD_ID "unknown build"
#endif

int32_t CountProcessThreads() {
  DIR* d = opendir("/proc/self/task");
  if (!d) return 0;
  int32_t n = 0;
  while (const dirent* e = readdir(d))
    if (e->d_name[0] != '.') ++n;
  closedir(d);
  return n;
}

namespace {

// Taken when the module is loaded, before any of its plug-ins exists.
const int32_t g_threadsAtLoad = CountProcessThreads();

int32_t liveInstances() { return IPluginVST::LiveInstances(); }

int32_t moduleThreads() {
  const int32_t n = CountProcessThreads() - g_threadsAtLoad;
  return n > 0 ? n : 0;
}

void setDataFolder(const char* path) { platform::setDataFolder(path ? path : ""); }
void setResourceFolder(const char* path) { platform::setResourceFolder(path ? path : ""); }

}  // namespace

// ---------------------------------------------------------------------------
// The editor view's entries

namespace {

IPluginVST* effectPlug(AEffect* e) { return e ? static_cast<IPluginVST*>(e->object) : nullptr; }

IGraphicsLinux* contextOf(IPluginVST* plug) { return plug ? dynamic_cast<IGraphicsLinux*>(plug->GetGUI()) : nullptr; }

// Runs f(plug, context) under the plug-in's mutex; fallback when the plug-in
// has no context of this platform or f throws.
template <class R, class F>
R withContext(AEffect* e, R fallback, F&& f) {
  try {
    IPluginVST* plug = effectPlug(e);
    if (!plug) return fallback;
    KIT_MutexLock lock(plug->GetMutex());
    IGraphicsLinux* g = contextOf(plug);
    return g ? f(plug, g) : fallback;
  } catch (...) {
    return fallback;
  }
}

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + 1;
  }
}

int32_t copyText(const std::string& text, char* buf, int32_t size) {
  if (buf && size > 0) {
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
  }
  return static_cast<int32_t>(text.size());
}

std::string rectText(const IRECT& r) {
  return std::to_string(r.L) + " " + std::to_string(r.T) + " " + std::to_string(r.R) + " " + std::to_string(r.B);
}

int32_t setViewDriving(AEffect* e, int32_t driving) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) {
    g->SetDriving(driving == kViewPumped ? EditorView::Driving::Pumped : EditorView::Driving::Threaded);
    return 1;
  });
}

int32_t setViewFace(AEffect* e, int32_t face) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) {
    g->SetFace(face == kFaceHeadless   ? IGraphicsLinux::Face::Headless
               : face == kFaceTopLevel ? IGraphicsLinux::Face::TopLevel
                                       : IGraphicsLinux::Face::Auto);
    return 1;
  });
}

int32_t pump(AEffect* e, int32_t n) {
  // The view takes the mutex for each step itself.
  try {
    IGraphicsLinux* g = contextOf(effectPlug(e));
    return g ? g->pump(n) : 0;
  } catch (...) {
    return 0;
  }
}

int32_t viewCounters(AEffect* e, TavrinViewCounters* out) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) {
    EditorView* v = g->view();
    if (!v || !out) return 0;
    const ViewCounters c = v->counters();
    *out = TavrinViewCounters{};
    out->ticks = int64_t(c.ticks);
    out->skippedTicks = int64_t(c.skippedTicks);
    out->paints = int64_t(c.paints);
    out->paintedPixels = int64_t(c.paintedPixels);
    out->delivered = int64_t(c.delivered);
    out->unhandledKeys = int64_t(c.unhandledKeys);
    const int32_t u[4] = {c.paintedUnion.L, c.paintedUnion.T, c.paintedUnion.R, c.paintedUnion.B};
    std::memcpy(out->paintedUnion, u, sizeof u);
    out->hostViewRules = v->mode() == viewrules::Mode::HostView ? 1 : 0;
    out->x11 = g->ShowsX11() ? 1 : 0;
    out->window = g->X11Window();
    return 1;
  });
}

int32_t postViewEvent(AEffect* e, const TavrinViewEvent* in) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) {
    if (!in || !g->view()) return 0;
    ViewEvent v;
    static const ViewEvent::Kind kKinds[] = {ViewEvent::kDown, ViewEvent::kUp, ViewEvent::kDrag,
                                             ViewEvent::kMove, ViewEvent::kWheel, ViewEvent::kKey};
    if (in->kind < 0 || in->kind > kEventKey) return 0;
    v.kind = kKinds[in->kind];
    v.x = in->x;
    v.y = in->y;
    v.secondary = in->secondary != 0;
    v.clicks = in->clicks;
    v.flags = in->flags;
    v.delta = in->delta;
    v.chars.assign(in->chars, strnlen(in->chars, sizeof in->chars));
    v.virtualKey = in->virtualKey;
    g->post(v);
    return 1;
  });
}

int32_t answer(AEffect* e, int32_t kind, const char* text, int32_t number) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) {
    switch (kind) {
      case kAnswerMenuText:
        if (text) g->answerMenuByText(split(text, '/'));
        else g->answerMenuDismiss();
        return 1;
      case kAnswerMenuIndex: {
        if (!text) {
          g->answerMenuDismiss();
          return 1;
        }
        std::vector<int> path;
        for (const std::string& p : split(text, '/')) path.push_back(std::atoi(p.c_str()));
        g->answerMenuByIndex(path);
        return 1;
      }
      case kAnswerTextEntry:
        if (text) g->answerTextEntry(text);
        else g->answerTextEntryCancel();
        return 1;
      case kAnswerFilePrompt:
        if (text) g->answerFilePrompt(text);
        else g->answerFilePromptCancel();
        return 1;
      case kAnswerMessageBox:
        g->answerMessageBox(static_cast<IGraphicsHeadless::EBoxRole>(number));
        return 1;
      case kAnswerOpenURL:
        g->answerOpenURL(number != 0);
        return 1;
      case kAnswerDialog: {
        std::vector<std::pair<int, std::string>> edits;
        if (text && *text)
          for (const std::string& line : split(text, '\n')) {
            const size_t eq = line.find('=');
            if (eq != std::string::npos) edits.emplace_back(std::atoi(line.substr(0, eq).c_str()), line.substr(eq + 1));
          }
        g->answerDialog(number, edits);
        return 1;
      }
      default:
        return 0;
    }
  });
}

// The records of one kind, each as text lines.
std::vector<std::string> records(IGraphicsLinux* g, int32_t kind) {
  std::vector<std::string> out;
  switch (kind) {
    case kRecordMenu:
      for (const auto& m : g->menus()) {
        std::string s = "rect " + rectText(m.rect) + "\nwindow " + rectText(m.window) + " row " +
                        std::to_string(m.rowHeight);
        for (const std::string& line : m.lines) s += "\n" + line;
        out.push_back(s);
      }
      break;
    case kRecordTextEntry:
      for (const auto& t : g->textEntries())
        out.push_back("rect " + rectText(t.rect) + "\ninitial " + t.initial + "\ntype " + std::to_string(t.paramType) +
                      "\nmax " + std::to_string(t.maxLength) + "\nfont " + t.fontName + " " +
                      std::to_string(t.fontSize));
      break;
    case kRecordFilePrompt:
      for (const auto& f : g->filePrompts()) {
        std::string types;
        for (const std::string& t : f.types) types += (types.empty() ? "" : " ") + t;
        out.push_back("action " + std::to_string(f.action) + "\nfolder " + f.startFolder + "\nname " + f.startName +
                      "\ntypes " + types);
      }
      break;
    case kRecordMessageBox:
      for (const auto& b : g->messageBoxes())
        out.push_back("caption " + b.caption + "\ntext " + b.text + "\ntype " + std::to_string(b.type));
      break;
    case kRecordURL:
      for (const auto& u : g->urls()) out.push_back(u.url + "\n" + (u.web ? "web" : "file"));
      break;
    case kRecordCursor:
      out = g->cursorCalls();
      break;
    case kRecordScriptError:
      out = g->scriptErrors();
      break;
    default:
      break;
  }
  return out;
}

int32_t recordCount(AEffect* e, int32_t kind) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) { return int32_t(records(g, kind).size()); });
}

int32_t record(AEffect* e, int32_t kind, int32_t index, char* buf, int32_t size) {
  return withContext(e, -1, [&](IPluginVST*, IGraphicsLinux* g) {
    const std::vector<std::string> all = records(g, kind);
    if (index < 0 || size_t(index) >= all.size()) return -1;
    return copyText(all[size_t(index)], buf, size);
  });
}

// The first control bound to a parameter, a shown one before a hidden one:
// the control list first, then the layers.
IControl* boundControl(IGraphics* g, int idx) {
  IControl* shown = nullptr;
  IControl* any = nullptr;
  auto look = [&](IControl* c) {
    if (!c || c->ParamIdx() != idx) return;
    if (!any) any = c;
    if (!shown && !c->IsHidden()) shown = c;
  };
  for (int i = 0; i < g->NControls(); ++i) look(g->GetControl(i));
  for (int i = 0; i < g->NLayers(); ++i) g->GetLayer(i)->ForEachControl(look);
  return shown ? shown : any;
}

ControlLayer* namedLayer(ControlLayer* layer, const std::string& name) {
  if (!layer) return nullptr;
  if (layer->GetName() == name) return layer;
  for (int i = 0; i < layer->NSubLayers(); ++i)
    if (ControlLayer* found = namedLayer(layer->GetSubLayer(i), name)) return found;
  return nullptr;
}

int32_t controlRect(AEffect* e, int32_t idx, const char* layerName, int32_t rect[4]) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) {
    IControl* c = nullptr;
    if (layerName) {
      for (int i = 0; i < g->NLayers() && !c; ++i)
        if (ControlLayer* l = namedLayer(g->GetLayer(i), layerName))
          l->ForEachControl([&](IControl* x) {
            if (!c) c = x;
          });
    } else {
      c = boundControl(g, idx);
    }
    if (!c || !rect) return 0;
    const IRECT* r = c->GetRECT();
    rect[0] = r->L, rect[1] = r->T, rect[2] = r->R, rect[3] = r->B;
    return 1;
  });
}

double paramValue(AEffect* e, int32_t idx) {
  try {
    IPluginVST* plug = effectPlug(e);
    if (!plug) return 0.0;
    KIT_MutexLock lock(plug->GetMutex());
    IParam* p = plug->GetParam(idx);
    return p ? p->Value() : 0.0;
  } catch (...) {
    return 0.0;
  }
}

int32_t setParamFromGUI(AEffect* e, int32_t idx, double value) {
  return withContext(e, 0, [&](IPluginVST* plug, IGraphicsLinux* g) {
    IParam* p = plug->GetParam(idx);
    IControl* c = p ? boundControl(g, idx) : nullptr;
    if (!c) return 0;
    c->SetValueFromUserInput(p->GetNormalized(value));
    return 1;
  });
}

int32_t writeScreenPNG(AEffect* e, const char* path) {
  return withContext(e, 0, [&](IPluginVST*, IGraphicsLinux* g) {
    if (!path) return 0;
    const auto& image = g->screenImage();
    return platform::writePNG(path, reinterpret_cast<const uint8_t*>(image.data()), g->Width(), g->Height(),
                              g->Width() * 4, false)
               ? 1
               : 0;
  });
}

void setClock(void* clock) { platform::setClock(static_cast<platform::Clock*>(clock)); }

}  // namespace

TavrinModuleTable StandardModuleTable() {
  TavrinModuleTable t{};
  t.version = kModuleTableVersion;
  t.build = TAVRIN_BUILD_ID;
  t.liveInstances = &liveInstances;
  t.moduleThreads = &moduleThreads;
  t.setDataFolder = &setDataFolder;
  t.setResourceFolder = &setResourceFolder;
  t.openMidiOut = nullptr;
  t.setViewDriving = &setViewDriving;
  t.setViewFace = &setViewFace;
  t.pump = &pump;
  t.viewCounters = &viewCounters;
  t.postViewEvent = &postViewEvent;
  t.answer = &answer;
  t.recordCount = &recordCount;
  t.record = &record;
  t.controlRect = &controlRect;
  t.paramValue = &paramValue;
  t.setParamFromGUI = &setParamFromGUI;
  t.writeScreenPNG = &writeScreenPNG;
  t.setClock = &setClock;
  return t;
}
