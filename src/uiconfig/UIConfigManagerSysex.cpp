// The system-exclusive list: its entries, message templates as ints, and
// the messages a control sends, one per value.
#include <tinyxml2.h>

#include <climits>
#include <cstring>

#include "uiconfig/UIConfigManager.h"

namespace {

using tinyxml2::XMLElement;

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

enum class HexRead { kNumber, kNoNumber, kTooLarge };

// A token read as a hexadecimal int the way stream extraction does: leading
// white space skipped, an optional sign and "0x" prefix, digits up to the
// first character that cannot continue the number.
HexRead readHex(const std::string& token, int* out) {
  *out = 0;
  size_t i = 0;
  while (i < token.size() && token[i] != '\0' && std::strchr(" \t\n\v\f\r", token[i])) ++i;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
  if (i + 1 < token.size() && token[i] == '0' && (token[i + 1] == 'x' || token[i + 1] == 'X')) {
    if (i + 2 < token.size() && hexDigit(token[i + 2]) >= 0)
      i += 2;
    else
      return HexRead::kNumber;  // "0x" with nothing after it reads the 0
  }
  const size_t first = i;
  long long v = 0;
  bool large = false;
  for (int d; i < token.size() && (d = hexDigit(token[i])) >= 0; ++i) {
    v = v * 16 + d;
    if (v > (long long)INT_MAX + 1) large = true, v = (long long)INT_MAX + 2;
  }
  if (i == first) return HexRead::kNoNumber;
  if (negative) v = -v;
  if (large || v < INT_MIN || v > INT_MAX) return HexRead::kTooLarge;
  *out = (int)v;
  return HexRead::kNumber;
}

}  // namespace

void UIConfigManager::readSysexValues() {
  log("CONFIG READER: Started to read SysEx Data...");
  tinyxml2::XMLDocument doc(true, tinyxml2::PRESERVE_WHITESPACE);
  if (readDescription(kSysexResource, kSysexFile, doc)) {
    XMLElement* root = doc.FirstChildElement("sysexlist");
    if (!root) log(std::string("CONFIG READER: ") + kSysexFile + " HAS NO sysexlist ELEMENT!");
    XMLElement* first = root ? root->FirstChildElement("sysex") : nullptr;
    for (XMLElement* entry = first; entry; entry = entry->NextSiblingElement()) {
      SysExContainer container;
      for (XMLElement* list = entry->FirstChildElement("values"); list; list = list->NextSiblingElement()) {
        if (XMLElement* value = list->FirstChildElement("value")) {
          Values values;
          for (; value; value = value->NextSiblingElement()) {
            const char* t = value->GetText();
            std::string text = t ? t : " ";
            if (!text.empty()) values.push_back(std::move(text));
          }
          container.values.push_back(std::move(values));
        } else {
          std::vector<Values> group;
          for (XMLElement* multi = list->FirstChildElement("multivalue"); multi; multi = multi->NextSiblingElement()) {
            Values values;
            for (XMLElement* v = multi->FirstChildElement("value"); v; v = v->NextSiblingElement()) {
              const char* t = v->GetText();
              values.emplace_back(t ? t : "");
            }
            group.push_back(std::move(values));
          }
          container.multiValues.push_back(std::move(group));
          container.multiValue = true;
        }
      }
      m_sysexContainers.push_back(std::move(container));
    }
  }
  log("CONFIG READER: Completed reading SysEx data!");
}

std::vector<int> UIConfigManager::convertStringSysextoVector(const std::string& text) {
  std::vector<std::string> tokens;
  Tokenize(text, tokens, " ");
  std::vector<int> bytes;
  bytes.reserve(tokens.size());
  for (const std::string& token : tokens) {
    int v;
    if (readHex(token, &v) == HexRead::kTooLarge)
      log("CONFIG READER: SysEx value " + token + " does not fit an int, read as 0");
    bytes.push_back(v);
  }
  return bytes;
}

void UIConfigManager::calculateSysexWithChangingByte(const std::string& text, int changingByte, int count,
                                                     ControlActionSysExMessage* target, int start, int copy) {
  if (!target) return;
  std::vector<SysexMessageInts> messages;
  const std::vector<int> b = convertStringSysextoVector(text);
  if (changingByte < 1 || (size_t)changingByte > b.size() || count > kMaxMessages) {
    target->messages = std::move(messages);
    return;
  }
  const size_t at = (size_t)changingByte - 1;
  long long v = start;
  int i = 0;
  if (start == -1) {
    messages.push_back(b);
    v = b[at];
    i = 1;
  }
  for (; i < count; ++i) {
    SysexMessageInts m = b;
    if (v == 128) v = 0;  // one 7-bit wrap
    if (copy == 1 && m.size() >= 6) {
      const long long b4 = m[4];
      m[4] = (int)(b4 + 16 < 128 ? b4 + 16 : b4 - 112);
      m[5] = (int)((long long)m[5] + 1);
    }
    m[at] = (int)v;
    messages.push_back(std::move(m));
    ++v;
  }
  target->messages = std::move(messages);
}
