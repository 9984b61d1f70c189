// Arbitrary messages of 0 to 300 bytes into the incoming dispatch, from the
// port and handed over internally, in each request state; the first three
// bytes also go to both channel-message handlers.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hardware/ParameterList.h"
#include "platform/clock.h"
#include "standin_editor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Program changes pace and start part requests: their pauses take no
  // real time.
  static platform::ManualClock clock;
  static platform::ScopedClock clockScope(clock);
  static hwtest::StandInEditor ed;
  static const bool bound = [] {
    ed.bindSingleParameter(kFilterCutoff, 0x10, 0x00);
    ed.bindSingleParameter(kFilterResonance, 0x7B, 0x01);
    for (int cc : {25, 36, 42, 70, 105}) ed.bindControlChange(kFilterCutoff, cc);
    ed.bindControlChange(kArpSwing, 60);
    ed.bindControlChange(kGlobalLocalControl, 122);
    ed.flags().midiIOSet = true;
    return true;
  }();
  (void)bound;
  if (size == 0) return 0;
  // The first byte picks the state: request pending, global dump awaited,
  // collector armed, target slot.
  const uint8_t state = data[0];
  MIDIMessageManager& hub = ed.hub();
  hub.setRequestPending(state & 1);
  ed.flags().awaitingGlobalDump = (state & 2) != 0;
  if (state & 4) ed.SetLibrarianRequestActive(true);
  ed.setTargetSlot((state >> 3) % 3 == 0 ? -1 : (state >> 3));
  // A block of exactly the message's size, so a read past its end shows.
  const std::vector<uint8_t> message(data + 1, data + 1 + std::min<size_t>(size - 1, 300));
  ISysEx s(0, message.data(), static_cast<int>(message.size()));
  ed.ProcessSysEx(&s, true);
  ed.feedSysEx(message.data(), static_cast<int>(message.size()));
  IMidiMsg channel(0, message.size() > 0 ? message[0] : 0, message.size() > 1 ? message[1] : 0,
                   message.size() > 2 ? message[2] : 0);
  hub.ProcessMidiMsgFromDevice(&channel);
  hub.ProcessMidiMsgFromDAW(&channel, 0);

  if (ed.flags().deviceId < 0 || ed.flags().deviceId > 127) std::abort();
  if (hub.libraryRequest().patch.messages.size() > MIDIMessageManager::LibraryPatchRequest::kMaxMessages + 1)
    std::abort();
  for (int p : {kGlobalDeviceID, kCategoryName, kCurrentBank, kCurrentPatch, kFilterCutoff, kArpSwing}) {
    const IParam* param = ed.GetParam(p);
    if (param->Value() < param->GetMin() || param->Value() > param->GetMax()) std::abort();
  }
  if (ed.hub().applyingIncoming()) std::abort();
  hub.disarmLibraryRequest();
  hub.emptyLibraryRequest();
  return 0;
}
