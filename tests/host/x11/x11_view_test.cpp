// The editor view's X11 face on a private X server: the test owns the
// parent window it hands to effEditOpen and drives input through XTest.
#include <gtest/gtest.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include "framework/IParam.h"
#include "hardware/ParameterList.h"
#include "host/ModuleTable.h"
#include "platform/pngwrite.h"
#include "platform/sanitizer.h"
#include "raster/bitmap.h"
#include "raster/png.h"
#include "support_viewplug.h"
#include "testhost/TestHost.h"
#include "testsupport.h"
#include "xvfb.h"

// The window system's headers last: their macros (None, Bool, True) would
// break the ones above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using testhost::Effect;
using viewplug::ViewPlug;
using Driving = EditorView::Driving;

namespace {

std::unique_ptr<Xvfb> g_server;

struct ServerEnvironment : ::testing::Environment {
  void SetUp() override {
    // A thread checker starts a helper thread of its own with the first
    // thread the program makes: one made and joined first keeps it out of
    // the thread counts.
    std::thread([] {}).join();
    g_server = std::make_unique<Xvfb>();
    if (!g_server->running()) std::fprintf(stderr, "no X server could be started (is Xvfb installed?)\n");
  }
  void TearDown() override { g_server.reset(); }
};
const auto* g_environment = ::testing::AddGlobalTestEnvironment(new ServerEnvironment);

template <class Pred>
bool waitFor(Pred pred, std::chrono::seconds limit = std::chrono::seconds(15)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The test's own connection: the parent window, XTest input, read-backs.
struct Desk {
  Display* d = nullptr;
  Window parent = 0;
  Desk() {
    d = XOpenDisplay(nullptr);
    if (!d) return;
    parent = window();
  }
  // A window of the test's, big enough for the editor (1500 x 757).
  Window window() {
    Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 20, 20, 1540, 900, 0, 0, 0);
    XSelectInput(d, w, KeyPressMask);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
  }
  ~Desk() {
    if (!d) return;
    if (parent) XDestroyWindow(d, parent);
    XCloseDisplay(d);
  }
  void moveTo(Window w, int x, int y) {
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(d, w, DefaultRootWindow(d), x, y, &rx, &ry, &child);
    moveToRoot(rx, ry);
  }
  void moveToRoot(int x, int y) {
    XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime);
    XSync(d, False);
  }
  void button(unsigned b, bool down) {
    XTestFakeButtonEvent(d, b, down ? True : False, CurrentTime);
    XSync(d, False);
  }
  void click(unsigned b = 1) {
    button(b, true);
    button(b, false);
  }
  void key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(d, sym);
    const bool shift = XkbKeycodeToKeysym(d, code, 0, 0) != sym;
    const KeyCode shiftCode = XKeysymToKeycode(d, XK_Shift_L);
    if (shift) XTestFakeKeyEvent(d, shiftCode, True, CurrentTime);
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    if (shift) XTestFakeKeyEvent(d, shiftCode, False, CurrentTime);
    XSync(d, False);
  }
  void type(const std::string& text) {
    for (char c : text) key(c == ',' ? XK_comma : c == '.' ? XK_period : static_cast<KeySym>(c));
  }
  // The window's pixels as 0xRRGGBB, row by row.
  std::vector<uint32_t> pixels(Window w, int width, int height) {
    std::vector<uint32_t> out;
    XImage* img = XGetImage(d, w, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (!img) return out;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) out.push_back(uint32_t(XGetPixel(img, x, y)) & 0xFFFFFF);
    XDestroyImage(img);
    return out;
  }
};

// A PNG's pixels as 0xRRGGBB.
std::vector<uint32_t> pngPixels(const std::string& path, int* w, int* h) {
  std::vector<uint32_t> out;
  std::unique_ptr<RAST_IBitmap> bmp(RAST_LoadPNG(path.c_str(), nullptr));
  if (!bmp) return out;
  *w = bmp->getWidth();
  *h = bmp->getHeight();
  for (int y = 0; y < *h; ++y)
    for (int x = 0; x < *w; ++x) {
      const RAST_pixel p = bmp->getBits()[size_t(y) * size_t(bmp->getRowSpan()) + size_t(x)];
      out.push_back(((p >> 8) & 0xFF) << 16 | ((p >> 16) & 0xFF) << 8 | ((p >> 24) & 0xFF));
    }
  return out;
}

// A pump on a thread of its own, for input whose delivery runs a modal
// prompt; a prompt still open at the end is dismissed with Escape.
struct PumpThread {
  Desk& desk;
  std::thread t;
  PumpThread(Desk& d, IGraphicsLinux* g) : desk(d), t([g] { g->pump(1); }) {}
  ~PumpThread() { finish(); }
  void finish() {
    if (!t.joinable()) return;
    desk.key(XK_Escape);
    desk.moveToRoot(2, 2);
    desk.click();
    t.join();
  }
};

