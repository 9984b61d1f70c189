#pragma once
// Builds the window from the user-interface description. This part holds
// the parameter table: every symbolic parameter name the description may
// use, with its index, and the group labels the control factories give their
// parameters.
#include <functional>
#include <map>
#include <string>

class UIConfigManager {
 public:
  // Receives one debug-log line. The plug-in passes a sink only while its
  // debug log is on; without one nothing is logged.
  using LogSink = std::function<void(const std::string& message)>;

  // The most characters a parameter's group text holds; a longer label is
  // cut by the parameter itself.
  static constexpr size_t kMaxGroupLabelLength = 54;

  explicit UIConfigManager(LogSink log = {});

  // Fills the parameter table with every name of the parameter list. A name
  // already present is logged and keeps its index.
  void initParams();
  // Stores index under name unless the name is already there.
  void mapParamToString(const std::string& name, int index);
  // The index of the name (exact bytes: case and blanks count), or -1.
  int getParamByName(const std::string& name);
  // "Timbre <channel + 1>" with ":<group>" when group is not empty, for a
  // channel of 0 or more; the group itself for a negative channel; "" when
  // both are absent. Returned by value, so it stays valid.
  std::string getParamGroup(int channel, const std::string& group);

  // The number of names held.
  size_t paramCount() const { return m_params.size(); }

 private:
  void log(const std::string& message) const;

  LogSink m_log;
  std::map<std::string, int> m_params;
  std::string m_groupLabel;  // the last label built
};
