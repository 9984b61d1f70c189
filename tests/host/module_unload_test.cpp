// The plug-in module loaded, its editor drawn and the module unloaded again,
// many times in one process: nothing of it stays behind, its text engine
// included. The libraries it depends on stay loaded, as they do in a host
// that uses them itself, so that what they keep for the process is not
// taken for the module's.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <sys/stat.h>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>

#include "platform/sanitizer.h"
#include "testhost/TestHost.h"
#include "testsupport.h"

#if TAVRIN_ADDRESS_SANITIZER
#include <sanitizer/lsan_interface.h>
#endif

using testhost::Effect;
using testhost::Module;

namespace {

std::set<std::string> loadedObjects() {
  std::set<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* out) {
        if (info->dlpi_name && *info->dlpi_name) static_cast<std::set<std::string>*>(out)->insert(info->dlpi_name);
        return 0;
      },
      &names);
  return names;
}

// One load, an editor opened (its first display draws every control and
// its text) and closed, and the unload; false when a step failed or the
// module is still loaded afterwards. The first time, every library the
// module brought in is pinned.
bool loadDrawUnload(bool pinDependencies, const testhost::LoadOptions& options = {}) {
  const std::set<std::string> before = loadedObjects();
  {
    auto m = Module::load(TAVRIN_MODULE, options);
    if (!m) return false;
    if (pinDependencies) {
      for (const std::string& name : loadedObjects())
        if (!before.count(name) && name != TAVRIN_MODULE) dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    }
    Effect fx(m->firstEntry());
    if (!fx.ok()) return false;
    fx.start();
    char window[1];
    if (fx.dispatch(effEditOpen, 0, 0, window) != 1 || fx.dispatch(effEditClose) != 1) return false;
    fx.close();
  }
  void* still = dlopen(TAVRIN_MODULE, RTLD_NOW | RTLD_NOLOAD);
  if (still) dlclose(still);
  return still == nullptr;
}

int cyclesThenLeakCheck() {
  for (int i = 0; i < 20; ++i)
    if (!loadDrawUnload(i == 0)) return 2;
#if TAVRIN_ADDRESS_SANITIZER
  return __lsan_do_recoverable_leak_check() ? 1 : 0;
#else
  return 0;
#endif
}

// In a fresh process of its own, so that only this test's allocations are
// looked at, and with only the test host's own leak suppressions: the test
// run's file also hides whatever the font configuration library allocated.
TEST(OurModuleUnload, TwentyLoadsWithTheEditorDrawnLeaveNothingBehind) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* options = std::getenv("LSAN_OPTIONS");
  const std::string saved = options ? options : "";
  unsetenv("LSAN_OPTIONS");
  EXPECT_EXIT(std::exit(cyclesThenLeakCheck()), ::testing::ExitedWithCode(0), "");
  if (options) setenv("LSAN_OPTIONS", saved.c_str(), 1);
}

// The heap in use by the process now.
size_t heapInUse() { return mallinfo2().uordblks; }

// 50 cycles of load, editor open and close, and unload, with one data
// folder: the heap in use after the 50th is within 16 kB of the heap in use
// after the 10th (the first ones fill what the libraries keep once per
// process). Exit code 0 when it is, 3 when it grew, 2 when a cycle failed.
int heapAfterFiftyCycles() {
  testsupport::TempDir data;
  testhost::LoadOptions options;
  options.dataFolder = data.path();
  size_t afterTenth = 0;
  for (int i = 1; i <= 50; ++i) {
    if (!loadDrawUnload(i == 1, options)) return 2;
    if (i == 10) afterTenth = heapInUse();
  }
  const size_t afterFiftieth = heapInUse();
  std::fprintf(stderr, "heap in use after cycle 10: %zu, after cycle 50: %zu\n", afterTenth, afterFiftieth);
  return afterFiftieth <= afterTenth + 16 * 1024 ? 0 : 3;
}

// In a fresh process, without the allocator's per-thread caches, whose
// freed blocks would count as in use.
TEST(OurModuleUnload, FiftyLoadsKeepTheHeapInUse) {
#if TAVRIN_ADDRESS_SANITIZER
  // Its runtime adds an exit handler of the process's own after each one a
  // load registers for a static object, and the C library keeps them all:
  // a record of the sanitizer's that grows with every load.
  GTEST_SKIP() << "the address sanitizer keeps a record of its own for each load";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testsupport::ScopedEnv env;
  env.set("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0");
  EXPECT_EXIT(std::exit(heapAfterFiftyCycles()), ::testing::ExitedWithCode(0), "");
}

// A data folder whose Patches folder holds a bank: the scan that reads it on
// the host's thread must leave nothing on that thread that outlives the
// module (a thread's own object with a destructor pins the module in the
// process until the thread ends).
int unloadAfterAScan() {
  testsupport::TempDir data;
  const std::string patches = data.path() + "/Patches";
  if (mkdir(patches.c_str(), 0700) != 0) return 4;
  std::vector<uint8_t> bank;
  for (int slot = 0; slot < 100; ++slot) {
    std::vector<uint8_t> d = {0xF0, 0x3E, 0x16, 0x00, 0x10, 0x00, 0x00};
    for (size_t p = 7; p < 120; ++p) d.push_back(static_cast<uint8_t>((p * 7 + slot) & 0x7F));
    const std::string name = "UNLOAD " + std::to_string(100 + slot) + "    ";
    d.insert(d.end(), name.begin(), name.begin() + 14);
    d.push_back(0x01);
    unsigned sum = 0;
    for (size_t i = 1; i < d.size(); ++i) sum += d[i];
    d.push_back(static_cast<uint8_t>(sum & 0x7F));
    d.push_back(0xF7);
    bank.insert(bank.end(), d.begin(), d.end());
  }
  std::ofstream(patches + "/Unload.sr2", std::ios::binary)
      .write(reinterpret_cast<const char*>(bank.data()), static_cast<std::streamsize>(bank.size()));
  testhost::LoadOptions options;
  options.dataFolder = data.path();
  for (int i = 0; i < 3; ++i)
    if (!loadDrawUnload(i == 0, options)) return 2;
  return 0;
}

TEST(OurModuleUnload, AScannedBankDoesNotPinTheModule) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::exit(unloadAfterAScan()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
