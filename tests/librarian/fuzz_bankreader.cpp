// Arbitrary bytes into the bank reader: no crash, every patch a record the
// reader can stand behind, and a bank of exactly 100 patches after filling.
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "librarian/BankFormats.h"
#include "librarian/BankReader.h"
#include "librarian/PatchLibrarian.h"
#include "support_banks.h"

#include "support_banks.cpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PatchFile file;
  BankReader::loadFromChunk(std::span<const uint8_t>(data, size), file);
  const size_t n = file.patches.size();
  // Each record takes at least 75 bytes of the data; short banks are filled.
  if (n != 0 && n < static_cast<size_t>(kBankSize)) std::abort();
  if (n > static_cast<size_t>(kBankSize) && n > size / 75) std::abort();
  for (const LibrarianPatch& p : file.patches) {
    if (p.messages.size() != 1) std::abort();
    const PatchSysexMessage& m = p.messages[0];
    if (m.size() < 76 || m.front() != 0xF0 || m.back() != 0xF7) std::abort();
    if (!p.name.empty() && p.name.size() != kDumpNameLength) std::abort();
    if (p.name.empty() != p.category.empty()) std::abort();
  }
  // What the scan lists: exactly 100 patches a bank, the rest as split banks.
  PatchLibrarian::makeExactBank(&file);
  if (file.patches.size() != static_cast<size_t>(kBankSize)) std::abort();
  // A written bank of clean dumps reads back to the same patches (checked for
  // half the inputs, to keep the run short).
  if (size % 4 >= 2) return 0;
  bool clean = true;
  for (const LibrarianPatch& p : file.patches) {
    const uint8_t* b = p.messages[0].data();
    for (const uint8_t *q = b + 1, *end = b + p.messages[0].size() - 1; clean && q < end; ++q) clean = *q < 0x80;
  }
  const bool midi = size % 2 == 0;
  for (const LibrarianPatch& p : file.patches) clean = clean && (!midi || p.messages[0].size() == kSoundDumpSize);
  const std::vector<uint8_t> again = buildBankBytes(file.patches, midi);
  PatchFile back;
  BankReader::loadFromChunk(again, back);
  if (back.patches.empty()) std::abort();
  if (clean && back.patches.size() != static_cast<size_t>(kBankSize)) std::abort();
  // Every record read once stays as it is when written and read again; only
  // a sound dump's header bytes 3-6 (the filling init sounds carry bank 7F, a
  // converted dump command 00) and its check byte (recomputed by the writer)
  // may change.
  for (size_t i = 0; clean && i < back.patches.size(); ++i) {
    PatchSysexMessage before = file.patches[i].messages[0];
    const PatchSysexMessage& after = back.patches[i].messages[0];
    if (before.size() == kSoundDumpSize && after.size() == kSoundDumpSize) {
      std::copy(after.begin() + 3, after.begin() + 7, before.begin() + 3);
      before[kDumpCheckOffset] = after[kDumpCheckOffset];
    }
    if (before != after) std::abort();
  }
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(banks::rawBank(banks::namedDumps(100)));
  seeds.push_back(banks::midiBank(banks::namedDumps(100, 3)));
  seeds.push_back(banks::rawBank(banks::namedDumps(7)));
  std::vector<uint8_t> model1;
  for (int len : {75, 76, 80, 91, 99, 120}) {
    const auto d = banks::model1Dump(len, len);
    model1.insert(model1.end(), d.begin(), d.end());
  }
  seeds.push_back(model1);
}
