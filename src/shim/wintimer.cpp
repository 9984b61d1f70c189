#include "shim/wintimer.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <deque>
#include <list>
#include <thread>
#include <vector>

#include "kit/mutex.h"
#include "kit/utf8.h"
#include "platform/winsys/testapi.h"
#include "shim/winbase.h"
#include "shim/winwindow.h"

extern HWND g_shim_only_timerhwnd;

namespace {

constexpr UINT_PTR kAll = static_cast<UINT_PTR>(-1);
constexpr size_t kQueueLimit = 1024;

// The target of a callback timer.
class Shim_vTavrin_tft : public winsys::Object {
 public:
  Shim_vTavrin_tft(TIMERPROC cb, HWND w, UINT_PTR id) : m_cb(cb), m_hwnd(w), m_timerid(id) {}
  void fire() {
    if (g_shim_only_timerhwnd && g_shim_only_timerhwnd != m_hwnd) return;
    try {
      m_cb(g_shim_only_timerhwnd ? g_shim_only_timerhwnd : m_hwnd, WM_TIMER, m_timerid, GetTickCount());
    } catch (...) {
      // A timer procedure is the end of the line for its exceptions.
    }
  }
  TIMERPROC m_cb;
  HWND m_hwnd;
  UINT_PTR m_timerid;
};

struct TimerRecord {
  UINT_PTR id = 0;
  HWND window = nullptr;
  int model = 0;                       // the window system's timer
  Shim_vTavrin_tft* target = nullptr;  // owned; null for a window timer
};

// A posted message, or a timer request made on another thread (interval,
// -1 for a kill, in the message's place, the id and procedure in wp and lp).
struct Posted {
  HWND window;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
  bool timerRequest;
  bool cleared;
};

struct Timers {
  KIT_Mutex mutex;
  std::list<TimerRecord> list;  // newest first
  std::vector<Posted> early;    // requests made on other threads before the queue
};

struct Queue {
  KIT_Mutex mutex;
  bool exists = false;
  std::deque<Posted> queued;
  std::vector<Posted> batch;  // the records a flush is delivering
  size_t batchNext = 0;
  bool flushing = false;
  size_t recycled = 0;  // records free for reuse
  winsys::Object* tick = nullptr;
};

Timers& timers() {
  static Timers* t = new Timers;  // lives until the process ends
  return *t;
}
Queue& queue() {
  static Queue* q = new Queue;
  return *q;
}

bool onMainThread() { return winsys::app::isMainThread(); }

// The window object that takes the timers of w: itself, or the content view
// of a platform window.
Shim_vTavrin_hwnd* timerTarget(HWND w) {
  if (auto* v = SHIM_As<Shim_vTavrin_hwnd>(w)) return v;
  if (auto* win = SHIM_As<winsys::Window>(w)) return dynamic_cast<Shim_vTavrin_hwnd*>(win->contentView());
  return nullptr;
}

void stop(TimerRecord& r) {
  if (r.model) winsys::app::cancelTimer(r.model);
  r.model = 0;
  if (r.target) r.target->release();
  r.target = nullptr;
}

// A request from another thread: into the queue, or held until it exists.
void request(HWND w, UINT_PTR id, long interval, TIMERPROC cb) {
  const Posted p{w, static_cast<UINT>(interval), static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(cb), true, false};
  Queue& q = queue();
  {
    KIT_MutexLock l(q.mutex);
    if (q.exists) {
      q.queued.push_back(p);
      return;
    }
  }
  KIT_MutexLock l(timers().mutex);
  timers().early.push_back(p);
}

void applyRequest(const Posted& p) {
  const UINT_PTR id = static_cast<UINT_PTR>(p.wp);
  if (p.msg == static_cast<UINT>(-1))
    KillTimer(p.window, id);
  else
    SetTimer(p.window, id, p.msg, reinterpret_cast<TIMERPROC>(p.lp));
}

void deliver(const Posted& p) {
  if (p.timerRequest) {
    applyRequest(p);
    return;
  }
  auto* w = SHIM_As<Shim_vTavrin_hwnd>(p.window);
  if (!w || !w->shimCanPostMessage()) return;
  winsys::Ref<Shim_vTavrin_hwnd> hold(w);
  SendMessage(p.window, p.msg, p.wp, p.lp);
}

class QueueTick : public winsys::Object {};

std::atomic<int> g_autorelease{0};
std::atomic<bool> g_rightClickEmulate{true};
int g_frontPid = 0;
int g_napCount = 0;
bool g_napActivity = false;

}  // namespace

