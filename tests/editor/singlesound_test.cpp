// The single-sound reader of the import: sound lengths and their completion,
// the two models, names from file names, the ends of the data.
#include <gtest/gtest.h>

#include "editor/SingleSoundReader.h"
#include "support_banks.h"

namespace {

using banks::Bytes;
using singlesound::readNext;

// A sound of n bytes before its F7 (F0 3E model 00 and data).
Bytes sound(size_t n, uint8_t model = 0x16) {
  Bytes s = {0xF0, 0x3E, model, 0x05};
  while (s.size() < n) s.push_back(static_cast<uint8_t>(s.size() & 0x7F));
  s.push_back(0xF7);
  return s;
}

TEST(SingleSoundReader, LengthsAreCompletedAsTheImportNeedsThem) {
  const std::string name = singlesound::nameFor("/x/Lead.syx");
  struct Row {
    size_t n, size;
  };
  for (const Row r : {Row{74, 0}, {75, 91}, {76, 91}, {77, 92}, {78, 80}, {135, 137}, {137, 139}}) {
    const Bytes data = sound(r.n);
    int pos = 0;
    Bytes m;
    const int next = readNext(data, pos, name, false, m);
    ASSERT_EQ(m.size(), r.size) << r.n;
    EXPECT_EQ(next, static_cast<int>(data.size()) + 1) << r.n;  // two past the F7
    if (m.empty()) continue;
    EXPECT_EQ(Bytes(m.begin(), m.begin() + 4), (Bytes{0xF0, 0x3E, 0x16, 0x05}));
    EXPECT_EQ(m[m.size() - 2], 0x14);
    EXPECT_EQ(m.back(), 0xF7);
    if (r.n == 75) {
      EXPECT_EQ(m[75], 0x00);
    }
    if (r.n <= 77) {
      EXPECT_EQ(std::string(m.end() - 15, m.end() - 2), "Lead         ");
    }
  }
}

// A whole dump, as a single sound is saved, is kept byte for byte under the
// model 2 header, for either model; only a stale check byte is made right.
TEST(SingleSoundReader, AWholeDumpOfEitherModelIsKeptWithItsCheckByteRecomputed) {
  for (const bool older : {false, true}) {
    SCOPED_TRACE(older ? "model 1" : "model 2");
    Bytes dump = banks::model2Dump(9, "WHOLE PAD", 9, 0x05, 1, 42);
    const Bytes right = dump;
    ASSERT_NE(right[135], 0x2A);
    dump[2] = older ? 0x0B : 0x16;
    dump[135] = 0x2A;  // stale, as a template's
    const Bytes data = banks::rawBank({Bytes{0x01, 0x02}, dump, sound(75)});
    int pos = 0;
    Bytes m;
    EXPECT_EQ(readNext(data, pos, "Z", older, m), static_cast<int>(dump.size()) + 3);
    EXPECT_EQ(m, right);
    EXPECT_EQ(std::string(m.begin() + 120, m.begin() + 134), "WHOLE PAD     ");
  }
}

TEST(SingleSoundReader, ModelsEndsAndNames) {
  Bytes m;
  // Each model reads only its own sounds; a mismatch goes on after the
  // model byte.
  for (const bool older : {false, true}) {
    const Bytes data = sound(100, older ? 0x16 : 0x0B);
    int pos = 0;
    EXPECT_EQ(readNext(data, pos, "", older, m), 3);
    EXPECT_TRUE(m.empty());
  }
  // A model 1 sound is converted to a whole model 2 dump.
  int pos = 0;
  readNext(banks::model1Dump(75, 3), pos, singlesound::nameFor("/a/b/Old Pad.mid"), true, m);
  ASSERT_EQ(m.size(), 137u);
  EXPECT_EQ(m[2], 0x16);
  // A maker byte too near the end, with no model and device byte after it,
  // ends the scan.
  for (const Bytes& data : {Bytes{0x00, 0x3E}, Bytes{0x3E, 0x16}, Bytes{}, Bytes{0x01, 0x02}}) {
    pos = 0;
    EXPECT_EQ(readNext(data, pos, "", false, m), -1);
    EXPECT_EQ(pos, -1);
  }
  // Data ending inside a sound end the scan after it.
  Bytes open = sound(135);
  open.pop_back();
  pos = 0;
  EXPECT_EQ(readNext(open, pos, "", false, m), 0);
  EXPECT_EQ(m.size(), 137u);

  EXPECT_EQ(singlesound::nameFor("/p/ABCDEFGHIJKLMNOPQRSTUVW.syx"), "ABCDEFGHIJKLM");
  EXPECT_EQ(singlesound::nameFor("/p/abc.mid"), "abc          ");
  EXPECT_EQ(singlesound::nameFor(""), "IMPORTEDSINGL");
  EXPECT_EQ(singlesound::nameFor("/p/na\xC3\xAFve.syx"), "na  ve       ");
}

TEST(SingleSoundReader, AStandardMidiFileGivesItsSoundsInOrder) {
  std::vector<Bytes> dumps;
  for (int i = 0; i < 3; ++i) {
    Bytes d = banks::model2Dump(i, banks::patchName(i), 3);
    d.erase(d.end() - 2);  // no check byte: 135 bytes before the F7
    dumps.push_back(d);
  }
  const Bytes file = banks::midiBank(dumps);
  int pos = 0, calls = 0;
  std::vector<Bytes> found;
  Bytes m;
  while (++calls < 10 && readNext(file, pos, "", false, m) > 0) found.push_back(m);
  EXPECT_EQ(calls, 4);  // three sounds and the search that finds no more
  ASSERT_EQ(found.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(std::string(found[i].begin() + 120, found[i].begin() + 134), banks::patchName(i));
}

}  // namespace
