#include "librarian/BankReader.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "hardware/SysexProtocol.h"
#include "librarian/BankFormats.h"

namespace {

constexpr uint8_t kMaker = sysex::kManufacturer;
constexpr uint8_t kModel2 = sysex::kModel;
constexpr uint8_t kModel1 = sysex::kModelPrevious;
constexpr uint8_t kSoundDumpCommand = sysex::kCmdSoundDump;
constexpr uint8_t kEox = sysex::kEnd;
// Category code of the short forms' name: 20, "INIT".
constexpr uint8_t kShortFormCategory = 0x14;

// Positions are ints; keep every position and position + 1 representable.
std::span<const uint8_t> limited(std::span<const uint8_t> data) {
  constexpr size_t kMax = static_cast<size_t>(INT_MAX) - 2;
  return data.size() > kMax ? data.first(kMax) : data;
}

// One byte at position: true and position + 1, or false and position -1.
bool readByte(std::span<const uint8_t> data, int& position, uint8_t& out) {
  if (position < 0 || static_cast<size_t>(position) >= data.size()) {
    position = -1;
    return false;
  }
  out = data[static_cast<size_t>(position)];
  ++position;
  return true;
}

}  // namespace

bool BankReader::findByte(std::span<const uint8_t> data, int& position, int value) {
  data = limited(data);
  if (position < 0) {
    position = -1;
    return false;
  }
  const size_t from = static_cast<size_t>(position);
  if (value < 0 || value > 0xFF || from >= data.size()) {
    position = -1;
    return false;
  }
  const void* hit = std::memchr(data.data() + from, value, data.size() - from);
  if (!hit) {
    position = -1;
    return false;
  }
  position = static_cast<int>(static_cast<const uint8_t*>(hit) - data.data()) + 1;
  return true;
}

namespace {

// Reads the next record from position on and appends it to patches when it
// is a usable sound dump (see BankReader::readSysexMessage).
int readRecord(std::span<const uint8_t> data, int& position, std::vector<LibrarianPatch>& patches, int programCounter,
               bool& converted) {
  if (!BankReader::findByte(data, position, kMaker)) return -1;

  // Model, device, command, bank and program: only tested, never kept.
  uint8_t model = 0, b = 0;
  if (!readByte(data, position, model)) return -1;
  if (model != kModel2 && model != kModel1) return position;
  if (!readByte(data, position, b)) return -1;
  if (b >= 0x80) return position;
  if (!readByte(data, position, b)) return -1;
  if (b > kSoundDumpCommand) return position;
  if (!readByte(data, position, b)) return -1;
  if (b >= 0x80) return position;
  if (!readByte(data, position, b)) return -1;
  if (b >= 0x80) return position;

  // Whatever the file said, the record is a model 2 dump for device 0,
  // command 10, location 0.
  // Copy up to the F7; a record cut off by the end of the data is dropped.
  const int bodyStart = position;
  if (!BankReader::findByte(data, position, kEox)) return -1;
  static const uint8_t kHeader[] = {0xF0, kMaker, kModel2, 0x00, kSoundDumpCommand, 0x00, 0x00};
  const size_t body = static_cast<size_t>(position - 1 - bodyStart);
  const size_t length = sizeof kHeader + body;
  if (length < static_cast<size_t>(BankReader::kMinimumRecordLength)) return position;
  // The whole record at once: a short form gains its name, a model 1
  // record of 91 bytes its category byte, and every record its F7.
  const size_t grows = length == 75 ? 16 : length == 76 ? 15 : (length == 91 && model == kModel1) ? 1 : 0;
  PatchSysexMessage record(length + grows + 1);
  std::memcpy(record.data(), kHeader, sizeof kHeader);
  std::memcpy(record.data() + sizeof kHeader, data.data() + bodyStart, body);
  size_t end = length;
  if (length == 75 || length == 76) {
    // A 00 byte is added to the shorter form; the longer one has its byte
    // 74 set to 00.
    if (length == 75)
      record[end++] = 0x00;
    else
      record[74] = 0x00;
    // "Sound", seven blanks, the counter in two digits, then the category.
    static const char kWord[] = "Sound       ";
    std::memcpy(record.data() + end, kWord, 12);
    const int counter = ((programCounter % 100) + 100) % 100;
    record[end + 12] = static_cast<uint8_t>('0' + counter / 10);
    record[end + 13] = static_cast<uint8_t>('0' + counter % 10);
    record[end + 14] = kShortFormCategory;
    end += 15;
  } else if (length == 91 && model == kModel1) {
    // A model 1 record of this length is converted below, which never reads
    // the appended byte. A model 2 record is kept as it is: appending would
    // make a mended short form (91 bytes before its F7) grow by one byte
    // every time its bank is written and read again.
    record[end++] = kShortFormCategory;
  }
  record[end] = kEox;
  // Over the byte that follows the record (the next F0, or the first byte of
  // the next event's delta time).
  ++position;

  if (model == kModel1 && record.size() <= static_cast<size_t>(BankReader::kLargestModel1Record)) {
    record = convertPatchToSorrel2Format(record, programCounter);
    converted = true;
  }

  LibrarianPatch& patch = patches.emplace_back();
  patch.messages.reserve(1);
  patch.messages.push_back(std::move(record));
  if (patch.messages[0].size() <= static_cast<size_t>(BankReader::kLargestNamedRecord)) patch.takeNameAndCategory();
  return position;
}

}  // namespace

int BankReader::readSysexMessage(std::span<const uint8_t> data, int& position, PatchFile& file, int programCounter,
                                 bool& converted) {
  std::vector<LibrarianPatch> read;
  const int result = readRecord(limited(data), position, read, programCounter, converted);
  if (!read.empty()) {
    file.patches.push_back(std::move(read.front()));
    file.noPadding = 0;
  }
  return result;
}

bool BankReader::loadFromChunk(std::span<const uint8_t> data, PatchFile& file) {
  data = limited(data);
  if (data.size() < static_cast<size_t>(kMinimumDataSize)) return false;
  int position = std::equal(kMidiFileMagic.begin(), kMidiFileMagic.end(), data.begin()) ? kMidiScanStart : 0;
  // The file's records are read into one block, with room for the patches a
  // file of standard dumps holds and at least a whole bank (a short bank is
  // filled up to one).
  constexpr size_t kMostReserved = 100 * kBankSize;
  std::vector<LibrarianPatch> patches;
  patches.reserve(std::min(std::max<size_t>(kBankSize, data.size() / kSoundDumpSize + 1), kMostReserved));
  const size_t before = file.patches.size();
  bool converted = false;
  int programCounter = 0;
  int result = readRecord(data, position, patches, programCounter, converted);
  while (result > 0) {
    if (before + patches.size() > 0 && ++programCounter > 99) programCounter = 0;
    result = readRecord(data, position, patches, programCounter, converted);
  }
  if (!patches.empty()) file.noPadding = 0;
  // A short bank is filled up within the same block.
  const size_t total = before + patches.size();
  if (total > 0 && total < static_cast<size_t>(kBankSize) && !file.noPadding)
    patches.resize(patches.size() + (kBankSize - total), LibrarianPatch::initPatch());
  file.patches.append(std::move(patches));
  return converted;
}

void BankReader::checkBankSizeAndAddData(PatchFile& file) {
  if (file.patches.empty() || file.patches.size() >= static_cast<size_t>(kBankSize) || file.noPadding) return;
  const LibrarianPatch init = LibrarianPatch::initPatch();
  file.patches.resize(kBankSize, init);
}
