// The hub's editor-side contract, held by the plug-in with its librarian
// adapter over a bank in the upper list.
#include "editorlink_contract.h"
#include "librarian/PatchLibrarian.h"
#include "support_tavrin.h"

namespace {

struct TavrinHarness {
  edtest::Harness h{edtest::projectRoot(), nullptr, false, {"Bank A.syx"}, false};
  IPluginBase& plugin() { return h.tavrin(); }
  IEditorServices& services() { return h.tavrin(); }
  ILibrarianSlots& slots() { return h.tavrin().hub()->slots(); }
  SharedFlags& flags() { return h.tavrin().sharedFlags(); }
  MIDIMessageManager& hub() { return *h.tavrin().hub(); }
  void setUpperBank(bool present) { h.tavrin().librarian()->noUpperFile = present ? 0 : 1; }
};

using Harnesses = ::testing::Types<TavrinHarness>;
INSTANTIATE_TYPED_TEST_SUITE_P(Tavrin, EditorLinkContract, Harnesses);

}  // namespace
