#include "shim/winhandle.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "shim/winbase.h"
#include "shim/winregistry.h"

extern char** environ;

namespace {

enum Kind : int {
  kThread = 0x1000002,
  kEvent = 0x1000003,
  kFile = 0x1000004,
  kSocket = 0x1000005,
  kSocketEvent = 0x1000006,
  kProcess = 0x1000007,
};

struct Record {
  explicit Record(int k, int r = 1) : kind(k), refs(r) {}
  virtual ~Record() = default;
  int kind;
  std::atomic<int> refs;
};

struct ThreadRecord : Record {
  ThreadRecord() : Record(kThread, 2) {}
  unsigned (*fn)(void*) = nullptr;
  void* parm = nullptr;
  pthread_t thread{};
  std::mutex m;
  std::condition_variable cv;
  DWORD tid = 0;
  bool started = false;
  unsigned result = 0;
  bool done = false;
  enum { kRunning, kJoining, kJoined, kDetached } join = kRunning;
};

struct EventRecord : Record {
  EventRecord() : Record(kEvent) {}
  std::mutex m;
  std::condition_variable cv;
  bool signalled = false;
  bool manual = false;
};

struct FileRecord : Record {
  FileRecord() : Record(kFile) {}
  ~FileRecord() override {
    if (f) fclose(f);
  }
  FILE* f = nullptr;
};

struct SocketRecord : Record {
  explicit SocketRecord(int k) : Record(k) {}
  ~SocketRecord() override {
    if (kind == kSocketEvent) {
      if (rd >= 0) close(rd);
      if (wr >= 0) close(wr);
    }
  }
  int rd = -1;
  int wr = -1;
  bool autoReset = false;
};

// A child process. Shared between its handle and the thread that reaps it
// when the handle goes while the child runs.
struct Child {
  pid_t pid = 0;
  std::mutex m;
  bool reaped = false;
  int status = -1;

  // Reaps the child when it has ended; true once it has.
  bool poll() {
    std::lock_guard<std::mutex> l(m);
    if (!reaped) {
      int st = 0;
      const pid_t r = waitpid(pid, &st, WNOHANG);
      if (r == pid || (r < 0 && errno == ECHILD)) {
        reaped = true;
        status = r == pid ? st : -1;
      }
    }
    return reaped;
  }
  // Blocks until the child has ended, without reaping it, then reaps it.
  void waitEnd() {
    siginfo_t info;
    while (!poll()) {
      if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno != EINTR) {
        poll();
        return;
      }
    }
  }
};

// A process handle and its child, which the handle gives up when it is
// released or freed; waits and queries take their own reference first.
struct ProcessRecord : Record {
  ProcessRecord() : Record(kProcess) {}
  ~ProcessRecord() override { release(); }
  std::shared_ptr<Child> task() {
    std::lock_guard<std::mutex> l(m);
    return child;
  }
  // Lets go of the child; one that still runs is reaped by a waiter thread.
  void release() {
    std::shared_ptr<Child> c;
    {
      std::lock_guard<std::mutex> l(m);
      c.swap(child);
    }
    if (c && !c->poll()) std::thread([c] { c->waitEnd(); }).detach();
  }
  std::mutex m;
  std::shared_ptr<Child> child;
};

// The live record behind a handle; an unknown or closed handle is not read.
Record* record(HANDLE h) {
  if (!shim::isLiveHandle(h, shim::HandleKind::HandleObject)) return nullptr;
  Record* r = static_cast<Record*>(h);
  return r->kind >= kThread && r->kind <= kProcess ? r : nullptr;
}

// Registers a new record's handle; a record the registry cannot take is
// deleted and null returned.
template <class T>
T* handOut(T* r) {
  if (r && !shim::registerHandle(static_cast<Record*>(r), shim::HandleKind::HandleObject)) {
    delete r;
    return nullptr;
  }
  return r;
}

// Forgets a record's handle and deletes it.
void destroy(Record* r) {
  shim::unregisterHandle(r, shim::HandleKind::HandleObject);
  delete r;
}

template <class T>
T* as(HANDLE h, int kind) {
  Record* r = record(h);
  return r && r->kind == kind ? static_cast<T*>(r) : nullptr;
}

