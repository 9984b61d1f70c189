// The image table's start-up against plain decoding in the same run.
// A: decoding the 57 stand-in images with RAST_LoadPNG (no scaling, no
// cache). B: initImages at scale 1.25 in a fresh headless window (through
// readUIConfig without descriptions), then the pixels of every image asked
// for once on the same thread, which decodes and scales them all. Each
// iteration measures both; the counter "ratio" is median B / median A; its
// goal is in bench/goals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "platform/folders.h"
#include "raster/png.h"
#include "raster/pngwrite.h"
#include "testsupport.h"
#include "uiconfig/ImageTable.h"
#include "uiconfig/UIConfigManager.h"
#include "uiconfig_fakes.h"

namespace {

struct Size {
  int w, h;
};

// One frame of a stand-in image, as the window's images are drawn.
Size frameSize(const uiconfig::ImageRow& im) {
  const std::string id = im.idString;
  auto is = [&](std::initializer_list<const char*> ids) {
    for (const char* i : ids)
      if (id == i) return true;
    return false;
  };
  if (id.rfind("KNOB_ID", 0) == 0) return {48, 48};
  if (id.rfind("LED_", 0) == 0) {
    // A column of 12 x 12 dots, one per value; protectors cover one frame.
    static const std::pair<const char*, int> dots[] = {{"SINGLE", 1}, {"FEM", 5}, {"QUAD", 4}, {"TEN", 10}, {"SEVEN", 7}};
    for (auto [name, n] : dots)
      if (id.find(name) != std::string::npos) return {12, 12 * n};
  }
  if (is({"KNOB_PERCENTAGE_ID", "BUTTON_SML_LED_ID", "BUTTON_SMALL_ID", "BTN_ON_OFF_ARP_ID"})) return {32, 16};
  if (is({"BTN_CHECKBOX_ID", "BUTTON_LOCK_WHITE_ID", "BUTTON_LOCK_BLACK_ID"})) return {16, 16};
  if (is({"BUTTON_BANK_SEARCH_ID"})) return {24, 24};
  if (is({"BTN_OFFON_ID"})) return {40, 16};
  if (is({"BTN_RADIO_ARP_ID"})) return {40, 256};
  if (is({"BTN_18x18_ID"})) return {18, 18};
  if (is({"BTN_127x18_ID"})) return {127, 18};
  if (id.rfind("BUTTON_", 0) == 0 || id.rfind("BTN_", 0) == 0) return {120, 32};
  if (is({"BG_ID_PLAIN", "PROGRESS_INDICATOR_ID", "BG_ID_MAIN"})) return {1500, 757};
  if (is({"MANAGER_BG_ID2", "BG_ID_EDIT", "BG_ID_ARPEGGIATOR"})) return {1480, 588};
  if (is({"BG_ID_BROWSER"})) return {1288, 452};
  if (is({"BG_ID_DISPLAY"})) return {760, 96};
  if (is({"BG_EVENT_OVERLAYER"})) return {76, 356};
  return {240, 120};  // the other panels
}

// Flat frames with a 1-px line across each.
struct Images {
  testsupport::TempDir dir;
  std::vector<std::string> paths;
  Images() {
    for (const uiconfig::ImageRow& im : uiconfig::kImageTable) {
      const Size f = frameSize(im);
      const int w = im.sideBySide ? f.w * im.frames : f.w, h = im.sideBySide ? f.h : f.h * im.frames;
      std::vector<uint32_t> px((size_t)w * h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int k = im.sideBySide ? x / f.w : y / f.h;
          const bool line = (im.sideBySide ? y : y % f.h) == f.h / 2;
          px[(size_t)y * w + x] = line ? 0xFFFFFFFFu : 0xFFu | (uint32_t)(k * 7 % 256) << 8 | 0x40u << 16 | 0x60u << 24;
        }
      paths.push_back(dir.path() + im.file);
      RAST_WritePNG(paths.back().c_str(), px.data(), w, h, w, true);
    }
  }
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void BM_ImageTable(benchmark::State& state) {
  static Images images;
  platform::setResourceFolder(images.dir.path());
  std::vector<double> a, b;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    for (const std::string& p : images.paths) delete RAST_LoadPNG(p.c_str());
    const auto t1 = std::chrono::steady_clock::now();
    {
      uitest::Plug plug;
      auto* g = new IGraphicsHeadless(&plug, 1875, 946);
      plug.AttachGraphics(g);
      UIConfigManager ui;
      const auto t2 = std::chrono::steady_clock::now();
      ui.readUIConfig(g, &plug, UIConfigServices(), 0, 1.25);
      bool drawable = true;
      for (const uiconfig::ImageRow& im : uiconfig::kImageTable) {
        RAST_IBitmap* b = ui.getImageByName(g, im.idString).mData;
        drawable = drawable && b && b->getBits();
      }
      const auto t3 = std::chrono::steady_clock::now();
      if (ui.imageCount() != 57 || !drawable) state.SkipWithError("images did not load");
      a.push_back(std::chrono::duration<double>(t1 - t0).count());
      b.push_back(std::chrono::duration<double>(t3 - t2).count());
      state.SetIterationTime(b.back());
    }
  }
  platform::setResourceFolder("");
  state.counters["A_ms"] = median(a) * 1000;
  state.counters["B_ms"] = median(b) * 1000;
  state.counters["ratio"] = median(a) > 0 ? median(b) / median(a) : 0;
}
BENCHMARK(BM_ImageTable)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
