// The port layer's JACK clients between themselves on a private server:
// messages on their way at a port change, a sender facing a full queue, a
// message that no port buffer holds, and the threads a client leaves. JACK
// may lose what crosses in a cycle that a client misses: every exchange that
// must cross is repeated until it is seen (support_jack.h).
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hardware/MidiBackendRtMidi.h"
#include "jackserver/JackServer.h"
#include "support_jack.h"
#include "support_midi.h"
#include "testsupport.h"

namespace {

using hwtest::Bytes;

struct JackClients : jacktest::OnPrivateServer {
  std::unique_ptr<MidiBackend> backend = makeRtMidiBackend("jack");
};

// An input client with a port of its own that records what arrives.
struct Receiver {
  std::string name;
  hwtest::Recorder got;
  std::unique_ptr<MidiInClient> in;

  Receiver(MidiBackend& backend, const std::string& base)
      : name(jacktest::uniqueName(base)), in(backend.makeIn(name, 100)) {
    if (!in) return;
    in->ignoreTypes(false, false, false);
    in->setCallback([this](const uint8_t* b, size_t n) { got.processMIDIInput(b, n); });
    if (!in->openVirtualPort("in")) in.reset();
  }
  std::string port() const { return name + ":in"; }
};

// Opens the output's connection to the named port, found in its live list.
bool openOn(MidiOutClient& out, const std::string& port) {
  for (unsigned i = 0; i < out.portCount(); ++i)
    if (out.portName(i) == port) return out.openPort(i, "out");
  return false;
}

bool send(MidiOutClient& out, const Bytes& m) { return out.send(m.data(), m.size()); }

// Sends m until the receiver has it.
bool delivered(MidiOutClient& out, Receiver& rx, const Bytes& m) {
  return jacktest::repeat([&](auto limit) { return send(out, m) && rx.got.waitForMessage(0, m, limit); });
}

// What was queued before a port change goes to the port it was sent to (or
// nowhere, when JACK loses it), never to the next one.
TEST_F(JackClients, AMessageSentBeforeAPortChangeNeverReachesTheNextPort) {
  Receiver first(*backend, "First"), second(*backend, "Second");
  ASSERT_TRUE(first.in && second.in);
  auto out = backend->makeOut(jacktest::uniqueName("Changer"));
  ASSERT_TRUE(out);
  ASSERT_TRUE(openOn(*out, first.port()));
  const Bytes before{0xB0, 0x10, 0x01}, after{0xB0, 0x10, 0x02};
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(send(*out, before)) << i;
  ASSERT_TRUE(openOn(*out, second.port()));
  EXPECT_TRUE(delivered(*out, second, after));
  for (const Bytes& m : second.got.messages()) EXPECT_EQ(m, after);
  for (const Bytes& m : first.got.messages()) EXPECT_EQ(m, before);
}

// A port opened right after another of its client closed takes another
// place in the server's port table, for either direction: a server still
// running on the graph of before (a late cycle keeps it) would otherwise
// connect the closed port's peers to the new one.
TEST_F(JackClients, APortOpenedAfterAClosedOneTakesAnotherPlace) {
  for (const bool output : {true, false}) {
    const std::string name = jacktest::uniqueName(output ? "PlacerOut" : "PlacerIn");
    std::unique_ptr<MidiClient> client;
    if (output) client = backend->makeOut(name);
    else client = backend->makeIn(name, 100);
    ASSERT_TRUE(client);
    std::vector<uintptr_t> places;
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(client->openVirtualPort("port"));
      places.push_back(jacktest::portPlace(name + ":port"));
      client->closePort();
    }
    EXPECT_NE(places[0], 0u);
    EXPECT_NE(places[1], places[0]) << output;
    EXPECT_NE(places[2], places[1]) << output;
    EXPECT_NE(places[2], places[0]) << output;
  }
}

// A full queue makes the sender wait until the cycles have taken from it:
// over four times what the queue holds goes out, nothing refused.
TEST_F(JackClients, AFullQueueMakesTheSenderWaitAndRefusesNothing) {
  auto out = backend->makeOut(jacktest::uniqueName("Filler"));
  ASSERT_TRUE(out && out->openVirtualPort("out"));
  Bytes dump(1000, 0x11);
  dump.front() = 0xF0;
  dump.back() = 0xF7;
  for (int i = 0; i < 300; ++i) ASSERT_TRUE(send(*out, dump)) << i;
  out->closePort();
  EXPECT_FALSE(send(*out, dump));  // no port: nothing would ever take it
}

// A message longer than any buffer of the port is dropped, and what follows
// it still goes.
TEST_F(JackClients, AMessageNoPortBufferHoldsIsDroppedAndTheRestGoOn) {
  Receiver rx(*backend, "Taker");
  ASSERT_TRUE(rx.in);
  auto out = backend->makeOut(jacktest::uniqueName("Giver"));
  ASSERT_TRUE(out && openOn(*out, rx.port()));
  Bytes huge(40'000, 0x22);
  huge.front() = 0xF0;
  huge.back() = 0xF7;
  ASSERT_TRUE(send(*out, huge));
  const Bytes after{0x90, 0x3C, 0x40};
  EXPECT_TRUE(delivered(*out, rx, after));
  for (const Bytes& m : rx.got.messages()) EXPECT_EQ(m, after);
}

// A client's threads (its process and delivery threads, libjack's own) end
// with it.
TEST_F(JackClients, AClientsThreadsEndWithIt) {
  // By id: a thread of the test before may still be listed now, and leave
  // meanwhile (testsupport.h).
  const std::set<int> before = testsupport::threadIds();
  {
    Receiver rx(*backend, "Threads In");
    auto out = backend->makeOut(jacktest::uniqueName("Threads Out"));
    ASSERT_TRUE(rx.in && out && out->openVirtualPort("out"));
    EXPECT_GT(testsupport::threadsNotIn(before), 0u);
  }
  // A joined thread leaves the process's list a moment after its join
  // returns: the wait is bounded.
  EXPECT_TRUE(hwtest::spinUntil([&] { return testsupport::threadsNotIn(before) == 0; }, std::chrono::seconds(10)))
      << testsupport::threadsNotIn(before) << " threads left of the clients";
}

}  // namespace
