#include "support_banks.h"

#include <cstdio>

#include "librarian/BankReader.h"

namespace banks {

Bytes withCheckByte(Bytes dump) {
  if (dump.size() < 4) return dump;
  unsigned sum = 0;
  for (size_t i = 1; i + 2 < dump.size(); ++i) sum += dump[i];
  dump[dump.size() - 2] = static_cast<uint8_t>(sum & 0x7F);
  return dump;
}

Bytes model2Dump(int seed, const std::string& name, uint8_t category, uint8_t device, uint8_t bank,
                 uint8_t program) {
  Bytes d = {0xF0, 0x3E, 0x16, device, 0x10, bank, program};
  for (int p = 7; p < 120; ++p) d.push_back(static_cast<uint8_t>((p * 13 + seed * 5) & 0x7F));
  for (size_t i = 0; i < 14; ++i) d.push_back(i < name.size() ? static_cast<uint8_t>(name[i]) : ' ');
  d.push_back(category);
  d.push_back(0);
  d.push_back(0xF7);
  return withCheckByte(d);
}

Bytes asRead(Bytes dump) {
  dump[3] = 0x00;
  dump[4] = 0x10;
  dump[5] = 0x00;
  dump[6] = 0x00;
  return dump;
}

Bytes model1Dump(int length, int seed) {
  Bytes d = {0xF0, 0x3E, 0x0B, 0x00, 0x10, 0x00, 0x00};
  for (int p = 7; p < length; ++p) d.push_back(static_cast<uint8_t>((p * 7 + seed) & 0x7F));
  d.push_back(0xF7);
  return d;
}

std::string patchName(int n) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "PATCH %02d", n);
  std::string s = buf;
  s.resize(14, ' ');
  return s;
}

std::vector<Bytes> namedDumps(int n, int seed) {
  std::vector<Bytes> out;
  for (int i = 0; i < n; ++i) out.push_back(model2Dump(seed + i, patchName(i), static_cast<uint8_t>(i % 21)));
  return out;
}

Bytes rawBank(const std::vector<Bytes>& dumps) {
  Bytes out;
  for (const Bytes& d : dumps) out.insert(out.end(), d.begin(), d.end());
  return out;
}

Bytes midiBank(const std::vector<Bytes>& dumps) {
  auto put32 = [](Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
  };
  Bytes out = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 2, 0x01, 0xE0};
  const Bytes tempo = {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51,
                       0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00};
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  put32(out, static_cast<uint32_t>(tempo.size()));
  out.insert(out.end(), tempo.begin(), tempo.end());
  Bytes track;
  for (size_t i = 0; i < dumps.size(); ++i) {
    if (i == 0)
      track.push_back(0x00);
    else
      track.insert(track.end(), {0x83, 0x74});
    track.insert(track.end(), {0xF0, 0x81, 0x08});  // 136 bytes follow
    track.insert(track.end(), dumps[i].begin() + 1, dumps[i].end());
  }
  track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  put32(out, static_cast<uint32_t>(track.size()));
  out.insert(out.end(), track.begin(), track.end());
  return out;
}

LibrarianPatch patchOf(const Bytes& dump) {
  LibrarianPatch p = LibrarianPatch::fromDump(dump);
  p.takeNameAndCategory();
  return p;
}

std::vector<LibrarianPatch> patchesOf(const std::vector<Bytes>& dumps) {
  std::vector<LibrarianPatch> out;
  for (const Bytes& d : dumps) out.push_back(patchOf(d));
  return out;
}

PatchFile readBank(const Bytes& data) {
  PatchFile f;
  BankReader::loadFromChunk(data, f);
  return f;
}

}  // namespace banks
