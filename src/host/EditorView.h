#pragma once
// The editor view: one window model under both rule sets, shown on one of
// two faces (no display at all, or an X11 window), driven by a thread of
// its own or pumped by its owner.
//
// The context's screen image is the window. A tick asks the framework for
// its dirty area, takes the mode's rectangle for it, clips that to the
// window and paints it at once; the face then shows the painted area.
// Opening paints the whole window. The model counts ticks, paints, painted
// pixels and the union of the painted areas.
//
// Driving:
// - Threaded (the default): opening starts one view thread. It ticks every
//   1/fps on the process clock and delivers queued input (injected, or
//   from the window system) between ticks.
// - Pumped (for tests): no thread. pump(n) first delivers the queued and
//   pending input, then ticks n times, on the caller.
//
// Locking: a tick and each delivery hold the plug-in's mutex. The view
// thread only tries it: when it is busy the tick is skipped (the next one
// repaints the union, since the controls stay dirty) and the input stays
// queued. So stop(), called from a dispatcher that holds the mutex, lets it
// go while it waits for the thread to end, and the thread never waits for
// the mutex except to take back what a modal prompt let go. Counters and
// the queue have a lock of their own; post() and counters() may be called
// from any thread.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "framework/IGraphicsStructs.h"
#include "host/ViewRules.h"

class IGraphicsLinux;

// One input event in view terms: top-origin integer view pixels.
struct ViewEvent {
  enum Kind { kDown, kUp, kDrag, kMove, kWheel, kKey, kEntryCommit, kEntryCancel, kEntryClick };
  Kind kind = kMove;
  int x = 0, y = 0;
  bool secondary = false;  // the right button
  int clicks = 1;
  uint32_t flags = 0;  // viewrules modifier bits
  double delta = 0.0;  // wheel: vertical delta
  std::string chars;   // key: its characters
  int virtualKey = -1;
  // The window system's own record of a key, to hand it on when the view
  // does not take it (0 when injected).
  unsigned int sysKeycode = 0, sysState = 0;
  unsigned long sysTime = 0;
};

struct ViewCounters {
  uint64_t ticks = 0;           // ticks that ran (the mutex was free)
  uint64_t skippedTicks = 0;    // ticks that found the mutex busy
  uint64_t paints = 0;          // areas painted, the opening one included
  uint64_t paintedPixels = 0;   // their pixels
  IRECT paintedUnion;           // the union of the painted areas
  uint64_t delivered = 0;       // input events delivered
  uint64_t unhandledKeys = 0;   // keys the view did not take
};

// What a view shows itself on.
class ViewFace {
 public:
  virtual ~ViewFace() = default;
  virtual bool isX11() const { return false; }
  // Shows a painted area of the screen image.
  virtual void present(const IRECT& area) {}
  // Takes the screen image's new size.
  virtual void resize(int width, int height) {}
  // Moves the window system's pending events into the queue (after a round
  // trip when sync). Called on the thread that drives the view.
  virtual void collect(std::deque<ViewEvent>& out, bool sync) {}
  // A descriptor that turns readable when events wait, or -1.
  virtual int eventFd() const { return -1; }
  // The window went away under the view.
  virtual bool gone() const { return false; }
};

class EditorView {
 public:
  using Mode = viewrules::Mode;
  enum class Driving { Threaded, Pumped };

  EditorView(IGraphicsLinux& graphics, Mode mode, Driving driving, std::unique_ptr<ViewFace> face);
  // stop() must have run.
  ~EditorView();
  EditorView(const EditorView&) = delete;
  EditorView& operator=(const EditorView&) = delete;

  // Paints the whole window (the caller holds the plug-in's mutex) and, when
  // threaded, starts the view thread.
  void start();
  // Ends driving: the thread is told to stop and joined, a pump under way
  // is waited for. Lets go of every level of the plug-in's mutex the caller
  // holds while it waits, and takes them back.
  void stop();
  bool stopping() const { return mStop.load(); }

  // Delivers the queued and pending input, then ticks n times (the caller
  // takes the plug-in's mutex for each). Returns the ticks that painted.
  // Pumped views only; 0 otherwise.
  int pump(int n);
  // One tick with the plug-in's mutex held: the painted area, or empty. A
  // tick after resized() first gives the face the context's size and
  // paints the whole window.
  IRECT tickLocked();
  // The context took another size (the caller holds the plug-in's mutex):
  // the next tick on the driving thread shows it. Any thread.
  void resized();
  // Paints area (framework coordinates, inside the window) and shows it.
  void paint(const IRECT& area);

  void post(const ViewEvent& e);
  ViewCounters counters() const;
  void countUnhandledKey();

  Mode mode() const { return mMode; }
  Driving driving() const { return mDriving; }
  ViewFace* face() const { return mFace.get(); }
  // Whether the caller may use the face: the view thread when threaded, any
  // thread (one at a time) when pumped.
  bool faceUsableHere() const;
  // The descriptor that wakes the driving loop (and modal prompts) on post
  // and stop.
  int wakeFd() const { return mWake[0]; }

 private:
  void run();
  // Delivers queued events, trying the mutex when tryOnly; false when the
  // mutex was busy and events remain.
  bool deliverQueued(bool tryOnly);
  void wake();
  void drainWake();

  IGraphicsLinux& mGraphics;
  const Mode mMode;
  const Driving mDriving;
  std::unique_ptr<ViewFace> mFace;

  std::atomic<bool> mStop{false};
  std::atomic<bool> mResized{false};
  std::thread mThread;
  std::atomic<std::thread::id> mThreadId{};
  std::thread::id mPumpThread;  // under mLock while mPumping > 0
  int mWake[2] = {-1, -1};

  mutable std::mutex mLock;  // counters, queue, pump count
  std::condition_variable mPumpDone;
  int mPumping = 0;
  std::deque<ViewEvent> mQueue;
  ViewCounters mCounters;
};
