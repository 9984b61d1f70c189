// The editor-side contract of the message hub, held by the stand-in.
#include "editorlink_contract.h"
#include "standin_editor.h"

namespace {

struct StandInHarness {
  hwtest::StandInEditor ed;
  IPluginBase& plugin() { return ed; }
  IEditorServices& services() { return ed; }
  ILibrarianSlots& slots() { return ed; }
  SharedFlags& flags() { return ed.flags(); }
  MIDIMessageManager& hub() { return ed.hub(); }
  void setUpperBank(bool present) { ed.setUpperBank(present); }
};

using Harnesses = ::testing::Types<StandInHarness>;
INSTANTIATE_TYPED_TEST_SUITE_P(StandIn, EditorLinkContract, Harnesses);

}  // namespace
