#include "librarian/BankFileIO.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/files.h"

namespace bankfileio {

bool holdsBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::vector<uint8_t> content;
  return platform::readWholeFile(path, &content, bytes.size()) && content.size() == bytes.size() &&
         std::equal(content.begin(), content.end(), bytes.begin());
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
                               const std::function<bool(const std::string& path)>& mayReplace, bool* found) {
  constexpr int kMaxNameTries = 1000;
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::string name = n == 1 ? stem + ext : stem + " (" + std::to_string(n) + ")" + ext;
    const std::string path = folder + name;
    // Written before (by an earlier start, say): not written twice.
    if (holdsBytes(path, bytes)) {
      if (found) *found = true;
      return name;
    }
    if (mayReplace && mayReplace(path)) return writeReplacing(path, bytes) ? name : std::string();
    const platform::Created c = platform::createFileExclusive(path, bytes);
    if (c == platform::Created::Written) return name;
    if (c == platform::Created::Failed) return {};
  }
  return {};
}

}  // namespace bankfileio
