// render <resource root> <output folder>
//
// Builds the editor window from the enciphered descriptions and images of a
// resource folder, as the plug-in does, in a window without display, and
// writes what it shows as PNG files: every state of every page (one picture
// for each sub-layer that a group on one spot can show, such as the three
// panels the oscillator 1 shape switches between) and each overlay over the
// page it opens on, in both colour themes at 0.75, 1.0 and 1.25. The sets of
// layers come from the window's layout (uiconfig/WindowLayout.h), the same
// sets the authoring checks hold to their rules. Files are named
// "<page or overlay>-<theme>-<scale>.png", such as page2-normal-1.00.png or
// page2-osc1UnisonKnob-black-0.75.png. A resource folder that lacks a
// description or an image stops the tool with a message and a non-zero
// status.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IPluginBase.h"
#include "hardware/ParameterList.h"
#include "host/IGraphicsHeadless.h"
#include "platform/folders.h"
#include "raster/pngwrite.h"
#include "uiconfig/ImageTable.h"
#include "uiconfig/InstrumentMap.h"
#include "uiconfig/UIConfigManager.h"
#include "uiconfig/WindowLayout.h"

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

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The plain description and system-exclusive list of the resource folder.
uiconfig::InstrumentMap readMap(const std::string& root) {
  std::string text[2];
  const char* const names[] = {"uiconfig.tea", "sysex.tea"};
  for (int i = 0; i < 2; ++i) {
    const std::string bytes = readFile(root + names[i]);
    text[i] = uiconfig::decipherDescription(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  }
  return uiconfig::readInstrumentMap(text[0], text[1]);
}

// The window built once at a scale and theme, shown set by set.
class Window {
 public:
  Window(int theme, double scale)
      : m_w(static_cast<int>(uiconfig::kWindowWidth * scale)), m_h(static_cast<int>(uiconfig::kWindowHeight * scale)) {
    m_g = new IGraphicsHeadless(&m_plug, m_w, m_h);
    m_plug.AttachGraphics(m_g);
    m_ui.readUIConfig(m_g, &m_plug, UIConfigServices(), theme, scale);
    m_g->AttachBackground(102, "resources/img/main-frame-bg.png", scale);
    m_g->OpenWindow(nullptr);
    m_plug.RedrawParamControls();  // the initial values, as the editor pushes them
  }
  ~Window() { m_g->CloseWindow(); }

  // Shows exactly the view's layers and draws the whole window.
  bool write(const uiconfig::InstrumentMap& map, const uiconfig::WindowView& v, const std::string& out) {
    for (size_t l = 0; l < map.layers.size(); ++l)
      if (ControlLayer* layer = m_ui.layer(map.layers[l].name)) layer->Hide(!v.shown[l]);
    m_g->tick();
    IRECT all(0, 0, m_w, m_h);
    m_g->Draw(&all);
    const std::vector<uint32_t>& screen = m_g->screenImage();
    if (!RAST_WritePNG(out.c_str(), reinterpret_cast<const RAST_pixel*>(screen.data()), m_w, m_h, m_w, false)) {
      std::fprintf(stderr, "render: %s cannot be written\n", out.c_str());
      return false;
    }
    return true;
  }

 private:
  RenderPlug m_plug;
  int m_w, m_h;
  IGraphicsHeadless* m_g = nullptr;  // owned by the plug-in
  UIConfigManager m_ui;
};

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
  const uiconfig::InstrumentMap map = readMap(root);
  if (!map.ok) {
    std::fprintf(stderr, "render: the description cannot be read: %s\n", map.error.c_str());
    return 1;
  }
  platform::setResourceFolder(root);

  const std::vector<uiconfig::WindowView> views = uiconfig::windowViews(map);
  const char* const themes[] = {"normal", "black"};
  const char* const scales[] = {"0.75", "1.00", "1.25"};
  bool ok = true;
  for (int theme = 0; theme < 2; ++theme)
    for (int k = 0; k < 3; ++k) {
      // The window is built for each theme and scale, as the plug-in builds it.
      Window window(theme, uiconfig::kWindowScales[k]);
      for (const uiconfig::WindowView& v : views)
        if (v.picture)
          ok &= window.write(map, v, out + v.pictureName + "-" + themes[theme] + "-" + scales[k] + ".png");
    }
  return ok ? 0 : 1;
}
