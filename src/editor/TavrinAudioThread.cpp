// The audio callback of the plug-in.
#include <algorithm>

#include "editor/Tavrin.h"

namespace {

// The plug-in makes no sound. Through the double-precision path the outputs
// are the host's own buffers, so whatever they held would go out as audio:
// every sample of every output is set to 0.
void writeSilence(double** outputs, int nChannels, int nFrames) {
  if (outputs == nullptr || nFrames <= 0) return;
  for (int c = 0; c < nChannels; ++c)
    if (double* out = outputs[c]) std::fill(out, out + nFrames, 0.0);
}

}  // namespace

void Tavrin::ProcessDoubleReplacing(double** /*inputs*/, double** outputs, int nFrames) {
  writeSilence(outputs, NOutChannels(), nFrames);
}
