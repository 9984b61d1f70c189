#pragma once
// The application's state inside the window system (not for the layers
// above). Main thread only.
#include <deque>
#include <functional>
#include <thread>
#include <vector>

#include "platform/winsys/winsys.h"

namespace winsys {

struct AppState {
  static AppState& get();

  void addWindow(Window* w);
  void removeWindow(Window* w);  // the window is going away
  void toFront(Window* w);
  void removeOrdered(Window* w);
  void closed(Window* w);  // closed windows leave the lists

  std::vector<Window*> windows;  // creation order
  std::vector<Window*> ordered;  // visible, front to back
  Window* key = nullptr;
  Menu* mainMenu = nullptr;  // retained
  bool active = true, hidden = false, terminating = false;
  unsigned version = 0x1060;
  unsigned presentation = 0;
  std::vector<Screen> screens;
  Event current;
  bool hasCurrent = false;
  Point pointer;
  unsigned modifiers = 0;
  View* pressed = nullptr;  // the view a press went to; retained
  EventType pressType = EventType::LeftDown;

  struct Timer {
    int id;
    Object* owner;
    uint64_t due;
    uint64_t period;
    bool repeats;
    std::function<void()> fire;
  };
  std::vector<Timer> timers;
  int nextTimer = 1;

  struct Run {
    Window* window;
    std::function<void(Window*)> turn;
    bool stopped = false;
    int code = 0;
    bool session = false;
  };
  std::vector<Run*> modal;
  std::deque<Event> queued;

  bool hasDrag = false;
  Drag drag;
  std::deque<std::string> alertAnswers;
  std::vector<app::AlertRecord> alertRecords;

  bool mainKnown = false;
  std::thread::id mainThread;
};

}  // namespace winsys
