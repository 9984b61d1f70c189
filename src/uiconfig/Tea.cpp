#include "uiconfig/Tea.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kDecipherSum = 0xC6EF3720u;  // 32 * kDelta, modulo 2^32

uint32_t readBigEndian(const unsigned char* p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3];
}

void writeBigEndian(unsigned char* p, uint32_t w) {
  p[0] = (unsigned char)(w >> 24);
  p[1] = (unsigned char)(w >> 16);
  p[2] = (unsigned char)(w >> 8);
  p[3] = (unsigned char)w;
}

// Applies op to blocks 8-byte blocks of buffer, each as two words in host order.
template <class Op>
void eachHostBlock(unsigned char* buffer, uint32_t blocks, Op op) {
  for (uint32_t b = 0; b < blocks; ++b) {
    uint32_t w[2];
    std::memcpy(w, buffer + 8 * b, 8);
    op(w);
    std::memcpy(buffer + 8 * b, w, 8);
  }
}

}  // namespace

void Tea::encryptTea(uint32_t* words, const uint32_t* k) const {
  uint32_t y = words[0], z = words[1], sum = 0;
  for (int i = 0; i < 32; ++i) {
    sum += kDelta;
    y += ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    z += ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
  }
  words[0] = y;
  words[1] = z;
}

void Tea::decryptTea(uint32_t* words, const uint32_t* k) const {
  uint32_t y = words[0], z = words[1], sum = kDecipherSum;
  for (int i = 0; i < 32; ++i) {
    z -= ((y << 4) + k[2]) ^ (y + sum) ^ ((y >> 5) + k[3]);
    y -= ((z << 4) + k[0]) ^ (z + sum) ^ ((z >> 5) + k[1]);
    sum -= kDelta;
  }
  words[0] = y;
  words[1] = z;
}

void Tea::simpleencrypt(unsigned char* block, const uint32_t* key) const {
  uint32_t w[2] = {readBigEndian(block), readBigEndian(block + 4)};
  encryptTea(w, key);
  writeBigEndian(block, w[0]);
  writeBigEndian(block + 4, w[1]);
}

void Tea::simpledecrypt(unsigned char* block, const uint32_t* key) const {
  uint32_t w[2] = {readBigEndian(block), readBigEndian(block + 4)};
  decryptTea(w, key);
  writeBigEndian(block, w[0]);
  writeBigEndian(block + 4, w[1]);
}

unsigned Tea::encryptBlock(unsigned char* buffer, uint32_t* length, const uint32_t* key) const {
  const uint32_t n = *length;
  const uint32_t dataBlocks = n / 8 + (n % 8 ? 1 : 0);
  const uint32_t blocks = dataBlocks + 1;
  // The trailer: the second word of the extra block holds the length.
  std::memcpy(buffer + 8 * dataBlocks + 4, &n, 4);
  *length = 8 * blocks;
  eachHostBlock(buffer, blocks, [&](uint32_t* w) { encryptTea(w, key); });
  return blocks;
}

uint32_t Tea::decryptBlock(unsigned char* buffer, uint32_t* length, const uint32_t* key) const {
  const uint32_t blocks = *length / 8;
  if (blocks == 0) {
    *length = 0;
    return 0;
  }
  eachHostBlock(buffer, blocks, [&](uint32_t* w) { decryptTea(w, key); });
  uint32_t stored;
  std::memcpy(&stored, buffer + 8 * (blocks - 1) + 4, 4);
  const uint32_t deciphered = 8 * blocks;
  *length = stored < deciphered ? stored : deciphered;
  return *length;
}

void Tea::printBuffer(const unsigned char* buffer, int count) const {
  for (int i = 0; i < count; ++i) std::putchar(buffer[i]);
  std::putchar('\n');
}
