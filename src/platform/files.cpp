#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform {

namespace {

// Writes and closes; false when any byte or the close failed.
bool writeAndClose(std::FILE* f, std::span<const uint8_t> bytes) {
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

constexpr int kMaxTempTries = 1000;

}  // namespace

Created createFileExclusive(const std::string& path, std::span<const uint8_t> bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wbx");
  if (!f) return errno == EEXIST ? Created::Exists : Created::Failed;
  if (writeAndClose(f, bytes)) return Created::Written;
  std::remove(path.c_str());
  return Created::Failed;
}

bool writeNew(const std::string& path, std::span<const uint8_t> bytes) {
  return !path.empty() && createFileExclusive(path, bytes) == Created::Written;
}

bool writeReplacing(const std::string& path, std::span<const uint8_t> bytes) {
  if (path.empty() || path.back() == '/' || path.back() == '\\') return false;
  // An existing file keeps its permissions, and one that may not be written
  // is not replaced either.
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || ::access(path.c_str(), W_OK) != 0)) return false;
  for (int i = 0; i < kMaxTempTries; ++i) {
    const std::string temp = path + ".~" + std::to_string(i) + ".tmp";
    const Created c = createFileExclusive(temp, bytes);
    if (c == Created::Exists) continue;
    if (c == Created::Failed) return false;
    if (exists) ::chmod(temp.c_str(), old.st_mode & 07777);
    if (std::rename(temp.c_str(), path.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
  }
  return false;
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes) {
  bytes->clear();
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  if (st.st_size < 0 || static_cast<unsigned long long>(st.st_size) > maxBytes) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  // Read to the end (the file may have changed since stat), one byte past
  // the limit at most.
  bool ok = true;
  uint8_t block[65536];
  while (ok) {
    const size_t got = std::fread(block, 1, sizeof block, f);
    if (bytes->size() + got > maxBytes) ok = false;
    else bytes->insert(bytes->end(), block, block + got);
    if (got < sizeof block) {
      ok = ok && !std::ferror(f);
      break;
    }
  }
  std::fclose(f);
  if (!ok) bytes->clear();
  return ok;
}

}  // namespace platform
