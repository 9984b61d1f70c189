#pragma once
// What every JACK test program shares. Linking this file into a program:
// - moves the program into a private /dev/shm before main, where the machine
//   allows it, and prints which isolation is in force (the CTest resource
//   lock "jack" is always there as well);
// - ends the program when a test runs longer than kTestLimit, with a message
//   naming it and every thread's calls, after stopping its children (JACK
//   servers, simulator programs) by their process ids, instead of letting
//   it hang until CTest kills it; children started with
//   testsupport::dieWithParent go with it however else it ends.
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

#include "jackserver/JackServer.h"

namespace jacktest {

constexpr auto kExchangeBudget = std::chrono::seconds(30);
constexpr auto kTestLimit = std::chrono::seconds(150);
// The environment may shorten the limit (whole seconds) and leave out the
// debugger, for a test of the watchdog itself.
constexpr const char* kTestLimitEnv = "TAVRIN_JACK_TEST_LIMIT_S";
constexpr const char* kNoDebuggerEnv = "TAVRIN_JACK_TEST_NO_DEBUGGER";

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
// client of its own; false when the limit passes first.
bool waitConnected(const std::vector<std::string>& ports, std::chrono::milliseconds limit = kExchangeBudget);

// The place in the server's port table of the named port, as a JACK client
// of its own sees it; 0 when there is no such port.
uintptr_t portPlace(const std::string& port);

// Waits up to tries × 20 ms for a child's end, then (when kill is set)
// kills it by its process id and reaps it.
bool reapWithin(int pid, int& status, int tries, bool kill = false);

}  // namespace jacktest
