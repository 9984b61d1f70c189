#include "testsupport.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace testsupport
