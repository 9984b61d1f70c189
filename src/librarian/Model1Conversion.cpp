// Model 1 sounds come in a shorter dump with another order of parameters;
// the librarian keeps only model 2 sounds and remaps each model 1 sound byte
// by byte.
#include "librarian/BankReader.h"

namespace {

// Result positions 0..78: a source position, or (kConst | byte) for a fixed
// byte. From position 79 on the result is the init patch's tail.
constexpr uint16_t kConst = 0x100;
constexpr uint16_t C(uint8_t v) { return kConst | v; }

constexpr uint16_t kRemap[79] = {
    C(0xF0), C(0x3E), C(0x16), C(0x00), C(0x00), C(0x00), C(0x00), 8,  // 0-7
    9,  6,  7,  C(0x01), 19, 12, 13, 10,                                // 8-15
    11, 15, 20, 18, C(0x00), 16, 17, 14,                                // 16-23
    21, 23, 24, 25, 26, 41, 42, 27,                                     // 24-31
    28, 29, 30, C(0x00), 32, 33, 34, 35,                                // 32-39
    36, C(0x00), 38, 56, 57, 58, 59, C(0x00),                           // 40-47
    60, 61, 67, 63, C(0x00), 62, 64, C(0x00),                           // 48-55
    C(0x00), 70, 22, 68, 69, 44, 45, 46,                                // 56-63
    47, 48, 49, 50, 51, 52, 53, 54,                                     // 64-71
    55, 40, 39, C(0x00), 65, 66, C(0x0A)};                              // 72-78

constexpr int kTailStart = 79;
constexpr int kDoubledSource = 43;   // fills result positions 92 and 93
constexpr int kSourceName = 76;      // 14 name bytes, then the category
constexpr int kSourceCategory = 90;

}  // namespace

PatchSysexMessage convertPatchToSorrel2Format(const PatchSysexMessage& source, int) {
  // Positions the source lacks read as 00, and so does the F7 that closes a
  // short source: it is no sound data, and inside a dump it would end the
  // message early.
  const size_t length = (!source.empty() && source.back() == 0xF7) ? source.size() - 1 : source.size();
  auto at = [&source, length](size_t i) -> uint8_t { return i < length ? source[i] : 0x00; };
  PatchSysexMessage result;
  result.reserve(kSoundDumpSize);
  for (uint16_t entry : kRemap)
    result.push_back((entry & kConst) ? static_cast<uint8_t>(entry & 0xFF) : at(entry));
  result.insert(result.end(), initSinglePatch.begin() + kTailStart, initSinglePatch.end());
  result[92] = at(kDoubledSource);
  result[93] = at(kDoubledSource);
  for (int i = 0; i < kDumpNameLength; ++i) result[kDumpNameOffset + i] = at(kSourceName + i);
  result[kDumpCategoryOffset] = at(kSourceCategory);
  return result;
}
