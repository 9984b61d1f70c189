#include "librarian/LibrarianPatch.h"

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
  category.assign(categoryName(messages[0][kDumpCategoryOffset]), 4);
}

void LibrarianPatch::takeNameAndCategory() {
  if (messages.empty() || messages[0].size() <= kDumpCategoryOffset) {
    name.clear();
    category.clear();
    return;
  }
  const uint8_t* field = messages[0].data() + kDumpNameOffset;
  char upper[kDumpNameLength];
  for (int i = 0; i < kDumpNameLength; ++i) {
    const char c = static_cast<char>(field[i]);
    upper[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
  }
  name.assign(upper, kDumpNameLength);
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
