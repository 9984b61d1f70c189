#include "support_tavrin.h"

#include <chrono>
#include <filesystem>

#include "framework/IControl.h"
#include "hardware/MIDIMessageManager.h"
#include "hardware/MidiPorts.h"
#include "hardware/ParameterList.h"
#include "support_midi.h"
#include "platform/folders.h"

namespace edtest {
namespace {

LoopbackHub* sHub = nullptr;
std::unique_ptr<IHardwarePorts> loopbackPorts() { return std::make_unique<MidiPorts>(sHub->makeBackend()); }

}  // namespace

Harness::Harness(const std::string& resourceRoot, const char* settings, bool log, std::vector<std::string> bankFiles,
                 bool observed, audioMasterCallback host)
    : mObserved(observed), mHost(host) {
  platform::setResourceFolder(resourceRoot);
  const std::string data = platform::dataFolder();
  if (settings) testsupport::writeFile(data + "Tavrin Editor UI.txt", std::string(settings));
  if (log) testsupport::writeFile(data + "Tavrin Editor LOG.txt", std::string("old\n"));
  for (const std::string& name : bankFiles) {
    std::vector<uint8_t> bank;
    for (int slot = 0; slot < 100; ++slot) {
      std::vector<uint8_t> dump(137, 0);
      dump[0] = 0xF0, dump[1] = 0x3E, dump[2] = 0x16, dump[4] = 0x10, dump[136] = 0xF7;
      bank.insert(bank.end(), dump.begin(), dump.end());
    }
    std::filesystem::create_directories(data + "Patches");
    testsupport::writeFile(data + "Patches/" + name, bank);
  }
  clock.setSleepObserver([this](uint64_t us) {
    const bool test = std::this_thread::get_id() == mTestThread;
    std::unique_lock<std::mutex> lock(mSleepLock);
    Tavrin* plug = mRaw.load();
    mSleeps.push_back({test, plug && plug->GetMutex().IsLockedByCaller(), us});
    // The hold in force is looked up anew each time: a later holdJobSleeps
    // also frees a sleep that is already waiting, as does a destroy.
    while (!test && !mHoldsOff && mRelease) {
      const std::shared_ptr<const std::function<bool()>> release = mRelease;
      ++mReleasesRunning;
      lock.unlock();
      const bool released = (*release)();
      lock.lock();
      if (--mReleasesRunning == 0) mReleaseEnded.notify_all();
      if (released) break;
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      lock.lock();
    }
  });
  sHub = &hub;
  SetHardwarePortsFactory(&loopbackPorts);
  make();
}

Harness::~Harness() {
  destroy();
  holdJobSleeps({});
  SetHardwarePortsFactory(nullptr);
  clock.setSleepObserver({});
}

void Harness::make() {
  destroy();
  IPluginInstanceInfo info;
  info.mVSTHostCallback = mHost;
  if (mObserved) mPlug = std::make_unique<ObservedTavrin>(info);
  else mPlug = std::make_unique<Tavrin>(info);
  mRaw.store(mPlug.get());
  std::lock_guard<std::mutex> lock(mSleepLock);
  mHoldsOff = false;
}

void Harness::destroy() {
  {
    std::unique_lock<std::mutex> lock(mSleepLock);
    mHoldsOff = true;
    mReleaseEnded.wait(lock, [this] { return mReleasesRunning == 0; });
  }
  std::unique_ptr<Tavrin> gone = std::move(mPlug);
  gone.reset();
  mRaw.store(nullptr);
}

void Harness::set(int idx, double v) {
  IParam* p = mPlug->GetParam(idx);
  mPlug->SetParameterFromGUI(idx, p->GetNormalized(v));
}

std::string Harness::logText() const {
  const auto b = testsupport::readFile(platform::dataFolder() + "Tavrin Editor LOG.txt");
  return std::string(b.begin(), b.end());
}

std::vector<Sleep> Harness::sleeps() const {
  std::lock_guard<std::mutex> lock(mSleepLock);
  return mSleeps;
}

void Harness::settle() {
  hub.drain();
  sim.waitIdle();
  hub.drain();
  if (auto* ports = dynamic_cast<MidiPorts*>(mPlug->GetHardwarePorts())) ports->waitIdle();
}

bool Harness::chooseInMenu(int idx, const std::string& entry) {
  IControl* menu = mPlug->rememberedControl(idx);
  const int wanted = textIndex(idx, entry);
  if (menu == nullptr || wanted <= 0) return false;
  const IRECT r = *menu->GetRECT();
  gui().answerMenuByText({entry});
  gui().press((r.L + r.R) / 2, (r.T + r.B) / 2);
  gui().release((r.L + r.R) / 2, (r.T + r.B) / 2);
  return value(idx) == wanted && gui().unusedAnswers().empty();
}

bool Harness::choosePortsAndWait() {
  // The manual clock does not wait: each of the job's pauses lets the
  // simulator answer and the answer arrive first.
  holdJobSleeps([this] {
    settle();
    return true;
  });
  if (!chooseInMenu(kDeviceInSelection, sim.options().outPort) ||
      !chooseInMenu(kDeviceOutSelection, sim.options().inPort)) {
    holdJobSleeps({});
    return false;
  }
  MIDIMessageManager* jobs = mPlug->hub();
  const bool ended = hwtest::spinUntil([&] {
    return !jobs->threadRunning(MIDIMessageManager::kJobThread) && !mPlug->sharedFlags().awaitingGlobalDump.load();
  });
  settle();
  holdJobSleeps({});
  return ended;
}

std::vector<std::vector<uint8_t>> Harness::receivedBytes() {
  settle();
  std::vector<std::vector<uint8_t>> out;
  for (const synthsim::Received& r : sim.received()) out.push_back(r.bytes);
  return out;
}

int Harness::textIndex(int idx, const std::string& name) {
  IParam* p = mPlug->GetParam(idx);
  for (int i = 0; i < p->GetNDisplayTexts(); ++i) {
    int value = 0;
    const char* text = p->GetDisplayTextAtIdx(i, &value);
    if (text && std::string(text).find(name) != std::string::npos) return value;
  }
  return -1;
}

}  // namespace edtest
