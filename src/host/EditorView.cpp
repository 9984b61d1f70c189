#include "host/EditorView.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "framework/IPluginBase.h"
#include "host/IGraphicsLinux.h"
#include "kit/mutex.h"
#include "platform/clock.h"

namespace {

KIT_Mutex* plugMutex(IGraphicsLinux& g) { return g.GetPlug() ? &g.GetPlug()->GetMutex() : nullptr; }

// The longest the driving loop sleeps between looks at the clock, and the
// pause before it tries a busy mutex again for queued input.
constexpr int kLongestWaitMs = 100;
constexpr int kRetryBusyMs = 2;

}  // namespace

EditorView::EditorView(IGraphicsLinux& graphics, Mode mode, Driving driving, std::unique_ptr<ViewFace> face)
    : mGraphics(graphics), mMode(mode), mDriving(driving), mFace(std::move(face)) {
  if (pipe2(mWake, O_CLOEXEC | O_NONBLOCK) != 0) mWake[0] = mWake[1] = -1;
}

EditorView::~EditorView() {
  stop();
  for (int fd : mWake)
    if (fd >= 0) close(fd);
}

void EditorView::start() {
  paint(IRECT(0, 0, mGraphics.Width(), mGraphics.Height()));
  if (mDriving == Driving::Threaded) mThread = std::thread([this] { run(); });
}

void EditorView::stop() {
  mStop.store(true);
  wake();
  KIT_Mutex* m = plugMutex(mGraphics);
  const int levels = m ? m->ReleaseAll() : 0;
  if (mThread.joinable()) {
    if (mThread.get_id() == std::this_thread::get_id())
      mThread.detach();  // only an ended thread's own tear-down gets here
    else
      mThread.join();
  }
  {
    // A pump under way on another thread ends at its next look at the flag.
    std::unique_lock<std::mutex> lock(mLock);
    mPumpDone.wait(lock, [&] { return mPumping == 0 || mPumpThread == std::this_thread::get_id(); });
  }
  if (m) m->ReacquireAll(levels);
}

bool EditorView::faceUsableHere() const {
  if (mDriving == Driving::Pumped) return true;
  return std::this_thread::get_id() == mThreadId.load();
}

void EditorView::wake() {
  if (mWake[1] >= 0) {
    const char c = 1;
    (void)!write(mWake[1], &c, 1);
  }
}

void EditorView::drainWake() {
  char buf[64];
  while (mWake[0] >= 0 && read(mWake[0], buf, sizeof buf) > 0) {
  }
}

void EditorView::post(const ViewEvent& e) {
  {
    std::lock_guard<std::mutex> lock(mLock);
    mQueue.push_back(e);
  }
  wake();
}

ViewCounters EditorView::counters() const {
  std::lock_guard<std::mutex> lock(mLock);
  return mCounters;
}

void EditorView::countUnhandledKey() {
  std::lock_guard<std::mutex> lock(mLock);
  ++mCounters.unhandledKeys;
}

void EditorView::paint(const IRECT& area) {
  IRECT a = area;
  mGraphics.Draw(&a);
  if (a.Empty()) return;
  {
    std::lock_guard<std::mutex> lock(mLock);
    ++mCounters.paints;
    mCounters.paintedPixels += static_cast<uint64_t>(a.W()) * static_cast<uint64_t>(a.H());
    mCounters.paintedUnion = mCounters.paintedUnion.Union(&a);
  }
  if (mFace) mFace->present(a);
}

void EditorView::resized() {
  mResized.store(true);
  wake();
}

IRECT EditorView::tickLocked() {
  {
    std::lock_guard<std::mutex> lock(mLock);
    ++mCounters.ticks;
  }
  // The face is resized only where it may be used; elsewhere the resize
  // waits for a tick of the driving thread.
  if (mResized.load() && (!mFace || faceUsableHere())) {
    mResized.store(false);
    const IRECT all(0, 0, mGraphics.Width(), mGraphics.Height());
    if (mFace && faceUsableHere()) mFace->resize(all.W(), all.H());
    paint(all);
    return all;
  }
  IRECT dirty;
  if (!mGraphics.IsDirty(&dirty)) return IRECT();
  const IRECT area = viewrules::repaintArea(mMode, dirty, mGraphics.Width(), mGraphics.Height());
  // An area wholly outside the window still cleans the controls.
  paint(area);
  return area;
}