std::atomic<bool> g_multithreaded{false};
thread_local Record* tl_ownThread = nullptr;  // the record of a thread CreateThread started

// A wait's one deadline. On the system clock, condition waits run on the
// monotonic steady clock; under an injected clock the wait pauses through it.
struct Deadline {
  explicit Deadline(DWORD ms)
      : infinite(ms == SHIM_INFINITE),
        system(&platform::clock() == &platform::systemClock()),
        end(platform::monotonicMicros() + uint64_t{ms} * 1000u),
        steadyEnd(std::chrono::steady_clock::now() + std::chrono::milliseconds(infinite ? 0 : ms)) {}
  // Milliseconds left (0 when passed); -1 without a limit.
  int remainingMs() const {
    if (infinite) return -1;
    const uint64_t now = platform::monotonicMicros();
    return now >= end ? 0 : static_cast<int>(std::min<uint64_t>((end - now + 999) / 1000, INT32_MAX));
  }
  bool passed() const { return !infinite && platform::monotonicMicros() >= end; }
  // Waits on cv (l held) until ready() or the deadline; the result is ready().
  template <class Ready>
  bool wait(std::unique_lock<std::mutex>& l, std::condition_variable& cv, Ready ready) {
    if (infinite) {
      cv.wait(l, ready);
      return true;
    }
    if (system) return cv.wait_until(l, steadyEnd, ready);
    while (!ready() && !passed()) {
      l.unlock();
      platform::sleepMicrosUnless(static_cast<uint64_t>(remainingMs()) * 1000u, [] { return false; });
      l.lock();
    }
    return ready();
  }
  bool infinite;
  bool system;
  uint64_t end;
  std::chrono::steady_clock::time_point steadyEnd;
};

// Waits until one of the descriptors is readable; false at the deadline.
bool pollReadable(std::vector<pollfd>& fds, const Deadline& d) {
  for (;;) {
    for (pollfd& p : fds) p.revents = 0;
    const int wait = d.system || d.infinite ? d.remainingMs() : 0;
    const int n = ::poll(fds.data(), fds.size(), wait);
    if (n > 0) return true;
    if (n < 0 && errno != EINTR) return false;
    if (d.infinite) continue;
    if (d.system ? n == 0 : d.passed()) return false;
    if (!d.system) {
      const uint64_t us = static_cast<uint64_t>(d.remainingMs()) * 1000u;
      platform::sleepMicrosUnless(us, [&] {
        for (pollfd& p : fds) p.revents = 0;
        return ::poll(fds.data(), fds.size(), 0) > 0;
      });
    }
  }
}

// An auto-reset socket event takes its signal by reading it; false when
// another waiter took it first.
bool consume(SocketRecord* s) {
  if (!s->autoReset) return true;
  char buf[128];
  return read(s->rd, buf, sizeof buf) > 0;
}

void* threadMain(void* arg) {
  ThreadRecord* t = static_cast<ThreadRecord*>(arg);
  tl_ownThread = t;
  {
    std::lock_guard<std::mutex> l(t->m);
    t->tid = static_cast<DWORD>(syscall(SYS_gettid));
    t->started = true;
  }
  t->cv.notify_all();
  unsigned result = 0;
  try {
    result = t->fn ? t->fn(t->parm) : 0;
  } catch (...) {
  }
  {
    std::lock_guard<std::mutex> l(t->m);
    t->result = result;
    t->done = true;
  }
  t->cv.notify_all();
  CloseHandle(t);
  return nullptr;
}

// Joins the thread once; every later call returns at once.
void joinOnce(ThreadRecord* t) {
  std::unique_lock<std::mutex> l(t->m);
  if (t->join == ThreadRecord::kRunning) {
    t->join = ThreadRecord::kJoining;
    l.unlock();
    pthread_join(t->thread, nullptr);
    l.lock();
    t->join = ThreadRecord::kJoined;
    t->cv.notify_all();
  }
  t->cv.wait(l, [t] { return t->join != ThreadRecord::kJoining; });
}

