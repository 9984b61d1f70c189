#include "librarian/BankFileIO.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace bankfileio {

namespace {

// Writes and closes; false when any byte or the close failed.
bool writeAndClose(std::FILE* f, std::span<const uint8_t> bytes) {
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fflush(f) == 0) && ok;
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

constexpr int kMaxNameTries = 1000;

enum class Created { Written, Exists, Failed };

// Creates path exclusively and writes the bytes; a failed write leaves no file.
Created createExclusive(const std::string& path, std::span<const uint8_t> bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wbx");
  if (!f) return errno == EEXIST ? Created::Exists : Created::Failed;
  if (writeAndClose(f, bytes)) return Created::Written;
  std::remove(path.c_str());
  return Created::Failed;
}

}  // namespace

bool writeNew(const std::string& path, std::span<const uint8_t> bytes) {
  return !path.empty() && createExclusive(path, bytes) == Created::Written;
}

bool writeReplacing(const std::string& path, std::span<const uint8_t> bytes) {
  if (path.empty() || path.back() == '/' || path.back() == '\\') return false;
  // An existing file keeps its permissions, and one that may not be written
  // is not replaced either.
  struct stat old {};
  const bool exists = ::stat(path.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || ::access(path.c_str(), W_OK) != 0)) return false;
  for (int i = 0; i < kMaxNameTries; ++i) {
    const std::string temp = path + ".~" + std::to_string(i) + ".tmp";
    const Created c = createExclusive(temp, bytes);
    if (c == Created::Exists) continue;
    if (c == Created::Failed) return false;
    if (exists) ::chmod(temp.c_str(), old.st_mode & 07777);
    if (std::rename(temp.c_str(), path.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
  }
  return false;
}

std::string folderPart(const std::string& path) {
  const size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

std::string lastComponent(const std::string& path) {
  const size_t sep = path.find_last_of("/\\");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string writeUnderFreeName(const std::string& folder, const std::string& stem, const std::string& ext,
                               std::span<const uint8_t> bytes,
                               const std::function<bool(const std::string& path)>& mayReplace) {
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::string name = n == 1 ? stem + ext : stem + " (" + std::to_string(n) + ")" + ext;
    const std::string path = folder + name;
    if (mayReplace && mayReplace(path)) return writeReplacing(path, bytes) ? name : std::string();
    const Created c = createExclusive(path, bytes);
    if (c == Created::Written) return name;
    if (c == Created::Failed) return {};
  }
  return {};
}

}  // namespace bankfileio
