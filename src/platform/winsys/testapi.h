#pragma once
// Driving the window system from tests and tools: injected input, turns on
// the process clock, alert answers, screens and read-outs. Main thread only.
#include <string>
#include <vector>

#include "platform/winsys/winsys.h"

namespace winsys::test {

// Frees every window, timer, drag, alert record and application setting,
// and forgets the main thread.
void reset();

void setScreens(const std::vector<Screen>& screens);

// Input at a screen point (y up). A press picks its window and view as the
// platform does; drags and the release follow the press.
void press(Point screen, EventType type = EventType::LeftDown, int clickCount = 1, unsigned modifiers = 0);
void release(Point screen, unsigned modifiers = 0);
void drag(Point screen, unsigned modifiers = 0);
void click(Point screen, int clickCount = 1, unsigned modifiers = 0);
void rightClick(Point screen, unsigned modifiers = 0);
void moveMouse(Point screen, unsigned modifiers = 0);
void scroll(Point screen, double deltaX, double deltaY);
void magnify(Point screen, double amount);
void rotate(Point screen, double degrees);
void swipe(Point screen, double deltaX, double deltaY);
void key(int keyCode, bool down = true, unsigned modifiers = 0);
// Events queued for the next turn instead of delivered now.
void queue(const Event& e);

// A drag of existing files onto the screen point: entered, updated, then
// performed on the view under it. Returns whether a view took it.
bool dropFiles(Point screen, const std::vector<std::string>& paths);
// Drops the drag a view started (app::pendingDrag) at the screen point.
bool dropPending(Point screen);

// One turn outside a modal run: queued events, due timers, display.
void turn();
// Advances the process clock by ms, firing timers as they come due.
void pump(int ms);

// Alert answers, by button title, taken in order.
void answerAlert(const std::string& button);
const std::vector<app::AlertRecord>& alerts();

// Window read-outs.
int levelOf(Window* w);
Rect frameOf(Window* w);
View* responderOf(Window* w);

// Writes a window's backing surface to a PNG file; false on failure.
bool dumpPNG(Window* w, const std::string& path);

}  // namespace winsys::test
