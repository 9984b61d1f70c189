// Preset builders and dumps, and program and bank files.
#include <Poco/Base64Decoder.h>
#include <Poco/Base64Encoder.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <sstream>

#include "framework/IGraphics.h"
#include "framework/IPluginBase.h"
#include "kit/utf8.h"
#include "platform/files.h"

// ---------------------------------------------------------------------------
// Builders

bool IPluginBase::FillNextPreset(const char* name, const ByteChunk* state) {
  KIT_MutexLock lock(mMutex);
  for (auto& p : mPresets) {
    if (p->mInitialized) continue;
    ByteChunk copy;
    if (state->Size() > 0 && copy.PutChunk(state) != state->Size()) return false;
    p->mChunk.Swap(copy);
    p->mInitialized = true;
    p->SetName(name ? name : "");
    return true;
  }
  return false;
}

bool IPluginBase::MakePresetWith(const char* name, const std::function<void()>& setValues) {
  KIT_MutexLock lock(mMutex);
  std::vector<double> before;
  for (const auto& p : mParams) before.push_back(p->Value());
  setValues();
  ByteChunk state;
  const bool written = SerializeState(&state);
  for (size_t i = 0; i < mParams.size(); ++i) mParams[i]->Set(before[i]);
  return written && FillNextPreset(name, &state);
}

bool IPluginBase::MakePreset(const char* name, const std::vector<double>& values) {
  if (static_cast<int>(values.size()) != NAutomatedParams()) return false;
  return MakePresetWith(name, [&] {
    for (size_t i = 0; i < values.size(); ++i) mParams[i]->SetClamped(values[i]);
  });
}

bool IPluginBase::MakePreset(const char* name, ...) {
  std::vector<double> values(static_cast<size_t>(NAutomatedParams()));
  va_list ap;
  va_start(ap, name);
  for (double& v : values) v = va_arg(ap, double);
  va_end(ap);
  return MakePreset(name, values);
}

bool IPluginBase::MakePresetFromNamedParams(const char* name, const std::vector<std::pair<int, double>>& pairs) {
  return MakePresetWith(name, [&] {
    for (int i = 0; i < NAutomatedParams(); ++i) GetParam(i)->SetClamped(GetParam(i)->GetDefault());
    for (const auto& [idx, value] : pairs)
      if (idx >= 0 && idx < NAutomatedParams()) GetParam(idx)->SetClamped(value);
  });
}

bool IPluginBase::MakePresetFromNamedParams(const char* name, int nPairs, ...) {
  if (nPairs < 0) return false;
  std::vector<std::pair<int, double>> pairs;
  va_list ap;
  va_start(ap, nPairs);
  for (int i = 0; i < nPairs; ++i) {
    const int idx = va_arg(ap, int);
    pairs.emplace_back(idx, va_arg(ap, double));
  }
  va_end(ap);
  return MakePresetFromNamedParams(name, pairs);
}

bool IPluginBase::MakePresetFromChunk(const char* name, const ByteChunk* chunk) {
  return chunk && FillNextPreset(name, chunk);
}

bool IPluginBase::MakePresetFromBlob(const char* name, const char* blob, int sizeOfChunk) {
  if (!blob || sizeOfChunk < 0) return false;
  std::string bytes;
  try {
    std::istringstream in(blob);
    Poco::Base64Decoder decoder(in);
    bytes.assign(std::istreambuf_iterator<char>(decoder), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail()) return false;
  } catch (...) {
    return false;  // not base64
  }
  if (bytes.size() != static_cast<size_t>(sizeOfChunk)) return false;
  ByteChunk state;
  if (sizeOfChunk > 0 && state.Put(bytes.data(), sizeOfChunk) != sizeOfChunk) return false;
  return FillNextPreset(name, &state);
}

// ---------------------------------------------------------------------------
// Dumps

namespace {

// A C string literal of text.
std::string Quoted(const char* text) {
  std::string q = "\"";
  for (const char* c = text ? text : ""; *c; ++c) {
    if (*c == '"' || *c == '\\') q += '\\';
    q += *c;
  }
  return q + "\"";
}

// A double literal that reads back as the same value.
std::string DoubleLiteral(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  std::string s = buf;
  if (s.find_first_of(".en") == std::string::npos) s += ".0";
  return s;
}

}  // namespace