DWORD waitThread(ThreadRecord* t, DWORD ms) {
  Deadline d(ms);
  {
    std::unique_lock<std::mutex> l(t->m);
    if (ms == 0 && !t->done) return SHIM_WAIT_TIMEOUT;
    if (!d.wait(l, t->cv, [t] { return t->done; })) return SHIM_WAIT_TIMEOUT;
  }
  joinOnce(t);
  return SHIM_WAIT_OBJECT_0;
}

DWORD waitEvent(EventRecord* e, DWORD ms) {
  std::unique_lock<std::mutex> l(e->m);
  if (!e->signalled && (ms == 0 || !Deadline(ms).wait(l, e->cv, [e] { return e->signalled; })))
    return SHIM_WAIT_TIMEOUT;
  if (!e->manual) e->signalled = false;
  return SHIM_WAIT_OBJECT_0;
}

DWORD waitSocket(SocketRecord* s, DWORD ms) {
  if (s->rd < 0) {
    Sleep(ms == SHIM_INFINITE ? 1 : static_cast<int>(std::min<DWORD>(ms, INT32_MAX)));
    return SHIM_WAIT_FAILED;
  }
  Deadline d(ms);
  std::vector<pollfd> fds{pollfd{s->rd, POLLIN, 0}};
  for (;;) {
    if (!pollReadable(fds, d)) return SHIM_WAIT_TIMEOUT;
    if (consume(s)) return SHIM_WAIT_OBJECT_0;
  }
}

DWORD waitChild(Child& c, DWORD ms) {
  if (ms == SHIM_INFINITE) {
    c.waitEnd();
    return SHIM_WAIT_OBJECT_0;
  }
  if (c.poll()) return SHIM_WAIT_OBJECT_0;
  if (ms == 0) return SHIM_WAIT_TIMEOUT;
  Deadline d(ms);
  while (!d.passed()) {
    if (platform::sleepMicrosUnless(static_cast<uint64_t>(d.remainingMs()) * 1000u, [&c] { return c.poll(); }))
      return SHIM_WAIT_OBJECT_0;
  }
  return c.poll() ? SHIM_WAIT_OBJECT_0 : SHIM_WAIT_TIMEOUT;
}

}  // namespace

void SHIM_EnsureMultithreadedCocoa() { g_multithreaded.store(true); }
bool SHIM_IsMultithreaded() { return g_multithreaded.load(); }

HANDLE CreateThread(void*, unsigned, unsigned (*fn)(void*), void* parm, unsigned, unsigned* tid) {
  SHIM_EnsureMultithreadedCocoa();
  // Registered before it starts: the thread closes its own reference.
  ThreadRecord* t = handOut(new ThreadRecord);
  if (!t) return nullptr;
  t->fn = fn;
  t->parm = parm;
  if (pthread_create(&t->thread, nullptr, &threadMain, t) != 0) {
    destroy(t);
    return nullptr;
  }
  if (tid) {
    std::unique_lock<std::mutex> l(t->m);
    t->cv.wait(l, [t] { return t->started; });
    *tid = t->tid;
  }
  return t;
}

BOOL SetThreadPriority(HANDLE h, int priority) {
  ThreadRecord* t = as<ThreadRecord>(h, kThread);
  if (!t) return 0;
  std::lock_guard<std::mutex> l(t->m);
  if (t->done || t->join != ThreadRecord::kRunning) return 0;
  int policy = 0;
  sched_param sp{};
  if (pthread_getschedparam(t->thread, &policy, &sp) != 0) return 0;
  const long want = static_cast<long>(priority) + 31;
  sp.sched_priority = static_cast<int>(
      std::clamp<long>(want, sched_get_priority_min(policy), sched_get_priority_max(policy)));
  return pthread_setschedparam(t->thread, policy, &sp) == 0 ? 1 : 0;
}

DWORD GetCurrentThreadId() { return static_cast<DWORD>(syscall(SYS_gettid)); }

HANDLE CreateEvent(void*, char manualReset, char initialState, const char*) {
  EventRecord* e = new EventRecord;
  e->manual = manualReset != 0;
  e->signalled = initialState != 0;
  return handOut(e);
}

