// The project's own window: its description, system-exclusive list and
// images, read through the instrument map, held to the authoring checks and
// built at every scale and theme.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "raster/png.h"
#include "support_uiconfig.h"
#include "uiconfig/AuthoringCheck.h"
#include "uiconfig/ImageTable.h"
#include "uiconfig/InstrumentMap.h"

namespace {

using uiconfig::Violation;
using uitest::describe;
using uitest::projectSource;

TEST(ProjectWindow, SourcesPassTheChecks) {
  const uiconfig::InstrumentMap map = uiconfig::readInstrumentMap(projectSource("uiconfig.xml"), projectSource("sysex.xml"));
  ASSERT_TRUE(map.ok) << map.error;
  EXPECT_EQ(uiconfig::checkAuthoring(map), std::vector<Violation>()) << describe(uiconfig::checkAuthoring(map));
  EXPECT_EQ(uiconfig::checkImages(TAVRIN_STAGED_ROOT), std::vector<Violation>());

  // A few entries as the instrument reads them.
  ASSERT_EQ(map.entriesOf(0).size(), 1u);
  EXPECT_EQ(map.entriesOf(0)[0]->cc, 70);
  EXPECT_EQ(uiconfig::mapMessages(*map.entriesOf(0)[0], 96, 2, -1)[0], (std::vector<uint8_t>{0xB2, 70, 112}));
  ASSERT_EQ(map.entriesOf(63).size(), 1u);  // mod unit 2 amount: NRPN 1 / 4 on CC 6
  EXPECT_EQ(uiconfig::mapMessages(*map.entriesOf(63)[0], 10, 0, -1),
            (std::vector<std::vector<uint8_t>>{{0xB0, 99, 1}, {0xB0, 98, 4}, {0xB0, 6, 10}}));
  ASSERT_EQ(map.entriesOf(219).size(), 1u);  // transpose: address 00 01
  EXPECT_EQ(uiconfig::mapMessages(*map.entriesOf(219)[0], 48, 0, 5)[0],
            (std::vector<uint8_t>{0xF0, 0x3E, 0x16, 5, 0x41, 0, 1, 48, 0, 0xF7}));
  EXPECT_EQ(map.entriesOf(29)[0]->carrier, 240);
  EXPECT_EQ(uiconfig::mapMessages(*map.entriesOf(51)[0], 1, 0, -1)[0], (std::vector<uint8_t>{0xB0, 64, 127}));
}

// Each planted fault fails the checks with its rule, naming its element.
TEST(ProjectWindow, PlantedFaultsFailTheirRule) {
  struct Plant {
    const char* from;
    const char* to;
    bool inSysex;
    const char* rule;
    const char* element;
  } plants[] = {
      {"ccNumber=\"45\"", "ccNumber=\"46\"", false, "duplicate-cc", "kFilterResonance"},
      {"type=\"ccKnob\" name=\"Panning\"", "type=\"Knob\" name=\"Panning\"", false, "unbound-sound-parameter", "kPanning"},
      {"name=\"arpTempoClock\"", "name=\"arpTempoClocks\"", false, "missing-layer", "arpTempoClock"},
      {"<value>RING</value>", "", false, "list-count", "osc3Routing"},
      {"3E 16 58 41 00 01 00 00", "3E 16 58 41 00 80 00 00", true, "template", "00 80"},
      {"position=\"1300,406\"", "position=\"1480,406\"", false, "outside-window", "kMainVolume"},
      {"imageId=\"BG_ID_UNISON\"", "imageId=\"BG_ID_UNISONS\"", false, "unknown-image", "BG_ID_UNISONS"},
      {"valueBounds=\"15,0,16\"", "valueBounds=\"15,0,17\"", false, "range", "kPatternLength"},
      {"name=\"multiModeMixer\" id=\"0\">", "name=\"multiModeMixer\" id=\"0\"><knobcontrol type=\"ccKnob\" "
       "paramId=\"kArpPattern\" imageId=\"KNOB_ID127\" position=\"20,712\" valueBounds=\"0,0,15\" ccNumber=\"6\"/>",
       false, "mixer-binding", "kArpPattern"},
      // The geometry: a knob over its neighbour's caption, a caption past its
      // panel, a button without words, an overlay cutting the page's texts.
      {"imageId=\"KNOB_ID127\" position=\"108,146\"", "imageId=\"KNOB_ID127\" position=\"70,150\"", false,
       "overlap", "kOscillator1Tune"},
      {"label=\"Curve\"", "label=\"Curve Of The Drive\"", false, "outside-panel", "kVCADriveCurveTrigger"},
      {"name=\"Randomize\"", "name=\"Randomize\" label=\"\"", false, "unlabelled", "kRandomize"},
      {"imageId=\"BG_ABOUT_ID\" position=\"10,372\"", "imageId=\"BG_ABOUT_ID\" position=\"10,300\"", false,
       "overlap", "BG_ABOUT_ID"},
  };
  for (const Plant& p : plants) {
    std::string ui = projectSource("uiconfig.xml"), sx = projectSource("sysex.xml");
    std::string& text = p.inSysex ? sx : ui;
    const size_t at = text.find(p.from);
    ASSERT_NE(at, std::string::npos) << p.from;
    text.replace(at, std::string(p.from).size(), p.to);
    const std::vector<Violation> v = uiconfig::checkAuthoring(uiconfig::readInstrumentMap(ui, sx));
    bool found = false;
    for (const Violation& x : v) found |= x.rule == p.rule && x.element.find(p.element) != std::string::npos;
    EXPECT_TRUE(found) << p.rule << " " << p.element << "\n" << describe(v);
  }

  // A missing image file, and one of the wrong size.
  testsupport::TempDir dir;
  uitest::linkProjectResources(dir.path());
  std::filesystem::remove(dir.path() + "led-fem.black.png");
  std::filesystem::remove(dir.path() + "btn-18x18.png");
  std::filesystem::create_symlink(dir.path() + "btn-127x18.png", dir.path() + "btn-18x18.png");
  EXPECT_EQ(uiconfig::checkImages(dir.path()), (std::vector<Violation>{{"image-size", "btn-18x18.png"},
                                                                       {"missing-image", "led-fem.black.png"}}));
}

// Outside input: unparsable texts give no map, and odd numbers stay in range.
TEST(ProjectWindow, MapReaderRefusesBrokenTexts) {
  EXPECT_FALSE(uiconfig::readInstrumentMap("<uiconfig>", "<sysexlist/>").ok);
  EXPECT_FALSE(uiconfig::readInstrumentMap("<uiconfig/>", "<sysexlist").ok);
  const uiconfig::InstrumentMap m = uiconfig::readInstrumentMap(
      "<uiconfig><knobcontrol type=\"seKnob\" paramId=\"kVolume+99999999999\" ccNumber=\"2000000\" sysexIndex=\"7\" "
      "valueBounds=\"0,x,2147483648\"/></uiconfig>",
      "<sysexlist><sysex><values><value>3E 1FF zz</value></values></sysex></sysexlist>");
  ASSERT_TRUE(m.ok);
  ASSERT_EQ(m.entries.size(), 1u);
  EXPECT_EQ(m.elements[0].param, -1);
  EXPECT_EQ(m.elements[0].cc, -1);
  EXPECT_TRUE(m.entries[0].templ.empty());
  EXPECT_EQ(m.elements[0].valueBounds, (std::vector<int>{0, 0, 0}));
  EXPECT_EQ(uiconfig::parameterIndex("kTimbreLED"), 306);
}

// The enciphered sources build the whole window at every scale and theme,
// each in its own graphics context, with nothing but the start-up's lines.
TEST(ProjectWindow, BuildsCleanlyAtEveryScaleAndTheme) {
  for (int theme : {0, 1})
    for (double scale : {0.75, 1.0, 1.25}) {
      uitest::Window w(static_cast<int>(1500 * scale), static_cast<int>(757 * scale));
      uitest::linkProjectResources(w.res());
      w.build(theme, scale);
      EXPECT_EQ(w.extraLines(), std::vector<std::string>()) << theme << " " << scale;
      EXPECT_EQ(w.lines.size(), 6u);
      EXPECT_NE(w.ui->layer("pattStepOverlayer16"), nullptr);
      EXPECT_EQ(w.ui->valueList("tempoValues").size(), 128u);
      EXPECT_EQ(w.ui->sysexContainers().size(), 24u);
    }
}

// Two runs of the image tool give the same files; the themes differ.
TEST(ProjectWindow, ImagesAreReproducibleAndThemed) {
  testsupport::TempDir a, b;
  const std::string tool = std::string(TAVRIN_IMAGEGEN) + " " + TAVRIN_PROJECT_SOURCES + "uiconfig.xml ";
  ASSERT_EQ(std::system((tool + a.path()).c_str()), 0);
  ASSERT_EQ(std::system((tool + b.path()).c_str()), 0);
  EXPECT_NE(std::system((std::string(TAVRIN_IMAGEGEN) + " /nonexistent.xml " + a.path() + " 2>/dev/null").c_str()),
            0);
  for (const uiconfig::ImageRow& r : uiconfig::kImageTable) {
    const std::string plain = r.file, black = plain.substr(0, plain.size() - 4) + ".black.png";
    EXPECT_EQ(testsupport::readFile(a.path() + plain), testsupport::readFile(b.path() + plain)) << plain;
    EXPECT_NE(testsupport::readFile(a.path() + plain), testsupport::readFile(a.path() + black)) << plain;
  }
  EXPECT_EQ(uiconfig::checkImages(a.path()), std::vector<Violation>());
}

// The colours of a PNG file, alpha left out; empty when it cannot be read.
std::vector<uint32_t> colours(const std::string& path) {
  std::vector<uint32_t> out;
  RAST_IBitmap* bm = RAST_LoadPNG(path.c_str());
  if (!bm) return out;
  for (int y = 0; y < bm->getHeight(); ++y)
    for (int x = 0; x < bm->getWidth(); ++x) out.push_back(bm->getBits()[y * bm->getRowSpan() + x] & ~0xFFu);
  delete bm;
  return out;
}

// The render tool writes every state of every page and each overlay, in
// both themes at the three scales; each differs from the others and from the
// bare background, and oscillators 2 and 3 show their knobs. A folder
// without resources stops it.
TEST(ProjectWindow, RenderToolDrawsEveryPageAndOverlay) {
  testsupport::TempDir out, empty;
  const std::string tool = std::string(TAVRIN_RENDER) + " ";
  ASSERT_EQ(std::system((tool + "'" + TAVRIN_STAGED_ROOT + "' " + out.path()).c_str()), 0);
  EXPECT_NE(std::system((tool + empty.path() + " " + out.path() + " 2>/dev/null").c_str()), 0);
  std::vector<std::vector<uint32_t>> seen = {colours(std::string(TAVRIN_STAGED_ROOT) + "main-frame-bg.png")};
  for (const char* theme : {"normal", "black"}) {
    std::vector<std::string> names = {"page0",         "page1",  "page1-searchField", "page2", "page2-osc1UnisonKnob",
                                      "page2-osc1AmpEnvFade", "page3", "patchRename", "midiFilterSettings",
                                      "aboutWindow", "firstRunNotification"};
    for (const std::string& n : names) {
      const std::vector<uint32_t> c = colours(out.path() + n + "-" + theme + "-1.00.png");
      ASSERT_EQ(c.size(), 1500u * 757u) << n << " " << theme;
      for (const std::vector<uint32_t>& other : seen) EXPECT_NE(c, other) << n << " " << theme;
      seen.push_back(c);
    }
    EXPECT_EQ(colours(out.path() + "page2-" + theme + "-0.75.png").size(), 1125u * 567u);
    EXPECT_EQ(colours(out.path() + "aboutWindow-" + theme + "-1.25.png").size(), 1875u * 946u);
  }
  // The oscillator 2 and 3 panels show their knobs (the slate theme's knob
  // face).
  const std::vector<uint32_t> page = colours(out.path() + "page2-normal-1.00.png");
  for (int left : {354, 692}) {
    int face = 0;
    for (int y = 140; y < 200; ++y)
      for (int x = left; x < left + 200; ++x) face += page[static_cast<size_t>(y) * 1500 + x] == RAST_RGBA(70, 80, 96, 0);
    EXPECT_GT(face, 1000) << left;
  }
}

}  // namespace
