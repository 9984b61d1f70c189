#include "support_uiconfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "raster/pngwrite.h"
#include "uiconfig/ImageTable.h"

namespace uitest {

std::string projectSource(const char* name) {
  std::vector<uint8_t> b = testsupport::readFile(std::string(TAVRIN_PROJECT_SOURCES) + name);
  return std::string(b.begin(), b.end());
}

const uiconfig::InstrumentMap& projectMap() {
  static const uiconfig::InstrumentMap map =
      uiconfig::readInstrumentMap(projectSource("uiconfig.xml"), projectSource("sysex.xml"));
  return map;
}

std::string describe(const std::vector<uiconfig::Violation>& v) {
  std::string s;
  for (const uiconfig::Violation& x : v) s += x.rule + ": " + x.element + "\n";
  return s;
}

uint32_t imageColour(int row, int frame, int theme) {
  const uint32_t r = (uint32_t)(row * 4) & 0xFF, g = (uint32_t)(frame * 2 + 1) & 0xFF, b = theme ? 220u : 60u;
  return 0xFFu | r << 8 | g << 16 | b << 24;
}

void writeTestImages(const std::string& folder, int frameW, int frameH) {
  for (int row = 0; row < uiconfig::kImageCount; ++row) {
    const uiconfig::ImageRow& im = uiconfig::kImageTable[row];
    const int w = im.sideBySide ? frameW * im.frames : frameW, h = im.sideBySide ? frameH : frameH * im.frames;
    std::vector<uint32_t> px((size_t)w * (size_t)h);
    for (int theme = 0; theme < 2; ++theme) {
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          px[(size_t)y * w + x] = imageColour(row, im.sideBySide ? x / frameW : y / frameH, theme);
      std::string file = im.file;
      if (theme) file.insert(file.rfind('.'), ".black");
      ASSERT_TRUE(RAST_WritePNG((folder + file).c_str(), px.data(), w, h, w, false)) << file;
    }
  }
}

void copyTestDescriptions(const std::string& folder) {
  for (const char* name : {"uiconfig.tea", "sysex.tea"})
    std::filesystem::copy_file(std::string(TAVRIN_UICONFIG_TEST_ROOT) + name, folder + name,
                               std::filesystem::copy_options::overwrite_existing);
}

void linkProjectResources(const std::string& folder) {
  for (const auto& f : std::filesystem::directory_iterator(TAVRIN_STAGED_ROOT))
    std::filesystem::create_symlink(f.path(), folder + f.path().filename().string());
}

void writeDescription(const std::string& folder, const std::string& name, const std::string& text) {
  ASSERT_TRUE(testsupport::writeFile(folder + name, uiconfig::encipherDescription(text)));
}

std::string uiconfig(const std::string& body) { return "<uiconfig>" + body + "</uiconfig>"; }

Built::Built(const std::string& body, double scale, int w, int h, const std::string& sysex, std::unique_ptr<Plug> p)
    : Window(w, h, std::move(p)) {
  writeDescription(res(), "uiconfig.tea", uiconfig(body));
  if (!sysex.empty()) writeDescription(res(), "sysex.tea", sysex);
  writeTestImages(res());
  build(0, scale);
  extra = extraLines();
  if (!extra.empty() && extra[0] == "CONFIG READER: resources/sysex.tea MISSING!") extra.erase(extra.begin());
}

Window::Window(int w, int h, std::unique_ptr<Plug> p) : plug(p ? std::move(p) : std::make_unique<Plug>()) {
  g = new IGraphicsHeadless(plug.get(), w, h);
  plug->AttachGraphics(g);
  ui = std::make_unique<UIConfigManager>([this](const std::string& m) { lines.push_back(m); });
}

Window::~Window() { ui.reset(); }

void Window::build(int theme, double scale, const UIConfigServices& services) {
  ui->readUIConfig(g, plug.get(), services, theme, scale);
}

std::vector<std::string> Window::extraLines() const {
  static const char* const kClean[] = {
      "CONFIG READER: Started to read SysEx Data...",       "CONFIG READER: Completed reading SysEx data!",
      "CONFIG READER: Started to read image resources...", "CONFIG READER: Completed!",
      "CONFIG READER: Started to initialize parameters..."};
  std::vector<std::string> extra;
  for (const std::string& l : lines)
    if (std::find(std::begin(kClean), std::end(kClean), l) == std::end(kClean)) extra.push_back(l);
  return extra;
}

}  // namespace uitest
