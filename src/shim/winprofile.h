#pragma once
// Profile files: text files of "[section]" lines and "key=value" lines,
// kept parsed in a cache of 32 files that is re-read only when a file's
// modification time or size changes. Every change is written back at once
// through a fresh temporary file beside it that replaces the file by a
// rename; a write that fails leaves the file as it was, drops the cached
// copy and reports 0.
//
// Names of sections and keys compare without regard to case; a key's value
// is the last one the file gives it, and a section named twice keeps only
// the keys under its last header. The file holds no escapes, so a section
// containing ']', a key containing '=' (or starting with a blank or '['), an
// empty section name, or any CR or LF makes a write refuse (0, nothing
// changed). File paths compare exactly.
//
// Threads: any thread; every function holds the cache's one recursive lock
// for its whole run.
#include <cstdint>
#include <span>
#include <string>

#include "shim/wintypes.h"

// The value of section/key, blanks around it and one pair of matching
// quotes removed, else def (empty when null), cut to size - 1 bytes and
// ended by a NUL; the length copied. With section null: the section names;
// with key null: the key names of the section; each name ends with a NUL and
// the list with a second one, and the result counts the list without its
// last NUL. Sizes below 1 (below 2 for the lists) give 0; a list at size 1
// writes one NUL.
DWORD GetPrivateProfileString(const char* section, const char* key, const char* def, char* buf, int size,
                              const char* file);
// The value read as a decimal number (saturated to the int range), or def
// when it is missing, empty or does not start with a number ("-0" too).
int GetPrivateProfileInt(const char* section, const char* key, int def, const char* file);
// The section's entries as "key=value" texts each ended by a NUL, and a
// final NUL; the bytes before that final NUL. A list that does not fit is
// cut: the buffer ends with two NULs and the result is size - 2. A null
// buffer or a size below 2 gives 0 (one NUL at size 1).
DWORD GetPrivateProfileSection(const char* section, char* buf, int size, const char* file);
// Decodes the value written by WritePrivateProfileStruct into size bytes.
// The buffer is written only when the value has the right length, every
// pair is hexadecimal and the checksum matches (1); else 0.
BOOL GetPrivateProfileStruct(const char* section, const char* key, void* buf, int size, const char* file);
// Stores value under section/key (key null: deletes the section; value
// null: deletes the key). An unchanged value writes nothing. 1 on success;
// 0 for a null section or file, an empty key, text the file cannot hold, or
// a failed write.
BOOL WritePrivateProfileString(const char* section, const char* key, const char* value, const char* file);
// Replaces the section's keys with the entries of strings ("key=value"
// texts each ended by a NUL, the list by an empty one; entries without '='
// are skipped). 0 for a null section or file, text the file cannot hold or a
// failed write.
BOOL WritePrivateProfileSection(const char* section, const char* strings, const char* file);
// Stores the bytes as upper-case hexadecimal pairs followed by the pair of
// their sum modulo 256. With key or buf null the key (or section) is deleted.
BOOL WritePrivateProfileStruct(const char* section, const char* key, const void* buf, int size, const char* file);

// Parses the bytes of a profile file and gives them as the writer lays them
// out (sections and keys sorted, one value per key, LF line ends).
std::string SHIM_ProfileLayout(std::span<const uint8_t> bytes);
// For tests: the cache slot holding path (-1 when none), and the number of
// times a file has been parsed since the program started.
int SHIM_ProfileSlotOf(const char* path);
uint64_t SHIM_ProfileParseCount();
