#include "shim/winlibrary.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "testsupport.h"

namespace {
std::vector<std::string> g_calls;
}

// The test libraries report their entry calls here.
extern "C" __attribute__((visibility("default"))) void shim_testmodule_record(const char* name, const char* what) {
  g_calls.push_back(std::string(name) + ": " + what);
}

namespace {

std::string Module(const char* name) { return std::string(SHIM_TESTMODULES) + "shim_testmodule_" + name + ".so"; }

TEST(Libraries, EntryPointsAttachOnceAndDetachInOrder) {
  g_calls.clear();
  SHIM_HINSTANCE a = LoadLibrary(Module("accept").c_str());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(LoadLibrary(Module("accept").c_str()), a);
  EXPECT_EQ(SHIM_LibraryRefCount(a), 2);
  EXPECT_EQ(FreeLibrary(a), 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"accept: shim attach", "accept: dll attach"}));
  EXPECT_EQ(FreeLibrary(a), 1);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"accept: shim attach", "accept: dll attach", "accept: shim detach",
                                               "accept: dll detach"}));
  g_calls.clear();
  // a refused attach leaves nothing behind, so a second load attaches again
  EXPECT_EQ(LoadLibrary(Module("refuse").c_str()), nullptr);
  EXPECT_EQ(LoadLibrary(Module("refuse").c_str()), nullptr);
  EXPECT_EQ(LoadLibrary(Module("dllrefuse").c_str()), nullptr);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"refuse: shim attach", "refuse: shim attach", "dllrefuse: shim attach",
                                               "dllrefuse: dll attach", "dllrefuse: shim detach"}));
  for (const char* bad : {"", "/nonexistent/lib.so"}) EXPECT_EQ(LoadLibrary(bad), nullptr);
  EXPECT_EQ(LoadLibrary(nullptr), nullptr);
  EXPECT_EQ(FreeLibrary(nullptr), 0);
}

TEST(Libraries, ModuleFileNames) {
  SHIM_HINSTANCE p = LoadLibraryGlobals(Module("plain").c_str(), true);
  ASSERT_NE(p, nullptr);
  char buf[4096];
  std::memset(buf, 'X', sizeof buf);
  EXPECT_EQ(GetModuleFileName(p, buf, 0), 0);
  EXPECT_EQ(buf[0], 'X');
  EXPECT_EQ(GetModuleFileName(p, nullptr, 10), 0);
  EXPECT_EQ(GetModuleFileName(p, buf, sizeof buf), 0);  // no symbol resolved yet
  EXPECT_EQ(GetProcAddress(p, "missing"), nullptr);
  EXPECT_EQ(GetModuleFileName(p, buf, sizeof buf), 0);
  auto value = reinterpret_cast<int (*)()>(GetProcAddress(p, "testmodule_value"));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value(), 42);
  EXPECT_EQ(GetModuleFileName(p, buf, sizeof buf), static_cast<int>(Module("plain").size()));
  EXPECT_EQ(std::string(buf), Module("plain"));
  EXPECT_EQ(GetModuleFileName(p, buf, 5), 4);
  FreeLibrary(p);
  const int n = GetModuleFileName(nullptr, buf, 10);
  EXPECT_LE(n, 9);
  EXPECT_EQ(std::strlen(buf), static_cast<size_t>(n));
  char whole[4096];
  GetModuleFileName(nullptr, whole, sizeof whole);
  EXPECT_EQ(std::string(whole).substr(0, n), buf);
  EXPECT_EQ(std::filesystem::path(whole), std::filesystem::canonical("/proc/self/exe").parent_path());
}

TEST(Libraries, BundleFoldersAreKnownByTheirRealPath) {
  testsupport::TempDir dir;
  const std::string bundle = dir.file("Thing.bundle");
  std::filesystem::create_directories(bundle + "/Contents/x86_64-linux");
  std::filesystem::copy_file(Module("accept"), bundle + "/Contents/x86_64-linux/Thing.so");
  g_calls.clear();
  SHIM_HINSTANCE b = LoadLibrary(bundle.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(LoadLibrary((dir.path() + "./Thing.bundle/").c_str()), b);
  EXPECT_NE(GetProcAddress(b, "testmodule_value"), nullptr);
  char buf[4096];
  GetModuleFileName(b, buf, sizeof buf);
  EXPECT_EQ(std::string(buf), std::filesystem::canonical(bundle).string());
  FreeLibrary(b);
  FreeLibrary(b);
  EXPECT_EQ(g_calls.size(), 4u);
  // a folder without its executable loads without code
  std::filesystem::create_directories(dir.file("Empty.bundle"));
  SHIM_HINSTANCE e = LoadLibrary(dir.file("Empty.bundle").c_str());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(GetProcAddress(e, "testmodule_value"), nullptr);
  FreeLibrary(e);
}

TEST(Libraries, KeysCompareAsWholeValuesAndGuidsAreVersion4) {
  const uintptr_t high = uintptr_t{1} << 32;
  EXPECT_EQ(SHIM_LibKeyCompare(high, 0), 1);
  EXPECT_EQ(SHIM_LibKeyCompare(0, high), -1);
  EXPECT_EQ(SHIM_LibKeyCompare(0x80000000u, 0), 1);
  EXPECT_EQ(SHIM_LibKeyCompare(high, high), 0);
  unsigned char a[16], b[16];
  SHIM_GenerateGUID(a);
  SHIM_GenerateGUID(b);
  SHIM_GenerateGUID(nullptr);
  EXPECT_EQ(a[6] >> 4, 4);
  EXPECT_EQ(a[8] >> 6, 2);
  EXPECT_NE(std::memcmp(a, b, 16), 0);
}

}  // namespace
