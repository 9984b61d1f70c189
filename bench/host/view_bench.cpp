// A full-window tick of the editor at scale 1.0 (the framework's paint of
// the whole window and the copy to the screen, and with a display its
// picture in the X11 window) against one memcpy of the window's pixels,
// timed in the same iterations. The "ratio" counter is tick time / copy
// time; the goal is at most 10. The X11 variant needs DISPLAY (it is
// skipped without one).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "editor/Tavrin.h"
#include "hardware/MidiBackendLoopback.h"
#include "hardware/MidiPorts.h"
#include "host/IGraphicsLinux.h"
#include "platform/folders.h"
#include "testsupport.h"

// Last: its macros would break the headers above.
#include <X11/Xlib.h>

namespace {

LoopbackHub* g_hub = nullptr;
std::unique_ptr<IHardwarePorts> loopbackPorts() { return std::make_unique<MidiPorts>(g_hub->makeBackend()); }
IGraphics* linuxContext(IPluginVST* plug, int w, int h, int fps) { return new IGraphicsLinux(plug, w, h, fps); }

void BM_FullWindowTickVsMemcpy(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  const bool x11 = state.range(0) != 0;
  Display* desk = nullptr;
  Window parent = 0;
  if (x11) {
    desk = XOpenDisplay(nullptr);
    if (!desk) {
      state.SkipWithError("no display");
      return;
    }
    parent = XCreateSimpleWindow(desk, DefaultRootWindow(desk), 0, 0, 1500, 757, 0, 0, 0);
    XMapWindow(desk, parent);
    XSync(desk, False);
  }
  testsupport::TempDir data;
  platform::setDataFolder(data.path());
  platform::setResourceFolder(TAVRIN_STAGED_ROOT);
  LoopbackHub hub;
  g_hub = &hub;
  SetHardwarePortsFactory(&loopbackPorts);
  SetGraphicsFactory(&linuxContext);
  {
    Tavrin plug{IPluginInstanceInfo{}};
    auto* g = static_cast<IGraphicsLinux*>(plug.GetGUI());
    g->SetDriving(EditorView::Driving::Pumped);
    g->SetFace(x11 ? IGraphicsLinux::Face::Auto : IGraphicsLinux::Face::Headless);
    g->OpenWindow(reinterpret_cast<void*>(uintptr_t(parent)), nullptr, 0, 0);
    const IRECT window(0, 0, g->Width(), g->Height());
    const size_t bytes = size_t(g->Width()) * size_t(g->Height()) * 4;
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    Clock::duration tick{}, copy{};
    for (auto _ : state) {
      const auto t0 = Clock::now();
      {
        KIT_MutexLock lock(plug.GetMutex());
        g->view()->paint(window);
      }
      const auto t1 = Clock::now();
      std::memcpy(to.data(), from.data(), bytes);
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
      const auto t2 = Clock::now();
      tick += t1 - t0;
      copy += t2 - t1;
    }
    const double n = double(state.iterations());
    state.counters["tick_ms"] = std::chrono::duration<double, std::milli>(tick).count() / n;
    state.counters["memcpy_ms"] = std::chrono::duration<double, std::milli>(copy).count() / n;
    state.counters["ratio"] = double(tick.count()) / double(copy.count());
    g->CloseWindow();
  }
  SetGraphicsFactory(nullptr);
  SetHardwarePortsFactory(nullptr);
  g_hub = nullptr;
  platform::setDataFolder("");
  platform::setResourceFolder("");
  if (desk) {
    XDestroyWindow(desk, parent);
    XCloseDisplay(desk);
  }
}
BENCHMARK(BM_FullWindowTickVsMemcpy)->Arg(0)->Arg(1)->ArgName("x11")->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace
