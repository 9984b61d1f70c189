#pragma once
// Whole-file writes of bank files that never leave a file half written:
// a replacing write goes through a temporary sibling and a rename, a new file
// is created exclusively and removed again when its write fails.
// Plain functions; any thread may call them, none takes a lock.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "platform/files.h"

namespace bankfileio {

// Whole-file writes that replace through a temporary file (following links
// to the file they name), or create only.
using platform::writeNew;
using platform::writeReplacing;

// True when path names a regular file (links followed) holding exactly bytes.
bool holdsBytes(const std::string& path, std::span<const uint8_t> bytes);

// The folder part of a path: everything before its last "/" or "\"; empty
// when there is none.
std::string folderPart(const std::string& path);
// Everything after the last "/" or "\" (the whole path when there is none).
std::string lastComponent(const std::string& path);

// Writes the bytes under "<folder><stem><ext>", else "<folder><stem> (2)<ext>",
// "(3)" and so on, never replacing a file unless mayReplace says the path may
// be replaced. A name that already holds exactly these bytes is taken as
// written: nothing is written and *found (when given) is set. Returns the
// name written or found (without folder), or empty when nothing could be
// written. folder ends with a separator or is empty.
std::string writeUnderFreeName(const std::string& folder, const std::string& stem, const std::string& ext,
                               std::span<const uint8_t> bytes,
                               const std::function<bool(const std::string& path)>& mayReplace,
                               bool* found = nullptr);

}  // namespace bankfileio