struct X11View : ::testing::Test {
  std::unique_ptr<Desk> desk;
  std::unique_ptr<Effect> fx;
  ViewPlug* plug = nullptr;
  IGraphicsLinux* g = nullptr;

  void SetUp() override {
    if (!g_server || !g_server->running()) GTEST_SKIP() << "no X server";
    desk = std::make_unique<Desk>();
    ASSERT_NE(desk->d, nullptr);
    fx = std::make_unique<Effect>(&viewplug::makeEffect);
    plug = viewplug::plugOf(fx->effect());
    g = plug->graphics();
  }
  void TearDown() override {
    fx.reset();
    desk.reset();
  }
  void open(bool hostView, Driving driving = Driving::Pumped) {
    g->SetDriving(driving);
    if (hostView) fx->canDo("hasHostViewAsConfig");
    ASSERT_EQ(fx->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(desk->parent))), 1);
    ASSERT_TRUE(g->ShowsX11());
  }
  Window view() const { return Window(g->X11Window()); }
  // Points the pointer at a framework point of the view.
  void pointAt(int x, int y) { desk->moveTo(view(), x + 2, y + 3); }
  void clickAt(int x, int y, unsigned b = 1) {
    pointAt(x, y);
    desk->click(b);
  }
  static IRECT centre(const IRECT& r) { return IRECT((r.L + r.R) / 2, (r.T + r.B) / 2, 0, 0); }
  double value(int idx) {
    KIT_MutexLock lock(plug->GetMutex());
    return plug->GetParam(idx)->Value();
  }
  size_t changesOf(int idx) {
    KIT_MutexLock lock(plug->GetMutex());
    return size_t(std::count(plug->changes.begin(), plug->changes.end(), idx));
  }
};

// After a pumped tick the child window shows the saved screen image, pixel
// for pixel.
TEST_F(X11View, WindowPixelsEqualTheScreenImage) {
  for (bool hostView : {false, true}) {
    SCOPED_TRACE(hostView ? "host view" : "default view");
    open(hostView);
    {
      KIT_MutexLock lock(plug->GetMutex());
      g->SetParameterFromPlug(viewplug::kSwitch, hostView ? 1.0 : 0.0, false);
      g->SetParameterFromPlug(viewplug::kKnob, 0.25, false);
    }
    EXPECT_EQ(g->pump(1), 1);
    testsupport::TempDir dir;
    const std::string png = dir.file("screen.png");
    {
      KIT_MutexLock lock(plug->GetMutex());
      ASSERT_TRUE(platform::writePNG(png, reinterpret_cast<const uint8_t*>(g->screenImage().data()), g->Width(),
                                     g->Height(), g->Width() * 4, false));
    }
    int w = 0, h = 0;
    const std::vector<uint32_t> saved = pngPixels(png, &w, &h);
    ASSERT_EQ(w, ViewPlug::kWidth);
    ASSERT_EQ(h, ViewPlug::kHeight);
    const std::vector<uint32_t> shown = desk->pixels(view(), w, h);
    ASSERT_EQ(shown.size(), saved.size());
    size_t differ = 0;
    for (size_t i = 0; i < shown.size(); ++i) differ += shown[i] != saved[i];
    EXPECT_EQ(differ, 0u);
    EXPECT_EQ(shown[size_t(25) * size_t(w) + 15], hostView ? 0xFF0000u : 0x0000FFu);
    fx->dispatch(effEditClose);
  }
}

// XTest input: a click switches once, a drag moves the knob, a wheel step
// moves it, keys reach the pad at the last pointer position, a key the view
// does not take goes on to the parent window.
// Both rule sets: the default view's and the host view's.
struct X11ViewModes : X11View, ::testing::WithParamInterface<bool> {};
INSTANTIATE_TEST_SUITE_P(Views, X11ViewModes, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "HostView" : "DefaultView"; });

TEST_P(X11ViewModes, InputThroughTheWindowSystem) {
  open(GetParam());
  const IRECT sw = centre(ViewPlug::swatchRect());
  clickAt(sw.L, sw.T);
  g->pump(1);
  EXPECT_EQ(changesOf(viewplug::kSwitch), 1u);
  EXPECT_EQ(value(viewplug::kSwitch), 1.0);

  const IRECT knob = centre(ViewPlug::knobRect());
  pointAt(knob.L, knob.T);
  desk->button(1, true);
  for (int i = 1; i <= 4; ++i) pointAt(knob.L, knob.T - 5 * i);
  desk->button(1, false);
  g->pump(1);
  EXPECT_NEAR(value(viewplug::kKnob), 0.7, 1e-9);
  pointAt(knob.L, knob.T);
  desk->click(4);  // one wheel step up
  g->pump(1);
  EXPECT_NEAR(value(viewplug::kKnob), 0.8, 1e-9);

  pointAt(398, 347);
  desk->key(XK_a);
  g->pump(0);
  {
    KIT_MutexLock lock(plug->GetMutex());
    ASSERT_EQ(plug->keys.size(), 1u);
    EXPECT_EQ(std::vector<int>({plug->keys[0].x, plug->keys[0].y, plug->keys[0].code}),
              std::vector<int>({398, 347, 15}));
  }
  desk->key(XK_numbersign);
  g->pump(0);
  EXPECT_EQ(g->counters().unhandledKeys, 1u);
  XEvent ev;
  ASSERT_TRUE(waitFor([&] { return XCheckTypedWindowEvent(desk->d, desk->parent, KeyPress, &ev) == True; }));
  EXPECT_TRUE(ev.xkey.send_event);
  EXPECT_EQ(XLookupKeysym(&ev.xkey, 1), KeySym(XK_numbersign));
}

