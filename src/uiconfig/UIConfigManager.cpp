// The manager's start-up, its records and the reading of the enciphered
// descriptions.
#include "uiconfig/UIConfigManager.h"

#include <tinyxml2.h>

#include <cstring>
#include <limits>

#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "framework/IPluginBase.h"
#include "uiconfig/ResourceKey.h"
#include "uiconfig/Tea.h"

UIConfigManager::UIConfigManager(LogSink log) : m_log(std::move(log)) {}

UIConfigManager::~UIConfigManager() {
  if (!m_plug) return;
  for (int i = 0; i < m_plug->NParams(); ++i) {
    IParam* p = m_plug->GetParam(i);
    if (!p || !p->GetControlAction()) continue;
    for (const auto& a : m_actions)
      if (a.get() == p->GetControlAction()) {
        p->SetControlAction(nullptr);
        break;
      }
  }
}

void UIConfigManager::log(const std::string& message) const {
  if (m_log) m_log(message);
}

void UIConfigManager::logSkipped(const std::string& element, const std::string& what,
                                 const std::string& reason) const {
  log("CONFIG READER: " + element + " " + what + " SKIPPED: " + reason);
}

ControlAction* UIConfigManager::adoptControlAction(int idx, std::unique_ptr<ControlAction> action) {
  IParam* p = m_plug ? m_plug->GetParam(idx) : nullptr;
  if (!p || !action) return nullptr;
  m_actions.push_back(std::move(action));
  p->SetControlAction(m_actions.back().get());
  return m_actions.back().get();
}

int UIConfigManager::clampCoordinate(double value) {
  constexpr double kLimit = 1 << 24;
  if (!(value > -kLimit)) return -(1 << 24);  // also NaN
  if (value > kLimit) return 1 << 24;
  return (int)value;
}

int UIConfigManager::scaled(int value) const { return clampCoordinate(value * m_uiScale); }

void UIConfigManager::readUIConfig(IGraphics* graphics, IPluginBase* plug, const UIConfigServices& services,
                                   int colourTheme, double uiScale) {
  m_graphics = graphics;
  m_plug = plug;
  m_services = services;
  m_colourTheme = colourTheme;
  m_uiScale = uiScale;

  readSysexValues();
  initImages(graphics);
  initParams();

  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  if (!readDescription(kUIConfigResource, kUIConfigFile, doc)) return;
  readReasources(&doc);
  tinyxml2::XMLElement* root = doc.FirstChildElement("uiconfig");
  if (!root) {
    log(std::string("CONFIG READER: ") + kUIConfigFile + " HAS NO uiconfig ELEMENT!");
    return;
  }
  m_walked = 0;
  processXMLElement(root->FirstChild(), nullptr, -1);
}

// ---- Enciphered descriptions ----

namespace uiconfig {

std::vector<uint8_t> encipherDescription(std::string_view text) {
  // At least one zero byte ends the text, then zeros up to whole blocks.
  std::vector<uint8_t> out(text.begin(), text.end());
  out.push_back(0);
  while (out.size() % 8) out.push_back(0);
  Tea tea;
  uint32_t key[4];
  std::memcpy(key, kResourceKey, sizeof key);
  for (size_t at = 0; at < out.size(); at += 8) tea.simpleencrypt(out.data() + at, key);
  return out;
}

std::string decipherDescription(const uint8_t* data, size_t size) {
  Tea tea;
  uint32_t key[4];
  std::memcpy(key, kResourceKey, sizeof key);
  std::string text;
  text.reserve(size + 8);
  for (size_t at = 0; at < size; at += 8) {
    unsigned char block[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    std::memcpy(block, data + at, size - at < 8 ? size - at : 8);
    tea.simpledecrypt(block, key);
    text.append(reinterpret_cast<const char*>(block), 8);
  }
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  return text;
}

}  // namespace uiconfig

bool UIConfigManager::readEnciphered(int resourceId, const char* name, std::string& text) {
  text.clear();
  std::unique_ptr<uint8_t[]> buffer = m_graphics ? m_graphics->LoadFile(resourceId, name) : nullptr;
  if (!buffer) {
    log(std::string("CONFIG READER: ") + name + " MISSING!");
    return false;
  }
  const int size = m_graphics->GetLastFileSize();
  text = uiconfig::decipherDescription(buffer.get(), size > 0 ? (size_t)size : 0);
  return true;  // the loaded buffer goes here
}

bool UIConfigManager::readDescription(int resourceId, const char* name, tinyxml2::XMLDocument& doc) {
  std::string text;
  if (!readEnciphered(resourceId, name, text)) return false;
  if (doc.Parse(text.c_str(), text.size()) != tinyxml2::XML_SUCCESS) {
    log(std::string("CONFIG READER: ") + name + " DOES NOT PARSE: " + doc.ErrorStr());
    return false;
  }
  return true;
}

void UIConfigManager::Tokenize(const std::string& text, std::vector<std::string>& tokens,
                               const std::string& delimiters) {
  size_t start = text.find_first_not_of(delimiters);
  while (start != std::string::npos) {
    const size_t end = text.find_first_of(delimiters, start);
    tokens.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = end == std::string::npos ? end : text.find_first_not_of(delimiters, end);
  }
}

void UIConfigManager::readReasources(tinyxml2::XMLDocument* doc) {
  tinyxml2::XMLElement* root = doc ? doc->FirstChildElement("uiconfig") : nullptr;
  tinyxml2::XMLElement* lists = root ? root->FirstChildElement("valueLists") : nullptr;
  if (!lists) return;
  for (tinyxml2::XMLElement* list = lists->FirstChildElement("list"); list;
       list = list->NextSiblingElement("list")) {
    const char* name = list->Attribute("name");
    if (!name) {
      logSkipped("list", "", "no name");
      continue;
    }
    std::vector<std::string> values;
    for (tinyxml2::XMLElement* v = list->FirstChildElement("value"); v; v = v->NextSiblingElement("value")) {
      const char* t = v->GetText();
      values.emplace_back(t ? t : "");
    }
    m_valueLists[name] = std::move(values);
  }
}

std::vector<std::string> UIConfigManager::valueList(const std::string& name) const {
  const std::vector<std::string>* list = findValueList(name);
  return list ? *list : std::vector<std::string>();
}

const std::vector<std::string>* UIConfigManager::findValueList(const std::string& name) const {
  auto it = m_valueLists.find(name);
  return it == m_valueLists.end() ? nullptr : &it->second;
}

ControlLayer* UIConfigManager::layer(const std::string& name) const {
  auto it = m_layers.find(name);
  return it == m_layers.end() ? nullptr : it->second;
}
