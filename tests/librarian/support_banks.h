#pragma once
// Builders of bank-file bytes for the librarian tests, made from the layouts
// the librarian reads: model 2 sound dumps, model 1 dumps and short forms,
// raw banks and Standard MIDI File banks.
#include <cstdint>
#include <string>
#include <vector>

#include "librarian/PatchFile.h"

namespace banks {

using Bytes = std::vector<uint8_t>;
using Names = std::vector<std::string>;

// A model 2 sound dump of 137 bytes: header F0 3E 16 dev 10 bank prog, a
// body that differs by seed, the 14-byte name (padded with blanks), the
// category and a correct check byte.
Bytes model2Dump(int seed, const std::string& name, uint8_t category, uint8_t device = 0, uint8_t bank = 0,
                 uint8_t program = 0);
// The dump as the reader keeps it: header bytes 3..6 set to 00 10 00 00.
Bytes asRead(Bytes dump);
// The dump with its check byte recomputed.
Bytes withCheckByte(Bytes dump);

// A model 1 dump: F0 3E 0B 00 10 00 00, then body bytes up to a total
// length of `length` bytes before F7 (so the record length the reader sees
// is `length`), then F7. Body byte at position p is (p * 7 + seed) & 0x7F.
Bytes model1Dump(int length, int seed);

// n model 2 dumps named "PATCH nn" with category n % 21.
std::vector<Bytes> namedDumps(int n, int seed = 0);

Bytes rawBank(const std::vector<Bytes>& dumps);
// A Standard MIDI File bank of 137-byte dumps, as other programs write it.
Bytes midiBank(const std::vector<Bytes>& dumps);

// "PATCH nn" padded to 14 characters.
std::string patchName(int n);

// The librarian's record of a dump, with its name and category taken.
LibrarianPatch patchOf(const Bytes& dump);
std::vector<LibrarianPatch> patchesOf(const std::vector<Bytes>& dumps);
// The bank the reader makes of the bytes.
PatchFile readBank(const Bytes& data);

}  // namespace banks
