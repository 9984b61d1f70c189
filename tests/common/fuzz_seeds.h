// The well-formed inputs a fuzz target may offer to start mutations from.
// Both forms of a target use them: the own driver mutates them directly,
// and the libFuzzer form finds them in a corpus folder (fuzz_seeds.cpp).
#pragma once

#include <cstdint>
#include <vector>

// Defined by the target, if it has seeds.
__attribute__((weak)) void TavrinFuzzSeeds(std::vector<std::vector<uint8_t>>& seeds);
