#pragma once
// The key under which the resource descriptions are enciphered. The build's
// encipher tool and the description reader both compile this one header, so
// the files and the reader always match. It keeps the file format, not a
// secret: the plain descriptions live beside it in the repository. A
// constant: any thread may read it.
#include <cstdint>

namespace uiconfig {

inline constexpr uint32_t kResourceKey[4] = {0xe714b24au, 0xe3b6dfcbu, 0x0565bd86u, 0x657bb0f5u};

}  // namespace uiconfig
