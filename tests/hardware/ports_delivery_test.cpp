// Input delivered on the port layer's own thread: a queue that drops what
// does not fit while the sink is busy, port changes that never wait for a
// delivery, and a shutdown that joins the thread.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "standin_editor.h"
#include "support_midi.h"

namespace {

// A sink that waits at its first message until released.
struct GateSink : IHardwareInputSink {
  std::mutex gate;
  std::atomic<int> count{0};
  void processMIDIInput(const uint8_t*, size_t) override {
    std::lock_guard<std::mutex> lock(gate);
    ++count;
  }
};

TEST(PortsDelivery, AFullQueueDropsNewMessagesAndShutdownJoins) {
  LoopbackHub hub;
  hwtest::LoopbackDevice synth(hub, "Synth In", "Synth Out");
  MidiPorts ports(hub.makeBackend());
  GateSink sink;
  ports.setInputSink(&sink);
  int index = 1;
  ASSERT_EQ(ports.openIn(index, "Synth Out"), 1);
  {
    std::unique_lock<std::mutex> busy(sink.gate);
    for (int i = 0; i < 300; ++i) ASSERT_TRUE(synth.emit({0x90, 60, 1}));
    hub.drain();  // every message is queued or dropped; the first waits in the sink
  }
  ports.waitIdle();
  EXPECT_EQ(sink.count, static_cast<int>(MidiPorts::kInputQueueDepth));
  ports.shutdown();
  ASSERT_TRUE(synth.emit({0x90, 60, 1}));
  hub.drain();
  EXPECT_EQ(sink.count, static_cast<int>(MidiPorts::kInputQueueDepth));
}

// The editor's lock is held around the ports' closing and reopening, which
// let go of it only for the library's calls; the instrument's message waits
// in delivery for that lock, lands in one of those calls or once the lock is
// free, and the port changes never wait for it.
TEST(PortsDelivery, PortChangesUnderTheEditorLockDoNotWaitForADelivery) {
  LoopbackHub hub;
  hwtest::LoopbackDevice synth(hub, "MIDI In", "MIDI Out");
  auto owned = std::make_unique<MidiPorts>(hub.makeBackend());
  MidiPorts* ports = owned.get();
  hwtest::StandInEditor ed(std::move(owned));
  ed.bindSingleParameter(kFilterCutoff, 0x10, 0x00);
  int index = 1;
  ASSERT_GT(ed.setExternalMIDIIn(index, "MIDI Out"), 0);
  {
    KIT_MutexLock editorLock(ed.GetMutex());
    ASSERT_TRUE(synth.emit(sysex::singleParameterChange(0x10, 0x00, 77)));
    hub.drain();
    for (const char* name : {"OFF", "MIDI Out"}) {
      index = 1;
      ed.setExternalMIDIIn(index, name);
      index = 1;
      ed.setExternalMIDIOut(index, "MIDI In");
    }
    const double during = ed.GetParam(kFilterCutoff)->Value();
    EXPECT_TRUE(during == 0 || during == 77) << during;
  }
  ports->waitIdle();
  EXPECT_EQ(ed.param(kFilterCutoff), 77);
}

}  // namespace