std::string IPluginBase::DumpPresetSrcCode(const char* name) {
  std::string text;
  {
    KIT_MutexLock lock(mMutex);
    text = "MakePreset(" + Quoted(name);
    for (int i = 0; i < NAutomatedParams(); ++i) text += ", " + DoubleLiteral(GetParam(i)->Value());
    text += ");";
  }
  DebugLogText(text);
  return text;
}

std::string IPluginBase::DumpPresetBlob(const char* name) {
  ByteChunk state;
  {
    KIT_MutexLock lock(mMutex);
    if (!SerializeState(&state)) return {};
  }
  std::ostringstream out;
  try {
    Poco::Base64Encoder encoder(out);
    encoder.rdbuf()->setLineLength(0);
    encoder.write(reinterpret_cast<const char*>(state.GetBytes()), state.Size());
    encoder.close();
  } catch (...) {
    return {};
  }
  const std::string text =
      "MakePresetFromBlob(" + Quoted(name) + ", \"" + out.str() + "\", " + std::to_string(state.Size()) + ");";
  DebugLogText(text);
  return text;
}

// ---------------------------------------------------------------------------
// Program and bank files

namespace {

constexpr uint32_t Tag(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}
constexpr uint32_t kFileMagic = Tag("CcnK");
constexpr uint32_t kValueProgram = Tag("FxCk");
constexpr uint32_t kChunkProgram = Tag("FPCh");
constexpr uint32_t kValueBank = Tag("FxBk");
constexpr uint32_t kChunkBank = Tag("FBCh");
constexpr uint32_t kFormatVersion = 1;
constexpr size_t kProgramNameLen = 28;
constexpr size_t kBankReserved = 128;
constexpr size_t kHeaderLen = 28;  // magic, size, kind, version, ID, plug-in version, count
constexpr size_t kMaxPresetFile = size_t(64) << 20;

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(v >> shift));
}

void PutFloat(std::vector<uint8_t>* out, float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  PutU32(out, u);
}

// The name in a zero-padded field, cut whole at a character boundary.
void PutProgramName(std::vector<uint8_t>* out, const char* name) {
  const size_t n = KIT_Utf8CutLength(name ? name : "", kProgramNameLen - 1);
  out->insert(out->end(), name, name + n);
  out->insert(out->end(), kProgramNameLen - n, 0);
}

// Opens a record; FinishRecord fills in its byte size.
size_t PutHeader(std::vector<uint8_t>* out, uint32_t kind, int32_t uniqueID, int32_t version, size_t count) {
  const size_t start = out->size();
  PutU32(out, kFileMagic);
  PutU32(out, 0);
  PutU32(out, kind);
  PutU32(out, kFormatVersion);
  PutU32(out, uint32_t(uniqueID));
  PutU32(out, uint32_t(version));
  PutU32(out, uint32_t(count));
  return start;
}

bool FinishRecord(std::vector<uint8_t>* out, size_t start) {
  const size_t rest = out->size() - start - 8;
  if (rest > INT32_MAX) return false;
  for (int k = 0; k < 4; ++k) (*out)[start + 4 + size_t(k)] = uint8_t(rest >> (24 - 8 * k));
  return true;
}

// Reads big-endian fields from a byte span; every read checks the length.
class FieldReader {
 public:
  explicit FieldReader(std::span<const uint8_t> bytes) : mBytes(bytes) {}
  size_t Left() const { return mBytes.size() - mPos; }
  bool U32(uint32_t* v) {
    if (Left() < 4) return false;
    *v = 0;
    for (int k = 0; k < 4; ++k) *v = (*v << 8) | mBytes[mPos++];
    return true;
  }
  bool Take(size_t n, std::span<const uint8_t>* out) {
    if (Left() < n) return false;
    *out = mBytes.subspan(mPos, n);
    mPos += n;
    return true;
  }
  bool Skip(size_t n) {
    std::span<const uint8_t> ignored;
    return Take(n, &ignored);
  }

 private:
  std::span<const uint8_t> mBytes;
  size_t mPos = 0;
};

