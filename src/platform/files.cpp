#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

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

// The file a write to path lands in: path itself, or with links followed the
// file they finally name; for a name not yet taken, the name inside its
// resolved folder. False for a link that leads nowhere or a folder that
// cannot be resolved.
bool resolveTarget(const std::string& path, std::string& target) {
  struct stat st;
  char resolved[PATH_MAX];
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      target = path;
      return true;
    }
    if (!::realpath(path.c_str(), resolved)) return false;
    target = resolved;
    return true;
  }
  if (errno != ENOENT) return false;
  const size_t sep = path.find_last_of("/\\");
  const std::string folder = sep == std::string::npos ? std::string(".") : path.substr(0, sep + 1);
  if (!::realpath(folder.c_str(), resolved)) return false;
  target = std::string(resolved) + "/" + path.substr(sep == std::string::npos ? 0 : sep + 1);
  return true;
}

// Writes all bytes at offset 0 of an open file and cuts it to their length.
bool writeAt0(int fd, std::span<const uint8_t> bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
}

// Rewrites a file that has further hard links in place, so that all of its
// names see the new bytes; a failed write puts the old bytes back.
bool rewriteInPlace(const std::string& target, std::span<const uint8_t> bytes) {
  std::vector<uint8_t> old;
  if (!readWholeFile(target, &old, SIZE_MAX / 2)) return false;
  const int fd = openRegularFile(target, O_WRONLY);
  if (fd < 0) return false;
  bool ok = writeAt0(fd, bytes) && ::fsync(fd) == 0;
  if (!ok) writeAt0(fd, old);
  ok = (::close(fd) == 0) && ok;
  return ok;
}

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
  std::string target;
  if (!resolveTarget(path, target)) return false;
  // An existing file keeps its permissions, and one that may not be written
  // is not replaced either.
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;
  for (int i = 0; i < kMaxTempTries; ++i) {
    // The temporary file is written in full first, also where the file is
    // then rewritten in place: a folder that cannot take it is not touched.
    const std::string temp = target + ".~" + std::to_string(i) + ".tmp";
    const Created c = createFileExclusive(temp, bytes);
    if (c == Created::Exists) continue;
    if (c == Created::Failed) return false;
    if (exists && old.st_nlink > 1) {
      const bool ok = rewriteInPlace(target, bytes);
      std::remove(temp.c_str());
      return ok;
    }
    if (exists) ::chmod(temp.c_str(), old.st_mode & 07777);
    if (std::rename(temp.c_str(), target.c_str()) == 0) return true;
    std::remove(temp.c_str());
    return false;
  }
  return false;
}

int openRegularFile(const std::string& path, int flags, unsigned mode) {
  if (path.empty()) return -1;
  // The kind is taken from the open file, and opening does not wait for a
  // writer or reader, so a pipe or device put in a file's place is refused.
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

namespace {

// Reads from fd to its end, failing beyond maxBytes (whole) or stopping
// there (!whole). One block past the limit is read at most.
bool readUpTo(int fd, std::vector<uint8_t>* bytes, size_t maxBytes, bool whole) {
  uint8_t block[65536];
  for (;;) {
    const ssize_t n = ::read(fd, block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    const size_t room = maxBytes - bytes->size();
    if (static_cast<size_t>(n) > room) {
      if (whole) return false;
      bytes->insert(bytes->end(), block, block + room);
      return true;
    }
    bytes->insert(bytes->end(), block, block + n);
  }
}

}  // namespace

bool readFileStart(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes) {
  bytes->clear();
  const int fd = openRegularFile(path, O_RDONLY);
  if (fd < 0) return false;
  const bool ok = readUpTo(fd, bytes, maxBytes, false);
  ::close(fd);
  if (!ok) bytes->clear();
  return ok;
}

bool appendToFile(const std::string& path, std::span<const uint8_t> bytes) {
  const int fd = openRegularFile(path, O_WRONLY | O_APPEND | O_CREAT);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return (::close(fd) == 0) && done == bytes.size();
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes) {
  bytes->clear();
  const int fd = openRegularFile(path, O_RDONLY);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && st.st_size >= 0 && static_cast<unsigned long long>(st.st_size) <= maxBytes;
  if (ok) {
    bytes->reserve(static_cast<size_t>(st.st_size));
    // Read to the end: the file may have grown since.
    ok = readUpTo(fd, bytes, maxBytes, true);
  }
  ::close(fd);
  if (!ok) bytes->clear();
  return ok;
}

}  // namespace platform
