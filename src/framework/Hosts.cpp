#include "framework/Hosts.h"

#include <cstdio>
#include <cstring>

#include "framework/Log.h"
#include "kit/utf8.h"

namespace {

struct HostName {
  const char* substring;
  EHost id;
};

// Tested in this order; the first match wins.
const HostName kHostSubstrings[] = {
    {"cubase", kHostCubase},         {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},         {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude}, {"fruity", kHostFL},
    {"live", kHostAbletonLive},      {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},  {"aulab", kHostAULab},
    {"garageband", kHostGarageBand}, {"forte", kHostForte},
    {"chainer", kHostChainer},       {"audition", kHostAudition},
    {"orion", kHostOrion},           {"sawstudio", kHostSAWStudio},
    {"logic", kHostLogic},           {"digital", kHostDigitalPerformer},
    {"audiomulch", kHostAudioMulch}, {"presonus", kHostStudioOne},
    {"vst3plugintesthost", kHostVST3TestHost}, {"protools", kHostProTools},
    {"ardour", kHostArdour},         {"standalone", kHostStandalone},
};

}  // namespace

EHost LookUpHost(const char* productString) {
  char lower[256];
  ToLower(lower, productString ? productString : "", sizeof lower);
  for (const HostName& h : kHostSubstrings)
    if (std::strstr(lower, h.substring)) return h.id;
  return kHostUnknown;
}

const char* GetHostName(int host) {
  switch (host) {
    case kHostReaper: return "Reaper";
    case kHostProTools: return "ProTools";
    case kHostCubase: return "Cubase";
    case kHostNuendo: return "Nuendo";
    case kHostSonar: return "Sonar";
    case kHostVegas: return "Vegas";
    case kHostFL: return "FLStudio";
    case kHostSamplitude: return "Samplitude";
    case kHostAbletonLive: return "Live";
    case kHostVSTScanner: return "VSTScanner";
    case kHostAULab: return "AULab";
    case kHostForte: return "Forte";
    case kHostChainer: return "Chainer";
    case kHostAudition: return "Audition";
    case kHostOrion: return "Orion";
    case kHostSAWStudio: return "SAWStudio";
    case kHostLogic: return "Logic";
    case kHostGarageBand: return "GarageBand";
    case kHostDigitalPerformer: return "DigitalPerformer";
    case kHostStandalone: return "Standalone";
    case kHostAudioMulch: return "AudioMulch";
    case kHostStudioOne: return "StudioOne";
    case kHostVST3TestHost: return "VST3PluginTestHost";
    case kHostArdour: return "Ardour";
    default: return "Unknown";
  }
}

void GetHostNameStr(int host, char* out, size_t outSize) { KIT_CopyField(out, outSize, GetHostName(host)); }

void GetVersionParts(int32_t version, int* major, int* minor, int* patch) {
  const uint32_t v = static_cast<uint32_t>(version);
  if (major) *major = static_cast<int>(v >> 16);
  if (minor) *minor = static_cast<int>((v >> 8) & 0xFF);
  if (patch) *patch = static_cast<int>(v & 0xFF);
}

int32_t GetDecimalVersion(int32_t version) {
  int major, minor, patch;
  GetVersionParts(version, &major, &minor, &patch);
  return static_cast<int32_t>(major * 10000 + minor * 100 + patch);
}

int32_t PackDecimalVersion(int32_t decimal) {
  if (decimal < 0) return 0;
  const int32_t major = decimal / 10000, minor = (decimal % 10000) / 100, patch = decimal % 100;
  return static_cast<int32_t>((static_cast<uint32_t>(major) << 16) | (minor << 8) | patch);
}

void GetVersionStr(int32_t version, char* out, size_t outSize) {
  if (!out || outSize == 0) return;
  int major, minor, patch;
  GetVersionParts(version, &major, &minor, &patch);
  if (patch)
    std::snprintf(out, outSize, "v%d.%d.%d", major, minor, patch);
  else if (minor)
    std::snprintf(out, outSize, "v%d.%d", major, minor);
  else
    std::snprintf(out, outSize, "v%d", major);
}

const char* GetAPIName(int api) {
  static const char* const kNames[] = {"VST2", "VST3", "AU", "RTAS", "AAX", "Standalone"};
  return (api >= 0 && api <= 5) ? kNames[api] : "";
}