// The fixed part of a record: magic, a byte size that covers exactly
// wantRest bytes (or, with wantRest 0, everything left), the kind, the
// unique ID and the count; the format and plug-in versions are not checked.
bool ReadHeader(FieldReader* r, uint32_t kind, int32_t uniqueID, size_t count, size_t wantRest = 0) {
  uint32_t magic, size, k, formatVersion, id, version, n;
  if (!r->U32(&magic) || !r->U32(&size)) return false;
  const size_t rest = wantRest ? wantRest : r->Left();
  if (magic != kFileMagic || size != rest) return false;
  if (!r->U32(&k) || !r->U32(&formatVersion) || !r->U32(&id) || !r->U32(&version) || !r->U32(&n)) return false;
  return k == kind && id == uint32_t(uniqueID) && n == count;
}

bool ReadProgramName(FieldReader* r, std::string* name) {
  std::span<const uint8_t> field;
  if (!r->Take(kProgramNameLen, &field)) return false;
  const char* c = reinterpret_cast<const char*>(field.data());
  name->assign(c, strnlen(c, kProgramNameLen));
  return true;
}

// Normalised values, each a finite float.
bool ReadValues(FieldReader* r, size_t n, std::vector<double>* values) {
  values->clear();
  for (size_t i = 0; i < n; ++i) {
    uint32_t u;
    if (!r->U32(&u)) return false;
    float f;
    std::memcpy(&f, &u, sizeof f);
    if (!std::isfinite(f)) return false;
    values->push_back(f < 0.f ? 0.0 : (f > 1.f ? 1.0 : double(f)));
  }
  return true;
}

// A chunk field: its size, then exactly that many bytes to the end.
bool ReadChunk(FieldReader* r, ByteChunk* chunk) {
  uint32_t size;
  std::span<const uint8_t> bytes;
  if (!r->U32(&size) || size != r->Left() || size > INT32_MAX || !r->Take(size, &bytes)) return false;
  return size == 0 || chunk->Put(bytes.data(), int(size)) == int(size);
}

}  // namespace

bool IPluginBase::MakeProgramFXP(std::vector<uint8_t>* out) {
  KIT_MutexLock lock(mMutex);
  out->clear();
  const size_t n = size_t(NAutomatedParams());
  const size_t start = PutHeader(out, mStateChunks ? kChunkProgram : kValueProgram, mUniqueID, mVersion, n);
  PutProgramName(out, GetPresetName(mCurrentPresetIdx));
  if (mStateChunks) {
    ByteChunk state;
    if (!SerializeState(&state)) return false;
    PutU32(out, uint32_t(state.Size()));
    out->insert(out->end(), state.GetBytes(), state.GetBytes() + state.Size());
  } else {
    for (size_t i = 0; i < n; ++i) PutFloat(out, float(mParams[i]->GetNormalized()));
  }
  return FinishRecord(out, start);
}

bool IPluginBase::MakeBankFXB(std::vector<uint8_t>* out) {
  KIT_MutexLock lock(mMutex);
  out->clear();
  ModifyCurrentPreset();
  const size_t start = PutHeader(out, mStateChunks ? kChunkBank : kValueBank, mUniqueID, mVersion, mPresets.size());
  out->insert(out->end(), kBankReserved, 0);
  if (mStateChunks) {
    ByteChunk presets;
    if (!SerializePresets(&presets)) return false;
    PutU32(out, uint32_t(presets.Size()));
    out->insert(out->end(), presets.GetBytes(), presets.GetBytes() + presets.Size());
    return FinishRecord(out, start);
  }
  // Each preset's values are read by loading its state into the parameters,
  // which are put back afterwards.
  StateSnapshot current;
  if (!TakeSnapshot(&current)) return false;
  bool ok = true;
  const size_t n = size_t(NAutomatedParams());
  for (size_t p = 0; p < mPresets.size() && ok; ++p) {
    const IPreset* preset = mPresets[p].get();
    if (preset->mInitialized && UnserializeState(&preset->mChunk, 0) < 0) ok = false;
    const size_t record = PutHeader(out, kValueProgram, mUniqueID, mVersion, n);
    PutProgramName(out, preset->mName);
    for (size_t i = 0; i < n; ++i) PutFloat(out, float(mParams[i]->GetNormalized()));
    ok = ok && FinishRecord(out, record);
  }
  RestoreSnapshot(&current);
  return ok && FinishRecord(out, start);
}

