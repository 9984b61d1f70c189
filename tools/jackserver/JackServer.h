#pragma once
// A private JACK server for tests and benchmarks: "jackd -n <name>
// --realtime|--no-realtime -d dummy -r <rate> -p <period>", started as a
// child process, waited for until a client can connect (bounded), and
// stopped by its process id. It runs with realtime scheduling where this
// process may use it (see jackRealtimeScheduling), as a user's JACK does.
// It is up once a client of it has seen a process cycle (it takes clients
// before its driver runs, which may still fail to start). A server that
// exits at start or is not up in time is stopped and started again, up to
// kStartAttempts times. Clients reach it through JACK_DEFAULT_SERVER. The server
// is also stopped when the thread that made this object ends, however it
// ends: make it on a thread that lives as long as the server is needed.
#include <sys/types.h>

#include <string>

// JACK keeps its sockets, its shared-memory registry and one metadata
// database per user in /dev/shm, whatever the server's name: a server that
// exits deletes the database under every other client of that user. Its
// registry is locked with one System V semaphore of the whole machine, so
// a server that stalls while it holds that lock stalls every other JACK
// server and client. Where the machine allows it (as root, or with
// unprivileged user namespaces), this gives the calling process, and every
// process it starts from then on, a private /dev/shm in a mount namespace
// of its own and System V objects in an IPC namespace of its own. Call it before any
// other thread starts (only the calling thread changes namespace). It
// returns which isolation is in force, as a line for the test output:
// either way the CTest resource lock "jack" keeps JACK test programs apart.
std::string isolateJackSharedMemory();

// Whether this process may give threads realtime (FIFO) scheduling, and so
// whether private servers run realtime: their process threads and those of
// their clients then run each cycle on time beside busy programs of normal
// priority. Without it a starved server runs late cycles back to back, and
// under heavy load it has been seen to stop answering every client for good
// (its one request thread waiting on a client's reply to a notification).
// The line is for the test output.
struct JackScheduling {
  bool realtime = false;
  std::string line;
};
const JackScheduling& jackRealtimeScheduling();

// Gives the calling thread normal scheduling. For a test's process cycle
// that spins on purpose to stand for a client made late by a busy machine:
// at realtime priority such a cycle would hold its core from everything else
// (on two cores, two of them hold the machine).
void runCallingThreadAtNormalPriority();

class JackServer {
 public:
  struct Options {
    std::string name;  // empty: "tavrin-<pid>-<counter>"
    unsigned rate = 48000;
    unsigned period = 128;
    int startLimitMs = 15000;  // how long the server may take to come up
    bool realtime = jackRealtimeScheduling().realtime;
  };

  static constexpr int kStartAttempts = 4;

  JackServer();
  explicit JackServer(Options options);
  // Stops the server: SIGTERM, a bounded wait, then SIGKILL.
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  // True once a client has seen a process cycle; otherwise error() says why.
  bool running() const { return m_running; }
  const std::string& error() const { return m_error; }
  const std::string& name() const { return m_options.name; }
  unsigned rate() const { return m_options.rate; }
  unsigned period() const { return m_options.period; }
  pid_t pid() const { return m_pid; }
  // The period in microseconds.
  double periodMicros() const { return 1e6 * m_options.period / m_options.rate; }

  // Points this process's JACK clients at the server.
  void exportToEnvironment() const;

  // The server's own output so far (for failure messages).
  std::string log() const;

 private:
  void start();
  // One attempt: starts jackd and waits until it is up (m_running), else
  // stops it and says why in m_error.
  void launch(bool realtime);
  void stop();
  // True once a client of the server has seen a process cycle.
  bool waitUntilUp();
  // Reaps a jackd that has ended, saying why in m_error.
  bool exitedAtStart();

  Options m_options;
  pid_t m_pid = -1;
  bool m_running = false;
  bool m_notInstalled = false;
  std::string m_error;
  std::string m_dir;  // private temporary folder holding the server's log
};
