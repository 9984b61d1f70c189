#pragma once
// A value that came from the instrument (a control change's data, a
// single-parameter message's value) as the normalised value its control
// takes.
//
// A pure function: any thread may call it; it takes no lock.
#include <optional>

// (v - min) / (max - min), limited to 0..1. None (nothing moves) when the
// span is 0 or not finite, or v is not finite.
std::optional<double> incomingNormalised(double v, double min, double max);
