// render <resource root> <output folder>
//
// Builds the editor window from the enciphered descriptions and images of a
// resource folder, as the plug-in does, in a window without display, and
// writes what it shows as PNG files: each page (tabs 0 to 3) with its
// first-level panels (and, on the modulation and arpeggiator page, the step
// columns) and each overlay shown over the sound page, at scale 1.0 in both
// colour themes, and the sound page at 0.75 and 1.25. A resource folder
// that lacks a description or an image stops the tool with a message and a
// non-zero status.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "host/IGraphicsHeadless.h"
#include "platform/folders.h"
#include "raster/pngwrite.h"
#include "uiconfig/ImageTable.h"
#include "uiconfig/UIConfigManager.h"

namespace {

// A plug-in with the editor's parameters and nothing else.
class RenderPlug : public IPluginBase {
 public:
  RenderPlug()
      : IPluginBase(kParameterCount, "0-2", 0, "Tavrin", "Tavrin Editor", "Quillfen", 0x10000, 1, 2, 0, true, true,
                    false) {
    initialize(0, kParameterCount, "0-2", 0, "Tavrin", "Tavrin Editor", "Quillfen", 0x10000, 1, 2, 0, true, true,
               false);
  }
};

const char* const kOverlays[] = {"patchRename", "midiFilterSettings", "aboutWindow", "firstRunNotification"};
constexpr int kSoundPage = 2;

// Shows the sub-layers of a page whose id is 0 (and the step columns,
// 200-215), hides the others.
void showPanels(ControlLayer* page) {
  for (int i = 0; i < page->NSubLayers(); ++i) {
    ControlLayer* l = page->GetSubLayer(i);
    const int id = l->GetId();
    l->Hide(!(id == 0 || (id >= 200 && id < 300)));
    if (!l->IsVisible()) continue;
    showPanels(l);
  }
}

// One picture: the page of the tab with its panels, and the overlay named
// (none when empty).
bool render(const std::string& out, int theme, double scale, int tab, const std::string& overlay) {
  RenderPlug plug;
  const int w = static_cast<int>(1500 * scale), h = static_cast<int>(757 * scale);
  auto* g = new IGraphicsHeadless(&plug, w, h);
  plug.AttachGraphics(g);
  UIConfigManager ui;
  ui.readUIConfig(g, &plug, UIConfigServices(), theme, scale);
  g->AttachBackground(102, "resources/img/main-frame-bg.png", scale);
  for (int i = 0; i < g->NLayers(); ++i) {
    ControlLayer* l = g->GetLayer(i);
    const bool strip = l->GetName() == "miniMixer" || l->GetName() == "releaseAllLocksLayer";
    l->Hide(!(l->GetName() == "root" || (strip && tab != 0) || l->GetName() == overlay));
  }
  ControlLayer* root = ui.layer("root");
  if (!root) {
    std::fprintf(stderr, "render: the description has no root layer\n");
    return false;
  }
  root->SetSelectedSubLayer(tab);
  for (int i = 0; i < root->NSubLayers(); ++i) {
    ControlLayer* page = root->GetSubLayer(i);
    page->Hide(page->GetId() != tab);
    if (page->GetId() == tab) showPanels(page);
  }
  if (!overlay.empty() && ui.layer(overlay)) showPanels(ui.layer(overlay));
  g->OpenWindow(nullptr);
  plug.RedrawParamControls();  // the initial values, as the editor pushes them
  g->tick();
  const std::vector<uint32_t>& screen = g->screenImage();
  if (!RAST_WritePNG(out.c_str(), reinterpret_cast<const RAST_pixel*>(screen.data()), w, h, w, false)) {
    std::fprintf(stderr, "render: %s cannot be written\n", out.c_str());
    return false;
  }
  g->CloseWindow();
  return true;
}

// The files the window needs, missing from the folder.
std::vector<std::string> missingResources(const std::string& root) {
  std::vector<std::string> missing;
  std::vector<std::string> names = {"uiconfig.tea", "sysex.tea"};
  for (const uiconfig::ImageRow& r : uiconfig::kImageTable) {
    const std::string file = r.file;
    names.push_back(file);
    names.push_back(file.substr(0, file.rfind('.')) + ".black.png");
  }
  for (const std::string& n : names)
    if (!std::filesystem::exists(root + n)) missing.push_back(n);
  return missing;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: render <resource root> <output folder>\n");
    return 2;
  }
  std::string root = argv[1], out = argv[2];
  if (!root.empty() && root.back() != '/') root += '/';
  if (!out.empty() && out.back() != '/') out += '/';
  const std::vector<std::string> missing = missingResources(root);
  for (const std::string& m : missing) std::fprintf(stderr, "render: %s%s is missing\n", root.c_str(), m.c_str());
  if (!missing.empty()) return 1;
  platform::setResourceFolder(root);

  const char* const themes[] = {"normal", "black"};
  bool ok = true;
  for (int theme = 0; theme < 2; ++theme) {
    const std::string suffix = std::string("-") + themes[theme];
    for (int tab = 0; tab <= 3; ++tab)
      ok &= render(out + "page" + std::to_string(tab) + suffix + "-1.00.png", theme, 1.0, tab, "");
    for (const char* overlay : kOverlays)
      ok &= render(out + overlay + suffix + "-1.00.png", theme, 1.0, kSoundPage, overlay);
  }
  ok &= render(out + "page2-normal-0.75.png", 0, 0.75, kSoundPage, "");
  ok &= render(out + "page2-normal-1.25.png", 0, 1.25, kSoundPage, "");
  return ok ? 0 : 1;
}
