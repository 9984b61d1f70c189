#pragma once
// The Tiny Encryption Algorithm: 64-bit blocks, a 128-bit key of four
// 32-bit words, 32 cycles. The resource descriptions are sequences of 8-byte
// blocks, each two big-endian words enciphered with simpleencrypt.
//
// Pure functions without state; any thread may call them.
#include <cstdint>

class Tea {
 public:
  // The 8 bytes of block, read as two big-endian words, in place.
  void simpleencrypt(unsigned char* block, const uint32_t* key) const;
  void simpledecrypt(unsigned char* block, const uint32_t* key) const;
  // Two words in host order, in place.
  void encryptTea(uint32_t* words, const uint32_t* key) const;
  void decryptTea(uint32_t* words, const uint32_t* key) const;
  // Enciphers the first *length bytes of buffer as words in host order,
  // followed by one extra block whose second word holds the length. The
  // buffer must have room for 8 * ceil(n / 8) + 8 bytes. *length becomes
  // that size; returns the number of blocks enciphered.
  unsigned encryptBlock(unsigned char* buffer, uint32_t* length, const uint32_t* key) const;
  // Deciphers the whole blocks of the first *length bytes in place and sets
  // *length to the length kept in the last block's second word, limited to
  // the size deciphered. Below one whole block nothing is touched and the
  // result is 0.
  uint32_t decryptBlock(unsigned char* buffer, uint32_t* length, const uint32_t* key) const;
  // Writes count bytes to standard output, then a newline.
  void printBuffer(const unsigned char* buffer, int count) const;
};