// A menu opens as a window of its own; while it waits the plug-in's mutex
// is free; a click on an item chooses it.
TEST_F(X11View, MenuWindowAndItsChoice) {
  for (bool hostView : {false, true}) {
    SCOPED_TRACE(hostView ? "host view" : "default view");
    open(hostView);
    const size_t menusBefore = g->menus().size();
    const IRECT prompt = centre(ViewPlug::promptRect(viewplug::kMode));
    clickAt(prompt.L, prompt.T);
    PumpThread pumping(*desk, g);
    IRECT window;
    int row = 0;
    ASSERT_TRUE(waitFor([&] {
      KIT_MutexLock lock(plug->GetMutex());
      if (g->menus().size() == menusBefore || g->menus().back().window.Empty()) return false;
      window = g->menus().back().window;
      row = g->menus().back().rowHeight;
      return true;
    }));
    // The menu opens five pixels below the prompt, at its left edge.
    int rx = 0, ry = 0;
    Window child;
    const IRECT r = ViewPlug::promptRect(viewplug::kMode);
    XTranslateCoordinates(desk->d, view(), DefaultRootWindow(desk->d), r.L, r.B + 5, &rx, &ry, &child);
    EXPECT_EQ(std::vector<int>({window.L, window.T}), std::vector<int>({rx, ry}));
    EXPECT_TRUE(plug->GetMutex().TryLock());  // let go while the menu waits
    plug->GetMutex().Unlock();
    desk->moveToRoot((window.L + window.R) / 2, window.T + 1 + 2 * row + row / 2);
    desk->click();
    pumping.t.join();
    EXPECT_EQ(value(viewplug::kMode), 2.0);
    // A click outside dismisses the next one (away from the first click,
    // which would make it a double click).
    clickAt(prompt.L + 10, prompt.T);
    PumpThread again(*desk, g);
    ASSERT_TRUE(waitFor([&] {
      KIT_MutexLock lock(plug->GetMutex());
      return g->menus().size() == menusBefore + 2 && !g->menus().back().window.Empty();
    }));
    desk->moveToRoot(5, 5);
    desk->click();
    again.t.join();
    EXPECT_EQ(value(viewplug::kMode), 2.0);
    fx->dispatch(effEditClose);
    KIT_MutexLock lock(plug->GetMutex());
    g->SetParameterFromPlug(viewplug::kMode, 0.0, false);
  }
}

// Closing the editor while a menu waits for a choice, on the view thread
// and on a pumping thread: the menu ends as dismissed and the close returns.
TEST_F(X11View, ClosingWhileAMenuWaits) {
  for (Driving driving : {Driving::Threaded, Driving::Pumped}) {
    SCOPED_TRACE(driving == Driving::Threaded ? "threaded" : "pumped");
    open(false, driving);
    const size_t menusBefore = g->menus().size();
    const IRECT prompt = centre(ViewPlug::promptRect(viewplug::kMode));
    clickAt(prompt.L, prompt.T);
    std::thread pumping;
    if (driving == Driving::Pumped) pumping = std::thread([this] { g->pump(1); });
    ASSERT_TRUE(waitFor([&] {
      KIT_MutexLock lock(plug->GetMutex());
      return g->menus().size() > menusBefore && !g->menus().back().window.Empty();
    }));
    EXPECT_EQ(fx->dispatch(effEditClose), 1);
    if (pumping.joinable()) pumping.join();
    EXPECT_EQ(g->view(), nullptr);
    EXPECT_EQ(value(viewplug::kMode), 0.0);
  }
  // The next editor opens and takes input.
  open(false);
  const IRECT sw = centre(ViewPlug::swatchRect());
  clickAt(sw.L, sw.T);
  g->pump(1);
  EXPECT_EQ(changesOf(viewplug::kSwitch), 1u);
}

