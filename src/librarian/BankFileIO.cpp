#include "librarian/BankFileIO.h"

#include <string>

#include "platform/files.h"

namespace bankfileio {

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
  constexpr int kMaxNameTries = 1000;
  for (int n = 1; n <= kMaxNameTries; ++n) {
    const std::string name = n == 1 ? stem + ext : stem + " (" + std::to_string(n) + ")" + ext;
    const std::string path = folder + name;
    if (mayReplace && mayReplace(path)) return writeReplacing(path, bytes) ? name : std::string();
    const platform::Created c = platform::createFileExclusive(path, bytes);
    if (c == platform::Created::Written) return name;
    if (c == platform::Created::Failed) return {};
  }
  return {};
}

}  // namespace bankfileio
