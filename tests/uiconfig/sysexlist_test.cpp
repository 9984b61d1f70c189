// The system-exclusive list: its entries, templates as ints, and the
// messages of one control.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "support_uiconfig.h"

namespace {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;

TEST(SysexList, EntriesListsAndValues) {
  uitest::Window w;
  uitest::writeDescription(w.res(), "sysex.tea", R"(<sysexlist><junk/>
    <sysex><junk><value>skipped</value></junk><values><value>F0 7f</value><value/><x>a</x>
           <multivalue><value>m</value></multivalue></values></sysex>
    <!-- not an entry -->
    <other><values><multivalue>mv</multivalue><value>late</value></values>
           <values/></other>
    <sysex><values><multivalue><value>1</value><value></value></multivalue><multivalue/></values>
           <values><value>  </value></values></sysex></sysexlist>)");
  w.build();
  const auto& c = w.ui->sysexContainers();
  ASSERT_EQ(c.size(), 3u);
  EXPECT_EQ(c[0].values, (std::vector<Values>{{"F0 7f", " ", "a", " "}}));
  EXPECT_FALSE(c[0].multiValue);
  EXPECT_EQ(c[1].values, (std::vector<Values>{{"late"}}));  // starts at the first "value"
  ASSERT_EQ(c[1].multiValues.size(), 1u);                 // the empty "values"
  EXPECT_TRUE(c[1].multiValues[0].empty());
  EXPECT_TRUE(c[1].multiValue);
  ASSERT_EQ(c[2].multiValues.size(), 1u);
  EXPECT_EQ(c[2].multiValues[0], (std::vector<Values>{{"1", ""}, {}}));
  EXPECT_EQ(c[2].values, (std::vector<Values>{{" "}}));  // blanks alone are no text to the parser
  EXPECT_EQ(w.ui->convertStringSysextoVector(c[0].values[0][1]), Ints{});

  // A list that is missing, does not parse or has no "sysexlist": no entries, one line.
  for (auto [text, line] : std::vector<std::pair<std::string, std::string>>{
           {"", "CONFIG READER: resources/sysex.tea MISSING!"},
           {"<sysexlist>", "CONFIG READER: resources/sysex.tea DOES NOT PARSE: "},
           {"<list><sysex/></list>", "CONFIG READER: resources/sysex.tea HAS NO sysexlist ELEMENT!"}}) {
    uitest::Window v;
    if (!text.empty()) uitest::writeDescription(v.res(), "sysex.tea", text);
    v.build();
    ASSERT_GE(v.lines.size(), 3u);
    EXPECT_EQ(v.lines[0], "CONFIG READER: Started to read SysEx Data...");
    EXPECT_EQ(v.lines[1].rfind(line, 0), 0u) << v.lines[1];
    EXPECT_EQ(v.lines[2], "CONFIG READER: Completed reading SysEx data!");
    EXPECT_TRUE(v.ui->sysexContainers().empty());
  }
}

TEST(SysexList, TemplatesAsInts) {
  uitest::Window w;
  for (auto [text, ints, lines] : std::vector<std::tuple<std::string, Ints, size_t>>{
           {"F0 7f 0x10 F7", {240, 127, 16, 247}, 0},
           {"  -5  +0X1a zz 3g 0x ", {-5, 26, 0, 3, 0}, 0},
           {"41\n42 43", {0x41, 0x43}, 0},
           {"7FFFFFFF 80000000 -80000000 123456789ABC", {INT_MAX, 0, INT_MIN, 0}, 2},
           {"", {}, 0}}) {
    w.lines.clear();
    EXPECT_EQ(w.ui->convertStringSysextoVector(text), ints) << text;
    EXPECT_EQ(w.lines.size(), lines) << text;
  }
}

TEST(SysexList, MessagesPerValue) {
  uitest::Window w;
  const std::string tmpl = "3E 16 58 41 43 00 05 00";
  // Each case: changing byte, count, start, copy, and per message bytes 4, 5 and 6.
  struct Case {
    int chb, count, start, copy;
    std::vector<Ints> bytes456;
  };
  const Case cases[] = {
      {7, 4, 126, -1, {{0x43, 0, 126}, {0x43, 0, 127}, {0x43, 0, 0}, {0x43, 0, 1}}},
      {7, 2, 200, 0, {{0x43, 0, 200}, {0x43, 0, 201}}},
      {7, 3, -1, -1, {{0x43, 0, 5}, {0x43, 0, 5}, {0x43, 0, 6}}},
      {7, 0, 3, -1, {}},
      {7, -2, -1, -1, {{0x43, 0, 5}}},
      {7, 3, -1, 1, {{0x43, 0, 5}, {0x53, 1, 5}, {0x53, 1, 6}}},  // the template itself is never adjusted
      {5, 2, 9, 1, {{9, 1, 5}, {10, 1, 5}}},                       // the value is written last
      {0, 3, 0, -1, {}},                                           // changing byte outside the template
      {9, 3, 0, -1, {}},
      {7, 1025, 0, -1, {}},
  };
  for (const Case& c : cases) {
    ControlActionSysExMessage m;
    m.messages = {{1}};
    m.multiMessage = true;
    w.ui->calculateSysexWithChangingByte(tmpl, c.chb, c.count, &m, c.start, c.copy);
    std::vector<Ints> got;
    for (const Ints& msg : m.messages) {
      ASSERT_EQ(msg.size(), 8u);
      got.push_back({msg[4], msg[5], msg[6]});
    }
    EXPECT_EQ(got, c.bytes456) << c.chb << " " << c.count << " " << c.start << " " << c.copy;
    EXPECT_TRUE(m.multiMessage);  // only the messages are replaced
  }

  // Copy 1 wraps byte 4 by 112 and leaves short templates alone.
  ControlActionSysExMessage m;
  w.ui->calculateSysexWithChangingByte("00 00 00 00 70 7F", 1, 1, &m, 0, 1);
  EXPECT_EQ(m.messages, (std::vector<Ints>{{0, 0, 0, 0, 0, 0x80}}));
  w.ui->calculateSysexWithChangingByte("00 01 02 03 04", 1, 1, &m, 9, 1);
  EXPECT_EQ(m.messages, (std::vector<Ints>{{9, 1, 2, 3, 4}}));
  w.ui->calculateSysexWithChangingByte("00 00 00 00 7FFFFFFF 7FFFFFFF", 1, 1, &m, INT_MAX, 1);
  EXPECT_EQ(m.messages[0][4], INT_MAX - 112);
}

}  // namespace
