#include "librarian/LibrarianPatch.h"

#include <cstring>

#include "framework/ByteChunk.h"
#include "hardware/SysexProtocol.h"
#include "librarian/BankFormats.h"

namespace {

const char* const kCategoryNames[kCategoryCount] = {
    "NONE", "ARP ", "ATMO", "BASS", "DRUM", "FX  ", "KEYS", "LEAD", "MONO", "PAD ", "PERC",
    "POLY", "SEQ ", "DUB ", "LUSH", "STRG", "PLUK", "WIND", "NOIS", "EXFX", "INIT"};

}  // namespace

const char* categoryName(int code) {
  if (code < 0 || code >= kCategoryCount) code = kCategoryCount - 1;
  return kCategoryNames[code];
}

uint8_t dumpCheckByte(std::span<const uint8_t> message) {
  return static_cast<uint8_t>(sysex::calculateCheckSum(message.data(), message.size()));
}

bool isFramedSoundDump(std::span<const uint8_t> message) {
  return message.size() == kSoundDumpSize && message.front() == 0xF0 && message.back() == 0xF7;
}

LibrarianPatch LibrarianPatch::fromDump(std::span<const uint8_t> dump) {
  LibrarianPatch p;
  p.messages.emplace_back(dump.begin(), dump.end());
  return p;
}

LibrarianPatch LibrarianPatch::initPatch() {
  LibrarianPatch p = fromDump(initSinglePatch);
  p.takeNameAndCategory();
  return p;
}

void LibrarianPatch::parseCategory() {
  if (messages.empty() || messages[0].size() <= kDumpCategoryOffset) {
    category.clear();
    return;
  }
  // Every category name is four characters long.
  category = std::string(categoryName(messages[0][kDumpCategoryOffset]), 4);
}

namespace {

// Eight name bytes as the patch shows them: a-z upper-cased, every other
// byte kept (bytes with the high bit set included), worked on together.
uint64_t upperCased(uint64_t x) {
  constexpr uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
  const uint64_t low7 = x & ~kHigh;
  const uint64_t atLeastA = low7 + (0x80 - 'a') * kOnes;    // bit 7 where low7 >= 'a'
  const uint64_t pastZ = low7 + (0x80 - 'z' - 1) * kOnes;   // bit 7 where low7 > 'z'
  const uint64_t lower = atLeastA & ~pastZ & ~x & kHigh;
  return x - (lower >> 2);  // 0x20 off each lower-case letter
}

// The name field of a dump as the patch shows it, in two overlapping words.
void nameOf(const uint8_t* field, char (&out)[kDumpNameLength]) {
  static_assert(kDumpNameLength > 8 && kDumpNameLength <= 16);
  constexpr int kSecond = kDumpNameLength - 8;
  uint64_t a, b;
  std::memcpy(&a, field, 8);
  std::memcpy(&b, field + kSecond, 8);
  a = upperCased(a);
  b = upperCased(b);
  std::memcpy(out, &a, 8);
  std::memcpy(out + kSecond, &b, 8);
}

}  // namespace

void LibrarianPatch::takeNameAndCategory() {
  if (messages.empty() || messages[0].size() <= kDumpCategoryOffset) {
    name.clear();
    category.clear();
    return;
  }
  char upper[kDumpNameLength];
  nameOf(messages[0].data() + kDumpNameOffset, upper);
  // Made whole and moved in: the name fits the string's own room.
  name = std::string(upper, kDumpNameLength);
  parseCategory();
}

bool LibrarianPatch::namedFromDump() const {
  if (messages.empty() || messages[0].size() <= kDumpCategoryOffset) return name.empty() && category.empty();
  if (name.size() != static_cast<size_t>(kDumpNameLength) || category.size() != 4) return false;
  char upper[kDumpNameLength];
  nameOf(messages[0].data() + kDumpNameOffset, upper);
  return std::memcmp(name.data(), upper, kDumpNameLength) == 0 &&
         std::memcmp(category.data(), categoryName(messages[0][kDumpCategoryOffset]), 4) == 0;
}

void LibrarianPatch::save(std::vector<uint8_t>& out, bool midi, int index) const {
  if (messages.empty()) {
    appendMessage(out, initSinglePatch, midi, index == 0 ? 0 : kMidiDumpSpacingTicks);
    return;
  }
  for (size_t i = 0; i < messages.size(); ++i)
    appendMessage(out, messages[i], midi, (index == 0 && i == 0) ? 0 : kMidiDumpSpacingTicks);
}

bool LibrarianPatch::save(ByteChunk* buffer, bool midi, int index) const {
  if (!buffer) return false;
  std::vector<uint8_t> bytes;
  save(bytes, midi, index);
  return bytes.empty() || buffer->Put(bytes.data(), static_cast<int>(bytes.size())) != 0;
}