// A text entry line takes typed keys (refusing what its type refuses) and
// commits on Return.
TEST_P(X11ViewModes, TextEntryLine) {
  open(GetParam());
  const IRECT prompt = centre(ViewPlug::promptRect(viewplug::kLevel));
  clickAt(prompt.L, prompt.T);
  g->pump(0);
  ASSERT_EQ(g->textEntries().size(), 1u);
  desk->type("1,.5");
  desk->key(XK_Return);
  g->pump(0);
  EXPECT_EQ(value(viewplug::kLevel), 1.5);
  EXPECT_EQ(changesOf(viewplug::kLevel), 1u);
  // Escape cancels (a click away from the first, which a second click there
  // would make a double click).
  clickAt(prompt.L + 10, prompt.T);
  g->pump(0);
  ASSERT_EQ(g->textEntries().size(), 2u);
  desk->type("7");
  desk->key(XK_Escape);
  g->pump(0);
  EXPECT_EQ(value(viewplug::kLevel), 1.5);
  // A click elsewhere commits.
  clickAt(prompt.L - 10, prompt.T);
  g->pump(0);
  ASSERT_EQ(g->textEntries().size(), 3u);
  desk->type("2");
  clickAt(450, 450);
  g->pump(0);
  EXPECT_EQ(value(viewplug::kLevel), 2.0);
}

// A message box and a file prompt as windows of their own, answered with
// keys; the file prompt starts in the desktop folder of the user's home
// while the folder it hands back stays "~/Desktop" when cancelled.
TEST_F(X11View, MessageBoxAndFilePromptWindows) {
  open(false);
  auto modal = [&](std::function<void()> prompt, int kind, KeySym key) {
    const size_t before = kind == 0 ? g->messageBoxes().size() : g->filePrompts().size();
    std::thread asking([&] {
      KIT_MutexLock lock(plug->GetMutex());
      prompt();
    });
    EXPECT_TRUE(waitFor([&] {
      KIT_MutexLock lock(plug->GetMutex());
      return (kind == 0 ? g->messageBoxes().size() : g->filePrompts().size()) > before;
    }));
    // The prompt's window is up once it holds the keyboard.
    EXPECT_TRUE(waitFor([&] {
      const int grabbed = XGrabKeyboard(desk->d, DefaultRootWindow(desk->d), False, GrabModeAsync, GrabModeAsync,
                                        CurrentTime);
      if (grabbed == GrabSuccess) XUngrabKeyboard(desk->d, CurrentTime);
      XSync(desk->d, False);
      return grabbed == AlreadyGrabbed;
    }));
    desk->key(key);
    asking.join();
  };
  int answer = -1;
  modal([&] { answer = g->ShowMessageBox("Save the bank?", "Bank", 3); }, 0, XK_Return);
  EXPECT_EQ(answer, 1);
  modal([&] { answer = g->ShowMessageBox("Really?", "Bank", 4); }, 0, XK_Escape);
  EXPECT_EQ(answer, 0);

  const std::string home = getenv("HOME") ? getenv("HOME") : "";
  KIT_String name("Bank.syx"), dir("");
  modal([&] { g->PromptForFile(&name, kFileSave, &dir, "syx"); }, 1, XK_Escape);
  EXPECT_STREQ(name.Get(), "");
  EXPECT_STREQ(dir.Get(), "~/Desktop");
  name.Set("Bank.syx");
  modal([&] { g->PromptForFile(&name, kFileSave, &dir, "syx"); }, 1, XK_Return);
  EXPECT_EQ(std::string(name.Get()), home + "/Desktop/Bank.syx");
  EXPECT_EQ(std::string(dir.Get()), home + "/Desktop/");
  // A name saved without one of the allowed types gets the first; one of
  // them, in any case, stays.
  for (const auto& [typed, saved] : {std::pair<const char*, const char*>{"My Bank", "My Bank.sr2"},
                                     {"Bank.txt", "Bank.txt.sr2"},
                                     {"Bank.MID", "Bank.MID"}}) {
    name.Set(typed);
    modal([&] { g->PromptForFile(&name, kFileSave, &dir, "sr2 mid"); }, 1, XK_Return);
    EXPECT_EQ(std::string(name.Get()), home + "/Desktop/" + saved);
  }
}

// Threaded driving over X11: input arrives without a pump; closing joins.
TEST_F(X11View, ThreadedViewTakesInput) {
  open(true, Driving::Threaded);
  const IRECT sw = centre(ViewPlug::swatchRect());
  clickAt(sw.L, sw.T);
  EXPECT_TRUE(waitFor([&] { return changesOf(viewplug::kSwitch) == 1; }));
  EXPECT_TRUE(waitFor([&] { return g->counters().paints >= 2; }));
  EXPECT_EQ(fx->dispatch(effEditClose), 1);
}

