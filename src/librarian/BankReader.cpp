#include "librarian/BankReader.h"

#include <algorithm>
#include <climits>
#include <cstdio>
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

// "Sound", seven blanks, the counter in two digits, then the category byte.
void appendShortFormName(PatchSysexMessage& record, int programCounter) {
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02d", ((programCounter % 100) + 100) % 100);
  static const char kWord[] = "Sound       ";  // "Sound" and seven blanks
  record.insert(record.end(), kWord, kWord + 12);
  record.push_back(static_cast<uint8_t>(digits[0]));
  record.push_back(static_cast<uint8_t>(digits[1]));
  record.push_back(kShortFormCategory);
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

int BankReader::readSysexMessage(std::span<const uint8_t> data, int& position, PatchFile& file, int programCounter,
                                 bool& converted) {
  data = limited(data);
  if (!findByte(data, position, kMaker)) return -1;

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
  if (!findByte(data, position, kEox)) return -1;
  static const uint8_t kHeader[] = {0xF0, kMaker, kModel2, 0x00, kSoundDumpCommand, 0x00, 0x00};
  const size_t length = sizeof kHeader + static_cast<size_t>(position - 1 - bodyStart);
  if (length < static_cast<size_t>(kMinimumRecordLength)) return position;
  // Room for the whole record at once: a short form gains its name, a model 1
  // record of 91 bytes its category byte, and every record its F7.
  const size_t grows = length == 75 ? 16 : length == 76 ? 15 : (length == 91 && model == kModel1) ? 1 : 0;
  PatchSysexMessage record;
  record.reserve(length + grows + 1);
  record.assign(kHeader, kHeader + sizeof kHeader);
  record.insert(record.end(), data.begin() + bodyStart, data.begin() + (position - 1));

  if (length == 75) {
    record.push_back(0x00);
    appendShortFormName(record, programCounter);
  } else if (length == 76) {
    record[74] = 0x00;
    appendShortFormName(record, programCounter);
  } else if (length == 91 && model == kModel1) {
    // A model 1 record of this length is converted below, which never reads
    // the appended byte. A model 2 record is kept as it is: appending would
    // make a mended short form (91 bytes before its F7) grow by one byte
    // every time its bank is written and read again.
    record.push_back(kShortFormCategory);
  }
  record.push_back(kEox);
  // Over the byte that follows the record (the next F0, or the first byte of
  // the next event's delta time).
  ++position;

  if (model == kModel1 && record.size() <= static_cast<size_t>(kLargestModel1Record)) {
    record = convertPatchToSorrel2Format(record, programCounter);
    converted = true;
  }

  std::vector<PatchSysexMessage> messages;
  messages.push_back(std::move(record));
  LibrarianPatch& patch = file.patches.emplace_back();
  patch.messages = std::move(messages);
  if (patch.messages[0].size() <= static_cast<size_t>(kLargestNamedRecord)) patch.takeNameAndCategory();
  file.noPadding = 0;
  return position;
}

bool BankReader::loadFromChunk(std::span<const uint8_t> data, PatchFile& file) {
  data = limited(data);
  if (data.size() < static_cast<size_t>(kMinimumDataSize)) return false;
  int position = std::equal(kMidiFileMagic.begin(), kMidiFileMagic.end(), data.begin()) ? kMidiScanStart : 0;
  // Room for the patches a file of standard dumps holds, and at least a
  // whole bank (a short bank is filled up to one).
  constexpr size_t kMostReserved = 100 * kBankSize;
  file.patches.reserve(file.patches.size() +
                       std::min(std::max<size_t>(kBankSize, data.size() / kSoundDumpSize + 1), kMostReserved));
  bool converted = false;
  int programCounter = 0;
  int result = readSysexMessage(data, position, file, programCounter, converted);
  while (result > 0) {
    if (!file.patches.empty() && ++programCounter > 99) programCounter = 0;
    result = readSysexMessage(data, position, file, programCounter, converted);
  }
  checkBankSizeAndAddData(file);
  return converted;
}

void BankReader::checkBankSizeAndAddData(PatchFile& file) {
  if (file.patches.empty() || file.patches.size() >= static_cast<size_t>(kBankSize) || file.noPadding) return;
  const LibrarianPatch init = LibrarianPatch::initPatch();
  file.patches.resize(kBankSize, init);
}