bool EditorView::deliverQueued(bool tryOnly) {
  KIT_Mutex* m = plugMutex(mGraphics);
  for (;;) {
    ViewEvent e;
    {
      std::lock_guard<std::mutex> lock(mLock);
      if (mQueue.empty()) return true;
    }
    if (m) {
      if (tryOnly) {
        if (!m->TryLock()) return false;
      } else {
        m->Lock();
      }
    }
    {
      std::lock_guard<std::mutex> lock(mLock);
      if (mQueue.empty()) {
        if (m) m->Unlock();
        return true;
      }
      e = std::move(mQueue.front());
      mQueue.pop_front();
    }
    mGraphics.DeliverViewEvent(e);
    {
      std::lock_guard<std::mutex> lock(mLock);
      ++mCounters.delivered;
    }
    if (m) m->Unlock();
    if (mStop.load()) return true;
  }
}

int EditorView::pump(int n) {
  if (mDriving != Driving::Pumped) return 0;
  {
    std::lock_guard<std::mutex> lock(mLock);
    if (mStop.load()) return 0;
    ++mPumping;
    mPumpThread = std::this_thread::get_id();
  }
  int painted = 0;
  try {
    if (mFace) {
      std::deque<ViewEvent> pending;
      mFace->collect(pending, true);
      std::lock_guard<std::mutex> lock(mLock);
      for (ViewEvent& e : pending) mQueue.push_back(std::move(e));
    }
    deliverQueued(false);
    KIT_Mutex* m = plugMutex(mGraphics);
    for (int i = 0; i < n && !mStop.load(); ++i) {
      if (m) m->Lock();
      if (!tickLocked().Empty()) ++painted;
      if (m) m->Unlock();
    }
  } catch (...) {
  }
  {
    // Told under the lock: a stop() that waits for this pump may destroy the
    // view as soon as it sees the count drop, and nothing here touches the
    // view after the lock is let go.
    std::lock_guard<std::mutex> lock(mLock);
    --mPumping;
    mPumpDone.notify_all();
  }
  return painted;
}

void EditorView::run() {
  mThreadId.store(std::this_thread::get_id());
  KIT_Mutex* m = plugMutex(mGraphics);
  const uint64_t interval = 1000000u / static_cast<uint64_t>(mGraphics.FPS() > 0 ? mGraphics.FPS() : 25);
  uint64_t next = platform::monotonicMicros() + interval;
  try {
    while (!mStop.load()) {
      if (mFace) {
        std::deque<ViewEvent> pending;
        mFace->collect(pending, false);
        if (!pending.empty()) {
          std::lock_guard<std::mutex> lock(mLock);
          for (ViewEvent& e : pending) mQueue.push_back(std::move(e));
        }
        if (mFace->gone()) break;  // the window went with its parent: the view ends quietly
      }
      const bool backlog = !deliverQueued(true);
      if (mStop.load()) break;
      uint64_t now = platform::monotonicMicros();
      if (now >= next) {
        if (!m || m->TryLock()) {
          tickLocked();
          if (m) m->Unlock();
        } else {
          std::lock_guard<std::mutex> lock(mLock);
          ++mCounters.skippedTicks;
        }
        next += interval;
        if (next <= now) next = now + interval;
        now = platform::monotonicMicros();
      }
      int waitMs = next > now ? static_cast<int>((next - now + 999) / 1000) : 0;
      if (waitMs > kLongestWaitMs) waitMs = kLongestWaitMs;
      if (backlog && waitMs > kRetryBusyMs) waitMs = kRetryBusyMs;
      pollfd fds[2] = {{mWake[0], POLLIN, 0}, {mFace ? mFace->eventFd() : -1, POLLIN, 0}};
      poll(fds, fds[1].fd >= 0 ? 2 : 1, waitMs);
      drainWake();
    }
  } catch (...) {
  }
}
