#include "platform/folders.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::string g_dataOverride;
std::string g_resourceOverride;

std::string fromEnv(const char* name) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : std::string();
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
  return kDefaultDataFolder;
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
