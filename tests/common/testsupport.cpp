#include "testsupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "platform/folders.h"

namespace testsupport {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string tmpl = std::string(base && *base ? base : "/tmp") + "/tavrin-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  const char* p = mkdtemp(buf.data());
  m_path = std::string(p ? p : buf.data()) + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  // Restore write permission on anything a test made read-only, so removal works.
  for (auto it = std::filesystem::recursive_directory_iterator(
           m_path, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0755);
  }
  chmod(m_path.c_str(), 0755);
  std::filesystem::remove_all(m_path, ec);
}

ScopedFolders::ScopedFolders() {
  platform::setDataFolder(m_data.path());
  platform::setResourceFolder(m_res.path());
}

ScopedFolders::~ScopedFolders() {
  platform::setDataFolder("");
  platform::setResourceFolder("");
}

ScopedEnv::~ScopedEnv() {
  for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
    if (it->second) setenv(it->first.c_str(), it->second->c_str(), 1);
    else unsetenv(it->first.c_str());
  }
}

void ScopedEnv::set(const char* name, const char* value) {
  const char* old = std::getenv(name);
  m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  if (value) setenv(name, value, 1);
  else unsetenv(name);
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool writeFile(const std::string& path, const std::string& text) {
  return writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool endsWithoutWaitingOnPipes(const std::function<void()>& fn, const std::vector<std::string>& pipes,
                               std::chrono::seconds limit) {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  std::thread worker([&] {
    fn();
    std::lock_guard<std::mutex> l(m);
    done = true;
    cv.notify_all();
  });
  std::unique_lock<std::mutex> l(m);
  const bool inTime = cv.wait_for(l, limit, [&] { return done; });
  // A reader waiting in its open is let go by a writer's open, a writer by a
  // reader's; the read ends stay open (and drained) so that no write fails.
  std::vector<int> readEnds;
  for (const std::string& p : pipes) {
    if (inTime) break;
    readEnds.push_back(::open(p.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  }
  while (!done) {
    for (const std::string& p : pipes) {
      const int w = ::open(p.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (w >= 0) ::close(w);
    }
    char sink[4096];
    for (int fd : readEnds)
      while (fd >= 0 && ::read(fd, sink, sizeof sink) > 0) {
      }
    cv.wait_for(l, std::chrono::milliseconds(10), [&] { return done; });
  }
  l.unlock();
  worker.join();
  for (int fd : readEnds)
    if (fd >= 0) ::close(fd);
  return inTime;
}

std::set<int> threadIds() {
  std::set<int> ids;
  if (DIR* d = opendir("/proc/self/task")) {
    while (const dirent* e = readdir(d))
      if (e->d_name[0] != '.') ids.insert(std::atoi(e->d_name));
    closedir(d);
  }
  return ids;
}

size_t threadsNotIn(const std::set<int>& before) {
  size_t n = 0;
  for (int id : threadIds()) n += before.count(id) == 0;
  return n;
}

bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

namespace {
void put16(std::vector<uint8_t>& b, unsigned v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void put32(std::vector<uint8_t>& b, uint32_t v) { put16(b, v & 0xFFFF); put16(b, v >> 16); }
}  // namespace

std::vector<uint8_t> iconFile(int type, int w, int h, int bpp, int hotX, int hotY, const std::vector<uint32_t>& argb) {
  std::vector<uint8_t> dib;
  const unsigned colours = bpp == 1 ? 2 : 0;
  for (uint32_t v : {40u, uint32_t(w), uint32_t(h * 2)}) put32(dib, v);
  put16(dib, 1);
  put16(dib, static_cast<unsigned>(bpp));
  for (uint32_t v : {0u, 0u, 0u, 0u, colours, 0u}) put32(dib, v);
  if (bpp == 1) put32(dib, 0), put32(dib, 0x00FFFFFF);
  const size_t stride = (static_cast<size_t>(w) * bpp + 31) / 32 * 4, maskStride = (static_cast<size_t>(w) + 31) / 32 * 4;
  std::vector<uint8_t> rows(stride * h, 0), mask(maskStride * h, 0);
  for (int y = 0; y < h; ++y) {
    const size_t r = static_cast<size_t>(h - 1 - y);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = argb[static_cast<size_t>(y) * w + x];
      if ((p >> 24) == 0) mask[r * maskStride + x / 8] |= uint8_t(0x80 >> (x % 8));
      if (bpp == 1) {
        if (((p >> 16) & 0xFF) > 127) rows[r * stride + x / 8] |= uint8_t(0x80 >> (x % 8));
        continue;
      }
      uint8_t* d = &rows[r * stride + static_cast<size_t>(x) * (bpp / 8)];
      d[0] = uint8_t(p), d[1] = uint8_t(p >> 8), d[2] = uint8_t(p >> 16);
      if (bpp == 32) d[3] = uint8_t(p >> 24);
    }
  }
  dib.insert(dib.end(), rows.begin(), rows.end());
  dib.insert(dib.end(), mask.begin(), mask.end());
  std::vector<uint8_t> file;
  for (unsigned v : {0u, unsigned(type), 1u}) put16(file, v);
  file.insert(file.end(), {uint8_t(w), uint8_t(h), uint8_t(colours), 0});
  put16(file, static_cast<unsigned>(hotX));
  put16(file, static_cast<unsigned>(hotY));
  put32(file, static_cast<uint32_t>(dib.size()));
  put32(file, 22);
  file.insert(file.end(), dib.begin(), dib.end());
  return file;
}

}  // namespace testsupport
