// The plug-in module and other makers' VST 2 modules, loaded by path in the
// test host through the same effect interface.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "testhost/TestHost.h"
#include "testsupport.h"

using testhost::Effect;
using testhost::Module;

namespace {

// These tests are not about the hardware ports: the plug-in's port layer
// touches no MIDI library (before any test, while this is the only thread).
const bool g_noMidi = setenv("TAVRIN_MIDI_API", "none", 1) == 0;

using Bytes = std::vector<uint8_t>;

std::unique_ptr<Module> loadOrFail(const std::string& path) {
  std::string error;
  auto m = Module::load(path, {}, &error);
  EXPECT_TRUE(m) << path << ": " << error;
  return m;
}

Bytes getChunk(Effect& fx, int32_t index) {
  void* data = nullptr;
  const intptr_t n = fx.dispatch(effGetChunk, index, 0, &data);
  return n > 0 && data ? Bytes(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n) : Bytes();
}

intptr_t setChunk(Effect& fx, int32_t index, Bytes bytes, intptr_t size = -2) {
  return fx.dispatch(effSetChunk, index, size == -2 ? intptr_t(bytes.size()) : size, bytes.data());
}

TEST(OurModule, ExportsExactlyTheEntriesAndTheTable) {
  FILE* p = popen(("nm -D --defined-only '" + std::string(TAVRIN_MODULE) + "'").c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::set<std::string> names;
  char addr[64], kind[8], name[256];
  while (std::fscanf(p, "%63s %7s %255s", addr, kind, name) == 3) names.insert(name);
  EXPECT_EQ(pclose(p), 0);
  EXPECT_EQ(names, std::set<std::string>({"VSTPluginMain", "main", "tavrin_module_table"}));
}

// Both entries make an instance; a whole life cycle; nothing of the module
// is left running at the end, and it loads again.
TEST(OurModule, LifeCycleThroughBothEntriesAndASecondLoad) {
  for (int round = 0; round < 2; ++round) {
    auto m = loadOrFail(TAVRIN_MODULE);
    ASSERT_TRUE(m && m->table());
    for (const char* entryName : {"VSTPluginMain", "main"}) {
      Effect fx(m->entry(entryName));
      ASSERT_TRUE(fx.ok()) << entryName;
      const AEffect* e = fx.effect();
      EXPECT_EQ(std::vector<int>({e->flags, e->numPrograms, e->numParams, e->numInputs, e->numOutputs,
                                  e->initialDelay, e->version, e->uniqueID}),
                std::vector<int>({0x1131, 1, 0, 2, 2, 128, 10100, 0x62626E74}));
      EXPECT_EQ(e->ioRatio, 1.0f);
      EXPECT_EQ(fx.text(effGetEffectName), "Tavrin Editor");
      EXPECT_EQ(fx.text(effGetVendorString), "Quillfen");
      EXPECT_EQ(fx.dispatch(effGetVendorVersion), 0x10100);
      EXPECT_EQ(fx.dispatch(effGetPlugCategory), 2);
      EXPECT_EQ(m->table()->liveInstances(), 1);
      fx.start();
      for (auto kind : {Effect::Kind::Replacing, Effect::Kind::Accumulating, Effect::Kind::Double})
        fx.process(kind, 128, 0.5f, 0.25f);
      EXPECT_EQ(fx.countCalls(audioMasterWantMidi), 3u);
      for (const char* q : {"hasHostExtensions", "hasHostViewAsConfig"})
        EXPECT_EQ(fx.dispatch(effCanDo, 0, 0, const_cast<char*>(q)), 0xBEEF0000) << q;
      const Bytes bank = getChunk(fx, 0);
      EXPECT_EQ(Bytes(bank.begin(), bank.begin() + std::min<size_t>(8, bank.size())),
                Bytes({0x74, 0x66, 0x66, 0x70, 0x00, 0x00, 0x01, 0x00}));
      EXPECT_EQ(setChunk(fx, 0, bank), 1);
      const Bytes program = getChunk(fx, 1);
      EXPECT_FALSE(program.empty());
      EXPECT_EQ(setChunk(fx, 1, program), 1);
      // No header: read as the editor's state, which 16 bytes cannot hold.
      EXPECT_EQ(setChunk(fx, 1, Bytes(16, 0x11)), 0);
      EXPECT_EQ(setChunk(fx, 0, Bytes(bank.begin(), bank.begin() + 6)), 0);
      for (intptr_t size : {intptr_t(-1), intptr_t(INT_MAX) + 1, intptr_t(-4096)})
        EXPECT_EQ(setChunk(fx, 0, bank, size), 0) << size;
      EXPECT_EQ(getChunk(fx, 0), bank);
      fx.close();
      EXPECT_EQ(m->table()->liveInstances(), 0);
    }
    // A joined thread leaves the process's list a moment after its join
    // returns, a long moment on a busy core: the wait is bounded.
    EXPECT_TRUE(testsupport::spinUntil([&] { return m->table()->moduleThreads() == 0; }, std::chrono::seconds(10))) << m->table()->moduleThreads() << " threads of the module left";
  }
}

TEST(OurModule, TwoInstancesLiveSideBySide) {
  auto m = loadOrFail(TAVRIN_MODULE);
  ASSERT_TRUE(m && m->table());
  auto a = std::make_unique<Effect>(m->firstEntry());
  Effect b(m->firstEntry());
  ASSERT_TRUE(a->ok() && b.ok());
  EXPECT_NE(a->effect(), b.effect());
  a->start();
  b.start();
  EXPECT_EQ(m->table()->liveInstances(), 2);
  a.reset();
  EXPECT_EQ(m->table()->liveInstances(), 1);
  b.process(Effect::Kind::Replacing, 128);
  EXPECT_EQ(b.countCalls(audioMasterWantMidi), 1u);
  EXPECT_EQ(b.text(effGetEffectName), "Tavrin Editor");
  // No presets: the bank chunk is the program chunk, the header and the
  // editor's state.
  const Bytes bank = getChunk(b, 0);
  EXPECT_GT(bank.size(), 8u);
  EXPECT_EQ(bank, getChunk(b, 1));
}

TEST(OurModule, BlocksRunWhileTheHostKeepsNoRecord) {
  auto m = loadOrFail(TAVRIN_MODULE);
  ASSERT_TRUE(m && m->table());
  Effect fx(m->firstEntry());
  ASSERT_TRUE(fx.ok());
  fx.start();
  Effect::Settings quiet = fx.settings();
  quiet.record = false;
  fx.setSettings(quiet);
  fx.process(Effect::Kind::Double, 128, 0.5f, 0.25f);
  EXPECT_EQ(fx.countCalls(audioMasterWantMidi), 0u);
  EXPECT_EQ(fx.peak(), 0.0f);  // the editor writes silence
  quiet.record = true;
  fx.setSettings(quiet);
  fx.process(Effect::Kind::Double, 128);
  EXPECT_EQ(fx.countCalls(audioMasterWantMidi), 1u);
}

// A module with a graphics context, loaded and unloaded again: nothing of
// it stays behind (the leak checker of the sanitizer build sees the rest).
TEST(TestPlugModule, EditorOpensAndTheModuleUnloadsTwice) {
  for (int round = 0; round < 2; ++round) {
    auto m = loadOrFail(TESTPLUG_MODULE);
    ASSERT_TRUE(m && m->table());
    Effect fx(m->firstEntry());
    ASSERT_TRUE(fx.ok());
    char window[1];
    EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, window), 1);
    EXPECT_EQ(fx.dispatch(effEditClose), 1);
    fx.close();
    EXPECT_EQ(m->table()->liveInstances(), 0);
  }
}

