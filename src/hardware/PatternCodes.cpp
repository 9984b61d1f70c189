// The arpeggiator's step codes and the packed tap pattern under the names
// the jobs and the hub give them; the packing itself is in SoundDump and
// TapPattern.
#include <algorithm>

#include "hardware/MIDIMessageManager.h"
#include "hardware/MIDIMessageSender.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "hardware/TapPattern.h"

uint8_t MIDIMessageSender::GeneratePatternCode(int step) const {
  if (step < 0 || step >= static_cast<int>(sounddump::kStepCount)) return 0;
  return sounddump::stepCode(m_hub.paramValue(kPatternStep01Event + step), m_hub.paramValue(kPatternStep01Time + step),
                             m_hub.paramValue(kPatternStep01Glide + step));
}

void MIDIMessageSender::GenTapPatternCode(char* out, char* in) {
  if (out == nullptr || in == nullptr) return;
  int8_t values[tappattern::kUnpackedCount];
  std::copy_n(in, tappattern::kUnpackedCount, values);
  uint8_t bytes[tappattern::kPackedCount];
  tappattern::pack(values, bytes);
  std::copy_n(bytes, tappattern::kPackedCount, out);
}

void MIDIMessageManager::decodeTapPatternCode(unsigned char* in, char* out) {
  if (in == nullptr || out == nullptr) return;
  uint8_t bytes[tappattern::kPackedCount];
  std::copy_n(in, tappattern::kPackedCount, bytes);
  int8_t values[tappattern::kUnpackedCount];
  tappattern::unpack(bytes, values);
  std::copy_n(values, tappattern::kUnpackedCount, out);
}
