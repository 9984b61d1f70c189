#pragma once
// Helpers shared by the test programs.
#include <cstdint>
#include <string>
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

std::vector<uint8_t> readFile(const std::string& path);
bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
bool writeFile(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);

}  // namespace testsupport
