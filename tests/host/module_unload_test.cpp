// The plug-in module loaded, its editor drawn and the module unloaded again,
// many times in one process: nothing of it stays behind, its text engine
// included. The libraries it depends on stay loaded, as they do in a host
// that uses them itself, so that what they keep for the process is not
// taken for the module's.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <cstdlib>
#include <set>
#include <string>

#include "platform/sanitizer.h"
#include "testhost/TestHost.h"

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
bool loadDrawUnload(bool pinDependencies) {
  const std::set<std::string> before = loadedObjects();
  {
    auto m = Module::load(TAVRIN_MODULE);
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

}  // namespace
