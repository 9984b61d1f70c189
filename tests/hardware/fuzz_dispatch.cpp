// Arbitrary messages of 0 to 300 bytes into the incoming dispatch, from the
// port and handed over internally, in each request state.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "hardware/ParameterList.h"
#include "standin_editor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static hwtest::StandInEditor ed;
  static const bool bound = [] {
    ed.bindSingleParameter(kFilterCutoff, 0x10, 0x00);
    ed.bindSingleParameter(kFilterResonance, 0x7B, 0x01);
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

  if (ed.flags().deviceId < 0 || ed.flags().deviceId > 127) std::abort();
  if (hub.libraryRequest().patch.messages.size() > MIDIMessageManager::LibraryPatchRequest::kMaxMessages + 1)
    std::abort();
  for (int p : {kGlobalDeviceID, kCategoryName, kCurrentBank, kFilterCutoff}) {
    const IParam* param = ed.GetParam(p);
    if (param->Value() < param->GetMin() || param->Value() > param->GetMax()) std::abort();
  }
  hub.disarmLibraryRequest();
  hub.emptyLibraryRequest();
  return 0;
}