// A parent that goes away ends the view quietly; a pointer that is not a
// window, or no display, gives the view without a window; a top-level window
// when asked.
TEST_F(X11View, FacesAndAVanishingParent) {
  open(false);
  XDestroyWindow(desk->d, desk->parent);
  desk->parent = 0;
  XSync(desk->d, False);
  g->pump(2);
  EXPECT_FALSE(g->ShowsX11());
  EXPECT_EQ(fx->dispatch(effEditClose), 1);

  ASSERT_EQ(fx->dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(0x7fff1234))), 1);
  EXPECT_FALSE(g->ShowsX11());
  EXPECT_EQ(fx->dispatch(effEditClose), 1);

  g->SetFace(IGraphicsLinux::Face::TopLevel);
  ASSERT_EQ(fx->dispatch(effEditOpen), 1);
  ASSERT_TRUE(g->ShowsX11());
  Window root = 0, parent = 0, *children = nullptr;
  unsigned n = 0;
  XQueryTree(desk->d, view(), &root, &parent, &children, &n);
  if (children) XFree(children);
  EXPECT_EQ(parent, root);
  EXPECT_EQ(fx->dispatch(effEditClose), 1);
}

// With a window, links go to the desktop's opener, the text its one
// argument, and the answer is its exit status.
TEST_F(X11View, LinksGoToTheDesktopsOpener) {
  testsupport::TempDir bin;
  const std::string log = bin.file("opened.txt");
  ASSERT_TRUE(testsupport::writeFile(bin.file("xdg-open"),
                                     "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$1\" >> '" + log +
                                         "'\ncase \"$1\" in *fail*) exit 4;; esac\nexit 0\n"));
  chmod(bin.file("xdg-open").c_str(), 0755);
  const std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", (bin.path() + ":" + path).c_str(), 1);
  open(false);
  EXPECT_TRUE(g->OpenURL("https://example.org/a page; echo x"));
  EXPECT_FALSE(g->OpenURL("/tmp/fail.pdf"));
  EXPECT_FALSE(g->OpenURL(""));
  setenv("PATH", path.c_str(), 1);
  std::ifstream f(log);
  std::string a, b;
  std::getline(f, a);
  std::getline(f, b);
  EXPECT_EQ(a, "1|https://example.org/a page; echo x");
  EXPECT_EQ(b, "1|/tmp/fail.pdf");
  EXPECT_EQ(g->urls().size(), 2u);
}

// A link whose opener takes its time (it waits on a named pipe the test
// holds) leaves the audio callback running: blocks go on while the opener
// waits, none takes more than 50 ms longer than the blocks before the link,
// and the answer is the opener's exit status. On the view thread and on a
// pumping thread.
struct X11ViewDriving : X11View, ::testing::WithParamInterface<Driving> {};
INSTANTIATE_TEST_SUITE_P(Drivings, X11ViewDriving, ::testing::Values(Driving::Threaded, Driving::Pumped),
                         [](const auto& info) { return info.param == Driving::Threaded ? "Threaded" : "Pumped"; });

