#pragma once
// The editor's parameters: every symbolic name with its fixed index.
//
// The list is the one source of the parameter numbering. It expands into the
// EParams enumeration below, which the program uses in code, and into the
// name table of UIConfigManager, through which the user-interface
// description binds its elements to parameters by name. It is plain data and
// includes nothing, so every subsystem may use it.
//
// 302 names on 301 indices: 91 carries two names, and 215, 260, 284, 295,
// 296 and 299 carry none. kTimbreLED is 306, one past the last parameter.

#define TAVRIN_PARAMETER_LIST(X) \
  X(kOscillator1Semitone, 0) \
  X(kOscillator2Semitone, 1) \
  X(kOscillator3Semitone, 2) \
  X(kOscillator1Tune, 3) \
  X(kOscillator2Tune, 4) \
  X(kOscillator3Tune, 5) \
  X(kOscillator1Shape, 6) \
  X(kOscillator2Shape, 7) \
  X(kOscillator3Shape, 8) \
  X(kOscillator1Level, 9) \
  X(kOscillator2Level, 10) \
  X(kOscillator3Level, 11) \
  X(kNoiseLevel, 12) \
  X(kOscillator1Pulsewidth, 13) \
  X(kOscillator2Pulsewidth, 14) \
  X(kEnvelope1Attack, 15) \
  X(kEnvelope1Decay, 16) \
  X(kEnvelope1Sustain, 17) \
  X(kEnvelope1Release, 18) \
  X(kPanning, 19) \
  X(kMainVolume, 20) \
  X(kPortamento, 21) \
  X(kBreathControl, 22) \
  X(kModWheel, 23) \
  X(kEnvelope2Attack, 24) \
  X(kEnvelope2Decay, 25) \
  X(kEnvelope2Sustain, 26) \
  X(kEnvelope2Release, 27) \
  X(kLFO1Speed, 28) \
  X(kLFO1Shape, 29) \
  X(kLFO2Speed, 30) \
  X(kLFO2Delay, 31) \
  X(kEnvelope1Loop, 32) \
  X(kEnvelope1Trigger, 33) \
  X(kEnvelope2Loop, 34) \
  X(kEnvelope2Trigger, 35) \
  X(kOscillator1Keytrack, 36) \
  X(kOscillator2Keytrack, 37) \
  X(kOscillator2Sync, 38) \
  X(kOscillator3Routing, 39) \
  X(kFilterCutoff, 40) \
  X(kFilterCutoffKeytrack, 41) \
  X(kFilterCutoffEnv1Sens, 42) \
  X(kFilterCutoffVeloSens, 43) \
  X(kFilterResonance, 44) \
  X(kFilterType, 45) \
  X(kVolume, 46) \
  X(kVolumeVeloSense, 47) \
  X(kPortamentoMode, 48) \
  X(kPitchBendScaleUp, 49) \
  X(kPitchBendScaleDown, 50) \
  X(kSustainSwitch, 51) \
  X(kArpOnOff, 52) \
  X(kArpRange, 53) \
  X(kArpTempo, 54) \
  X(kArpClock, 55) \
  X(kArpMode, 56) \
  X(kVolumeDrive, 57) \
  X(kVolumeDriveCurve, 58) \
  X(kModUnit1Source, 59) \
  X(kModUnit1Amount, 60) \
  X(kModUnit1Destination, 61) \
  X(kModUnit2Source, 62) \
  X(kModUnit2Amount, 63) \
  X(kModUnit2Destination, 64) \
  X(kModUnit3Source, 65) \
  X(kModUnit3Amount, 66) \
  X(kModUnit3Destination, 67) \
  X(kModUnit4Source, 68) \
  X(kModUnit4Amount, 69) \
  X(kModUnit4Destination, 70) \
  X(kModUnit5Source, 71) \
  X(kModUnit5Amount, 72) \
  X(kModUnit5Destination, 73) \
  X(kModUnit6Source, 74) \
  X(kModUnit6Amount, 75) \
  X(kModUnit6Destination, 76) \
  X(kModUnit7Source, 77) \
  X(kModUnit7Amount, 78) \
  X(kModUnit7Destination, 79) \
  X(kModUnit8Source, 80) \
  X(kModUnit8Amount, 81) \
  X(kModUnit8Destination, 82) \
  X(kUnisonDetune, 83) \
  X(kOscillator1EnvAFade, 84) \
  X(kOscillator2EnvAFade, 85) \
  X(kStepDuration, 86) \
  X(kArpSwing, 87) \
  X(kArpDelay, 88) \
  X(kPatternLength, 89) \
  X(kAccentControl, 90) \
  X(kNumAutomatedParams, 91) \
  X(kPatchFileDialog, 91) \
  X(kOverrideTempo, 92) \
  X(kGlobalMidiChannel, 93) \
  X(kGlobalLocalControl, 94) \
  X(kBankSelection, 95) \
  X(kPatchSelection, 96) \
  X(kPatchName, 97) \
  X(kPatchNameView, 98) \
  X(kRefreshFolders, 99) \
  X(kLibSyncTimer, 100) \
  X(kExternalSignalLevel, 101) \
  X(kArpPattern, 102) \
  X(kPatternStep01, 103) \
  X(kPatternStep02, 104) \
  X(kPatternStep03, 105) \
  X(kPatternStep04, 106) \
  X(kPatternStep05, 107) \
  X(kPatternStep06, 108) \
  X(kPatternStep07, 109) \
  X(kPatternStep08, 110) \
  X(kPatternStep09, 111) \
  X(kPatternStep10, 112) \
  X(kPatternStep11, 113) \
  X(kPatternStep12, 114) \
  X(kPatternStep13, 115) \
  X(kPatternStep14, 116) \
  X(kPatternStep15, 117) \
  X(kPatternStep16, 118) \
  X(kPatternStep01Event, 119) \
  X(kPatternStep02Event, 120) \
  X(kPatternStep03Event, 121) \
  X(kPatternStep04Event, 122) \
  X(kPatternStep05Event, 123) \
  X(kPatternStep06Event, 124) \
  X(kPatternStep07Event, 125) \
  X(kPatternStep08Event, 126) \
  X(kPatternStep09Event, 127) \
  X(kPatternStep10Event, 128) \
  X(kPatternStep11Event, 129) \
  X(kPatternStep12Event, 130) \
  X(kPatternStep13Event, 131) \
  X(kPatternStep14Event, 132) \
  X(kPatternStep15Event, 133) \
  X(kPatternStep16Event, 134) \
  X(kPatternStep01Time, 135) \
  X(kPatternStep02Time, 136) \
  X(kPatternStep03Time, 137) \
  X(kPatternStep04Time, 138) \
  X(kPatternStep05Time, 139) \
  X(kPatternStep06Time, 140) \
  X(kPatternStep07Time, 141) \
  X(kPatternStep08Time, 142) \
  X(kPatternStep09Time, 143) \
  X(kPatternStep10Time, 144) \
  X(kPatternStep11Time, 145) \
  X(kPatternStep12Time, 146) \
  X(kPatternStep13Time, 147) \
  X(kPatternStep14Time, 148) \
  X(kPatternStep15Time, 149) \
  X(kPatternStep16Time, 150) \
  X(kPatternStep01Glide, 151) \
  X(kPatternStep02Glide, 152) \
  X(kPatternStep03Glide, 153) \
  X(kPatternStep04Glide, 154) \
  X(kPatternStep05Glide, 155) \
  X(kPatternStep06Glide, 156) \
  X(kPatternStep07Glide, 157) \
  X(kPatternStep08Glide, 158) \
  X(kPatternStep09Glide, 159) \
  X(kPatternStep10Glide, 160) \
  X(kPatternStep11Glide, 161) \
  X(kPatternStep12Glide, 162) \
  X(kPatternStep13Glide, 163) \
  X(kPatternStep14Glide, 164) \
  X(kPatternStep15Glide, 165) \
  X(kPatternStep16Glide, 166) \
  X(kPartLock, 167) \
  X(kSectionLockOsc1, 168) \
  X(kSectionLockOsc2, 169) \
  X(kSectionLockOsc3, 170) \
  X(kSectionLockMixer, 171) \
  X(kSectionLockPorta, 172) \
  X(kSectionLockFilter, 173) \
  X(kSectionLockEg1, 174) \
  X(kSectionLockEg2, 175) \
  X(kSectionLockAmp, 176) \
  X(kSectionLockLFO1, 177) \
  X(kSectionLockLFO2, 178) \
  X(kSectionLockModMatrix, 179) \
  X(kSectionLockArp, 180) \
  X(kReleaseAllLocks, 181) \
  X(kPatchRename, 182) \
  X(kMIDILed, 183) \
  X(kMIDIFilterDAWCCPassThrough, 184) \
  X(kMIDIFilterDAWPCPassThrough, 185) \
  X(kMIDIFilterDAWNotePassThrough, 186) \
  X(kMIDIFilterDAWPPPassThrough, 187) \
  X(kMIDIFilterDAWPAPassThrough, 188) \
  X(kMIDIFilterDAWCAPassThrough, 189) \
  X(kMIDIFilterDAWSEPassThrough, 190) \
  X(kMIDIFilterHWCCPassThrough, 191) \
  X(kMIDIFilterHWPCPassThrough, 192) \
  X(kMIDIFilterHWNotePassThrough, 193) \
  X(kMIDIFilterHWPPPassThrough, 194) \
  X(kMIDIFilterHWPAPassThrough, 195) \
  X(kMIDIFilterHWCAPassThrough, 196) \
  X(kMIDIFilterHWSEPassThrough, 197) \
  X(kMIDIFilterTrackIncomingMIDI, 198) \
  X(kMIDIFilterDirectToHardware, 199) \
  X(kMIDIFilterToDAWBuffer, 200) \
  X(kSendMIDIClockPointer, 201) \
  X(kSendMIDIClockInfo, 202) \
  X(kLibUpperNextBank, 203) \
  X(kLibUpperPreviousBank, 204) \
  X(kLibLowerNextBank, 205) \
  X(kLibLowerPreviousBank, 206) \
  X(kBankEditUnsaved, 207) \
  X(kCurrentOpenPatternBankL, 208) \
  X(kCurrentOpenPatchBankL, 209) \
  X(kCurrentOpenPerfBankL, 210) \
  X(kCurrentOpenPatternBankR, 211) \
  X(kCurrentOpenPatchBankR, 212) \
  X(kCurrentOpenPerfBankR, 213) \
  X(kAdjustDAWOffset, 214) \
  X(kGlobalMasterTune, 216) \
  X(kGlobalControlX, 217) \
  X(kGlobalDeviceID, 218) \
  X(kGlobalTranspose, 219) \
  X(kGlobalInputGain, 220) \
  X(kGlobalClock, 221) \
  X(kGlobalTxArpClock, 222) \
  X(kGlobalTxArpNotes, 223) \
  X(kGlobalTxParameter, 224) \
  X(kGlobalMidiThru, 225) \
  X(kGlobalPolyId, 226) \
  X(kGlobalPolyOf, 227) \
  X(kGlobalS1Legacy, 228) \
  X(kGlobalCVMode, 229) \
  X(kGlobalCVAmp, 230) \
  X(kGlobalCVTune, 231) \
  X(kGlobalCVAdjust, 232) \
  X(kGlobalGateMode, 233) \
  X(kGlobalLCDContrast, 234) \
  X(kGlobalVolume, 235) \
  X(kGlobalPanning, 236) \
  X(kGlobalVelCurv, 237) \
  X(kCurrentPatch, 238) \
  X(kCategoryName, 239) \
  X(kLFO1ShapeClock, 240) \
  X(kVCADriveCurveTrigger, 241) \
  X(kFilterTypeTrigger, 242) \
  X(kOscillator3RoutingTrigger, 243) \
  X(kTempoInformation, 244) \
  X(kOverwriteBank, 245) \
  X(kControlDisplayLibCategory, 246) \
  X(kControlDisplayCategory, 247) \
  X(kCategorySelection, 248) \
  X(kOscillator1WaveTrigger, 249) \
  X(kOscillator2WaveTrigger, 250) \
  X(kOscillator3WaveTrigger, 251) \
  X(kOscillator1KeytrackTrigger, 252) \
  X(kOscillator2KeytrackTrigger, 253) \
  X(kOscillator2SyncTrigger, 254) \
  X(kOscillator1OctaveIndicator, 255) \
  X(kOscillator2OctaveIndicator, 256) \
  X(kOscillator3OctaveIndicator, 257) \
  X(kLFO1ShapeTrigger, 258) \
  X(kShowModMatrix, 259) \
  X(kEditPage2Switch, 261) \
  X(kArpSyncTrigger, 262) \
  X(kArpSyncIndicator, 263) \
  X(kArpModeTrigger, 264) \
  X(kArpOnOffIndicator, 265) \
  X(kUserInterfaceSize, 266) \
  X(kPatchSearchString, 267) \
  X(kPatchSearch, 268) \
  X(kViewMIDIFilterSettings, 269) \
  X(kDisplayAboutWindow, 270) \
  X(kFirstRunExit, 271) \
  X(kRandomize, 272) \
  X(kDeviceOutSelection, 273) \
  X(kDeviceInSelection, 274) \
  X(kDataType, 275) \
  X(kKeepSelectedBank, 276) \
  X(kStorePatchToLib, 277) \
  X(kPatchUp, 278) \
  X(kPatchDown, 279) \
  X(kControlLibrary, 280) \
  X(kControlDisplayName, 281) \
  X(kControlDisplayValue, 282) \
  X(kControlDisplayCC, 283) \
  X(kControlDisplayPatch, 285) \
  X(kShowLibrarian, 286) \
  X(kImportSorrelData, 287) \
  X(kPushArrangement, 288) \
  X(kCurrentBank, 289) \
  X(kRequestFromBank, 290) \
  X(kDiscardBankData, 291) \
  X(kControlDisplayMIDIOutDelay, 292) \
  X(kControlDisplayBuild, 293) \
  X(kExitAboutWindow, 294) \
  X(kPatchSelectionListUpper, 297) \
  X(kPatchSelectionListLower, 298) \
  X(kRequestTempData, 300) \
  X(kDataSlider, 301) \
  X(kMainTab, 302) \
  X(kQuickTab, 303) \
  X(kGlobalSettings, 304) \
  X(kLibrarianArea, 305) \
  X(kTimbreLED, 306)

enum EParams : int {
#define TAVRIN_PARAMETER_ENUM(name, index) name = index,
  TAVRIN_PARAMETER_LIST(TAVRIN_PARAMETER_ENUM)
#undef TAVRIN_PARAMETER_ENUM
};

// The plug-in creates this many parameters, indices 0 to 305.
inline constexpr int kParameterCount = 306;

// The sound parameters end here; the state chunk and the sound dump use
// parameters 0 to 90.
inline constexpr int kLastSoundParameter = 90;

// The thirteen section locks, first to last.
inline constexpr int kFirstSectionLock = kSectionLockOsc1;
inline constexpr int kLastSectionLock = kSectionLockArp;
inline constexpr int kSectionLockCount = kLastSectionLock - kFirstSectionLock + 1;

// True for the indices the plug-in creates a parameter at. Names may resolve
// to an index outside (kTimbreLED); such a binding has no parameter to
// initialise.
inline constexpr bool isPluginParameter(int index) { return index >= 0 && index < kParameterCount; }
