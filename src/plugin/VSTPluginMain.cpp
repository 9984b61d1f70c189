// The plug-in module: its entry makes one Tavrin for the host, with the
// platform's graphics context, and its test table serves the test host.
#include <poll.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "editor/Tavrin.h"
#include "framework/ITextControl.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "host/IGraphicsLinux.h"
#include "host/IPluginVST.h"
#include "host/ModuleTable.h"
#include "librarian/LibrarianViewControl.h"
#include "uiconfig/ControlAction.h"

namespace {

IPluginVST* makeTavrin(IPluginInstanceInfo info) { return new Tavrin(info); }

IGraphics* makeContext(IPluginVST* plug, int w, int h, int fps) { return new IGraphicsLinux(plug, w, h, fps); }

Tavrin* tavrinOf(AEffect* e) { return e ? dynamic_cast<Tavrin*>(static_cast<IPluginVST*>(e->object)) : nullptr; }

int32_t copyText(const char* text, char* buf, int32_t size) {
  const size_t n = text ? std::strlen(text) : 0;
  if (buf && size > 0) {
    const size_t k = n < size_t(size - 1) ? n : size_t(size - 1);
    if (k) std::memcpy(buf, text, k);
    buf[k] = '\0';
  }
  return static_cast<int32_t>(n);
}

int32_t slotText(AEffect* e, int32_t lower, int32_t slot, char* buf, int32_t size) {
  try {
    Tavrin* t = tavrinOf(e);
    if (!t) return -1;
    KIT_MutexLock lock(t->GetMutex());
    LibrarianViewControl* view = t->librarianView();
    if (!view || slot < 0 || slot >= LibrarianViewControl::kSlots) return -1;
    return copyText(view->slotText(lower != 0, slot), buf, size);
  } catch (...) {
    return -1;
  }
}

int32_t slotRect(AEffect* e, int32_t lower, int32_t slot, int32_t rect[4]) {
  try {
    Tavrin* t = tavrinOf(e);
    if (!t || !rect) return 0;
    KIT_MutexLock lock(t->GetMutex());
    LibrarianViewControl* view = t->librarianView();
    if (!view || slot < 0 || slot >= LibrarianViewControl::kSlots) return 0;
    const IRECT r = view->slotRect(lower != 0, slot);
    rect[0] = r.L, rect[1] = r.T, rect[2] = r.R, rect[3] = r.B;
    return 1;
  } catch (...) {
    return 0;
  }
}

// The text of a status line (0: the status display, 1: the second line).
std::string statusText(Tavrin* t, int which) {
  auto* c = dynamic_cast<ITextControl*>(t->rememberedControl(which == 0 ? kControlDisplayName : kControlDisplayValue));
  return c ? c->GetTextForPlug() : std::string();
}

int32_t statusLine(AEffect* e, int32_t which, char* buf, int32_t size) {
  try {
    Tavrin* t = tavrinOf(e);
    if (!t) return -1;
    KIT_MutexLock lock(t->GetMutex());
    return copyText(statusText(t, which).c_str(), buf, size);
  } catch (...) {
    return -1;
  }
}

int32_t waitForStatus(AEffect* e, const char* text, int32_t limitMs) {
  try {
    Tavrin* t = tavrinOf(e);
    if (!t || !text) return 0;
    auto* g = dynamic_cast<IGraphicsLinux*>(t->GetGUI());
    constexpr int kStepMs = 5;
    for (int waited = 0;; waited += kStepMs) {
      {
        KIT_MutexLock lock(t->GetMutex());
        if (statusText(t, 0) == text || statusText(t, 1) == text) return 1;
      }
      if (waited >= limitMs) return 0;
      if (g) g->pump(1);        // a pumped view moves on; others answer 0
      poll(nullptr, 0, kStepMs);  // the jobs run on their own threads in real time
    }
  } catch (...) {
    return 0;
  }
}

int32_t jobRunning(AEffect* e) {
  try {
    Tavrin* t = tavrinOf(e);
    return t && t->jobRunning() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

// The editor's controls of a parameter are those its control action
// links (a shown one first); the standard look-up serves layers and the rest.
int32_t (*g_standardControlRect)(AEffect*, int32_t, const char*, int32_t*) = nullptr;

int32_t controlRect(AEffect* e, int32_t idx, const char* layerName, int32_t rect[4]) {
  try {
    Tavrin* t = tavrinOf(e);
    if (t && !layerName && rect) {
      KIT_MutexLock lock(t->GetMutex());
      IParam* p = t->GetParam(idx);
      ControlAction* action = p ? p->GetControlAction() : nullptr;
      IControl* found = nullptr;
      if (action)
        for (IControl* c : action->controls)
          if (c && (!found || (found->IsHidden() && !c->IsHidden()))) found = c;
      if (found) {
        const IRECT* r = found->GetRECT();
        rect[0] = r->L, rect[1] = r->T, rect[2] = r->R, rect[3] = r->B;
        return 1;
      }
    }
    return g_standardControlRect ? g_standardControlRect(e, idx, layerName, rect) : 0;
  } catch (...) {
    return 0;
  }
}

// ---- ports on an in-process loopback ----

std::mutex g_loopbackLock;
std::unique_ptr<LoopbackHub> g_hub;  // made on first use, gone at unload
std::vector<std::unique_ptr<MidiBackend>> g_peers;

LoopbackHub& hub() {
  std::lock_guard<std::mutex> lock(g_loopbackLock);
  if (!g_hub) g_hub = std::make_unique<LoopbackHub>();
  return *g_hub;
}

std::unique_ptr<IHardwarePorts> makeLoopbackPorts() { return std::make_unique<MidiPorts>(hub().makeBackend()); }

int32_t useLoopbackPorts(int32_t on) {
  SetHardwarePortsFactory(on ? &makeLoopbackPorts : nullptr);
  return 1;
}

void* loopbackPeer() {
  std::unique_ptr<MidiBackend> backend = hub().makeBackend();
  std::lock_guard<std::mutex> lock(g_loopbackLock);
  g_peers.push_back(std::move(backend));
  return g_peers.back().get();
}

}  // namespace

extern "C" AEffect* VSTPluginMain(audioMasterCallback host) {
  SetGraphicsFactory(&makeContext);
  return IPluginVST::MakeEffect(host, &makeTavrin);
}

extern "C" const TavrinModuleTable* tavrin_module_table() {
  static const TavrinModuleTable table = [] {
    TavrinModuleTable t = StandardModuleTable();
    g_standardControlRect = t.controlRect;
    t.controlRect = &controlRect;
    t.slotText = &slotText;
    t.slotRect = &slotRect;
    t.statusLine = &statusLine;
    t.waitForStatus = &waitForStatus;
    t.jobRunning = &jobRunning;
    t.useLoopbackPorts = &useLoopbackPorts;
    t.loopbackPeer = &loopbackPeer;
    return t;
  }();
  return &table;
}