// The opener of the link tests: it notes that it runs in a file, then
// waits on a named pipe for the exit code the test writes.
struct SlowOpener {
  testsupport::TempDir bin;
  const std::string gate = bin.file("gate"), started = bin.file("started");
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  bool ok = false;
  SlowOpener() {
    ok = mkfifo(gate.c_str(), 0600) == 0 &&
         testsupport::writeFile(bin.file("xdg-open"), "#!/bin/sh\n: > '" + started + "'\nread code < '" + gate +
                                                          "'\nrm -f '" + started + "'\nexit \"$code\"\n") &&
         chmod(bin.file("xdg-open").c_str(), 0755) == 0;
    setenv("PATH", (bin.path() + ":" + path).c_str(), 1);
  }
  // Waits for an opener to run.
  bool waitStarted() {
    released = false;
    return waitFor([&] { return testsupport::fileExists(started); });
  }
  // Lets a waiting opener exit with code; false when none waits.
  bool release(int code) {
    released = true;
    int fd = -1;
    if (!waitFor([&] { return (fd = ::open(gate.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; })) return false;
    const std::string line = std::to_string(code) + "\n";
    const bool written = write(fd, line.data(), line.size()) == ssize_t(line.size());
    close(fd);
    return written;
  }
  ~SlowOpener() {
    setenv("PATH", path.c_str(), 1);
    if (!released && testsupport::fileExists(started)) release(0);  // none left behind
  }
  bool released = false;
};

// The host's audio thread: blocks one after another, each timed.
struct AudioBlocks {
  using Clock = std::chrono::steady_clock;
  std::atomic<bool> running{true};
  std::atomic<uint64_t> blocks{0};
  std::atomic<int64_t> longestUs{0};
  std::thread thread;
  explicit AudioBlocks(Effect& fx)
      : thread([this, &fx] {
          while (running.load()) {
            const auto t0 = Clock::now();
            fx.process(Effect::Kind::Replacing, 256);
            const int64_t us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - t0).count();
            if (us > longestUs.load()) longestUs.store(us);
            ++blocks;
            std::this_thread::yield();
          }
        }) {}
  ~AudioBlocks() {
    running = false;
    thread.join();
  }
  // Waits (at most limit) for n more blocks to end.
  bool more(uint64_t n, std::chrono::seconds limit = std::chrono::seconds(15)) {
    const uint64_t first = blocks.load();
    return waitFor([&] { return blocks.load() >= first + n; }, limit);
  }
};

TEST_P(X11ViewDriving, ASlowLinkLeavesTheAudioRunning) {
  SlowOpener opener;
  ASSERT_TRUE(opener.ok);
  fx->start();
  open(false, GetParam());
  AudioBlocks audio(*fx);
  constexpr uint64_t kBlocks = 200;

  // Opens the link, lets kBlocks blocks run while the opener waits, then
  // lets the opener exit with code; the opener's answer. The blocks get 5 s,
  // half the time the opener is given.
  auto openLink = [&](int code, bool* blocksRan, int64_t* longestBefore, int64_t* longestDuring) {
    audio.longestUs.store(0);
    EXPECT_TRUE(audio.more(kBlocks));
    *longestBefore = audio.longestUs.exchange(0);
    size_t answers = 0;
    {
      KIT_MutexLock lock(plug->GetMutex());
      answers = plug->linkAnswers.size();
    }
    const IRECT link = centre(ViewPlug::linkRect());
    clickAt(link.L, link.T);
    std::thread pumping;
    if (GetParam() == Driving::Pumped) pumping = std::thread([this] { g->pump(0); });
    EXPECT_TRUE(opener.waitStarted());
    *blocksRan = audio.more(kBlocks, std::chrono::seconds(5));
    EXPECT_TRUE(opener.release(code));
    if (pumping.joinable()) pumping.join();
    bool answer = false;
    EXPECT_TRUE(waitFor([&] {
      KIT_MutexLock lock(plug->GetMutex());
      if (plug->linkAnswers.size() <= answers) return false;
      answer = plug->linkAnswers.back();
      return true;
    }));
    *longestDuring = audio.longestUs.load();
    return answer;
  };

  for (int code : {0, 3}) {
    SCOPED_TRACE("exit " + std::to_string(code));
    // A machine busy elsewhere may stall any one block: the timing is
    // tried again a few times, the blocks that run meanwhile are not.
    for (int attempt = 0;; ++attempt) {
      bool blocksRan = false;
      int64_t before = 0, during = 0;
      EXPECT_EQ(openLink(code, &blocksRan, &before, &during), code == 0);
      ASSERT_TRUE(blocksRan) << "the audio blocks stopped while the opener ran";
      if (during <= before + 50000 || attempt == 4) {
        EXPECT_LE(during, before + 50000) << "longest block with the link " << during << " us, before " << before;
        break;
      }
    }
  }
  EXPECT_EQ(fx->dispatch(effEditClose), 1);
}

// Closing the editor while a link's opener still runs ends the wait: the
// close returns at once, the answer is no, and the opener is reaped later.
TEST_P(X11ViewDriving, ClosingWhileALinkWaits) {
  SlowOpener opener;
  ASSERT_TRUE(opener.ok);
  open(true, GetParam());
  const IRECT link = centre(ViewPlug::linkRect());
  clickAt(link.L, link.T);
  std::thread pumping;
  if (GetParam() == Driving::Pumped) pumping = std::thread([this] { g->pump(0); });
  ASSERT_TRUE(opener.waitStarted());
  EXPECT_EQ(fx->dispatch(effEditClose), 1);
  if (pumping.joinable()) pumping.join();
  {
    KIT_MutexLock lock(plug->GetMutex());
    EXPECT_EQ(plug->linkAnswers, std::vector<bool>({false}));
  }
  // The opener goes on after the close; it ends when the gate opens.
  EXPECT_TRUE(testsupport::fileExists(opener.started));
  EXPECT_TRUE(opener.release(0));
}

// A resize of the context resizes the open window: smaller and larger, on
// the view thread and on a pump, and a top-level window keeps to its new
// size; the window then shows the screen image at its new size.
TEST_P(X11ViewDriving, ResizeResizesTheWindow) {
  auto sizeOf = [&](Window w) {
    XWindowAttributes a{};
    XGetWindowAttributes(desk->d, w, &a);
    return std::vector<int>({a.width, a.height});
  };
  for (IGraphicsLinux::Face face : {IGraphicsLinux::Face::Auto, IGraphicsLinux::Face::TopLevel}) {
    SCOPED_TRACE(face == IGraphicsLinux::Face::Auto ? "child window" : "top-level window");
    g->SetFace(face);
    open(false, GetParam());
    EXPECT_EQ(sizeOf(view()), std::vector<int>({ViewPlug::kWidth, ViewPlug::kHeight}));
    for (std::vector<int> size : {std::vector<int>({500, 400}), std::vector<int>({700, 800})}) {
      SCOPED_TRACE(std::to_string(size[0]) + " x " + std::to_string(size[1]));
      const uint64_t paints = g->counters().paints;
      {
        KIT_MutexLock lock(plug->GetMutex());
        g->Resize(size[0], size[1]);
        EXPECT_EQ(std::vector<int>({g->Width(), g->Height()}), size);
      }
      if (GetParam() == Driving::Pumped) g->pump(1);
      ASSERT_TRUE(waitFor([&] { return g->counters().paints > paints; }));
      EXPECT_TRUE(waitFor([&] { return sizeOf(view()) == size; })) << sizeOf(view())[0] << " x " << sizeOf(view())[1];
      if (face == IGraphicsLinux::Face::TopLevel) {
        XSizeHints hints{};
        long supplied = 0;
        ASSERT_TRUE(XGetWMNormalHints(desk->d, view(), &hints, &supplied));
        EXPECT_EQ(std::vector<int>({hints.min_width, hints.min_height, hints.max_width, hints.max_height}),
                  std::vector<int>({size[0], size[1], size[0], size[1]}));
      }
      std::vector<uint32_t> screen;
      {
        KIT_MutexLock lock(plug->GetMutex());
        // X R G B bytes in memory.
        for (uint32_t p : g->screenImage()) screen.push_back(__builtin_bswap32(p) & 0xFFFFFF);
      }
      ASSERT_EQ(screen.size(), size_t(size[0]) * size_t(size[1]));
      // The threaded view shows its paint just after counting it.
      EXPECT_TRUE(waitFor([&] { return desk->pixels(view(), size[0], size[1]) == screen; }));
    }
    EXPECT_EQ(fx->dispatch(effEditClose), 1);
    KIT_MutexLock lock(plug->GetMutex());
    g->Resize(ViewPlug::kWidth, ViewPlug::kHeight);
  }
  g->SetFace(IGraphicsLinux::Face::Auto);
}

// The editor itself, from the staged bundle with no folder setting: its
// window shows the screen image after a pumped tick.
TEST(X11Editor, ModuleWindowShowsItsScreen) {
  if (!g_server || !g_server->running()) GTEST_SKIP() << "no X server";
  unsetenv("TAVRIN_RESOURCE_FOLDER");
  Desk desk;
  const int32_t threadsBefore = CountProcessThreads();
  auto module = testhost::Module::load(TAVRIN_MODULE);
  ASSERT_TRUE(module && module->table() && module->table()->pump);
  const TavrinModuleTable* t = module->table();
  t->useLoopbackPorts(1);  // no MIDI library client: this test is about the window
  {
    Effect a(module->firstEntry()), b(module->firstEntry());
    ASSERT_TRUE(a.ok() && b.ok());
    for (Effect* e : {&a, &b}) e->start();
    EXPECT_EQ(t->setViewDriving(a.effect(), kViewPumped), 1);
    ASSERT_EQ(a.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(desk.parent))), 1);
    TavrinViewCounters c{};
    ASSERT_EQ(t->viewCounters(a.effect(), &c), 1);
    ASSERT_EQ(c.x11, 1);
    int32_t rect[4];
    ASSERT_EQ(t->controlRect(a.effect(), 281, nullptr, rect), 1);  // the description was read
    t->pump(a.effect(), 2);
    testsupport::TempDir dir;
    ASSERT_EQ(t->writeScreenPNG(a.effect(), dir.file("editor.png").c_str()), 1);
    int w = 0, h = 0;
    const std::vector<uint32_t> saved = pngPixels(dir.file("editor.png"), &w, &h);
    EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({1500, 757}));
    const std::vector<uint32_t> shown = desk.pixels(Window(c.window), w, h);
    EXPECT_TRUE(shown == saved);
    // A second editor (its own thread) paints; it runs on after the first closes.
    const Window second = desk.window();
    ASSERT_EQ(b.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(second))), 1);
    EXPECT_EQ(a.dispatch(effEditClose), 1);
    TavrinViewCounters cb{};
    ASSERT_TRUE(waitFor([&] { return t->viewCounters(b.effect(), &cb) == 1 && cb.ticks >= 3; }));
    EXPECT_TRUE(cb.paints >= 1 && cb.x11 == 1);
    b.close();  // with its editor open: the view thread goes with the plug-in
    XDestroyWindow(desk.d, second);
  }
  EXPECT_EQ(t->liveInstances(), 0);
  module.reset();
  // Nothing of the module runs after its unload.
  EXPECT_TRUE(waitFor([&] { return CountProcessThreads() == threadsBefore; })) << CountProcessThreads();
}

