#include "testhost/Demo.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "hardware/MidiBackend.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "synthsim/SynthSimulator.h"
#include "testhost/TestHost.h"

namespace testhost {

namespace {

using Bytes = std::vector<uint8_t>;
using Steady = std::chrono::steady_clock;

// Another process and the plug-in's own threads run in real time: every
// wait looks every few milliseconds and ends at its limit.
bool waitUntil(const std::function<bool()>& done, int limitMs) {
  const auto end = Steady::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (done()) return true;
    if (Steady::now() > end) return false;
    poll(nullptr, 0, 5);
  }
}

// The synthesizer as the demo sees it.
class Synth {
 public:
  virtual ~Synth() = default;
  // The port the editor sends to, and the one it listens to.
  virtual std::string destination() const = 0;
  virtual std::string source() const = 0;
  virtual std::vector<Bytes> received() = 0;
  virtual size_t stored() = 0;
  virtual bool ready() const = 0;
};

// The simulated synthesizer in this process, on the module's loopback.
class LocalSynth : public Synth {
 public:
  explicit LocalSynth(MidiBackend* peer) : mSim(peer ? std::make_unique<synthsim::SynthSimulator>(*peer) : nullptr) {}
  std::string destination() const override { return mSim ? mSim->options().inPort : ""; }
  std::string source() const override { return mSim ? mSim->options().outPort : ""; }
  std::vector<Bytes> received() override {
    std::vector<Bytes> out;
    if (!mSim) return out;
    mSim->waitIdle();
    for (const synthsim::Received& r : mSim->received()) out.push_back(r.bytes);
    return out;
  }
  size_t stored() override { return mSim ? (mSim->waitIdle(), mSim->storedDumps()) : 0; }
  bool ready() const override { return mSim && mSim->ready(); }

 private:
  std::unique_ptr<synthsim::SynthSimulator> mSim;
};

// The synthsim program: commands through its input pipe, answers read back
// from its output file.
class ProgramSynth : public Synth {
 public:
  ProgramSynth(const std::string& name, const std::string& commands, const std::string& output)
      : mName(name), mOutput(output) {
    mFd = open(commands.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  }
  ~ProgramSynth() override {
    if (mFd >= 0) close(mFd);
  }
  std::string destination() const override { return mName + " In:MIDI In"; }
  std::string source() const override { return mName + " Out:MIDI Out"; }
  bool ready() const override { return mFd >= 0; }
  std::vector<Bytes> received() override {
    std::vector<Bytes> out;
    for (const std::string& line : ask("received\n", [](const std::string& l) { return l == "end"; })) {
      if (line.rfind("received ", 0) != 0) continue;
      Bytes b;
      std::istringstream hex(line.substr(9));
      unsigned v;
      while (hex >> std::hex >> v) b.push_back(static_cast<uint8_t>(v));
      out.push_back(b);
    }
    return out;
  }
  size_t stored() override {
    for (const std::string& line : ask("status\n", [](const std::string& l) { return l.rfind("device ", 0) == 0; })) {
      const size_t at = line.find("stored ");
      if (line.rfind("device ", 0) == 0 && at != std::string::npos) return std::strtoul(line.c_str() + at + 7, nullptr, 10);
    }
    return 0;
  }

 private:
  // Sends a command and collects the lines written after it up to the one
  // last() accepts (at most 10 s).
  std::vector<std::string> ask(const std::string& command, const std::function<bool(const std::string&)>& last) {
    std::vector<std::string> lines;
    if (mFd < 0) return lines;
    const std::uintmax_t from = fileSize();
    if (write(mFd, command.data(), command.size()) != static_cast<ssize_t>(command.size())) return lines;
    waitUntil(
        [&] {
          lines.clear();
          std::ifstream f(mOutput);
          f.seekg(static_cast<std::streamoff>(from));
          std::string line;
          while (std::getline(f, line)) {
            lines.push_back(line);
            if (last(line)) return true;
          }
          return false;
        },
        10000);
    return lines;
  }
  std::uintmax_t fileSize() const {
    std::error_code ec;
    const std::uintmax_t n = std::filesystem::file_size(mOutput, ec);
    return ec ? 0 : n;
  }

  std::string mName, mOutput;
  int mFd = -1;
};

// A PNG file's width and height from its header, or (-1, -1).
std::pair<int, int> pngSize(const std::string& path) {
  uint8_t head[24] = {};
  std::ifstream f(path, std::ios::binary);
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (!f.read(reinterpret_cast<char*>(head), sizeof head) || std::memcmp(head, kSignature, 8) != 0 ||
      std::memcmp(head + 12, "IHDR", 4) != 0)
    return {-1, -1};
  auto be32 = [&](int at) {
    return int(uint32_t(head[at]) << 24 | uint32_t(head[at + 1]) << 16 | uint32_t(head[at + 2]) << 8 | head[at + 3]);
  };
  return {be32(16), be32(20)};
}

class Run {
 public:
  Run(const DemoOptions& o, std::ostream& out) : mO(o), mOut(out) {}
  int go();

