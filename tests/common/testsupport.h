#pragma once
// Helpers shared by the test programs.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder's path with a trailing "/".
  const std::string& path() const { return m_path; }
  std::string file(const std::string& name) const { return m_path + name; }

 private:
  std::string m_path;
};

// Points the data and resource folders at temporary folders for a scope.
class ScopedFolders {
 public:
  ScopedFolders();
  ~ScopedFolders();
  const std::string& data() const { return m_data.path(); }
  const std::string& resources() const { return m_res.path(); }

 private:
  TempDir m_data;
  TempDir m_res;
};

// Sets (value) or unsets (null) environment variables for a scope and puts
// each back as it was when the object goes.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  void set(const char* name, const char* value);

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

std::vector<uint8_t> readFile(const std::string& path);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

// Runs fn on a thread of its own and waits up to limit for it to end: the
// guard of a test whose failure would be a wait that never ends on a named
// pipe. Past the limit the pipes are opened from this side, without waiting,
// to let go whoever waits on them (what is written into them is drained)
// until fn ends; the result is then false. True when fn ended in time.
bool endsWithoutWaitingOnPipes(const std::function<void()>& fn, const std::vector<std::string>& pipes,
                               std::chrono::seconds limit);

// Yields until done() holds; the limit only turns a hang into a failure.
// Inline: the benchmarks that share the hardware tests' helpers use it
// without this library.
inline bool spinUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::yield();
  }
  return true;
}

// The ids of this process's threads, as /proc/self/task lists them. A
// thread stays listed a moment after its join returns, a long moment on a
// busy core: a test that checks that threads have ended waits for them to
// leave (bounded), and counts only the threads that were not listed before
// it began, since one that was ending then may leave meanwhile.
std::set<int> threadIds();
// How many of this process's threads were not listed in before.
size_t threadsNotIn(const std::set<int>& before);

// An icon (type 1) or cursor (type 2) file of one DIB entry of w x h at 1,
// 24 or 32 bits per pixel. argb holds the pixels, top row first, as
// 0xAARRGGBB; at 1 bit the palette is black and white and a pixel is white
// when its red is above 127. A pixel whose alpha is 0 has its mask bit set.
std::vector<uint8_t> iconFile(int type, int w, int h, int bpp, int hotX, int hotY, const std::vector<uint32_t>& argb);

}  // namespace testsupport
