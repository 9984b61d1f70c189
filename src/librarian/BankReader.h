#pragma once
// Turns the bytes of a bank file into patches. Pure functions over a byte
// span: the reader finds every sound dump in the data whatever else the file
// holds, mends the short dump forms of model 1 material, converts model 1
// sounds, names each patch from its dump and fills a short bank up to 100
// patches with the init patch. It reports nothing: whatever it cannot use it
// skips.
#include <cstdint>
#include <span>

#include "librarian/PatchFile.h"

class BankReader {
 public:
  // Data below this many bytes give no patch at all.
  static constexpr int kMinimumDataSize = 15;
  // Records shorter than this (header included, before F7) are dropped.
  static constexpr int kMinimumRecordLength = 75;
  // Model 1 records of at most this many bytes are converted.
  static constexpr int kLargestModel1Record = 99;
  // Records longer than this keep an empty name and category.
  static constexpr int kLargestNamedRecord = 138;

  // Reads every record of one file into file.patches and fills a short bank
  // up to 100 patches. Returns true when a model 1 record was converted.
  // Data beyond 2 GB are not looked at.
  static bool loadFromChunk(std::span<const uint8_t> data, PatchFile& file);

  // Reads the next record from position on and appends it to file when it is
  // a usable sound dump. Returns the new position: greater than 0 while data
  // remain, -1 at the end (the position is then -1 too). Sets converted when
  // it converted a model 1 record.
  static int readSysexMessage(std::span<const uint8_t> data, int& position, PatchFile& file, int programCounter,
                              bool& converted);

  // The file loop's name for the same reading of raw files.
  static int readSysexMessage2(std::span<const uint8_t> data, int& position, PatchFile& file, int programCounter,
                               bool& converted) {
    return readSysexMessage(data, position, file, programCounter, converted);
  }

  // Moves position to just after the next byte equal to value and returns
  // true; when the data end first, or position is negative on entry, the
  // position becomes -1 and the result is false.
  static bool findByte(std::span<const uint8_t> data, int& position, int value);

  // Fills a file holding 1..99 patches (and noPadding clear) up to 100 with
  // init patches, named from their dump.
  static void checkBankSizeAndAddData(PatchFile& file);
};

// Turns a model 1 sound into a 137-byte model 2 sound dump by the fixed remap
// table: header F0 3E 16 00 00 00 00, the init patch's tail and check byte.
// Source positions that a short source lacks read as 00. The program counter
// does not influence the result.
PatchSysexMessage convertPatchToSorrel2Format(const PatchSysexMessage& source, int programCounter = 0);
