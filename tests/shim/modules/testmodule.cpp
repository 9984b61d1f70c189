// A library for the loading tests. Its entry points tell the test program
// (through its exported recorder) what they were called with; the build
// makes one variant that accepts, one whose first entry refuses and one
// whose second entry refuses, and one without entry points.
#include <dlfcn.h>

#if TESTMODULE_ENTRIES
namespace {

void record(const char* what) {
  using Recorder = void (*)(const char*, const char*);
  if (auto fn = reinterpret_cast<Recorder>(dlsym(RTLD_DEFAULT, "shim_testmodule_record"))) fn(TESTMODULE_NAME, what);
}

}  // namespace
#endif

extern "C" {

__attribute__((visibility("default"))) int testmodule_value() { return 42; }

#if TESTMODULE_ENTRIES
__attribute__((visibility("default"))) int SHIM_dllMain(void*, int reason, void*) {
  record(reason ? "shim attach" : "shim detach");
  return !(reason == 1 && TESTMODULE_REFUSE == 1);
}

__attribute__((visibility("default"))) int DllMain(void*, int reason, void*) {
  record(reason ? "dll attach" : "dll detach");
  // only the low byte counts: 0x100 refuses
  return reason == 1 && TESTMODULE_REFUSE == 2 ? 0x100 : 1;
}
#endif
}
