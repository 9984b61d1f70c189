#pragma once
// Finds the single sounds in a file chosen for import: a Standard MIDI File
// or raw system-exclusive data of the synthesizer (model 2) or of its older
// model 1. The file's kind is not looked at: a sound is the run of bytes
// after a maker byte 3E and a model byte up to the next F7. A whole 137-byte
// sound dump is kept as it is; of the other sounds the short ones get a
// name from the file's name, every one the category byte 14 and an F7, and
// model 1 sounds are converted to the model 2 form.
// Pure functions over a byte span; any thread may call them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace singlesound {

// Sounds shorter than this (header and data, before the F7) are dropped.
inline constexpr size_t kShortestSound = 75;
// Sounds of up to this length get the 13 name characters.
inline constexpr size_t kLongestNamed = 77;
inline constexpr size_t kNameLength = 13;
inline constexpr uint8_t kImportCategory = 0x14;

// The 13 name characters of the short sounds of a file: its name without
// folder and extension, cut or filled with blanks; "IMPORTEDSINGL" for an
// empty path. Bytes of 0x80 or more become blanks.
std::string nameFor(const std::string& path);

// Reads the next sound from pos on. The maker byte is searched for first;
// the model byte must be 0B (older) or 16, else the scan goes on after it.
// message becomes the completed sound: F0 3E 16, the file's device byte,
// the bytes up to the F7; when these are the 136 bytes of a whole sound
// dump, its F7, with the check byte (135) recomputed, and nothing else (for
// either model); otherwise for 75 to 77 of them a 0 byte (at 75) and name
// (13 bytes); then 14 and F7; a model 1 sound converted to 137 bytes. It
// is left empty when the bytes held no sound of the model or a sound too
// short to keep.
// Returns the new position, which pos also holds: -1 when no maker byte
// with two bytes after it follows; 0 when the data end inside the sound
// (which is still completed); else the position two bytes past the F7, or
// past the model byte of another model.
int readNext(std::span<const uint8_t> data, int& pos, const std::string& name, bool older,
             std::vector<uint8_t>& message);

}  // namespace singlesound
