#pragma once
// The editor test harness: one plug-in over a temporary data folder and a
// chosen resource root, with its MIDI ports on a loopback hub that also
// carries a simulated synthesizer, the headless graphics context and a
// manual clock whose sleeps are recorded.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "editor/Tavrin.h"
#include "hardware/MidiBackendLoopback.h"
#include "host/IGraphicsHeadless.h"
#include "platform/clock.h"
#include "synthsim/SynthSimulator.h"
#include "testsupport.h"

namespace edtest {

// Records the dispatch's display and send steps.
class ObservedTavrin : public Tavrin {
 public:
  using Tavrin::Tavrin;
  struct Step {
    int idx;
    double value;
  };
  void controlDisplay(int idx, double value) override { displayed.push_back({idx, value}); }
  void processControlAction(ControlAction*, int idx, double value) override { sent.push_back({idx, value}); }
  std::vector<Step> displayed, sent;
};

struct Sleep {
  bool testThread;
  bool heldPluginMutex;
  uint64_t micros = 0;
};

class Harness {
 public:
  // settings: the settings file's text, or none when null; log: the debug
  // log file exists at start; bankFiles: banks of 100 dumps in Patches.
  // observed: an ObservedTavrin; else a plain Tavrin, for tests whose
  // threads still call the object while it is destroyed (a derived class's
  // destructor would change its virtual table under them).
  // host: the host's callback the plug-in is made with (none: every host
  // query answers 0).
  explicit Harness(const std::string& resourceRoot, const char* settings = nullptr, bool log = false,
                   std::vector<std::string> bankFiles = {}, bool observed = true, audioMasterCallback host = nullptr);
  ~Harness();

  void make();
  ObservedTavrin& plug() { return static_cast<ObservedTavrin&>(*mPlug); }
  Tavrin& tavrin() { return *mPlug; }
  IGraphicsHeadless& gui() { return *static_cast<IGraphicsHeadless*>(mPlug->GetGUI()); }
  // Read under the editor lock, as input may be moving it.
  double value(int idx) {
    KIT_MutexLock lock(mPlug->GetMutex());
    return mPlug->GetParam(idx)->Value();
  }
  // The user's path with a plain value.
  void set(int idx, double v);
  std::string logText() const;
  std::vector<Sleep> sleeps() const;
  // Every sleep of a thread other than the test's waits until the release
  // given last gives true, or none is given (checked every millisecond of
  // real time, with the one in force then). A release runs on the sleeping
  // thread and may look at the plug-in: none runs while it is destroyed or
  // replaced (destroy and make wait for those running, and the sleeps of
  // the threads it stops meanwhile do not wait).
  void holdJobSleeps(std::function<bool()> release) {
    auto shared = release ? std::make_shared<const std::function<bool()>>(std::move(release)) : nullptr;
    std::lock_guard<std::mutex> lock(mSleepLock);
    mRelease = std::move(shared);
  }
  // Delivered input and the simulator are idle.
  void settle();
  // The value of the first display text of the parameter holding name, or -1.
  int textIndex(int idx, const std::string& name);
  // Chooses the entry of that text in the menu of the control bound to idx
  // (the window's own port menus), as a click on it does; false when there
  // is no such control or entry, or the choice did not take.
  bool chooseInMenu(int idx, const std::string& entry);
  // Chooses the simulator's ports in the port menus and waits until the
  // enquiry they start has ended and the input is idle; false when a port is
  // missing or the enquiry does not end.
  bool choosePortsAndWait();
  // The messages the simulator received, in order, after the input settled.
  std::vector<std::vector<uint8_t>> receivedBytes();
  // Deletes the plug-in, once no release runs; until make() holds are off.
  // The sleep observer may still look at the plug-in meanwhile.
  void destroy();

  testsupport::ScopedFolders folders;
  platform::ManualClock clock{1'700'000'000'000'000ull};
  platform::ScopedClock scopedClock{clock};
  LoopbackHub hub;
  std::unique_ptr<MidiBackend> simBackend = hub.makeBackend();
  synthsim::SynthSimulator sim{*simBackend};

 private:
  bool mObserved;
  audioMasterCallback mHost;
  std::unique_ptr<Tavrin> mPlug;
  std::atomic<Tavrin*> mRaw{nullptr};  // what job threads' sleeps look at
  std::thread::id mTestThread = std::this_thread::get_id();
  std::shared_ptr<const std::function<bool()>> mRelease;  // under mSleepLock; called outside it
  bool mHoldsOff = false;    // under mSleepLock: the plug-in is going or being replaced
  int mReleasesRunning = 0;  // under mSleepLock
  std::condition_variable mReleaseEnded;
  mutable std::mutex mSleepLock;
  std::vector<Sleep> mSleeps;
};

// The project's staged description and images; J1's test descriptions.
inline std::string projectRoot() { return TAVRIN_STAGED_ROOT; }
inline std::string testRoot() { return TAVRIN_UICONFIG_TEST_ROOT; }

}  // namespace edtest
