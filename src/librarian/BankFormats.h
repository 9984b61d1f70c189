#pragma once
// The two forms of a bank file: raw system-exclusive messages back to back
// ("syx", "sr2"), and a Standard MIDI File of format 1 whose second track
// carries the messages as system-exclusive events ("mid").
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "librarian/LibrarianPatch.h"
#include "librarian/PatchList.h"

inline constexpr int kBankSize = 100;

// A full raw bank of 137-byte dumps, and the same bank as a Standard MIDI File.
inline constexpr int kRawBankBytes = kBankSize * kSoundDumpSize;     // 13,700
inline constexpr int kMidiBankBytes = 53 + 136 + 99 * 141 + 4;        // 14,152

// File header, tempo track and the head of the dump track up to the first
// event's delta time, F0 and length (136) for a standard bank.
extern const std::array<uint8_t, 53> midiSingleStartHeader_S2100;
// Delta time 500 ticks, F0, length 136: the head of every later dump event.
extern const std::array<uint8_t, 5> midiSingleInBetweenHeader_S2100;
// Delta 0, end of track.
extern const std::array<uint8_t, 4> midiEndOfTrack;

// Ticks between two dump events.
inline constexpr uint32_t kMidiDumpSpacingTicks = 500;
// Offset of the dump track's length field.
inline constexpr int kMidiDumpTrackLengthOffset = 45;
// The first bytes of a Standard MIDI File: "MThd" and header length 6.
inline constexpr std::array<uint8_t, 8> kMidiFileMagic = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
// Where the record scan of a Standard MIDI File starts.
inline constexpr int kMidiScanStart = 14;

// Appends a MIDI variable-length quantity (7 bits a byte, high bit on all but
// the last).
void appendVariableLength(std::vector<uint8_t>& out, uint32_t value);

// Appends one message: raw, or as a system-exclusive event with the given
// delta time. A framed sound dump gets its check byte recomputed on the way.
void appendMessage(std::vector<uint8_t>& out, std::span<const uint8_t> message, bool midi, uint32_t deltaTicks);

// The bytes of a whole bank file: the patches in slot order, raw or as a
// Standard MIDI File whose event sizes and track length are those of the
// bytes written (a standard bank gives the 14,152 bytes of the templates).
std::vector<uint8_t> buildBankBytes(std::span<const LibrarianPatch> patches, bool midi);
std::vector<uint8_t> buildBankBytes(const PatchList& patches, bool midi);

// Lower-case text after the last "." of a file name; empty without ".".
std::string fileExtensionLower(const std::string& fileName);
// The file name up to its last "."; the whole name without ".".
std::string fileBaseName(const std::string& fileName);