// The script runner prints a line a step and fails on an unmet expectation.
TEST(TestHostScript, StepsAndExpectations) {
  std::istringstream script("load " + std::string(TAVRIN_MODULE) +
                            "\nentry main\nopen\ncando hasHostExtensions\nexpect 3203334144\n"
                            "process double 64 2\nexpect 2\nclose\ninstances\nexpect 1\n");
  std::ostringstream out;
  EXPECT_EQ(testhost::runScript(script, out), 1);
  EXPECT_NE(out.str().find("expect 2: ok"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("expect 1: FAILED, got 0"), std::string::npos) << out.str();
}

// A step that needs an effect before "entry" made one says so, and a step
// the runner does not know is named as unknown, with or without an effect.
TEST(TestHostScript, StepsBeforeAnEffectAndUnknownSteps) {
  std::istringstream script("load " + std::string(TAVRIN_MODULE) + "\nopen\nbogus 1\nentry\nbogus 1\nclose\n");
  std::ostringstream out;
  EXPECT_EQ(testhost::runScript(script, out), 1);
  EXPECT_NE(out.str().find("open -> error: no effect (make one with entry)"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find("bogus 1 -> error: no effect"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("bogus 1 -> error: unknown step bogus\nentry -> 1\nbogus 1 -> error: unknown step bogus"),
            std::string::npos)
      << out.str();
}

// The module as a user's host loads it, with no data folder named: the
// folder is made in the user's data home, and a home that cannot hold it
// is named on the status line when the window opens.
TEST(TestHostScript, TheUsersDataFolder) {
  testsupport::TempDir home;
  testsupport::ScopedEnv env;
  env.set("XDG_DATA_HOME", nullptr);
  ASSERT_TRUE(testsupport::writeFile(home.file("file"), std::string("x")));
  testhost::LoadOptions options;
  options.userDataFolder = true;
  for (const std::string& h : {home.path(), home.file("file")}) {
    env.set("HOME", h.c_str());
    std::istringstream script("load " + std::string(TAVRIN_MODULE) +
                              "\nentry\nopen\nblock 256\nmains on\neditopen\nstatus 0\neditclose\nclose\nunload\n");
    std::ostringstream out;
    EXPECT_EQ(testhost::runScript(script, out, options), 0) << out.str();
    const bool made = h == home.path();
    EXPECT_NE(out.str().find(made ? "status 0 -> \"Brannick Tavrin Plug-in\"" : "status 0 -> \"Data folder cannot be made!\""),
              std::string::npos)
        << out.str();
  }
  EXPECT_TRUE(std::filesystem::is_directory(home.path() + ".local/share/Quillfen/Brannick Tavrin Editor/Patches"));
  EXPECT_EQ(testsupport::readFile(home.file("file")), Bytes{'x'});
}

// ---- other makers' modules

constexpr const char* kPackageFolder = "/usr/lib/vst";

struct Found {
  std::string path;
  bool instrument;
};

// The first effect with two inputs and two outputs and the first instrument
// of the package's folder, chosen by their records.
std::vector<Found> chooseModules() {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& f : std::filesystem::directory_iterator(kPackageFolder, ec))
    if (f.path().extension() == ".so") paths.push_back(f.path().string());
  std::sort(paths.begin(), paths.end());
  std::vector<Found> found;
  bool haveEffect = false, haveInstrument = false;
  for (const auto& path : paths) {
    auto m = Module::load(path);
    if (!m || m->table()) continue;
    Effect fx(m->firstEntry(), false);
    if (!fx.ok()) continue;
    const AEffect* e = fx.effect();
    const bool instrument = (e->flags & effFlagsIsSynth) && e->numInputs == 0;
    const bool effect = !(e->flags & effFlagsIsSynth) && e->numInputs == 2 && e->numOutputs == 2;
    if ((instrument && !haveInstrument) || (effect && !haveEffect)) {
      found.push_back({path, instrument});
      (instrument ? haveInstrument : haveEffect) = true;
    }
    if (haveEffect && haveInstrument) break;
  }
  return found;
}

TEST(OtherMakersModules, LoadAndRunThroughTheSameInterface) {
  const std::vector<Found> chosen = chooseModules();
  if (chosen.size() < 2)
    GTEST_SKIP() << "no VST 2 effect with two inputs and outputs and instrument found in " << kPackageFolder
                 << " (tools/setup.sh installs them)";
  for (const Found& f : chosen) {
    SCOPED_TRACE(f.path);
    auto m = loadOrFail(f.path);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->entry("VSTPluginMain"), nullptr);
    ASSERT_NE(m->entry("main"), nullptr);
    Effect::Settings refusing;
    refusing.vstVersion = 0;
    EXPECT_FALSE(Effect(m->entry("main"), false, refusing).ok());

    Effect fx(m->entry("main"), false);
    ASSERT_TRUE(fx.ok());
    const AEffect* e = fx.effect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numInputs, f.instrument ? 0 : 2);
    if (f.instrument) {
      EXPECT_GE(e->numOutputs, 1);
    } else {
      EXPECT_EQ(e->numOutputs, 2);
    }
    EXPECT_TRUE(e->flags & effFlagsCanReplacing);
    EXPECT_EQ(fx.dispatch(effGetVstVersion), 2400);
    EXPECT_FALSE(fx.text(effGetEffectName).empty());
    EXPECT_FALSE(fx.text(effGetVendorString).empty());
    fx.start();
    if (!f.instrument) {
      fx.process(Effect::Kind::Replacing, 256, 0.5f);
      continue;
    }
    for (int i = 0; i < 8; ++i) {
      fx.process(Effect::Kind::Replacing, 256);
      EXPECT_EQ(fx.peak(), 0.0f) << "block " << i;
    }
    fx.sendMidi({{0x90, 0x3C, 0x64, 0}});
    float loudest = 0.0f;
    for (int i = 0; i < 8 && loudest == 0.0f; ++i) {
      fx.process(Effect::Kind::Replacing, 256);
      loudest = fx.peak();
    }
    EXPECT_GT(loudest, 0.0f);
  }
}

}  // namespace
