#include "editor/UISettingsFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "platform/files.h"

namespace {

bool isTrailingBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }

// Far more than five lines of any sense; a huge file is not taken in whole.
constexpr size_t kReadLimit = size_t{1} << 20;

}  // namespace

UISettingsFile::Contents UISettingsFile::parse(std::span<const uint8_t> bytes) {
  Contents s;
  s.opened = true;
  const size_t size = bytes.size();
  size_t pos = 0;
  for (int line = 0; line < kLines && pos < size; ++line) {
    size_t end = pos;
    while (end < size && bytes[end] != '\n') ++end;
    std::string text(reinterpret_cast<const char*>(bytes.data()) + pos, end - pos);
    while (!text.empty() && isTrailingBlank(text.back())) text.pop_back();
    s.lines[static_cast<size_t>(line)] = std::move(text);
    pos = end < size ? end + 1 : end;
  }
  const std::string& sizeWord = s.lines[1];
  if (sizeWord == "small") s.scale = 0.75;
  else if (sizeWord == "large") s.scale = 1.25;
  else if (sizeWord == "normal") s.scale = 1.0;
  if (s.lines[0] == "black") s.theme = 1;
  return s;
}

UISettingsFile::Contents UISettingsFile::read(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!platform::readFileStart(path, &bytes, kReadLimit)) return Contents{};
  return parse(bytes);
}

bool UISettingsFile::exists(const std::string& path) {
  const int fd = platform::openRegularFile(path, O_RDONLY);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

bool UISettingsFile::write(const std::string& path, const Lines& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i];
  }
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return platform::writeReplacing(path, bytes);
}
