#pragma once
// Host identification and packed versions.
#include <cstddef>
#include <cstdint>

enum EHost : int32_t {
  kHostUninit = -1,
  kHostUnknown = 0,
  kHostReaper = 1,
  kHostProTools = 2,
  kHostCubase = 3,
  kHostNuendo = 4,
  kHostSonar = 5,
  kHostVegas = 6,
  kHostFL = 7,
  kHostSamplitude = 8,
  kHostAbletonLive = 9,
  kHostTracktion = 10,
  kHostNTracks = 11,
  kHostMelodyneStudio = 12,
  kHostVSTScanner = 13,
  kHostAULab = 14,
  kHostForte = 15,
  kHostChainer = 16,
  kHostAudition = 17,
  kHostOrion = 18,
  kHostBias = 19,
  kHostSAWStudio = 20,
  kHostLogic = 21,
  kHostGarageBand = 22,
  kHostDigitalPerformer = 23,
  kHostStandalone = 24,
  kHostAudioMulch = 25,
  kHostStudioOne = 26,
  kHostVST3TestHost = 27,
  kHostArdour = 28
};

enum EAPI : int32_t { kAPIVST2 = 0, kAPIVST3 = 1, kAPIAU = 2, kAPIRTAS = 3, kAPIAAX = 4, kAPISA = 5 };

// The host whose product string contains a known name (compared in lower
// case, the first 255 bytes only, in a fixed order); kHostUnknown for none.
EHost LookUpHost(const char* productString);
// The display name of a host id: "Unknown" for ids without a name.
const char* GetHostName(int host);
void GetHostNameStr(int host, char* out, size_t outSize);

// Packed versions: 0xVVVVRRMM, major in bits 16-31, minor 8-15, patch 0-7.
void GetVersionParts(int32_t version, int* major, int* minor, int* patch);
int32_t GetDecimalVersion(int32_t version);  // major*10000 + minor*100 + patch
// "vM.m.p" without a zero patch, "vM.m" without a zero minor, else "vM".
void GetVersionStr(int32_t version, char* out, size_t outSize);
// Packed form of a decimal version (major*10000 + minor*100 + patch).
int32_t PackDecimalVersion(int32_t decimal);

const char* GetAPIName(int api);  // "" for unknown values