// ---- Timers ----

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT ms, TIMERPROC callback) {
  if ((!window && !callback) || (window && id == 0)) return 0;
  if (id != kAll && !onMainThread()) {
    if (!window) return 0;  // a window-less timer's id is made on the main thread
    request(window, id, static_cast<long>(std::min<UINT>(ms, 0xFFFFFFFEu)), callback);
    return id;
  }
  Shim_vTavrin_hwnd* view = nullptr;
  if (window) {
    view = timerTarget(window);
    if (!view) return 0;
    window = SHIM_Handle(view);
  }
  Timers& t = timers();
  KIT_MutexLock l(t.mutex);
  TimerRecord* rec = nullptr;
  if (id != 0 || window) {
    for (TimerRecord& r : t.list)
      if (r.id == id && r.window == window) {
        rec = &r;
        break;
      }
  }
  const bool fresh = !rec;
  if (fresh) {
    t.list.emplace_front();
    rec = &t.list.front();
    rec->window = window;
  }
  stop(*rec);
  const int period = ms == 0 ? 1 : static_cast<int>(std::min<UINT>(ms, INT_MAX));
  if (callback || !window) {
    if (!window) id = reinterpret_cast<UINT_PTR>(rec);
    rec->target = new Shim_vTavrin_tft(callback, window, id);
    Shim_vTavrin_tft* target = rec->target;
    rec->model = winsys::app::scheduleTimer(target, period, true, [target] { target->fire(); });
  } else {
    const int timerId = static_cast<int>(id);
    rec->model = winsys::app::scheduleTimer(view, period, true, [view, timerId] { view->onShimTimer(timerId); });
  }
  rec->id = id;
  return id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
  if (!window && id == 0) return FALSE;
  if (id != kAll && !onMainThread()) {
    request(window, id, -1, nullptr);
    return TRUE;
  }
  if (!window && id == kAll) return FALSE;
  if (Shim_vTavrin_hwnd* view = window ? timerTarget(window) : nullptr) window = SHIM_Handle(view);
  Timers& t = timers();
  KIT_MutexLock l(t.mutex);
  bool removed = false;
  for (auto it = t.list.begin(); it != t.list.end();) {
    if (it->window != window || (id != kAll && it->id != id)) {
      ++it;
      continue;
    }
    stop(*it);
    it = t.list.erase(it);
    removed = true;
    if (id != kAll) break;
  }
  return removed ? TRUE : FALSE;
}

int SHIM_TimerCount(HWND window) {
  if (Shim_vTavrin_hwnd* view = window ? timerTarget(window) : nullptr) window = SHIM_Handle(view);
  KIT_MutexLock l(timers().mutex);
  return static_cast<int>(std::count_if(timers().list.begin(), timers().list.end(),
                                        [window](const TimerRecord& r) { return r.window == window; }));
}

// ---- Posted messages ----

void SHIM_Internal_PostMessage_Init() {
  Queue& q = queue();
  std::vector<Posted> early;
  {
    KIT_MutexLock l(q.mutex);
    if (q.exists) return;
    winsys::app::setMainThread();
    q.exists = true;
    q.tick = new QueueTick;
    winsys::app::scheduleTimer(q.tick, 50, true, [] { SHIM_MessageQueue_Flush(); });
    KIT_MutexLock tl(timers().mutex);
    early.swap(timers().early);
    q.queued.insert(q.queued.begin(), early.begin(), early.end());
  }
}

BOOL SHIM_Internal_PostMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  if (!window) return FALSE;
  // Another thread cannot ask the window; the flush checks it before delivering.
  if (onMainThread()) {
    auto* w = SHIM_As<Shim_vTavrin_hwnd>(window);
    if (!w || !w->shimCanPostMessage()) return FALSE;
  }
  Queue& q = queue();
  KIT_MutexLock l(q.mutex);
  if (!q.exists) return FALSE;
  if (q.recycled == 0 && q.queued.size() >= kQueueLimit) return FALSE;
  if (q.recycled > 0) --q.recycled;
  q.queued.push_back(Posted{window, msg, wp, lp, false, false});
  return TRUE;
}

BOOL PostMessage(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
  return SHIM_Internal_PostMessage(window, msg, wp, lp);
}

void SHIM_Internal_PMQ_ClearAllMessages(HWND window) {
  Queue& q = queue();
  KIT_MutexLock l(q.mutex);
  const size_t before = q.queued.size();
  q.queued.erase(std::remove_if(q.queued.begin(), q.queued.end(),
                                [window](const Posted& p) { return !p.timerRequest && (!window || p.window == window); }),
                 q.queued.end());
  q.recycled += before - q.queued.size();
  for (size_t i = q.batchNext; i < q.batch.size(); ++i)
    if (!q.batch[i].timerRequest && (!window || q.batch[i].window == window)) q.batch[i].cleared = true;
}

void SHIM_MessageQueue_Clear(HWND w) { SHIM_Internal_PMQ_ClearAllMessages(w); }

