#pragma once
// What the message hub relies on from whoever implements the editor side of
// EditorLink.h: the flag effects of the progress and librarian services, the
// hand-over of editor-made dumps and the librarian's refusals. A typed test:
// each implementation instantiates it with a harness type H that builds the
// editor with its hub and offers
//   IPluginBase& plugin(); IEditorServices& services(); ILibrarianSlots& slots();
//   SharedFlags& flags(); MIDIMessageManager& hub(); void setUpperBank(bool);
#include <gtest/gtest.h>

#include "hardware/MIDIMessageManager.h"
#include "hardware/ParameterList.h"
#include "hardware/SoundDump.h"
#include "hardware/SysexProtocol.h"

template <class H>
class EditorLinkContract : public ::testing::Test {
 protected:
  H h;
  // The services are called with the editor lock held.
  KIT_MutexLock lock{h.plugin().GetMutex()};

  void setParam(int idx, double v) { h.plugin().GetParam(idx)->SetClamped(v); }
  double param(int idx) { return h.plugin().GetParam(idx)->Value(); }
  static std::vector<uint8_t> dump(int slot) {
    sounddump::Dump d = sounddump::buildInitSlot(0, slot);
    return std::vector<uint8_t>(d.begin(), d.end());
  }
};

TYPED_TEST_SUITE_P(EditorLinkContract);

TYPED_TEST_P(EditorLinkContract, ProgressAndLibrarianFlags) {
  auto& h = this->h;
  MIDIMessageManager& hub = h.hub();
  h.flags().transferInProgress = true;
  h.services().DisplayProcessingIndicator(true);
  EXPECT_FALSE(h.flags().transferInProgress);
  hub.setRequestPending(true);
  h.flags().transferInProgress = true;
  h.services().DisplayProcessingIndicator(false);
  EXPECT_FALSE(h.flags().transferInProgress);
  EXPECT_FALSE(hub.requestPending());

  for (bool active : {false, true}) {
    hub.setReplyArrived(true);
    h.flags().replyReceived = true;
    hub.armLibraryRequest();
    h.services().SetLibrarianRequestActive(active);
    EXPECT_EQ(hub.requestPending(), !active);
    EXPECT_EQ(hub.libraryRequest().active, active);
    EXPECT_TRUE(hub.libraryRequest().patch.messages.empty());
    EXPECT_FALSE(hub.replyArrived());
    EXPECT_FALSE(h.flags().replyReceived);
  }

  hub.setRequestPending(true);
  this->setParam(kDiscardBankData, 1);
  h.services().SetLibrarianStatusUnsaved(true);
  EXPECT_FALSE(hub.requestPending());
  EXPECT_FALSE(hub.libraryRequest().active);
  EXPECT_EQ(this->param(kBankEditUnsaved), 1.0);
  EXPECT_EQ(this->param(kDiscardBankData), 0.0);
}

TYPED_TEST_P(EditorLinkContract, HandOversAndStores) {
  auto& h = this->h;
  this->setParam(kMIDIFilterHWSEPassThrough, 0);
  h.slots().setTargetSlot(37);
  const auto d = this->dump(37);
  h.services().SetLibrarianRequestActive(true);
  ISysEx fromPort(0, d.data(), static_cast<int>(d.size()));
  h.plugin().ProcessSysEx(&fromPort, true);
  EXPECT_TRUE(h.hub().libraryRequest().active);
  h.services().feedSysEx(d.data(), static_cast<int>(d.size()));
  EXPECT_FALSE(h.hub().libraryRequest().active);
  EXPECT_TRUE(h.flags().replyReceived);

  h.flags().transferInProgress = true;
  h.services().SetLibrarianRequestActive(true);
  h.services().feedSysEx(d.data(), static_cast<int>(d.size()));
  EXPECT_TRUE(h.hub().libraryRequest().active);

  CollectedPatch p{"X", 1, {d}};
  for (int slot : {-1, 100}) {
    h.slots().setTargetSlot(slot);
    EXPECT_FALSE(h.slots().storeCollected(p)) << slot;
  }
  h.slots().setTargetSlot(0);
  EXPECT_TRUE(h.slots().storeCollected(p));
  h.setUpperBank(false);
  EXPECT_FALSE(h.slots().hasUpperBank());
  EXPECT_FALSE(h.slots().storeCollected(p));
}

REGISTER_TYPED_TEST_SUITE_P(EditorLinkContract, ProgressAndLibrarianFlags, HandOversAndStores);
