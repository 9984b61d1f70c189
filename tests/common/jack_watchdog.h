#pragma once
// The watchdog of every JACK test program. Compiling jack_watchdog.cpp into
// a program (its own source, not a library member, so that its listener is
// always there) ends the program with a message instead of letting it hang
// until CTest kills it:
// - when a test runs longer than kTestLimit, naming the test;
// - when the whole run (start-up, each suite's set-up that starts its JACK
//   server, the tests, the tear-downs and the program's end) runs longer
//   than the run's limit, naming the stage it was in.
// Both limits are counted in the time the program's JACK servers (the
// servers it started, or its children did) spent running cycles, never
// faster than real time, and in real time while it has no server: a run
// that does not progress while its server's cycles go on hangs, while one
// on a machine so busy that the server itself gets little of the processor
// is only slow, and is given as many of the server's cycles as anywhere.
// Before it ends the program it prints every thread's calls and stops the
// program's children (JACK servers, simulator programs) by their process
// ids; children started with testsupport::dieWithParent go with it however
// else it ends. A crash names the stage it happened in.
//
// The run's limit is TAVRIN_JACK_RUN_LIMIT_S, compiled in for each program
// a little below its CTest time-out (540 s when not given), which it comes
// before on a machine that is not starved.
#include <chrono>
#include <string>

namespace jacktest {

constexpr auto kTestLimit = std::chrono::seconds(150);
// The environment may shorten the limits (whole seconds) and leave out the
// debugger, for a test of the watchdog itself.
constexpr const char* kTestLimitEnv = "TAVRIN_JACK_TEST_LIMIT_S";
constexpr const char* kRunLimitEnv = "TAVRIN_JACK_RUN_LIMIT_S";
constexpr const char* kNoDebuggerEnv = "TAVRIN_JACK_TEST_NO_DEBUGGER";

// The limits in force.
std::chrono::seconds testLimit();
std::chrono::seconds runLimit();

// Where the run is now, as the watchdog would name it.
std::string stage();

// Waits up to tries × 20 ms for a child's end, then (when kill is set)
// kills it by its process id and reaps it.
bool reapWithin(int pid, int& status, int tries, bool kill = false);

}  // namespace jacktest
