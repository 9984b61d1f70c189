#include "librarian/LibrarianPatch.h"

#include "framework/ByteChunk.h"
#include "librarian/BankFormats.h"

namespace {

const char* const kCategoryNames[kCategoryCount] = {
    "NONE", "ARP ", "ATMO", "BASS", "DRUM", "FX  ", "KEYS", "LEAD", "MONO", "PAD ", "PERC",
    "POLY", "SEQ ", "DUB ", "LUSH", "STRG", "PLUK", "WIND", "NOIS", "EXFX", "INIT"};

}  // namespace

const std::array<uint8_t, kSoundDumpSize> initSinglePatch = {
    0xF0, 0x3E, 0x16, 0x00, 0x10, 0x7F, 0x00, 0x00, 0x7F, 0x40, 0x40, 0x01, 0x28, 0x00, 0x7F, 0x40,  // 0-15
    0x40, 0x01, 0x00, 0x00, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00, 0x40, 0x00, 0x0A, 0x00, 0x00,  // 16-31
    0x2A, 0x2A, 0x2A, 0x00, 0x02, 0x00, 0x2A, 0x7F, 0x2A, 0x00, 0x02, 0x00, 0x01, 0x25, 0x09, 0x00,  // 32-47
    0x00, 0x7F, 0x00, 0x40, 0x00, 0x40, 0x40, 0x00, 0x00, 0x40, 0x00, 0x64, 0x40, 0x02, 0x46, 0x00,  // 48-63
    0x00, 0x40, 0x0A, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00, 0x40, 0x00, 0x00,  // 64-79
    0x40, 0x00, 0x00, 0x40, 0x00, 0x0A, 0x0A, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x03, 0x03, 0x06, 0x40,  // 80-95
    0x40, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32, 0x32,  // 96-111
    0x32, 0x0F, 0x0D, 0x00, 0x00, 0x00, 0x00, 0x01, 0x49, 0x4E, 0x49, 0x54, 0x20, 0x20, 0x20, 0x20,  // 112-127
    0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x2A, 0xF7};                                         // 128-136

const char* categoryName(int code) {
  if (code < 0 || code >= kCategoryCount) code = kCategoryCount - 1;
  return kCategoryNames[code];
}

uint8_t dumpCheckByte(std::span<const uint8_t> message) {
  if (message.size() < 4) return 0;
  unsigned sum = 0;
  const uint8_t* p = message.data();
  for (const uint8_t* end = p + message.size() - 2, *q = p + 1; q < end; ++q) sum += *q;
  return static_cast<uint8_t>(sum & 0x7F);
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
  category = categoryName(messages[0][kDumpCategoryOffset]);
}

void LibrarianPatch::takeNameAndCategory() {
  name.clear();
  category.clear();
  if (messages.empty() || messages[0].size() <= kDumpCategoryOffset) return;
  const uint8_t* field = messages[0].data() + kDumpNameOffset;
  name.assign(reinterpret_cast<const char*>(field), kDumpNameLength);
  for (char& c : name)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  parseCategory();
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
