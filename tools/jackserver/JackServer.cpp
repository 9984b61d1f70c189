#include "jackserver/JackServer.h"

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_counter{0};

// Quietens libjack's messages while probing a server that is not up yet.
void silent(const char*) {}
void toStderr(const char* text) { std::fprintf(stderr, "%s\n", text); }

std::string tempRoot() {
  const char* t = std::getenv("TMPDIR");
  return (t && *t) ? t : "/tmp";
}

}  // namespace

namespace {

bool writeText(const char* path, const std::string& text) {
  const int fd = open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  return ok;
}

// Mount and IPC namespaces of our own, as root or else inside a user
// namespace that maps our own user and group to themselves.
bool ownNamespaces() {
  if (unshare(CLONE_NEWNS | CLONE_NEWIPC) == 0) return true;
  const uid_t uid = getuid();
  const gid_t gid = getgid();
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS | CLONE_NEWIPC) != 0) return false;
  writeText("/proc/self/setgroups", "deny");
  return writeText("/proc/self/uid_map", std::to_string(uid) + " " + std::to_string(uid) + " 1") &&
         writeText("/proc/self/gid_map", std::to_string(gid) + " " + std::to_string(gid) + " 1");
}

}  // namespace

std::string isolateJackSharedMemory() {
  static const std::string kShared = "JACK isolation: shared /dev/shm, only the CTest resource lock keeps JACK tests apart";
  static const std::string state = [] {
    if (!ownNamespaces()) return kShared + " (no mount and IPC namespaces: " + std::strerror(errno) + ")";
    // Nothing done here may reach the mounts outside.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("tavrin-shm", "/dev/shm", "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777,size=256m") != 0) {
      return kShared + " (no private /dev/shm: " + std::strerror(errno) + ")";
    }
    return std::string(
        "JACK isolation: private /dev/shm and System V objects in namespaces of this program, and the CTest resource "
        "lock");
  }();
  return state;
}

const JackScheduling& jackRealtimeScheduling() {
  static const JackScheduling scheduling = [] {
    // A thread of its own tries FIFO scheduling at the lowest priority, so
    // no thread of the caller changes.
    int rc = 0;
    std::thread probe([&rc] {
      sched_param param{};
      param.sched_priority = sched_get_priority_min(SCHED_FIFO);
      rc = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    });
    probe.join();
    JackScheduling s;
    s.realtime = rc == 0;
    s.line = s.realtime ? "JACK scheduling: private servers and their clients run realtime"
                        : std::string("JACK scheduling: normal (no realtime scheduling: ") + std::strerror(rc) + ")";
    return s;
  }();
  return scheduling;
}

void runCallingThreadAtNormalPriority() {
  sched_param param{};
  pthread_setschedparam(pthread_self(), SCHED_OTHER, &param);
}

JackServer::JackServer() : JackServer(Options{}) {}

JackServer::JackServer(Options options) : m_options(std::move(options)) {
  if (m_options.name.empty()) {
    m_options.name = "tavrin-" + std::to_string(getpid()) + "-" + std::to_string(g_counter.fetch_add(1));
  }
  start();
}

JackServer::~JackServer() {
  stop();
  if (!m_dir.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
  }
}

void JackServer::exportToEnvironment() const { setenv("JACK_DEFAULT_SERVER", m_options.name.c_str(), 1); }

std::string JackServer::log() const {
  if (m_dir.empty()) return std::string();
  std::ifstream in(m_dir + "/jackd.log");
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void JackServer::start() {
  std::string pattern = tempRoot() + "/tavrin-jack-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    m_error = "cannot make a temporary folder for the JACK server";
    return;
  }
  m_dir = buf.data();
  // A loaded machine now and then keeps jackd from starting (a thread it
  // cannot start, or no client accepted in time): it is started again.
  std::string failures;
  for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
    // Waiting for the machine: real time cannot be avoided.
    if (attempt > 1) std::this_thread::sleep_for(std::chrono::milliseconds(100 * attempt));
    m_error.clear();
    // A realtime server that did not come up twice is tried without.
    launch(m_options.realtime && attempt <= 2);
    if (m_running) return;
    failures += (failures.empty() ? "" : "\n") + ("attempt " + std::to_string(attempt) + ": ") + m_error;
    if (m_notInstalled) break;
  }
  m_error = failures;
}

