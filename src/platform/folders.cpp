#include "platform/folders.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_dataOverride;
std::string g_resourceOverride;

std::string fromEnv(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : std::string();
}

// An environment value or a home that names a folder from the root, else
// empty.
std::string absoluteOnly(std::string path) { return !path.empty() && path[0] == '/' ? path : std::string(); }

// The home folder the password database gives this user, or empty.
std::string passwordDatabaseHome() {
  const long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(hint > 0 ? static_cast<size_t>(hint) : size_t{16384});
  passwd entry{};
  passwd* found = nullptr;
  // A buffer too small for the entry is grown, within reason.
  while (getpwuid_r(getuid(), &entry, buf.data(), buf.size(), &found) == ERANGE && buf.size() < (size_t{1} << 20)) {
    found = nullptr;
    buf.resize(buf.size() * 2);
  }
  return found && found->pw_dir ? std::string(found->pw_dir) : std::string();
}

bool isFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string withTrailingSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

std::string dataFolder() {
  {
    std::lock_guard<std::mutex> l(g_mutex);
    if (!g_dataOverride.empty()) return withTrailingSlash(g_dataOverride);
  }
  std::string env = fromEnv(kDataFolderEnv);
  if (!env.empty()) return withTrailingSlash(env);
  return defaultDataFolder();
}

std::string userDataHome() {
  const std::string xdg = absoluteOnly(fromEnv("XDG_DATA_HOME"));
  if (!xdg.empty()) return withTrailingSlash(xdg);
  std::string home = absoluteOnly(fromEnv("HOME"));
  if (home.empty()) home = absoluteOnly(passwordDatabaseHome());
  if (home.empty()) return "";
  return withTrailingSlash(home) + ".local/share/";
}

std::string defaultDataFolder() {
#ifdef __linux__
  const std::string home = userDataHome();
  if (!home.empty()) return home + kDataFolderInDataHome;
#endif
  return kDefaultDataFolder;
}

FolderState makeFolders(const std::string& path, unsigned mode) {
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  if (folder.empty()) return FolderState::NotMade;
  // Each folder from the top down; one that is there already (or that
  // another process makes meanwhile) is passed, whatever mkdir said of it.
  for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string step = folder.substr(0, end);
    if (::mkdir(step.c_str(), static_cast<mode_t>(mode)) != 0 && !isFolder(step)) return FolderState::NotMade;
    if (end == std::string::npos) break;
  }
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return FolderState::NotWritable;
  return FolderState::Ready;
}

FolderState makeDataFolder() {
  const std::string folder = dataFolder();
  const std::string home = userDataHome();
  if (!home.empty() && folder == home + kDataFolderInDataHome) (void)makeFolders(home, 0700);
  const FolderState made = makeFolders(folder);
  if (made != FolderState::Ready) return made;
  return makeFolders(folder + kPatchesFolderName);
}

std::string moduleFolder() {
  Dl_info info{};
  std::string path;
  if (dladdr(reinterpret_cast<void*>(&moduleFolder), &info) && info.dli_fname && *info.dli_fname)
    path = info.dli_fname;
  if (path.empty() || path.find('/') == std::string::npos) {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) path.assign(buf, static_cast<size_t>(n));
  }
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./";
  return path.substr(0, slash + 1);
}

std::string resourceFolder() {
  {
    std::lock_guard<std::mutex> l(g_mutex);
    if (!g_resourceOverride.empty()) return withTrailingSlash(g_resourceOverride);
  }
  std::string env = fromEnv(kResourceFolderEnv);
  if (!env.empty()) return withTrailingSlash(env);
  return resourceFolderOfModule(moduleFolder());
}

std::string resourceFolderOfModule(const std::string& folder) {
  std::string mod = withTrailingSlash(folder);
  // A module in a folder directly inside "Contents" (MacOS, x86_64-linux,
  // ...) takes the sibling "Resources/".
  if (mod.size() >= 2) {
    const size_t slash = mod.rfind('/', mod.size() - 2);
    if (slash != std::string::npos && endsWith(mod.substr(0, slash + 1), "/Contents/"))
      return mod.substr(0, slash + 1) + "Resources/";
  }
  return mod + "Contents/Resources/";
}

void setDataFolder(const std::string& path) {
  std::lock_guard<std::mutex> l(g_mutex);
  g_dataOverride = path;
}

void setResourceFolder(const std::string& path) {
  std::lock_guard<std::mutex> l(g_mutex);
  g_resourceOverride = path;
}

}  // namespace platform