void SHIM_MessageQueue_Flush() {
  Queue& q = queue();
  {
    KIT_MutexLock l(q.mutex);
    if (q.flushing || q.queued.empty()) return;
    q.flushing = true;
    q.batch.assign(q.queued.begin(), q.queued.end());
    q.queued.clear();
    q.batchNext = 0;
  }
  for (;;) {
    Posted p;
    {
      KIT_MutexLock l(q.mutex);
      if (q.batchNext >= q.batch.size()) break;
      p = q.batch[q.batchNext++];
    }
    if (!p.cleared) deliver(p);
  }
  KIT_MutexLock l(q.mutex);
  q.recycled += q.batch.size();
  q.batch.clear();
  q.batchNext = 0;
  q.flushing = false;
}

void SHIM_PostQuitMessage(HWND) { winsys::app::setTerminating(true); }

void SHIM_ResetTimersAndQueue() {
  {
    Timers& t = timers();
    KIT_MutexLock l(t.mutex);
    for (TimerRecord& r : t.list) stop(r);
    t.list.clear();
    t.early.clear();
  }
  Queue& q = queue();
  KIT_MutexLock l(q.mutex);
  q.queued.clear();
  q.batch.clear();
  q.batchNext = 0;
  q.recycled = 0;
  q.exists = false;
  if (q.tick) q.tick->release();
  q.tick = nullptr;
}

// ---- Threads and the run loop ----

void CreateThreadNS(void*, unsigned, unsigned (*function)(void*), void* argument, unsigned, unsigned*) {
  SHIM_EnsureMultithreadedCocoa();
  std::thread([function, argument] {
    try {
      if (function) function(argument);
    } catch (...) {
    }
  }).detach();
}

void* SHIM_InitAutoRelease() {
  ++g_autorelease;
  return new int(0);
}

void SHIM_QuitAutoRelease(void* pool) {
  if (!pool) return;
  delete static_cast<int*>(pool);
  --g_autorelease;
}

int SHIM_AutoReleaseDepth() { return g_autorelease.load(); }

void SHIM_RunEvents() {
  void* pool = SHIM_InitAutoRelease();
  winsys::test::turn();
  SHIM_QuitAutoRelease(pool);
}

void SHIM_RunRunLoop(int ms) { winsys::app::runTimersFor(ms); }

void SHIM_RunRunLoopEx(int ms, HWND window) {
  const HWND previous = g_shim_only_timerhwnd;
  g_shim_only_timerhwnd = window;
  SHIM_RunRunLoop(ms);
  if (g_shim_only_timerhwnd == window) g_shim_only_timerhwnd = previous;
}

void SHIM_MakeProcessFront(HANDLE process) {
  if (const int pid = SHIM_ProcessId(process)) g_frontPid = pid;
}

int SHIM_FrontProcessId() { return g_frontPid; }

// ---- Strings ----

struct SHIM_CFString {
  std::atomic<int> refs{1};
  std::string text;
};

namespace {
bool validUtf8(const unsigned char* s, size_t n) {
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (!len || i + len > n) return false;
    uint32_t cp = len == 1 ? c : len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    static const uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}
}  // namespace

CFStringRef SHIM_CStringToCFString(const char* text) {
  if (!text) text = "";
  const size_t n = std::strlen(text);
  if (!validUtf8(reinterpret_cast<const unsigned char*>(text), n)) return nullptr;
  SHIM_CFString* s = new SHIM_CFString;
  s->text.assign(text, n);
  return s;
}

CFStringRef SHIM_CFRetain(CFStringRef s) {
  if (s) ++const_cast<SHIM_CFString*>(s)->refs;
  return s;
}

void SHIM_CFRelease(CFStringRef s) {
  if (s && --const_cast<SHIM_CFString*>(s)->refs == 0) delete s;
}

const std::string& SHIM_CFStringText(CFStringRef s) {
  static const std::string empty;
  return s ? s->text : empty;
}

void SHIM_CFStringToCString(CFStringRef s, char* buffer, int size) {
  if (!buffer || size < 1) return;
  KIT_CopyField(buffer, static_cast<size_t>(size), s ? s->text.c_str() : "");
}

// ---- Right-click emulation and napping ----

void SHIM_EnableRightClickEmulate(bool enable) { g_rightClickEmulate.store(enable); }
bool IsRightClickEmulateEnabled() { return g_rightClickEmulate.load(); }

void SHIM_DisableAppNap(int delta) {
  if (winsys::app::isTerminating()) return;
  g_napCount += delta;
  if (g_napCount >= 1 && !g_napActivity) g_napActivity = true;
  if (g_napCount < 1 && g_napActivity) g_napActivity = false;
}

int SHIM_AppNapCount() { return g_napCount; }
bool SHIM_AppNapActivityHeld() { return g_napActivity; }