bool IPluginBase::LoadProgramFXP(std::span<const uint8_t> file) {
  FieldReader r(file);
  const size_t n = size_t(NAutomatedParams());
  std::string name;
  std::vector<double> values;
  ByteChunk state;
  if (!ReadHeader(&r, mStateChunks ? kChunkProgram : kValueProgram, mUniqueID, n) || !ReadProgramName(&r, &name))
    return false;
  if (mStateChunks ? !ReadChunk(&r, &state) : (!ReadValues(&r, n, &values) || r.Left() != 0)) return false;
  return LoadAllOrNothing([&] {
    if (mStateChunks) {
      if (UnserializeState(&state, 0) < 0) return false;
    } else {
      for (size_t i = 0; i < n; ++i) mParams[i]->SetNormalized(values[i]);
    }
    ModifyCurrentPreset(name.c_str());
    return true;
  });
}

bool IPluginBase::LoadBankFXB(std::span<const uint8_t> file) {
  FieldReader r(file);
  const size_t nPresets = mPresets.size(), n = size_t(NAutomatedParams());
  if (!ReadHeader(&r, mStateChunks ? kChunkBank : kValueBank, mUniqueID, nPresets) || !r.Skip(kBankReserved))
    return false;
  if (mStateChunks) {
    ByteChunk presets;
    if (!ReadChunk(&r, &presets)) return false;
    return LoadAllOrNothing([&] { return UnserializePresets(&presets, 0) >= 0; });
  }
  std::vector<std::string> names(nPresets);
  std::vector<std::vector<double>> values(nPresets);
  for (size_t p = 0; p < nPresets; ++p)
    if (!ReadHeader(&r, kValueProgram, mUniqueID, n, kHeaderLen - 8 + kProgramNameLen + 4 * n) ||
        !ReadProgramName(&r, &names[p]) || !ReadValues(&r, n, &values[p]))
      return false;
  if (r.Left() != 0) return false;
  return LoadAllOrNothing([&] {
    for (size_t p = 0; p < nPresets; ++p) {
      for (size_t i = 0; i < n; ++i) mParams[i]->SetNormalized(values[p][i]);
      IPreset* preset = mPresets[p].get();
      preset->mChunk.Clear();
      if (!SerializeState(&preset->mChunk)) return false;
      preset->mInitialized = true;
      preset->SetName(names[p].c_str());
    }
    return nPresets == 0 || RestorePreset(mCurrentPresetIdx);
  });
}

bool IPluginBase::PromptForPresetFile(std::string* path, bool save, const char* extension) {
  IGraphics* gui = GetGUI();
  if (!gui) return false;
  KIT_String file, folder;
  gui->PromptForFile(&file, save ? kFileSave : kFileOpen, &folder, extension);
  *path = file.Get();
  return !path->empty();
}

bool IPluginBase::SavePresetFile(const char* path, bool bank) {
  std::string file = path ? path : "";
  if (!path && !PromptForPresetFile(&file, true, bank ? "fxb" : "fxp")) return false;
  std::vector<uint8_t> bytes;
  return (bank ? MakeBankFXB(&bytes) : MakeProgramFXP(&bytes)) && platform::writeReplacing(file, bytes);
}

bool IPluginBase::LoadPresetFile(const char* path, bool bank) {
  std::string file = path ? path : "";
  if (!path && !PromptForPresetFile(&file, false, bank ? "fxb" : "fxp")) return false;
  std::vector<uint8_t> bytes;
  if (!platform::readWholeFile(file, &bytes, kMaxPresetFile)) return false;
  return bank ? LoadBankFXB(bytes) : LoadProgramFXP(bytes);
}

bool IPluginBase::SaveProgramAsFXP(const char* path) { return SavePresetFile(path, false); }
bool IPluginBase::SaveBankAsFXB(const char* path) { return SavePresetFile(path, true); }
bool IPluginBase::LoadProgramFromFXP(const char* path) { return LoadPresetFile(path, false); }
bool IPluginBase::LoadBankFromFXB(const char* path) { return LoadPresetFile(path, true); }
