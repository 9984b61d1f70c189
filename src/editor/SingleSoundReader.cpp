#include "editor/SingleSoundReader.h"

#include <algorithm>
#include <climits>

#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"
#include "librarian/BankFileIO.h"
#include "librarian/BankReader.h"
#include "librarian/LibrarianPatch.h"

namespace singlesound {
namespace {

constexpr const char* kUnnamed = "IMPORTEDSINGLE";

// Positions are ints: data beyond what an int reaches are not looked at.
std::span<const uint8_t> limited(std::span<const uint8_t> data) {
  constexpr size_t kMax = static_cast<size_t>(INT_MAX) - 2;
  return data.size() > kMax ? data.first(kMax) : data;
}

int end(int& pos, int value) {
  pos = value;
  return value;
}

}  // namespace

std::string nameFor(const std::string& path) {
  std::string base = bankfileio::lastComponent(path);
  if (const size_t dot = base.rfind('.'); dot != std::string::npos) base.resize(dot);
  if (path.empty()) base = kUnnamed;
  base.resize(kNameLength, ' ');
  for (char& c : base) {
    if (static_cast<unsigned char>(c) >= 0x80) c = ' ';
  }
  return base;
}

int readNext(std::span<const uint8_t> data, int& pos, const std::string& name, bool older,
             std::vector<uint8_t>& message) {
  message.clear();
  data = limited(data);
  if (!BankReader::findByte(data, pos, sysex::kManufacturer)) return end(pos, -1);
  // The model and device bytes must both be there.
  const size_t at = static_cast<size_t>(pos);
  if (data.size() - at < 2) return end(pos, -1);
  const uint8_t model = data[at];
  if (model != (older ? sysex::kModelPrevious : sysex::kModel)) return end(pos, static_cast<int>(at + 1));

  const size_t body = at + 2;
  const auto eox = std::find(data.begin() + static_cast<std::ptrdiff_t>(body), data.end(), sysex::kEnd);
  const bool closed = eox != data.end();
  message = {sysex::kStart, sysex::kManufacturer, sysex::kModel, data[at + 1]};
  message.insert(message.end(), data.begin() + static_cast<std::ptrdiff_t>(body), eox);
  // The byte after the F7 is passed over; data that end inside the sound
  // end the scan.
  const int next = closed ? static_cast<int>(std::min<size_t>(static_cast<size_t>(eox - data.begin()) + 2, INT_MAX))
                          : 0;
  pos = next;
  if (message.size() < kShortestSound) {
    message.clear();
    return next;
  }
  // A whole sound dump, as a single sound is saved, is taken as it is (of
  // either model: a model 1 file holding one is in the model 2 layout
  // already); its stored check byte may be stale, so it is made right as
  // the bank writers make it.
  if (closed && message.size() == sounddump::kLength - 1) {
    message.push_back(sysex::kEnd);
    message[sounddump::kCheckByte] = dumpCheckByte(message);
    return next;
  }
  if (message.size() <= kLongestNamed) {
    if (message.size() == kShortestSound) message.push_back(0x00);
    for (size_t i = 0; i < kNameLength; ++i) {
      const auto c = i < name.size() ? static_cast<uint8_t>(name[i]) : uint8_t{' '};
      message.push_back(c < 0x80 ? c : uint8_t{' '});
    }
  }
  message.push_back(kImportCategory);
  message.push_back(sysex::kEnd);
  if (older) {
    const PatchSysexMessage converted = convertPatchToSorrel2Format(message, 0);
    message.assign(converted.begin(), converted.begin() + std::min(converted.size(), sounddump::kLength));
  }
  return next;
}

}  // namespace singlesound