 private:
  bool check(bool ok, const std::string& what, const std::string& detail = std::string()) {
    mOut << "expect " << what << ": " << (ok ? "ok" : "FAILED" + (detail.empty() ? "" : " (" + detail + ")")) << "\n";
    mOut.flush();
    if (!ok) mStatus = 1;
    return ok;
  }
  void say(const std::string& line) {
    mOut << line << "\n";
    mOut.flush();
  }
  bool makeDataFolder();
  bool startEffect(Effect& fx);
  // Input in view terms, waited for until the view delivered it.
  bool deliver(const std::vector<TavrinViewEvent>& events);
  bool clickAt(int x, int y);
  bool clickRect(const int32_t r[4]) { return clickAt((r[0] + r[2]) / 2, (r[1] + r[3]) / 2); }
  bool dragRect(const int32_t r[4], int dy);
  bool choose(const int32_t r[4], const std::string& menuPath);
  std::string status(int which);
  // Waits for a status text that the step's job writes anew.
  bool waitForNewStatus(const std::string& text, const std::string& before, int limitMs);
  std::string slot(bool lower, int i);
  // The pattern steps of the last sound dump in got from index `from` on,
  // held against the window's: empty when every event, time and glide
  // agrees, else what differs.
  std::string patternDifference(const std::vector<Bytes>& got, size_t from, size_t* dumps);