// The editor's own help link, as a user opens it from the librarian's menu
// on the view thread: the host's audio blocks go on while the desktop's
// opener takes its time.
TEST(X11Editor, AHelpLinkLeavesTheAudioRunning) {
  if (!g_server || !g_server->running()) GTEST_SKIP() << "no X server";
  unsetenv("TAVRIN_RESOURCE_FOLDER");
  SlowOpener opener;
  ASSERT_TRUE(opener.ok);
  Desk desk;
  auto module = testhost::Module::load(TAVRIN_MODULE);
  ASSERT_TRUE(module && module->table());
  const TavrinModuleTable* t = module->table();
  t->useLoopbackPorts(1);
  Effect fx(module->firstEntry());
  ASSERT_TRUE(fx.ok());
  fx.start();
  ASSERT_EQ(fx.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(desk.parent))), 1);
  auto post = [&](int32_t kind, const int32_t r[4]) {
    TavrinViewEvent e{};
    e.kind = kind;
    e.x = (r[0] + r[2]) / 2 + 2;  // the view's point of a framework point
    e.y = (r[1] + r[3]) / 2 + 3;
    e.clicks = 1;
    e.virtualKey = -1;
    return t->postViewEvent(fx.effect(), &e) == 1;
  };
  int32_t r[4];
  ASSERT_EQ(t->controlRect(fx.effect(), kShowLibrarian, nullptr, r), 1);
  ASSERT_TRUE(post(kEventDown, r) && post(kEventUp, r));
  ASSERT_TRUE(waitFor([&] { return t->paramValue(fx.effect(), kShowLibrarian) == 1.0; }));

  AudioBlocks audio(fx);
  ASSERT_TRUE(audio.more(200));
  const int32_t urls = t->recordCount(fx.effect(), kRecordURL);
  ASSERT_EQ(t->controlRect(fx.effect(), -1, "BANKEDITMENU", r), 1);
  t->answer(fx.effect(), kAnswerMenuText, "Other Helpful things.../DAW Setup Guides", 0);
  ASSERT_TRUE(post(kEventDown, r) && post(kEventUp, r));
  ASSERT_TRUE(opener.waitStarted());
  EXPECT_TRUE(audio.more(200, std::chrono::seconds(5))) << "the audio blocks stopped while the opener ran";
  EXPECT_TRUE(opener.release(0));
  EXPECT_TRUE(waitFor([&] { return t->recordCount(fx.effect(), kRecordURL) == urls + 1; }));
  EXPECT_EQ(fx.dispatch(effEditClose), 1);
}

