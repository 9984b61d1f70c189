#include "support_jack.h"

#include <execinfo.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <mutex>
#include <thread>

#include "jackserver/JackServer.h"

namespace jacktest {

namespace {

// Runs before main, while this is the only thread: every thread and child
// process made later shares the namespace. Which isolation is in force is
// the first line of the output.
const std::string g_isolation = [] {
  std::string line = isolateJackSharedMemory();
  std::fprintf(stderr, "%s\n%s\n", line.c_str(), jackRealtimeScheduling().line.c_str());
  return line;
}();

// Opens a JACK client of its own to look at the graph. A busy server now
// and then refuses a new client: it is asked again (in real time, the
// server's), within the limit.
jack_client_t* openObserver(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    jack_client_t* observer = jack_client_open(uniqueName("tavrin-observer").c_str(), JackNoStartServer, nullptr);
    if (observer || std::chrono::steady_clock::now() >= end) return observer;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::atomic<int> g_names{0};

}  // namespace

std::unique_ptr<JackServer> OnPrivateServer::server;

void OnPrivateServer::SetUpTestSuite() {
  server = std::make_unique<JackServer>();
  if (server->running()) server->exportToEnvironment();
}

void OnPrivateServer::TearDownTestSuite() { server.reset(); }

void OnPrivateServer::SetUp() { ASSERT_TRUE(server->running()) << "the private JACK server did not start: " << server->error(); }

const std::string& isolation() { return g_isolation; }

std::string uniqueName(const std::string& base) {
  return base + " " + std::to_string(getpid()) + "-" + std::to_string(g_names.fetch_add(1));
}

bool repeat(const std::function<bool(std::chrono::milliseconds)>& attempt, int* retries,
            std::chrono::milliseconds budget) {
  const auto end = std::chrono::steady_clock::now() + budget;
  auto limit = std::chrono::milliseconds(250);
  for (int i = 0;; ++i) {
    if (i > 0 && retries) ++*retries;
    if (attempt(limit)) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    limit = std::min(limit * 2, std::chrono::milliseconds(2000));
  }
}

bool waitConnected(const std::vector<std::string>& ports, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  jack_client_t* observer = openObserver(limit);
  if (!observer) return false;
  bool all = false;
  while (!all && std::chrono::steady_clock::now() < end) {
    all = std::all_of(ports.begin(), ports.end(), [&](const std::string& name) {
      jack_port_t* port = jack_port_by_name(observer, name.c_str());
      return port && jack_port_connected(port) > 0;
    });
    // The server's graph changes on its own thread: real time.
    if (!all) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  jack_client_close(observer);
  return all;
}

uintptr_t portPlace(const std::string& port) {
  jack_client_t* observer = openObserver(kExchangeBudget);
  if (!observer) return 0;
  // This library's port handles stand for the place itself.
  const uintptr_t place = reinterpret_cast<uintptr_t>(jack_port_by_name(observer, port.c_str()));
  jack_client_close(observer);
  return place;
}

}  // namespace jacktest