  const DemoOptions& mO;
  std::ostream& mOut;
  int mStatus = 0;
  std::string mData;
  std::unique_ptr<Module> mModule;
  const TavrinModuleTable* mT = nullptr;
  AEffect* mE = nullptr;
};

bool Run::makeDataFolder() {
  char templ[] = "/tmp/tavrin-demo-XXXXXX";
  if (!mkdtemp(templ)) return false;
  mData = std::string(templ) + "/";
  std::filesystem::create_directories(mData + "Patches");
  std::ofstream bank(mData + "Patches/Init Bank.syx", std::ios::binary);
  for (int i = 0; i < 100; ++i)
    bank.write(reinterpret_cast<const char*>(sounddump::initSinglePatch.data()), sounddump::initSinglePatch.size());
  return bool(bank);
}

bool Run::startEffect(Effect& fx) {
  if (!fx.ok()) return false;
  Effect::Settings s = fx.settings();
  s.sampleRate = 48000;
  s.blockSize = 128;
  s.record = false;
  fx.setSettings(s);
  fx.start();
  return true;
}

bool Run::deliver(const std::vector<TavrinViewEvent>& events) {
  TavrinViewCounters c{};
  if (!mT->viewCounters(mE, &c)) return false;
  const int64_t want = c.delivered + static_cast<int64_t>(events.size());
  for (const TavrinViewEvent& e : events)
    if (!mT->postViewEvent(mE, &e)) return false;
  return waitUntil([&] { return mT->viewCounters(mE, &c) && c.delivered >= want; }, 30000);
}

TavrinViewEvent viewEvent(int32_t kind, int x, int y) {
  TavrinViewEvent e{};
  e.kind = kind;
  e.x = x + 2;  // the view's point of a framework point
  e.y = y + 3;
  e.clicks = 1;
  e.virtualKey = -1;
  return e;
}

bool Run::clickAt(int x, int y) { return deliver({viewEvent(kEventDown, x, y), viewEvent(kEventUp, x, y)}); }

bool Run::dragRect(const int32_t r[4], int dy) {
  const int x = (r[0] + r[2]) / 2, y = (r[1] + r[3]) / 2;
  std::vector<TavrinViewEvent> events = {viewEvent(kEventDown, x, y)};
  for (int step = 1; step <= 4; ++step) events.push_back(viewEvent(kEventDrag, x, y + dy * step / 4));
  events.push_back(viewEvent(kEventUp, x, y + dy));
  return deliver(events);
}

bool Run::choose(const int32_t r[4], const std::string& menuPath) {
  mT->answer(mE, kAnswerMenuText, menuPath.c_str(), 0);
  const int32_t menus = mT->recordCount(mE, kRecordMenu);
  const int32_t errors = mT->recordCount(mE, kRecordScriptError);
  const bool shown = clickRect(r) && mT->recordCount(mE, kRecordMenu) == menus + 1;
  if (shown && mT->recordCount(mE, kRecordScriptError) == errors) return true;
  // What was shown instead, for the failure's line.
  char buf[4096] = {};
  if (mT->recordCount(mE, kRecordMenu) > menus) mT->record(mE, kRecordMenu, menus, buf, sizeof buf);
  say(std::string("the menu shown:\n") + buf);
  return false;
}

std::string Run::status(int which) {
  char buf[256] = {};
  mT->statusLine(mE, which, buf, sizeof buf);
  return buf;
}

bool Run::waitForNewStatus(const std::string& text, const std::string& before, int limitMs) {
  // The line the job leaves first changes (or the job is seen running),
  // then reads the text with no job left running.
  if (before == text) waitUntil([&] { return status(0) != before || mT->jobRunning(mE); }, 5000);
  return waitUntil([&] { return status(0) == text && !mT->jobRunning(mE); }, limitMs);
}

std::string Run::slot(bool lower, int i) {
  char buf[128] = {};
  mT->slotText(mE, lower ? 1 : 0, i, buf, sizeof buf);
  std::string s = buf;
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::string Run::patternDifference(const std::vector<Bytes>& got, size_t from, size_t* dumps) {
  const Bytes* last = nullptr;
  *dumps = 0;
  for (size_t i = from; i < got.size(); ++i) {
    const Bytes& b = got[i];
    if (b.size() == sounddump::kLength && b[0] == sysex::kStart && b[4] == sysex::kCmdSoundDump) {
      last = &b;
      ++*dumps;
    }
  }
  if (!last) return "no sound dump arrived";
  const std::optional<sounddump::Parsed> parsed = sounddump::parse(last->data(), last->size(), sounddump::Locks{});
  if (!parsed) return "the last sound dump could not be read";
  std::array<double, kParameterCount> dumped;
  dumped.fill(-1.0);
  for (const sounddump::ParameterWrite& w : parsed->writes)
    if (w.param >= 0 && w.param < kParameterCount) dumped[static_cast<size_t>(w.param)] = w.value;
  std::string differ;
  static const std::pair<int, const char*> kFields[] = {
      {kPatternStep01Event, "event"}, {kPatternStep01Time, "time"}, {kPatternStep01Glide, "glide"}};
  for (const auto& [first, field] : kFields) {
    for (int step = 0; step < static_cast<int>(sounddump::kStepCount); ++step) {
      const int idx = first + step;
      // The dump carries a value's integer part.
      const double shown = std::trunc(mT->paramValue(mE, idx));
      const double sent = dumped[static_cast<size_t>(idx)];
      if (shown == sent) continue;
      if (!differ.empty()) differ += ", ";
      differ += "step " + std::to_string(step + 1) + " " + field + ": window " +
                std::to_string(static_cast<int>(shown)) + ", dump " + std::to_string(static_cast<int>(sent));
    }
  }
  return differ;
}

// The name a stored sound of the simulated synthesizer starts with.
std::string factoryName(int bank, int slotIndex) {
  const synthsim::Dump d = synthsim::SynthSimulator::factorySound(bank, slotIndex);
  std::string s(d.begin() + sounddump::kNameFirst, d.begin() + sounddump::kNameFirst + sounddump::kNameLength);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int Run::go() {
  std::error_code ec;
  std::filesystem::create_directories(mO.outFolder, ec);
  if (!check(makeDataFolder(), "a data folder with one bank of 100 init sounds")) return 1;
  std::string error;
  mModule = Module::load(mO.module, LoadOptions{mData, ""}, &error);
  if (!check(mModule && mModule->table() && mModule->table()->slotText, "the module and its test table", error))
    return 1;
  mT = mModule->table();
  std::unique_ptr<Synth> synth;
  if (mO.jack) {
    synth = std::make_unique<ProgramSynth>(mO.synthName, mO.synthCommands, mO.synthOutput);
  } else {
    mT->useLoopbackPorts(1);
    synth = std::make_unique<LocalSynth>(static_cast<MidiBackend*>(mT->loopbackPeer()));
  }
  if (!check(synth->ready(), "the synthesizer is there")) return 1;

  Bytes chunk;
  size_t storedBefore = 0;
  {
    // 1. Load, open, rate 48000, block 128, mains on, editor open.
    say("step 1: the plug-in and its editor");
    Effect fx(mModule->firstEntry());
    if (!check(startEffect(fx), "the plug-in opens")) return 1;
    mE = fx.effect();
    mT->setViewFace(mE, mO.window ? kFaceTopLevel : kFaceHeadless);
    check(fx.dispatch(effEditOpen) == 1, "the editor opens");
    TavrinViewCounters c{};
    check(mT->viewCounters(mE, &c) == 1 && c.paints >= 1, "the window is painted");

    // 2. The synthesizer's ports, by name, in the MIDI Out and In selectors.
    say("step 2: the synthesizer's ports");
    int32_t r[4];
    // The input first: choosing the output starts the device enquiry, whose
    // progress display covers the window while it runs.
    check(mT->controlRect(mE, kDeviceInSelection, nullptr, r) && choose(r, synth->source()),
          "MIDI In chosen: " + synth->source());
    check(mT->controlRect(mE, kDeviceOutSelection, nullptr, r) && choose(r, synth->destination()),
          "MIDI Out chosen: " + synth->destination());
    check(mT->waitForStatus(mE, "Plug-in is ready to go!", 60000) == 1 && waitUntil([&] { return !mT->jobRunning(mE); }, 10000),
          "\"Plug-in is ready to go!\"", status(0));
    // The window's menu for it holds 200 to 500 ms (0 to 3) and 100 ms (4,
    // as every value past 3): 7 lands on that last entry.
    check(mT->setParamFromGUI(mE, kLibSyncTimer, 7) == 1 && mT->paramValue(mE, kLibSyncTimer) == 4,
          "request pacing of 100 ms set through the window (7, the menu's last entry 4)",
          std::to_string(mT->paramValue(mE, kLibSyncTimer)));

    // 3. A knob of the sound page: the synthesizer receives its control change.
    say("step 3: an edit");
    // Real ports can lose a message on a loaded machine: the edit goes
    // again (a drag the other way) until one arrives, three times at most.
    bool sent = false;
    for (int attempt = 0; attempt < 3 && !sent; ++attempt) {
      const size_t before = synth->received().size();
      check(mT->controlRect(mE, kOscillator1Pulsewidth, nullptr, r) && dragRect(r, attempt % 2 ? 30 : -30),
            "the knob was dragged");
      sent = waitUntil(
          [&] {
            const std::vector<Bytes> got = synth->received();
            for (size_t i = before; i < got.size(); ++i)
              if (got[i].size() == 3 && got[i][0] == 0xB0 && got[i][1] == 3) return true;
            return false;
          },
          5000);
    }
    check(sent, "the synthesizer received the knob's control change (B0 03 ..)");

    // 4. Pattern steps edited in quick succession on the Mod / Arp page:
    // they travel only inside the sound dump, and the synthesizer's last
    // dump carries every step the window shows.
    say("step 4: pattern steps edited in quick succession");
    // The main tab's pages: 2 the sound page, 3 the Mod / Arp page.
    check(mT->controlRect(mE, kShowModMatrix, nullptr, r) && clickRect(r) && mT->paramValue(mE, kMainTab) == 3,
          "the Mod / Arp page shown");
    // Edits 90 ms apart: a dump job holds its thread for its 200 ms pause
    // and a little more, so every third edit finds the thread free and the
    // two between find a job running. At 100 ms apart each job's end would
    // race an edit.
    constexpr int kEditGapMs = 90;
    const auto paced = [](Steady::time_point start, int i) {
      while (Steady::now() < start + std::chrono::milliseconds(kEditGapMs * i)) poll(nullptr, 0, 1);
    };
    // Real ports can lose a dump on a loaded machine: the edits go again
    // until the last dump holds the window's pattern, three times at most.
    // The loopback loses nothing: one round.
    std::string differ = "not edited";
    for (int round = 0; round < (mO.jack ? 3 : 1) && !differ.empty(); ++round) {
      if (round > 0) say("the last dump differs (" + differ + "): the steps are edited again");
      check(waitUntil([&] { return !mT->jobRunning(mE); }, 30000), "no job running");
      const size_t before = synth->received().size();
      // The glides of steps 1 to 8, a click each. A click that lands while a
      // dump job's progress display covers the window does nothing: how many
      // switched is the machine's timing.
      auto start = Steady::now();
      bool clicked = true;
      int switched = 0;
      for (int i = 0; i < 8; ++i) {
        const int glide = kPatternStep01Glide + i;
        paced(start, i);
        const double was = mT->paramValue(mE, glide);
        clicked = mT->controlRect(mE, glide, nullptr, r) && clickRect(r) && clicked;
        switched += mT->paramValue(mE, glide) != was;
        // The first lands on an idle window.
        if (i == 0) check(switched == 1, "the click switched step 1's glide");
      }
      check(clicked, "the glides of steps 1 to 8 clicked, one every " + std::to_string(kEditGapMs) + " ms");
      say(std::to_string(switched) + " of the 8 glides switched");
      // Step 8's time knob turned in one drag, as a user turns it: the knob
      // keeps the mouse while the progress display covers the window, so
      // each of eight moves changes the time. The dump carries the time's
      // whole part (0 to 3): it swings between the start's and a
      // neighbour's, and the last move goes one further, so whatever dump
      // an earlier move sent carries another time than the last.
      check(waitUntil([&] { return !mT->jobRunning(mE); }, 30000), "no job running");
      const double time0 = mT->paramValue(mE, kPatternStep08Time);
      bool dragged = mT->controlRect(mE, kPatternStep08Time, nullptr, r);
      const int x = (r[0] + r[2]) / 2, y = (r[1] + r[3]) / 2;
      // A knob runs its range in four of its heights, so a time of 1 in a
      // third of that; up raises it. Up a move is a little more than 1,
      // down a little less: the whole part changes at every move.
      const double unitPx = 4.0 * (r[3] - r[1]) / 3.0;
      const int stepPx = time0 < 1.5 ? -static_cast<int>(std::ceil(unitPx)) : static_cast<int>(std::floor(unitPx));
      dragged = dragged && deliver({viewEvent(kEventDown, x, y)});
      static const int kSwing[8] = {1, 0, 1, 0, 1, 0, 1, 2};
      std::string times;
      int changed = 0;
      int last = static_cast<int>(time0);
      start = Steady::now();
      for (int i = 0; i < 8 && dragged; ++i) {
        paced(start, i);
        dragged = deliver({viewEvent(kEventDrag, x, y + kSwing[i] * stepPx)});
        const int now = static_cast<int>(mT->paramValue(mE, kPatternStep08Time));
        changed += now != last;
        last = now;
        times += " " + std::to_string(now);
      }
      dragged = deliver({viewEvent(kEventUp, x, y + kSwing[7] * stepPx)}) && dragged;
      check(dragged && changed == 8,
            "step 8's time knob dragged, its time changed at each of eight moves " + std::to_string(kEditGapMs) +
                " ms apart",
            "from " + std::to_string(static_cast<int>(time0)) + " to" + times);
      // The jobs end, then the last dump may still be on its way: the
      // synthesizer is asked again until it holds the window's pattern, at
      // most 30 s.
      check(waitUntil([&] { return !mT->jobRunning(mE); }, 30000), "the jobs ended");
      size_t dumps = 0;
      waitUntil(
          [&] {
            differ = patternDifference(synth->received(), before, &dumps);
            return differ.empty();
          },
          30000);
      say("the synthesizer received " + std::to_string(dumps) + " sound dumps");
    }
    check(differ.empty(), "the last sound dump carries the 16 steps' events, times and glides the window shows",
          differ);
    check(mT->controlRect(mE, kShowModMatrix, nullptr, r) && clickRect(r) && mT->paramValue(mE, kMainTab) == 2,
          "the sound page shown again");

    // 5. Bank P101-200 in the bank selector.
    say("step 5: a bank chosen");
    std::string was = status(0);
    check(mT->controlRect(mE, -1, "BANKNUMBERMENUPROGRAMS", r) && choose(r, "Bank P101-200"), "\"Bank P101-200\" chosen");
    check(waitForNewStatus("Data request completed!", was, 60000), "\"Data request completed!\"", status(0));

    // 6. The librarian page: upper slot 7, then the sound at bank 1, slot 7.
    say("step 6: one sound into the librarian");
    // The "Librarian" switch, as a user opens the page: a sound dump that
    // arrives late refreshes the window to the page the switches name.
    check(mT->controlRect(mE, kShowLibrarian, nullptr, r) && clickRect(r) && mT->paramValue(mE, kShowLibrarian) == 1 &&
              mT->paramValue(mE, kMainTab) == 1,
          "the librarian page shown");
    int32_t s[4];
    check(mT->slotRect(mE, 0, 7, s) && clickRect(s), "upper slot 7 clicked");
    // A request whose answer real ports lost goes again, three times at most.
    bool completed = false;
    for (int attempt = 0; attempt < 3 && !(completed && slot(false, 7) == factoryName(1, 7)); ++attempt) {
      if (attempt > 0) say("the answer did not arrive: the request goes again");
      was = status(0);
      check(mT->controlRect(mE, -1, "BANKEDITMENU", r) &&
                choose(r, "Request Patch Data/from Selected Program Slot & Bank"),
            "\"from Selected Program Slot & Bank\" chosen");
      completed = waitForNewStatus("Data request completed!", was, 60000);
    }
    check(completed, "\"Data request completed!\"", status(0));
    check(slot(false, 7) == factoryName(1, 7), "slot 7 shows \"" + factoryName(1, 7) + "\"", slot(false, 7));

    // 7. A whole bank into the upper list.
    say("step 7: a bank into the librarian");
    int same = 0;
    completed = false;
    for (int attempt = 0; attempt < 3 && !(completed && same == 100); ++attempt) {
      if (attempt > 0) say("answers did not arrive: the bank is requested again");
      was = status(0);
      check(choose(r, "Request Patch Data/Patches from 201-300"), "\"Patches from 201-300\" chosen");
      completed = waitForNewStatus("Data request completed!", was, 120000);
      same = 0;
      for (int i = 0; i < 100; ++i) same += slot(false, i) == factoryName(2, i);
    }
    check(completed, "\"Data request completed!\"", status(0));
    check(same == 100, "the upper list shows the synthesizer's bank 2", std::to_string(same) + " of 100");

    // 8. The upper list stored as P101-P200.
    say("step 8: the bank stored in the synthesizer");
    // A store that lost a dump on real ports goes again, three times at most.
    size_t stored = 0;
    for (int attempt = 0; attempt < 3 && stored < 100; ++attempt) {
      if (attempt > 0) say("a sound was lost on the way: the bank is stored again");
      storedBefore = synth->stored();
      check(choose(r, "Store Patch Data/All Patches to P101-P200"), "\"All Patches to P101-P200\" chosen");
      waitUntil([&] { return mT->jobRunning(mE) == 1; }, 5000);
      check(waitUntil([&] { return mT->jobRunning(mE) == 0; }, 120000), "the job ended");
      waitUntil([&] { return synth->stored() >= storedBefore + 100; }, 10000);
      stored = synth->stored() - storedBefore;
    }
    check(stored == 100, "the synthesizer stored 100 sounds", std::to_string(stored));

    // 9. The window's picture and the project's state, then close.
    say("step 9: the picture, the state, and a fresh instance");
    // The window as the view thread shows it once more.
    TavrinViewCounters now{};
    mT->viewCounters(mE, &now);
    waitUntil([&] {
      TavrinViewCounters later{};
      return mT->viewCounters(mE, &later) && later.ticks >= now.ticks + 2;
    }, 5000);
    const std::string png = mO.outFolder + "/editor.png";
    check(mT->writeScreenPNG(mE, png.c_str()) == 1, "the window saved as " + png);
    ERect* editor = nullptr;
    fx.dispatch(effEditGetRect, 0, 0, &editor);
    const std::pair<int, int> size = pngSize(png);
    const std::pair<int, int> want = editor ? std::make_pair(editor->right - editor->left, editor->bottom - editor->top)
                                            : std::make_pair(-1, -1);
    check(size == want, "the picture has the editor's size",
          std::to_string(size.first) + " x " + std::to_string(size.second) + ", the editor " +
              std::to_string(want.first) + " x " + std::to_string(want.second));
    void* data = nullptr;
    const intptr_t n = fx.dispatch(effGetChunk, 0, 0, &data);
    if (n > 0 && data) chunk.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + n);
    std::ofstream(mO.outFolder + "/bank.chunk", std::ios::binary)
        .write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
    check(!chunk.empty(), "the bank chunk saved");
    check(fx.dispatch(effEditClose) == 1, "the editor closes");
    fx.close();
    mE = nullptr;
  }
  {
    Effect fresh(mModule->firstEntry());
    check(startEffect(fresh), "a fresh instance opens");
    mE = fresh.effect();
    auto dumps = [&] {
      size_t k = 0;
      for (const Bytes& b : synth->received()) k += b.size() == sounddump::kLength;
      return k;
    };
    const size_t dumpsBefore = dumps();
    check(fresh.dispatch(effSetChunk, 0, static_cast<intptr_t>(chunk.size()), chunk.data()) == 1, "the chunk taken");
    check(waitUntil(
              [&] {
                return mT->paramValue(mE, kDeviceOutSelection) > 0 && mT->paramValue(mE, kDeviceInSelection) > 0;
              },
              10000),
          "both ports reopened by name");
    check(waitUntil([&] { return dumps() > dumpsBefore; }, 30000), "the synthesizer received the restored sound");
    fresh.close();
    mE = nullptr;
  }
  synth.reset();
  mModule.reset();
  std::filesystem::remove_all(mData, ec);
  say(mStatus == 0 ? "demo: every expectation held" : "demo: FAILED");
  return mStatus;
}

}  // namespace

int runDemo(const DemoOptions& options, std::ostream& out) {
  try {
    Run run(options, out);
    return run.go();
  } catch (const std::exception& e) {
    out << "demo: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace testhost
