#include "hardware/IncomingValue.h"

#include <cmath>

std::optional<double> incomingNormalised(double v, double min, double max) {
  const double span = max - min;
  if (!std::isfinite(span) || span == 0.0 || !std::isfinite(v)) return std::nullopt;
  const double n = (v - min) / span;
  return n < 0.0 ? 0.0 : (n > 1.0 ? 1.0 : n);
}
