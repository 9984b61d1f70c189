#pragma once
// The test table of a plug-in module: one exported C function returns a
// versioned table of C function pointers that a test host uses beside the
// effect interface. Only C types cross; C++ objects would cross only between
// a module and a host of the same build, which `build` names.
//
// Threads: every entry may be called from any thread of the host. The
// folder setters take the platform's folder lock; the counts read atomics
// and the process's thread list; the view's entries take the plug-in's
// mutex (pump and the status wait take it for each step).
#include <cstdint>

#include "host/EffectInterface.h"

extern "C" {

enum TavrinViewDriving { kViewThreaded = 0, kViewPumped = 1 };
enum TavrinViewFace { kFaceAuto = 0, kFaceHeadless = 1, kFaceTopLevel = 2 };

struct TavrinViewCounters {
  int64_t ticks, skippedTicks, paints, paintedPixels, delivered, unhandledKeys;
  int32_t paintedUnion[4];  // left, top, right, bottom
  int32_t hostViewRules;    // 1: the host view's rules, 0: the default view's
  int32_t x11;              // 1 while it shows in an X11 window
  uint64_t window;          // that window
};

struct TavrinViewEvent {
  int32_t kind;  // TavrinViewEventKind
  int32_t x, y;  // top-origin view pixels
  int32_t secondary;
  int32_t clicks;
  uint32_t flags;  // shift 0x200, control 0x1000, option 0x800, command 0x100
  double delta;    // the wheel's vertical delta
  char chars[8];   // a key's characters (UTF-8)
  int32_t virtualKey;
};
enum TavrinViewEventKind { kEventDown, kEventUp, kEventDrag, kEventMove, kEventWheel, kEventKey };

enum TavrinAnswer {
  kAnswerMenuText,
  kAnswerMenuIndex,
  kAnswerTextEntry,
  kAnswerFilePrompt,
  kAnswerMessageBox,
  kAnswerOpenURL,
  kAnswerDialog
};
enum TavrinRecord {
  kRecordMenu,
  kRecordTextEntry,
  kRecordFilePrompt,
  kRecordMessageBox,
  kRecordURL,
  kRecordCursor,
  kRecordScriptError
};

struct TavrinModuleTable {
  int32_t version;    // kModuleTableVersion
  const char* build;  // the build folder the module came from
  // Plug-ins of the module alive now.
  int32_t (*liveInstances)(void);
  // Threads of the process started since the module was loaded and still
  // running (the module's own, while the host starts none).
  int32_t (*moduleThreads)(void);
  // The module's folder overrides; null or "" removes one.
  void (*setDataFolder)(const char* path);
  void (*setResourceFolder)(const char* path);
  // Opens the plug-in's hardware output port by name (the MIDI interface of
  // TAVRIN_MIDI_API); 1 when open. Null in modules without it.
  int32_t (*openMidiOut)(AEffect* effect, const char* portName);

  // ---- The editor view (the entries answer 0 for a plug-in whose context
  // has no view of this platform) ----
  // How the next effEditOpen drives the view (TavrinViewDriving) and where
  // it shows it (TavrinViewFace).
  int32_t (*setViewDriving)(AEffect* effect, int32_t driving);
  int32_t (*setViewFace)(AEffect* effect, int32_t face);
  // A pumped view: delivers the queued and pending input, then ticks n
  // times on the caller. The ticks that painted.
  int32_t (*pump)(AEffect* effect, int32_t n);
  // The open view's counters; 0 when no view is open.
  int32_t (*viewCounters)(AEffect* effect, struct TavrinViewCounters* out);
  // Queues an input event for the open view; 0 when none is open.
  int32_t (*postViewEvent)(AEffect* effect, const struct TavrinViewEvent* event);
  // Queues a scripted answer (TavrinAnswer): a menu by text path ("a/b"),
  // by index path ("0/3") or, with a null text, dismissed; a text entry's
  // text (null: cancelled); a file prompt's path (null: cancelled); a
  // message box's button role (1, 7, 2); an OpenURL result; a dialog's
  // command with edit texts "id=text" separated by "\n".
  int32_t (*answer)(AEffect* effect, int32_t kind, const char* text, int32_t number);
  // Records of what was shown (TavrinRecord): how many, and one of them as
  // text lines into buf (the length it needs is returned; -1 for none).
  int32_t (*recordCount)(AEffect* effect, int32_t kind);
  int32_t (*record)(AEffect* effect, int32_t kind, int32_t index, char* buf, int32_t size);
  // The rectangle of the first control bound to a parameter (layerName
  // null), or of a named layer's first control, in window pixels; 0 when
  // there is none.
  int32_t (*controlRect)(AEffect* effect, int32_t paramIdx, const char* layerName, int32_t rect[4]);
  // A parameter's plain value (0 for an index outside the list), and a
  // plain value set through its first control as a user edit would.
  double (*paramValue)(AEffect* effect, int32_t paramIdx);
  int32_t (*setParamFromGUI)(AEffect* effect, int32_t paramIdx, double value);
  // The window's screen image as a PNG file; 1 when written.
  int32_t (*writeScreenPNG)(AEffect* effect, const char* path);

  // ---- The editor's own reads (null in other modules) ----
  // A librarian slot's text (lower: the lower list), the two status lines
  // (0: the status display, 1: the second line), into buf; the length.
  int32_t (*slotText)(AEffect* effect, int32_t lower, int32_t slot, char* buf, int32_t size);
  // A librarian slot's rectangle in window pixels; 0 when there is none.
  int32_t (*slotRect)(AEffect* effect, int32_t lower, int32_t slot, int32_t rect[4]);
  int32_t (*statusLine)(AEffect* effect, int32_t which, char* buf, int32_t size);
  // Waits until a status line reads text (pumping a pumped view), at most
  // limitMs of real time; 1 when it did.
  int32_t (*waitForStatus)(AEffect* effect, const char* text, int32_t limitMs);
  // 1 while a job of the hardware messaging runs.
  int32_t (*jobRunning)(AEffect* effect);
  // Same-build hooks (the pointers are objects of this build's classes):
  // the module's process clock (a platform::Clock; null: the system's),
  // and its ports on an in-process loopback (1: plug-ins made from now on
  // use it) whose other end (a MidiBackend, owned by the module and gone
  // at unload) a simulated synthesizer can take.
  void (*setClock)(void* clock);
  int32_t (*useLoopbackPorts)(int32_t on);
  void* (*loopbackPeer)(void);
};



typedef const TavrinModuleTable* (*TavrinModuleTableProc)(void);
}

inline constexpr int32_t kModuleTableVersion = 2;
inline constexpr const char* kModuleTableSymbol = "tavrin_module_table";

// The table entries every module shares (openMidiOut and the editor's own
// reads null); a module copies it and adds its own.
TavrinModuleTable StandardModuleTable();
// Threads of the process now (the entries of /proc/self/task).
int32_t CountProcessThreads();