void JackServer::launch(bool realtime) {
  const std::string logPath = m_dir + "/jackd.log";
  const std::string rate = std::to_string(m_options.rate);
  const std::string period = std::to_string(m_options.period);

  // Everything the child needs is made before the fork: only async-signal-safe
  // calls run between fork and exec.
  std::vector<std::string> envText;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "JACK_DEFAULT_SERVER=", 20) != 0 && std::strncmp(*e, "JACK_NO_AUDIO_RESERVATION=", 26) != 0) {
      envText.emplace_back(*e);
    }
  }
  envText.emplace_back("JACK_NO_AUDIO_RESERVATION=1");
  std::vector<char*> env;
  for (auto& t : envText) env.push_back(t.data());
  env.push_back(nullptr);
  std::vector<std::string> argText{"jackd", "-n", m_options.name, realtime ? "--realtime" : "--no-realtime",
                                   "-d", "dummy", "-r", rate, "-p", period};
  std::vector<char*> argv;
  for (auto& t : argText) argv.push_back(t.data());
  argv.push_back(nullptr);
  const int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);

  const pid_t owner = getpid();
  m_pid = fork();
  if (m_pid < 0) {
    m_error = std::string("cannot start jackd: ") + std::strerror(errno);
    if (fd >= 0) close(fd);
    return;
  }
  if (m_pid == 0) {
    // The server must not outlive its owner, even one that crashes or is
    // killed (a test that aborts, a harness that times out): the kernel
    // stops it when the forking thread goes, with the signal that lets it
    // remove its shared-memory files. The owner may already be gone.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != owner) _exit(126);
    if (fd >= 0) {
      dup2(fd, 1);
      dup2(fd, 2);
    }
    execvpe("jackd", argv.data(), env.data());
    _exit(127);
  }
  if (fd >= 0) close(fd);
  m_running = waitUntilUp();
  if (!m_running) {
    if (m_error.empty()) m_error = "jackd did not come up";
    m_error += "; its output:\n" + log();
    stop();
  }
}

bool JackServer::exitedAtStart() {
  int status = 0;
  if (m_pid <= 0 || waitpid(m_pid, &status, WNOHANG) != m_pid) return false;
  m_pid = -1;
  m_notInstalled = WIFEXITED(status) && WEXITSTATUS(status) == 127;
  m_error = m_notInstalled ? "jackd is not installed (tools/setup.sh installs jackd2)" : "jackd exited at start";
  return true;
}

bool JackServer::waitUntilUp() {
  jack_set_error_function(&silent);
  jack_set_info_function(&silent);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.startLimitMs);
  const auto late = [&] { return std::chrono::steady_clock::now() > deadline; };
  bool up = false;
  while (!up && !exitedAtStart()) {
    jack_status_t js;
    jack_client_t* probe = jack_client_open("tavrin-probe", static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                            &js, m_options.name.c_str());
    if (probe) {
      // jackd takes clients before its driver runs, and may still fail to
      // start that ("Cannot start thread"): it is up once a process cycle of
      // the probe has run.
      std::atomic<bool> cycled{false};
      jack_set_process_callback(
          probe, [](jack_nframes_t, void* flag) { static_cast<std::atomic<bool>*>(flag)->store(true); return 0; },
          &cycled);
      if (jack_activate(probe) == 0) {
        // Waiting for another process: real time cannot be avoided.
        while (!cycled && !late() && !exitedAtStart()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      jack_client_close(probe);
      up = cycled;
      if (!up && m_error.empty()) m_error = "jackd ran no process cycle within " + std::to_string(m_options.startLimitMs) + " ms";
      break;
    }
    if (late()) {
      m_error = "jackd did not accept clients within " + std::to_string(m_options.startLimitMs) + " ms";
      break;
    }
    // Waiting for another process to start: real time cannot be avoided.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  jack_set_error_function(&toStderr);
  jack_set_info_function(&toStderr);
  return up;
}

void JackServer::stop() {
  m_running = false;
  if (m_pid <= 0) return;
  kill(m_pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 250; ++i) {
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
      m_pid = -1;
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(m_pid, SIGKILL);
  waitpid(m_pid, &status, 0);
  m_pid = -1;
}