// The heap in use by the process now.
size_t heapInUse() { return mallinfo2().uordblks; }

// 50 cycles of load, editor open in a window of the test's (the view
// thread's ticks shown) and closed, and unload, with one data folder: the
// heap in use after the 50th is within 16 kB of the heap in use after the
// 10th. Exit code 0 when it is, 3 when it grew, 2 when a cycle failed.
int heapAfterFiftyWindowCycles() {
  Desk desk;
  if (!desk.d) return 2;
  testsupport::TempDir data;
  testhost::LoadOptions options;
  options.dataFolder = data.path();
  size_t afterTenth = 0;
  for (int i = 1; i <= 50; ++i) {
    {
      auto module = testhost::Module::load(TAVRIN_MODULE, options);
      if (!module || !module->table()) return 2;
      module->table()->useLoopbackPorts(1);
      Effect fx(module->firstEntry());
      if (!fx.ok()) return 2;
      fx.start();
      if (fx.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(uintptr_t(desk.parent))) != 1) return 2;
      TavrinViewCounters c{};
      if (!waitFor([&] { return module->table()->viewCounters(fx.effect(), &c) == 1 && c.ticks >= 2; }) || !c.x11)
        return 2;
      if (fx.dispatch(effEditClose) != 1) return 2;
      fx.close();
    }
    void* still = dlopen(TAVRIN_MODULE, RTLD_NOW | RTLD_NOLOAD);
    if (still) {
      dlclose(still);
      return 2;
    }
    if (i == 10) afterTenth = heapInUse();
  }
  const size_t afterFiftieth = heapInUse();
  std::fprintf(stderr, "heap in use after cycle 10: %zu, after cycle 50: %zu\n", afterTenth, afterFiftieth);
  return afterFiftieth <= afterTenth + 16 * 1024 ? 0 : 3;
}

// In a process of its own, so that only this test's allocations count, and
// without the allocator's per-thread caches, whose freed blocks would count
// as in use.
TEST(X11Editor, FiftyLoadsWithTheWindowKeepTheHeapInUse) {
  if (!g_server || !g_server->running()) GTEST_SKIP() << "no X server";
#if TAVRIN_ADDRESS_SANITIZER
  // Its runtime adds an exit handler of the process's own after each one a
  // load registers for a static object, and the C library keeps them all:
  // a record of the sanitizer's that grows with every load.
  GTEST_SKIP() << "the address sanitizer keeps a record of its own for each load";
#endif
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  testsupport::ScopedEnv env;
  env.set("GLIBC_TUNABLES", "glibc.malloc.tcache_count=0");
  EXPECT_EXIT(std::exit(heapAfterFiftyWindowCycles()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
