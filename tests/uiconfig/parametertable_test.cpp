#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "hardware/ParameterList.h"
#include "uiconfig/UIConfigManager.h"

namespace {

struct Logged {
  std::vector<std::string> lines;
  UIConfigManager::LogSink sink() {
    return [this](const std::string& m) { lines.push_back(m); };
  }
};

std::vector<std::pair<std::string, int>> listedParameters() {
  std::vector<std::pair<std::string, int>> v;
#define COLLECT(name, index) v.emplace_back(#name, index);
  TAVRIN_PARAMETER_LIST(COLLECT)
#undef COLLECT
  return v;
}

TEST(ParameterTable, HoldsEveryNameOnItsIndex) {
  UIConfigManager ui;
  ui.initParams();
  const auto listed = listedParameters();
  EXPECT_EQ(listed.size(), 302u);
  EXPECT_EQ(ui.paramCount(), 302u);

  std::set<int> indices;
  for (const auto& [name, index] : listed) {
    EXPECT_EQ(ui.getParamByName(name), index) << name;
    indices.insert(index);
  }
  EXPECT_EQ(indices.size(), 301u);
  for (int i = 0; i <= 306; ++i) {
    const bool unnamed = i == 215 || i == 260 || i == 284 || i == 295 || i == 296 || i == 299;
    EXPECT_EQ(indices.count(i), unnamed ? 0u : 1u) << i;
  }
}

TEST(ParameterTable, BoundariesOfEachRangeSitWhereTheProgramExpectsThem) {
  UIConfigManager ui;
  ui.initParams();
  const std::vector<std::pair<const char*, int>> expected = {
      {"kOscillator1Semitone", 0},       {"kAccentControl", 90},
      {"kNumAutomatedParams", 91},       {"kPatchFileDialog", 91},
      {"kArpPattern", 102},              {"kPatternStep01", 103},
      {"kPatternStep16", 118},           {"kPatternStep01Event", 119},
      {"kPatternStep09Event", 127},      {"kPatternStep16Event", 134},
      {"kPatternStep01Time", 135},       {"kPatternStep16Time", 150},
      {"kPatternStep01Glide", 151},      {"kPatternStep16Glide", 166},
      {"kPartLock", 167},                {"kSectionLockOsc1", 168},
      {"kSectionLockArp", 180},          {"kMIDILed", 183},
      {"kMIDIFilterDAWCCPassThrough", 184}, {"kSendMIDIClockInfo", 202},
      {"kAdjustDAWOffset", 214},         {"kGlobalMasterTune", 216},
      {"kGlobalDeviceID", 218},          {"kGlobalVelCurv", 237},
      {"kCurrentPatch", 238},            {"kCategoryName", 239},
      {"kLFO1ShapeClock", 240},          {"kArpOnOffIndicator", 265},
      {"kDeviceOutSelection", 273},      {"kControlDisplayName", 281},
      {"kCurrentBank", 289},             {"kPatchSelectionListUpper", 297},
      {"kRequestTempData", 300},         {"kLibrarianArea", 305},
      {"kTimbreLED", 306},
  };
  for (const auto& [name, index] : expected) EXPECT_EQ(ui.getParamByName(name), index) << name;
  static_assert(kTimbreLED == 306 && kNumAutomatedParams == 91 && kPatchFileDialog == 91);
  static_assert(kSectionLockCount == 13);
  EXPECT_FALSE(isPluginParameter(kTimbreLED));
  EXPECT_TRUE(isPluginParameter(kLibrarianArea));
  EXPECT_FALSE(isPluginParameter(-1));
}

TEST(ParameterTable, LookupIsExactAndLogsMisses) {
  Logged log;
  UIConfigManager ui(log.sink());
  ui.initParams();
  ASSERT_EQ(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[0], "CONFIG READER: Started to initialize parameters...");
  EXPECT_EQ(log.lines[1], "CONFIG READER: Completed!");
  log.lines.clear();

  for (const char* miss : {"kfiltercutoff", "KFilterCutoff", " kFilterCutoff", "kFilterCutoff ", "", "kTimbreLed"}) {
    EXPECT_EQ(ui.getParamByName(miss), -1) << miss;
  }
  ASSERT_EQ(log.lines.size(), 6u);
  EXPECT_EQ(log.lines[0], "CONFIG READER: parameter kfiltercutoff NOT FOUND!");
  EXPECT_EQ(log.lines[3], "CONFIG READER: parameter kFilterCutoff  NOT FOUND!");

  // Without a sink the answer is the same and nothing is written anywhere.
  UIConfigManager quiet;
  quiet.initParams();
  EXPECT_EQ(quiet.getParamByName("kfiltercutoff"), -1);
}

TEST(ParameterTable, SecondRegistrationKeepsTheFirstIndex) {
  Logged log;
  UIConfigManager ui(log.sink());
  ui.initParams();
  log.lines.clear();
  ui.initParams();
  // Two frame lines plus one refusal per name.
  ASSERT_EQ(log.lines.size(), 302u + 2u);
  EXPECT_EQ(log.lines[1], "CONFIG READER: parameter kOscillator1Semitone ALREADY EXISTS!");
  ui.mapParamToString("kFilterCutoff", 7);
  EXPECT_EQ(log.lines.back(), "CONFIG READER: parameter kFilterCutoff ALREADY EXISTS!");
  EXPECT_EQ(ui.getParamByName("kFilterCutoff"), 40);
  EXPECT_EQ(ui.paramCount(), 302u);
}

TEST(ParameterTable, GroupLabels) {
  Logged log;
  UIConfigManager ui(log.sink());
  const std::tuple<int, const char*, const char*> cases[] = {
      {0, "", "Timbre 1"}, {2, "Filter", "Timbre 3:Filter"}, {15, "", "Timbre 16"},
      {-1, "Arp", "Arp"},  {-1, "", ""},                     {2147483647, "", "Timbre 2147483648"}};
  for (auto [timbre, group, label] : cases) EXPECT_EQ(ui.getParamGroup(timbre, group), label) << timbre << group;
  EXPECT_TRUE(log.lines.empty());

  // A label is the caller's own copy: a later call does not change it.
  static_assert(std::is_same_v<decltype(ui.getParamGroup(0, "")), std::string>);
  const std::string first = ui.getParamGroup(0, "Osc");
  EXPECT_EQ(ui.getParamGroup(1, "Env"), "Timbre 2:Env");
  EXPECT_EQ(first, "Timbre 1:Osc");

  // Exactly the field's width passes quietly; one more character is logged
  // once, and the label is handed on whole for the parameter to cut.
  const std::string fits(54 - 9, 'g');  // "Timbre 1:" is 9 characters
  EXPECT_EQ(ui.getParamGroup(0, fits).size(), 54u);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(ui.getParamGroup(0, fits + "x").size(), 55u);
  ASSERT_EQ(log.lines.size(), 1u);
  EXPECT_EQ(log.lines[0].rfind("CONFIG READER: ", 0), 0u);
}

}  // namespace
