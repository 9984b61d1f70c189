// Feeds arbitrary bytes to the editor-state block reader: no read outside the
// data, a result of -1 or a position inside the data, and names 0-2 always
// 13 bytes long.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "librarian/PatchManager.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the start position, so blocks in the middle of a
  // chunk and positions past its end are tried too.
  int pos = 0;
  if (size > 0) {
    pos = static_cast<int>(data[0] % 8) - 1;
  }
  PatchManager pm;
  const int end = pm.loadAllFromBytes(data, size, pos);
  if (end != -1 && (end < 0 || static_cast<size_t>(end) > size)) std::abort();
  if (pm.state.Size() < 0 || static_cast<size_t>(pm.state.Size()) > size) std::abort();
  for (int i = 0; i < 3; ++i)
    if (pm.names[i].size() != PatchManager::kShortNameLimit) std::abort();

  // What was read must write out and read back to the same texts.
  ByteChunk again;
  pm.saveAllToChunk(&again);
  PatchManager pm2;
  const int end2 = pm2.loadAllFromChunk(&again, 0);
  if (end2 != again.Size()) std::abort();
  for (int i = 0; i < 5; ++i) {
    const std::string a = pm.names[i].substr(0, pm.names[i].find('\0'));
    const std::string b = pm2.names[i].substr(0, pm2.names[i].find('\0'));
    const size_t limit = i < 3 ? PatchManager::kShortNameLimit : PatchManager::kPortNameLimit;
    if (b.size() > limit || a.compare(0, b.size(), b) != 0) std::abort();
  }
  return 0;
}

void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  PatchManager pm;
  const uint8_t st[] = {0, 0, 0, 1, 10, 20, 30};
  pm.state.Put(st, sizeof st);
  pm.names[3] = "MIDI In Port";
  pm.names[4] = "MIDI Out Port";
  std::vector<uint8_t> b = pm.blockBytes();
  b.insert(b.begin(), 2);  // start byte: the block begins at position 1
  seeds.push_back(b);
  PatchManager empty;
  std::vector<uint8_t> e = empty.blockBytes();
  e.insert(e.begin(), 2);
  seeds.push_back(e);
}
