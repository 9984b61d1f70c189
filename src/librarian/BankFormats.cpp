#include "librarian/BankFormats.h"


const std::array<uint8_t, 53> midiSingleStartHeader_S2100 = {
    'M',  'T',  'h',  'd',  0x00, 0x00, 0x00, 0x06,  // header chunk, length 6
    0x00, 0x01, 0x00, 0x02, 0x01, 0xE0,              // format 1, two tracks, 480 ticks a quarter
    'M',  'T',  'r',  'k',  0x00, 0x00, 0x00, 0x13,  // tempo track, 19 bytes
    0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,  // 4/4
    0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 500,000 us a quarter
    0x00, 0xFF, 0x2F, 0x00,                          // end of track
    'M',  'T',  'r',  'k',  0x00, 0x00, 0x37, 0x17,  // dump track, 14,103 bytes
    0x00, 0xF0, 0x81, 0x08};                         // first event: delta 0, F0, 136
const std::array<uint8_t, 5> midiSingleInBetweenHeader_S2100 = {0x83, 0x74, 0xF0, 0x81, 0x08};
const std::array<uint8_t, 4> midiEndOfTrack = {0x00, 0xFF, 0x2F, 0x00};

void appendVariableLength(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  do {
    groups[n++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(static_cast<uint8_t>(groups[--n] | 0x80));
  out.push_back(groups[0]);
}

void appendMessage(std::vector<uint8_t>& out, std::span<const uint8_t> message, bool midi, uint32_t deltaTicks) {
  size_t from = 0;
  if (midi) {
    if (message.size() < 2) return;
    appendVariableLength(out, deltaTicks);
    out.push_back(0xF0);
    appendVariableLength(out, static_cast<uint32_t>(message.size() - 1));
    from = 1;
  }
  const size_t start = out.size();
  out.insert(out.end(), message.begin() + static_cast<std::ptrdiff_t>(from), message.end());
  if (isFramedSoundDump(message)) out[start + kDumpCheckOffset - from] = dumpCheckByte(message);
}

namespace {

template <class Patches>
std::vector<uint8_t> bankBytes(const Patches& patches, bool midi) {
  std::vector<uint8_t> out;
  if (!midi) {
    out.reserve(patches.size() * kSoundDumpSize);
    for (size_t i = 0; i < patches.size(); ++i) patches[i].save(out, false, static_cast<int>(i));
    return out;
  }
  out.reserve(kMidiBankBytes);
  // The fixed head up to the dump track's length field; the events follow.
  out.insert(out.end(), midiSingleStartHeader_S2100.begin(),
             midiSingleStartHeader_S2100.begin() + kMidiDumpTrackLengthOffset + 4);
  for (size_t i = 0; i < patches.size(); ++i) patches[i].save(out, true, static_cast<int>(i));
  out.insert(out.end(), midiEndOfTrack.begin(), midiEndOfTrack.end());
  const uint64_t trackLength = out.size() - (kMidiDumpTrackLengthOffset + 4);
  const uint32_t len = trackLength > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(trackLength);
  for (int b = 0; b < 4; ++b) out[kMidiDumpTrackLengthOffset + b] = static_cast<uint8_t>(len >> (24 - 8 * b));
  return out;
}

}  // namespace

std::vector<uint8_t> buildBankBytes(std::span<const LibrarianPatch> patches, bool midi) {
  return bankBytes(patches, midi);
}

std::vector<uint8_t> buildBankBytes(const PatchList& patches, bool midi) { return bankBytes(patches, midi); }

std::string fileExtensionLower(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return {};
  std::string ext = fileName.substr(dot + 1);
  for (char& c : ext)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
  return ext;
}

std::string fileBaseName(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}
