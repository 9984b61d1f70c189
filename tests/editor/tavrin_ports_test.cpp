// End to end on the loopback: the port menus, the device-ID enquiry with
// its progress display, closing the output, and tear-down while a job waits
// and while the simulator sends.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "framework/IControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SysexProtocol.h"
#include "support_midi.h"
#include "support_tavrin.h"

namespace {

using edtest::Harness;

// Chooses the simulator's two ports in the port menus.
void choosePorts(Harness& h) {
  ASSERT_TRUE(h.chooseInMenu(kDeviceInSelection, h.sim.options().outPort));
  ASSERT_TRUE(h.chooseInMenu(kDeviceOutSelection, h.sim.options().inPort));
}

TEST(TavrinPorts, ChoosingThePortsStartsTheEnquiryAndEntryZeroCloses) {
  Harness h(edtest::projectRoot(), nullptr, false, {}, false);
  Tavrin& p = h.tavrin();
  h.sim.setFault(synthsim::Fault::Silent);  // the enquiry keeps waiting
  std::atomic<bool> looked{false};
  h.holdJobSleeps([&] { return looked.load(); });
  choosePorts(h);
  EXPECT_TRUE(p.isMidiIOSet());
  ASSERT_TRUE(hwtest::spinUntil([&] { return !h.sim.received().empty(); }));
  const auto framed = [](std::vector<uint8_t> body) {
    body.insert(body.begin(), 0xF0);
    body.push_back(0xF7);
    return body;
  };
  EXPECT_EQ(h.sim.received()[0].bytes, framed(sysex::globalRequest(0)));
  // While the job runs, cancel button B shows (the main tab is 2). Controls
  // are read under the editor lock, as the window's drawing reads them.
  EXPECT_TRUE(p.hub()->threadRunning(MIDIMessageManager::kJobThread));
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_FALSE(p.cancelButton(1)->IsHidden());
    EXPECT_TRUE(p.cancelButton(0)->IsHidden());
  }
  // A start while the job thread is busy is dropped; the case's layers and
  // the global-sent flag change all the same.
  p.sharedFlags().globalsSent.store(true);
  h.set(kGlobalClock, 1);
  EXPECT_FALSE(p.sharedFlags().globalsSent.load());
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_TRUE(p.namedLayer("arpTempoKnob")->GetControl(0)->IsGrayed());
  }
  // Only the clock's own message follows the enquiry: no sound dump.
  h.settle();
  ASSERT_EQ(h.sim.received().size(), 2u);
  EXPECT_EQ(h.sim.received()[1].bytes.size(), 10u);
  looked = true;
  ASSERT_TRUE(hwtest::spinUntil([&] { return !p.hub()->threadRunning(MIDIMessageManager::kJobThread); }));
  {
    KIT_MutexLock lock(p.GetMutex());
    EXPECT_TRUE(p.cancelButton(1)->IsHidden());
    EXPECT_FALSE(p.progressLayer()->IsVisible());
  }

  // Entry 0 closes the output, clears the flag and stops the clock.
  p.hub()->resetContinuousClock(false);
  h.set(kDeviceOutSelection, 0);
  EXPECT_FALSE(p.isMidiIOSet());
  EXPECT_FALSE(p.hub()->clockRunning());
  EXPECT_FALSE(p.GetHardwarePorts()->outOpen());
  // A port that has vanished leaves it clear.
  const int out = h.textIndex(kDeviceOutSelection, h.sim.options().inPort);
  p.GetParam(kDeviceOutSelection)->SetDisplayText(out, "Vanished Port");
  h.set(kDeviceOutSelection, out);
  EXPECT_FALSE(p.isMidiIOSet());
  // No pause was taken while holding the plug-in mutex.
  for (const edtest::Sleep& s : h.sleeps()) EXPECT_FALSE(s.heldPluginMutex);
}

TEST(TavrinPorts, TearDownWhileTheEnquiryWaitsAndWhileTheSimulatorSends) {
  for (bool simSends : {false, true}) {
    SCOPED_TRACE(simSends ? "simulator sends" : "silent simulator");
    Harness h(edtest::projectRoot(), nullptr, false, {}, false);
    h.sim.setFault(synthsim::Fault::Silent);
    MIDIMessageManager* hub = h.tavrin().hub();
    h.holdJobSleeps([hub] { return hub->stopping(); });
    choosePorts(h);
    ASSERT_TRUE(hwtest::spinUntil([&] { return h.sim.received().size() == 1; }));
    std::atomic<bool> stop{false};
    std::thread sender([&] {
      while (simSends && !stop.load()) h.sim.sendControlChange(1, 74, 10);
    });
    // Edits race the input and the waiting job.
    for (int i = 0; i < 40; ++i) h.set(kMIDIFilterHWCCPassThrough, i % 2);
    h.destroy();
    stop = true;
    sender.join();
    h.hub.drain();
    h.sim.waitIdle();
    EXPECT_EQ(h.sim.received().size(), 1u);
  }
}

}  // namespace