HANDLE CreateEventAsSocket(void*, char manualReset, char initialState, const char*) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
  SocketRecord* s = new SocketRecord(kSocketEvent);
  s->rd = fds[0];
  s->wr = fds[1];
  fcntl(s->rd, F_SETFL, fcntl(s->rd, F_GETFL) | O_NONBLOCK);
  s->autoReset = !manualReset;
  if (initialState) {
    const char b = 0;
    if (write(s->wr, &b, 1) != 1) {
      delete s;
      return nullptr;
    }
  }
  return handOut(s);
}

BOOL SetEvent(HANDLE h) {
  if (EventRecord* e = as<EventRecord>(h, kEvent)) {
    std::lock_guard<std::mutex> l(e->m);
    if (!e->signalled) {
      e->signalled = true;
      if (e->manual)
        e->cv.notify_all();
      else
        e->cv.notify_one();
    }
    return 1;
  }
  SocketRecord* s = as<SocketRecord>(h, kSocketEvent);
  if (!s) return 0;
  if (s->wr < 0) return 1;
  pollfd p{s->rd, POLLIN, 0};
  if (s->rd >= 0 && ::poll(&p, 1, 0) > 0) return 1;
  const char b = 0;
  return write(s->wr, &b, 1) == 1 ? 1 : 0;
}

BOOL ResetEvent(HANDLE h) {
  if (EventRecord* e = as<EventRecord>(h, kEvent)) {
    std::lock_guard<std::mutex> l(e->m);
    e->signalled = false;
    return 1;
  }
  SocketRecord* s = as<SocketRecord>(h, kSocketEvent);
  if (!s) return 0;
  char buf[128];
  if (s->rd >= 0) (void)!read(s->rd, buf, sizeof buf);
  return 1;
}

DWORD WaitForSingleObject(HANDLE h, DWORD ms) {
  Record* r = record(h);
  if (!r) return SHIM_WAIT_FAILED;
  switch (r->kind) {
    case kThread:
      return waitThread(static_cast<ThreadRecord*>(r), ms);
    case kEvent:
      return waitEvent(static_cast<EventRecord*>(r), ms);
    case kSocket:
    case kSocketEvent:
      return waitSocket(static_cast<SocketRecord*>(r), ms);
    case kProcess:
      return SHIM_WaitForNSTask(h, ms);
    default:
      return SHIM_WAIT_FAILED;
  }
}

DWORD WaitForAnySocketObject(int count, HANDLE* objects, DWORD ms) {
  if (count < 1 || !objects) return SHIM_WAIT_TIMEOUT;
  std::vector<pollfd> fds;
  std::vector<int> index;
  for (int i = 0; i < count; ++i) {
    Record* r = record(objects[i]);
    if (!r || (r->kind != kSocket && r->kind != kSocketEvent)) continue;
    const int fd = static_cast<SocketRecord*>(r)->rd;
    if (fd < 0) continue;
    fds.push_back(pollfd{fd, POLLIN, 0});
    index.push_back(i);
  }
  if (fds.empty()) return SHIM_WAIT_TIMEOUT;
  Deadline d(ms);
  for (;;) {
    if (!pollReadable(fds, d)) return SHIM_WAIT_TIMEOUT;
    for (size_t k = 0; k < fds.size(); ++k) {
      if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      if (consume(static_cast<SocketRecord*>(record(objects[index[k]])))) return static_cast<DWORD>(index[k]);
    }
  }
}

BOOL CloseHandle(HANDLE h) {
  Record* r = record(h);
  if (!r) return 0;
  if (r->refs.fetch_sub(1) - 1 > 0) return 1;
  if (r->kind == kSocket) {
    r->refs.store(0);
    return 0;
  }
  if (r->kind == kThread) {
    ThreadRecord* t = static_cast<ThreadRecord*>(r);
    if (tl_ownThread == t) {
      // The thread closes its own last reference: nobody waits for it.
      std::lock_guard<std::mutex> l(t->m);
      if (t->join == ThreadRecord::kRunning) {
        t->join = ThreadRecord::kDetached;
        pthread_detach(pthread_self());
      }
    } else {
      joinOnce(t);
    }
  }
  destroy(r);
  return 1;
}

HANDLE CreateFile(const char*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) { return nullptr; }

