#pragma once
// The packed form of a 16-step tap pattern: 33 small values in 11 7-bit
// bytes.
//
// Unpacked, step s (0..15) is a pair at positions 2s and 2s + 1: low (0..7)
// and high (0..2); position 32 holds one more value x (0, 8, 16 or 24).
// Steps 0..14 become base-24 digits low + 8 * high, five to a group, each
// group a 23-bit number spread over the bytes; step 15 and x share the last
// byte. The sound dump does not use this form: its steps travel one byte
// each.
#include <cstddef>
#include <cstdint>

namespace tappattern {

inline constexpr size_t kUnpackedCount = 33;
inline constexpr size_t kPackedCount = 11;

// Packs 33 values into 11 bytes, each below 0x80. Values outside their
// ranges are held to them (low 0..7, high 0..2).
void pack(const int8_t (&in)[kUnpackedCount], uint8_t (&out)[kPackedCount]);
// Unpacks 11 bytes into 33 values. Any bytes give values in range; a high
// part of 3 in the last step reads as 0.
void unpack(const uint8_t (&in)[kPackedCount], int8_t (&out)[kUnpackedCount]);

}  // namespace tappattern
