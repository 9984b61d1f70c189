#pragma once
// What every JACK test program shares. Linking this file into a program:
// - moves the program into a private /dev/shm before main, where the machine
//   allows it, and prints which isolation is in force (the CTest resource
//   lock "jack" is always there as well);
// - uses the watchdog of every JACK program (jack_watchdog.h, compiled into
//   the program), which ends a test or a whole run that takes too long with
//   a message naming where it was.
//
// JACK loses a message now and then when a client misses its cycle, more
// often on a loaded machine: every exchange a test expects to cross is
// repeated until it is seen, within kExchangeBudget. Waits on the server and
// on other processes are real time; each one is bounded.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jack_watchdog.h"
#include "jackserver/JackServer.h"

namespace jacktest {

constexpr auto kExchangeBudget = std::chrono::seconds(30);

// A suite of tests on one private server, started before its first test,
// named in the environment, and stopped after its last. A test fails at
// its start when the server is not up.
struct OnPrivateServer : ::testing::Test {
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  static std::unique_ptr<JackServer> server;
};

// The isolation line printed at start.
const std::string& isolation();

// base, then this program's id and a counter: a JACK client name that no
// other test, earlier or at the same time, has used.
std::string uniqueName(const std::string& base);

// Calls attempt(limit) until it returns true or the budget is spent; the
// limit each attempt may wait grows from 250 ms to 2 s. Counts the repeats.
bool repeat(const std::function<bool(std::chrono::milliseconds limit)>& attempt, int* retries = nullptr,
            std::chrono::milliseconds budget = kExchangeBudget);

// Waits until every named port has a connection, looking through a JACK
// client of its own (asked for again while the server refuses it); false
// when the limit passes first.
bool waitConnected(const std::vector<std::string>& ports, std::chrono::milliseconds limit = kExchangeBudget);

// The place in the server's port table of the named port, as a JACK client
// of its own sees it; 0 when there is no such port.
uintptr_t portPlace(const std::string& port);

}  // namespace jacktest