HANDLE SHIM_WrapFileStream(FILE* f) {
  if (!f) return nullptr;
  FileRecord* r = new FileRecord;
  r->f = f;
  return handOut(r);
}

HANDLE SHIM_WrapSocket(int fd) {
  SocketRecord* s = new SocketRecord(kSocket);
  s->rd = fd;
  return handOut(s);
}

void SHIM_FreeSocketHandle(HANDLE h) {
  if (SocketRecord* s = as<SocketRecord>(h, kSocket)) destroy(s);
}

static FILE* streamOf(HANDLE h) {
  FileRecord* r = as<FileRecord>(h, kFile);
  return r ? r->f : nullptr;
}

static DWORD fileFailure(DWORD* high) {
  if (high) *high = 0xFFFFFFFFu;
  return 0xFFFFFFFFu;
}

DWORD SetFilePointer(HANDLE h, DWORD offset, DWORD* high) {
  FILE* f = streamOf(h);
  if (!f || (high && *high != 0) || fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0) return fileFailure(high);
  return offset;
}

DWORD GetFilePointer(HANDLE h, DWORD* high) {
  FILE* f = streamOf(h);
  const off_t pos = f ? ftello(f) : -1;
  if (pos < 0 || pos > 0xFFFFFFFEll) return fileFailure(high);
  if (high) *high = 0;
  return static_cast<DWORD>(pos);
}

DWORD GetFileSize(HANDLE h, DWORD* high) {
  FILE* f = streamOf(h);
  if (!f) return fileFailure(high);
  const off_t pos = ftello(f);
  off_t size = -1;
  if (pos >= 0 && fseeko(f, 0, SEEK_END) == 0) size = ftello(f);
  if (pos >= 0) fseeko(f, pos, SEEK_SET);
  if (size < 0 || size > 0xFFFFFFFEll) return fileFailure(high);
  if (high) *high = 0;
  return static_cast<DWORD>(size);
}

BOOL WriteFile(HANDLE h, const void* buf, DWORD n, DWORD* written, void*) {
  FILE* f = streamOf(h);
  if (!f || !buf || n == 0) return 0;
  const size_t done = fwrite(buf, 1, n, f);
  if (written) *written = static_cast<DWORD>(done);
  return done > 0 ? 1 : 0;
}

BOOL ReadFile(HANDLE h, void* buf, DWORD n, DWORD* read, void*) {
  FILE* f = streamOf(h);
  if (!f || !buf || n == 0) return 0;
  const size_t done = fread(buf, 1, n, f);
  if (read) *read = static_cast<DWORD>(done);
  return done > 0 ? 1 : 0;
}

HANDLE SHIM_CreateProcess(const char* path, int count, const char* const* arguments) {
  if (!path || !*path || count < 0) return nullptr;
  std::vector<std::string> args{path};
  for (int i = 0; i < count; ++i) args.emplace_back(arguments && arguments[i] ? arguments[i] : "");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, path, nullptr, nullptr, argv.data(), environ) != 0) return nullptr;
  ProcessRecord* p = new ProcessRecord;
  p->child = std::make_shared<Child>();
  p->child->pid = pid;
  return handOut(p);
}

DWORD SHIM_WaitForNSTask(HANDLE process, DWORD ms) {
  ProcessRecord* p = as<ProcessRecord>(process, kProcess);
  const std::shared_ptr<Child> child = p ? p->task() : nullptr;
  if (!child) return SHIM_WAIT_FAILED;
  return waitChild(*child, ms);
}

void SHIM_ReleaseNSTask(HANDLE process) {
  if (ProcessRecord* p = as<ProcessRecord>(process, kProcess)) p->release();
}

int SHIM_ProcessStatus(HANDLE process) {
  ProcessRecord* p = as<ProcessRecord>(process, kProcess);
  const std::shared_ptr<Child> child = p ? p->task() : nullptr;
  if (!child || !child->poll()) return -1;
  std::lock_guard<std::mutex> l(child->m);
  return child->status;
}

int SHIM_ProcessId(HANDLE process) {
  ProcessRecord* p = as<ProcessRecord>(process, kProcess);
  const std::shared_ptr<Child> child = p ? p->task() : nullptr;
  return child ? child->pid : 0;
}
