// The hardware port layer over the in-process loopback: lists, opening by
// name, sending, input delivery and shutting down.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>

#include "hardware/MidiPorts.h"
#include "platform/clock.h"
#include "support_midi.h"

using hwtest::Bytes;
using hwtest::LoopbackDevice;

namespace {

using Names = std::vector<std::string>;

struct PortsTest : ::testing::Test {
  LoopbackHub hub;
  std::unique_ptr<MidiPorts> ports = std::make_unique<MidiPorts>(hub.makeBackend());

  int openOut(const std::string& name) { return openOutFrom(1, name.c_str()).first; }
  int openIn(const std::string& name) {
    int index = 1;
    return ports->openIn(index, name.c_str());
  }
  // The result and the index the call leaves behind.
  std::pair<int, int> openOutFrom(int index, const char* name) {
    const int result = ports->openOut(index, name);
    return {result, index};
  }
  bool send(const Bytes& b) { return ports->send(b.data(), b.size()); }
  // Everything sent so far has reached the sink.
  void settle() {
    hub.drain();
    ports->waitIdle();
  }
  size_t logCount(const std::string& line) {
    auto log = hub.log();
    return static_cast<size_t>(std::count(log.begin(), log.end(), line));
  }
};

// The same, with the instrument's ports in place before the first list.
struct SynthPortsTest : PortsTest {
  LoopbackDevice synth{hub, "Synth In", "Synth Out"};
};

// Whether the thread tid of this process waits (sleeps), as its /proc entry
// tells it.
bool asleep(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(stat, line);
  // "tid (name) state ...": the name may hold spaces and brackets.
  const size_t close = line.rfind(')');
  return close != std::string::npos && close + 2 < line.size() && (line[close + 2] == 'S' || line[close + 2] == 'D');
}

// A sink that hands every message to hook.
struct HookSink : IHardwareInputSink {
  std::function<void()> hook;
  void processMIDIInput(const uint8_t*, size_t) override { hook(); }
};

TEST_F(PortsTest, ListsStartWithOffAndAreBuiltOnce) {
  EXPECT_EQ(ports->outNames(), Names{"OFF"});
  EXPECT_EQ(ports->inNames(), Names{"OFF"});
  // Ports made after the first list are not offered, but can still be
  // opened by name, and then count as open.
  LoopbackDevice synth(hub, "Synth In", "Synth Out");
  EXPECT_EQ(ports->outNames(), Names{"OFF"});
  EXPECT_EQ(ports->inNames(), Names{"OFF"});
  EXPECT_GT(openOut("Synth In"), 0);
  EXPECT_TRUE(ports->outOpen());
  EXPECT_GT(openIn("Synth Out"), 0);

  // The clients carry the library's client names and are made once.
  for (const char* line : {"client out RtMidi Output Client", "client in RtMidi Input Client",
                           "open out Synth In as RtMidi Output", "open in Synth Out as RtMidi Input"})
    EXPECT_EQ(logCount(line), 1u) << line;
}

TEST_F(PortsTest, ListsFollowTheLibraryOrderAndNameUnreadablePorts) {
  LoopbackDevice a(hub, "A In", "A Out");
  LoopbackDevice b(hub, "B In", "B Out");
  hub.setUnreadable("B In", true);
  EXPECT_EQ(ports->outNames(), (Names{"OFF", "A In", "Port 1"}));
  EXPECT_EQ(ports->inNames(), (Names{"OFF", "A Out", "B Out"}));
  EXPECT_EQ(ports->findOut("OFF"), 0);
  EXPECT_EQ(ports->findOut("Port 1"), 2);
  EXPECT_EQ(ports->findIn("B Out"), 2);
  EXPECT_EQ(ports->findIn("C Out"), -1);
  EXPECT_EQ(ports->findIn(nullptr), -1);

  // The listed stand-in name opens the port it stands for.
  EXPECT_EQ(openOut("Port 1"), 2);
  ASSERT_TRUE(send({0x90, 0x3C, 0x64}));
  settle();
  EXPECT_EQ(b.received().count(), 1u);
  EXPECT_EQ(a.received().count(), 0u);
}

TEST_F(PortsTest, OpeningByName) {
  LoopbackDevice first(hub, "Synth", "Synth");
  LoopbackDevice second(hub, "Synth", "Synth");
  LoopbackDevice other(hub, "Other", "Other");
  ASSERT_EQ(ports->outNames(), (Names{"OFF", "Synth", "Synth", "Other"}));

  // Of two equal names the first is opened, and the index is its position.
  EXPECT_EQ(openOutFrom(1, "Synth"), std::make_pair(1, 1));
  EXPECT_EQ(ports->openOutIndex(), 1);
  ASSERT_TRUE(send({0xB0, 7, 100}));
  settle();
  EXPECT_EQ(first.received().count(), 1u);
  EXPECT_EQ(second.received().count(), 0u);

  // "OFF", an index of 0 whatever the name says, an unknown name and no name
  // all close the open port and report 0, leaving nothing behind that a
  // caller could take for an open port.
  for (auto [index, name] : {std::pair<int, const char*>{1, "OFF"}, {0, "Other"}, {7, "Nothing"}, {7, nullptr}}) {
    SCOPED_TRACE(name ? name : "no name");
    EXPECT_EQ(openOut("Other"), 3);
    EXPECT_EQ(openOutFrom(index, name), std::make_pair(0, 0));
    EXPECT_FALSE(ports->outOpen());
    EXPECT_EQ(ports->openOutIndex(), 0);
    EXPECT_FALSE(send({0xB0, 7, 100}));
  }

  // Inputs follow the same rules.
  EXPECT_EQ(openIn("Other"), 3);
  EXPECT_EQ(ports->openInIndex(), 3);
  EXPECT_EQ(openIn("OFF"), 0);
  EXPECT_EQ(ports->openInIndex(), 0);

  // A port is closed before another is opened.
  EXPECT_EQ(openOut("Other"), 3);
  EXPECT_EQ(openOut("Synth"), 1);
  auto log = hub.log();
  auto openOther = std::find(log.rbegin(), log.rend(), "open out Other as RtMidi Output");
  ASSERT_NE(openOther, log.rend());
  EXPECT_EQ(*(openOther - 1), "close out");
}

TEST_F(PortsTest, OpeningResolvesTheNameAgainstTheLivePorts) {
  auto gone = std::make_unique<LoopbackDevice>(hub, "Gone", "Gone");
  LoopbackDevice synth(hub, "Synth", "Synth");
  ASSERT_EQ(ports->outNames(), (Names{"OFF", "Gone", "Synth"}));
  ASSERT_EQ(ports->inNames(), (Names{"OFF", "Gone", "Synth"}));
  gone.reset();
  // "Synth" is now the library's port 0: opening it by name reaches it, not
  // whatever holds its old number, and keeps its menu position.
  EXPECT_EQ(openOut("Synth"), 2);
  EXPECT_EQ(openIn("Synth"), 2);
  ASSERT_TRUE(send({0xC0, 5}));
  settle();
  EXPECT_EQ(synth.received().messages(), std::vector<Bytes>{Bytes({0xC0, 5})});
  // A listed port that has gone opens nothing.
  EXPECT_EQ(openOut("Gone"), 0);
  EXPECT_FALSE(ports->outOpen());
}

// A port that was not listed is appended, so the index names it and no
// other entry: the menu never shows one port selected while another is open.
TEST_F(PortsTest, APortMissingFromTheListIsAppendedToIt) {
  auto a = std::make_unique<LoopbackDevice>(hub, "A", "A");
  LoopbackDevice b(hub, "B", "B"), c(hub, "C", "C");
  ASSERT_EQ(ports->outNames(), (Names{"OFF", "A", "B", "C"}));
  ASSERT_EQ(ports->inNames(), (Names{"OFF", "A", "B", "C"}));
  a.reset();
  LoopbackDevice d(hub, "D", "D");
  for (int round = 0; round < 2; ++round) {  // the second open finds D listed
    EXPECT_EQ(openOut("D"), 4);
    EXPECT_EQ(openIn("D"), 4);
  }
  EXPECT_EQ(ports->outNames(), (Names{"OFF", "A", "B", "C", "D"}));
  EXPECT_EQ(ports->inNames(), (Names{"OFF", "A", "B", "C", "D"}));
  EXPECT_EQ(ports->findOut("D"), 4);
  ASSERT_TRUE(send({0xC0, 1}));
  EXPECT_EQ(openOut("C"), 3);
  hub.drain();
  EXPECT_EQ(d.received().count(), 1u);
  EXPECT_EQ(c.received().count(), 0u);
}

TEST_F(PortsTest, NamesCutByFixedFieldsStillOpenTheirPort) {
  const std::string long40 = "Sorrel Family Interface Port Number 1234";
  const std::string long60 = "Sorrel Family Interface With A Very Long Descriptive Name 12";
  const std::string utf8 = "Synthesizer \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9 long";
  LoopbackDevice a(hub, long40, "x");
  LoopbackDevice b(hub, long60, "y");
  LoopbackDevice c(hub, utf8, "z");
  ports->outNames();

  // Cut by a 32-byte state field or a 55-byte text field (at either limit or
  // a character boundary below it) the name still opens its port; other
  // lengths need the whole name.
  const std::pair<std::string, int> cases[] = {{long40.substr(0, 32), 1}, {long40.substr(0, 29), 1},
                                               {long60.substr(0, 55), 2}, {long60.substr(0, 52), 2},
                                               {utf8.substr(0, 31), 3},   {long40.substr(0, 28), 0},
                                               {long40.substr(0, 33), 0}, {long60.substr(0, 56), 0}};
  for (const auto& [name, at] : cases) EXPECT_EQ(openOut(name), at) << name.size() << " bytes of " << name;
  EXPECT_EQ(ports->findOut(long60.substr(0, 55).c_str()), 2);

  // An exact match wins over a longer name beginning with the same text.
  const std::string exact = long40.substr(0, 30);
  EXPECT_EQ(MidiPorts::matchName({"OFF", long40, exact}, exact), 2);
}

TEST_F(SynthPortsTest, PortsThatCannotBeMadeOrOpenedReportZero) {
  for (bool noClients : {true, false}) {
    SCOPED_TRACE(noClients ? "clients cannot be made" : "ports do not open");
    hub.setFailClients(noClients);
    ports = std::make_unique<MidiPorts>(hub.makeBackend());
    EXPECT_EQ(ports->outNames(), noClients ? Names{"OFF"} : (Names{"OFF", "Synth In"}));
    EXPECT_EQ(ports->inNames(), noClients ? Names{"OFF"} : (Names{"OFF", "Synth Out"}));
    hub.setFailOpen(!noClients);
    EXPECT_EQ(openOutFrom(1, "Synth In"), std::make_pair(0, 0));
    EXPECT_EQ(ports->openOutIndex(), 0);
    int index = 1;
    EXPECT_EQ(ports->openIn(index, "Synth Out"), 0);
    EXPECT_EQ(index, 0);
    EXPECT_FALSE(ports->initializeVirtualOutput("Tavrin"));
    EXPECT_FALSE(ports->outOpen());
    EXPECT_FALSE(send({0xFA}));
  }
}

TEST_F(SynthPortsTest, SendsNeedAnOpenPortAndAtLeastOneByte) {
  const Bytes clock{0xF8};
  EXPECT_FALSE(send(clock));  // never opened, lists not even built
  EXPECT_FALSE(ports->outOpen());
  ASSERT_EQ(openOut("Synth In"), 1);
  EXPECT_FALSE(ports->send(clock.data(), 0));
  EXPECT_FALSE(ports->send(nullptr, 3));
  EXPECT_TRUE(send(clock));
  // A library error is reported as false, never thrown.
  hub.setFailSend(true);
  EXPECT_FALSE(send(clock));
  hub.setFailSend(false);
  settle();
  EXPECT_EQ(synth.received().count(), 1u);
  EXPECT_EQ(hub.sentCount(), 1u);
}

TEST_F(PortsTest, VirtualOutputIsOfferedToOthers) {
  ASSERT_TRUE(ports->initializeVirtualOutput("Tavrin Editor"));
  EXPECT_TRUE(ports->outOpen());
  EXPECT_EQ(ports->openOutIndex(), 0);
  EXPECT_EQ(logCount("virtual out From Tavrin Editor"), 1u);

  auto backend = hub.makeBackend();
  auto listener = backend->makeIn("listener", 100);
  ASSERT_EQ(listener->portCount(), 1u);
  EXPECT_EQ(listener->portName(0), "From Tavrin Editor");
  std::atomic<int> got{0};
  listener->setCallback([&](const uint8_t*, size_t) { ++got; });
  ASSERT_TRUE(listener->openPort(0, "listen"));
  ASSERT_TRUE(send({0x90, 60, 1}));
  settle();
  EXPECT_EQ(got, 1);
}

// A timed receiver of a client that cannot tell when a message arrived is
// given the time it was delivered at.
TEST_F(PortsTest, ATimedReceiverIsStampedAtDelivery) {
  platform::ManualClock clock;
  platform::ScopedClock scope(clock);
  ASSERT_TRUE(ports->initializeVirtualOutput("Tavrin Editor"));
  auto backend = hub.makeBackend();
  auto listener = backend->makeIn("listener", 100);
  std::mutex mutex;
  std::vector<uint64_t> times;
  listener->setTimedCallback([&](const uint8_t*, size_t, uint64_t at) {
    std::lock_guard<std::mutex> lock(mutex);
    times.push_back(at);
  });
  ASSERT_TRUE(listener->openPort(0, "listen"));
  for (uint64_t step : {250u, 1'500u}) {
    clock.advance(step);
    ASSERT_TRUE(send({0x90, 60, 1}));
    settle();
  }
  listener.reset();
  EXPECT_EQ(times, (std::vector<uint64_t>{250, 1'750}));
}

TEST_F(SynthPortsTest, InputArrivesWholeAsSentWithClockAndSensingDropped) {
  hwtest::Recorder sink;
  ports->setInputSink(&sink);
  ASSERT_EQ(openIn("Synth Out"), 1);

  const Bytes sysex4{0xF0, 0x3E, 0x16, 0xF7};
  const std::vector<Bytes> sent{{0xC0},      {0xC0, 0x05},     {0x90, 0x3C, 0x64}, sysex4, hwtest::taggedDump(9),
                                {0xF8},      {0xFE},           {0xFA},             {0xFC}, {0xF1, 0x10},
                                {0x80, 60, 0}};
  for (const Bytes& m : sent) ASSERT_TRUE(synth.emit(m));
  settle();
  // Sizes 1 to 3 and 4 and more arrive as the very messages sent: the
  // split into channel and system-exclusive messages can rely on the size.
  const std::vector<Bytes> expected{{0xC0}, {0xC0, 0x05}, {0x90, 0x3C, 0x64}, sysex4, hwtest::taggedDump(9),
                                    {0xFA}, {0xFC},       {0x80, 60, 0}};
  EXPECT_EQ(sink.messages(), expected);

  // No sink, no delivery.
  ports->setInputSink(nullptr);
  ASSERT_TRUE(synth.emit({0x90, 1, 1}));
  settle();
  EXPECT_EQ(sink.count(), expected.size());
}

// Over JACK the library glues a system-exclusive message that lacks its F7
// to whatever follows, until a message ends in F7. The cut part goes; the
// channel messages and the complete message behind it arrive as sent.
TEST_F(SynthPortsTest, CutSystemExclusiveInputGivesBackWhatFollowedIt) {
  hwtest::Recorder sink;
  ports->setInputSink(&sink);
  ASSERT_EQ(openIn("Synth Out"), 1);
  const Bytes param{0xF0, 0x3E, 0x16, 0x58, 0x41, 0x01, 0x22, 0x40, 0x00, 0xF7};
  Bytes glued{0xF0, 0x3E, 0x16, 0x00, 0x10, 0x01, 0x02, 0xB0, 74, 0xF8, 99, 0xC1, 7, 0x05, 0xF2, 1, 2, 0xF7};
  glued.insert(glued.end(), param.begin(), param.end());
  glued.insert(glued.begin() + 4, 0xFE);
  ASSERT_TRUE(synth.emit(glued));
  ASSERT_TRUE(synth.emit({0xF0, 0x01, 0xF8, 0x02, 0xF7}));
  settle();
  const std::vector<Bytes> expected{{0xB0, 74, 99}, {0xC1, 7}, {0xF2, 1, 2}, param, {0xF0, 0x01, 0x02, 0xF7}};
  EXPECT_EQ(sink.messages(), expected);
}

// The input hook stands for a plug-in whose hook takes the plug-in's lock,
// which the GUI thread holds while it reopens the input port. The hook gives
// up after a bound so that a wait in the port layer shows as a failure
// instead of a hang.
TEST_F(SynthPortsTest, ReopeningInputDoesNotWaitForAHookThatWaitsForTheCaller) {
  std::timed_mutex editorLock;
  std::atomic<bool> entered{false}, gotLock{false};
  HookSink sink;
  sink.hook = [&] {
    entered = true;
    if (editorLock.try_lock_for(std::chrono::seconds(5))) {
      gotLock = true;
      editorLock.unlock();
    }
  };
  ports->setInputSink(&sink);
  ASSERT_EQ(openIn("Synth Out"), 1);
  {
    std::lock_guard<std::timed_mutex> gui(editorLock);
    ASSERT_TRUE(synth.emit({0xF0, 0x3E, 0x16, 0x00, 0x04, 0xF7}));
    ASSERT_TRUE(hwtest::spinUntil([&] { return entered.load(); }));
    EXPECT_EQ(openIn("Synth Out"), 1);
  }
  settle();
  EXPECT_TRUE(gotLock) << "reopening waited for the running input hook";
}

// The hook asks for the port lists (as a menu refresh would) while the
// plug-in shuts the ports down. It asks on a thread of its own and gives up
// after a bound, so a shutdown that holds the lists while it waits for the
// hook shows as a failure instead of a hang.
TEST_F(SynthPortsTest, ShutdownLetsARunningHookReadTheLists) {
  std::atomic<bool> entered{false}, closing{false}, listed{false};
  std::thread asker;
  HookSink sink;
  const pid_t shutter = static_cast<pid_t>(syscall(SYS_gettid));
  sink.hook = [&] {
    if (entered.exchange(true)) return;
    hwtest::spinUntil([&] { return closing.load(); });
    // Shutdown has reached its wait once its thread sleeps (a count of
    // yields would take minutes on a busy core).
    hwtest::spinUntil([&] { return asleep(shutter); });
    asker = std::thread([&] {
      ports->inNames();
      listed = true;
    });
    hwtest::spinUntil([&] { return listed.load(); });
  };
  ports->setInputSink(&sink);
  ASSERT_EQ(openIn("Synth Out"), 1);
  ASSERT_TRUE(synth.emit({0x90, 60, 1}));
  ASSERT_TRUE(hwtest::spinUntil([&] { return entered.load(); }));
  closing = true;
  ports->shutdown();
  EXPECT_TRUE(listed) << "shutdown held the lists while it waited for the hook";
  if (asker.joinable()) asker.join();
}

TEST_F(SynthPortsTest, SinkMayRemoveItselfFromTheCallback) {
  int calls = 0;
  HookSink sink;
  sink.hook = [&] {
    ++calls;
    ports->setInputSink(nullptr);
  };
  ports->setInputSink(&sink);
  ASSERT_EQ(openIn("Synth Out"), 1);
  synth.emit({0x90, 1, 1});
  synth.emit({0x90, 1, 1});
  settle();
  EXPECT_EQ(calls, 1);
}

}  // namespace
