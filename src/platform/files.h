#pragma once
// Whole-file reads and writes that never leave a file half written: a
// replacing write goes through a temporary sibling and a rename, a new file
// is created exclusively and removed again when its write fails. Plain
// functions without shared state; any thread may call them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

enum class Created { Written, Exists, Failed };

// Creates path exclusively and writes the bytes; a failed write leaves no
// file. Exists when something already has that name.
Created createFileExclusive(const std::string& path, std::span<const uint8_t> bytes);

// Replaces (or creates) the file at path with the bytes. On any failure the
// old file is left as it was and the result is false.
// A symbolic link is followed to the file it finally names, which is written
// (through a temporary file beside it) and keeps its permissions, so that the
// link stays a link; a file with further hard links is rewritten in place,
// so that every name of it shows the new bytes. A link that leads nowhere,
// or a folder that cannot be written, gives false and changes nothing.
bool writeReplacing(const std::string& path, std::span<const uint8_t> bytes);

// Creates the file at path with the bytes; false when a file (or anything
// else) already has that name, or when the write fails (nothing is left).
bool writeNew(const std::string& path, std::span<const uint8_t> bytes);

// Opens path with open(2)'s flags (and mode, where a file is created) only
// when it names a regular file, links followed. Opening never waits: a pipe,
// device or folder put in a file's place counts as missing, and so does a
// name that cannot be opened. The descriptor (closed on exec), or -1.
int openRegularFile(const std::string& path, int flags, unsigned mode = 0644);

// Reads the regular file at path from its start, at most maxBytes of it;
// false (bytes emptied) when it cannot be opened, is not a regular file or a
// read fails.
bool readFileStart(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes);

// Appends the bytes to the regular file at path, creating a missing one;
// false when it is not a regular file or not every byte was written.
bool appendToFile(const std::string& path, std::span<const uint8_t> bytes);

// Reads the whole regular file at path (links followed) into bytes; false
// (bytes emptied) when it cannot be read, is not a regular file or holds more
// than maxBytes.
bool readWholeFile(const std::string& path, std::vector<uint8_t>* bytes, size_t maxBytes);

}  // namespace platform
