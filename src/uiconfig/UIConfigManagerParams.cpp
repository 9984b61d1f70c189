// The parameter table of the UI configuration.
#include "hardware/ParameterList.h"
#include "uiconfig/UIConfigManager.h"

void UIConfigManager::initParams() {
  log("CONFIG READER: Started to initialize parameters...");
#define TAVRIN_MAP_PARAMETER(name, index) mapParamToString(#name, index);
  TAVRIN_PARAMETER_LIST(TAVRIN_MAP_PARAMETER)
#undef TAVRIN_MAP_PARAMETER
  log("CONFIG READER: Completed!");
}

void UIConfigManager::mapParamToString(const std::string& name, int index) {
  if (!m_params.emplace(name, index).second) log("CONFIG READER: parameter " + name + " ALREADY EXISTS!");
}

int UIConfigManager::getParamByName(const std::string& name) {
  auto it = m_params.find(name);
  if (it != m_params.end()) return it->second;
  log("CONFIG READER: parameter " + name + " NOT FOUND!");
  return -1;
}

std::string UIConfigManager::getParamGroup(int channel, const std::string& group) {
  if (channel >= 0) {
    m_groupLabel = "Timbre " + std::to_string(static_cast<long long>(channel) + 1);
    if (!group.empty()) m_groupLabel += ":" + group;
  } else if (!group.empty()) {
    m_groupLabel = group;
  } else {
    return std::string();
  }
  if (m_groupLabel.size() > kMaxGroupLabelLength)
    log("CONFIG READER: group label " + m_groupLabel + " is longer than " + std::to_string(kMaxGroupLabelLength) +
        " characters and will be cut!");
  return m_groupLabel;
}
