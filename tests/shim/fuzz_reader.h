#pragma once
// Reads the fuzz targets' input: little-endian numbers, bytes and short
// texts, giving zeros and empty texts once the input runs out.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

struct Reader {
  const uint8_t* p;
  size_t n;
  int32_t i32() {
    int32_t v = 0;
    const size_t k = n < 4 ? n : 4;
    std::memcpy(&v, p, k);
    p += k;
    n -= k;
    return v;
  }
  uint8_t u8() { return n ? (--n, *p++) : 0; }
  std::string text(size_t most = 48) {
    const size_t len = u8() % most;
    const size_t k = len < n ? len : n;
    std::string s(reinterpret_cast<const char*>(p), k);
    p += k;
    n -= k;
    return s;
  }
};
