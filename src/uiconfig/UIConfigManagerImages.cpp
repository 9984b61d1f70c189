// The image table: every bitmap of the window, loaded once at the UI scale
// into the graphics context's cache and registered under its id string.
#include "framework/IGraphics.h"
#include "uiconfig/ImageTable.h"
#include "uiconfig/UIConfigManager.h"

void UIConfigManager::initImages(IGraphics* graphics) {
  log("CONFIG READER: Started to read image resources...");
  for (const uiconfig::ImageRow& row : uiconfig::kImageTable)
    preloadImage(graphics, row.resourceId, row.idString, (std::string("resources/img/") + row.file).c_str(),
                 row.frames, row.sideBySide);
  log("CONFIG READER: Completed!");
}

void UIConfigManager::preloadImage(IGraphics* graphics, int resourceId, const char* idString, const char* file,
                                   int frames, bool sideBySide) {
  if (!graphics || !idString || !file) return;
  // The dark theme has its own copy of every image, beside the plain one.
  std::string path = file;
  if (m_colourTheme == 1) {
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) path.insert(dot, ".black");
  }
  IBitmap bitmap = graphics->LoadIBitmap(resourceId, path.c_str(), m_uiScale, frames, false);
  if (m_releasing) {
    graphics->ReleaseBitmap(&bitmap);
    return;
  }
  m_images[idString] = ImageInfo{resourceId, frames, sideBySide};
}

IBitmap UIConfigManager::getImageByName(IGraphics* graphics, const std::string& idString) {
  auto it = m_images.find(idString);
  if (it == m_images.end() || !graphics) {
    log("CONFIG READER: Image " + idString + " MISSING!");
    return IBitmap(nullptr, 0, 0, 1, false);
  }
  return graphics->getImageById(it->second.resourceId, it->second.frames, it->second.sideBySide);
}

void UIConfigManager::ClearImageCache() {
  m_releasing = true;
  initImages(m_graphics);
  m_releasing = false;
}
