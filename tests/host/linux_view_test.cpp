// The Linux graphics context and its editor view without a display: the
// window model under both rule sets, pumped and threaded driving, the
// scripted prompts, paths, links, the cursor and the resources.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "framework/IParam.h"
#include "framework/IPopupMenu.h"
#include "host/ModuleTable.h"
#include "support_viewplug.h"
#include "testhost/TestHost.h"
#include "testsupport.h"

using testhost::Effect;
using viewplug::ViewPlug;
using Driving = EditorView::Driving;

namespace {

// Waits until pred holds, looking every millisecond, for at most 10 s.
template <class Pred>
bool waitFor(Pred pred) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!pred()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A thread checker starts a helper thread of its own with the first thread
// the program makes: one made and joined before any test keeps it out of the
// thread counts below.
struct FirstThread : ::testing::Environment {
  void SetUp() override { std::thread([] {}).join(); }
};
const auto* g_firstThread = ::testing::AddGlobalTestEnvironment(new FirstThread);

struct View : ::testing::Test {
  Effect fx{&viewplug::makeEffect};
  ViewPlug* plug = viewplug::plugOf(fx.effect());
  IGraphicsLinux* g = plug->graphics();

  void open(bool hostView, Driving driving = Driving::Pumped) {
    g->SetDriving(driving);
    g->SetFace(IGraphicsLinux::Face::Headless);
    if (hostView) fx.canDo("hasHostViewAsConfig");
    ASSERT_EQ(fx.dispatch(effEditOpen), 1);
    ASSERT_NE(g->view(), nullptr);
  }
  void post(ViewEvent::Kind kind, int x, int y, uint32_t flags = 0, bool secondary = false, int clicks = 1) {
    ViewEvent e;
    e.kind = kind;
    e.x = x;
    e.y = y;
    e.flags = flags;
    e.secondary = secondary;
    e.clicks = clicks;
    g->post(e);
  }
  // A press and release at a view point (framework point + (2, 3)).
  void click(int fx_, int fy, uint32_t flags = 0, bool secondary = false) {
    post(ViewEvent::kDown, fx_ + 2, fy + 3, flags, secondary);
    post(ViewEvent::kUp, fx_ + 2, fy + 3, flags, secondary);
    g->pump(0);
  }
  void clickControl(const IRECT& r) { click((r.L + r.R) / 2, (r.T + r.B) / 2); }
  void wheel(int x, int y, double delta) {
    ViewEvent e;
    e.kind = ViewEvent::kWheel;
    e.x = x + 2;
    e.y = y + 3;
    e.delta = delta;
    g->post(e);
    g->pump(0);
  }
  bool key(const char* chars, int vk = -1) {
    const uint64_t before = g->counters().unhandledKeys;
    ViewEvent e;
    e.kind = ViewEvent::kKey;
    e.chars = chars;
    e.virtualKey = vk;
    g->post(e);
    g->pump(0);
    return g->counters().unhandledKeys == before;
  }
  double value(int idx) {
    KIT_MutexLock lock(plug->GetMutex());
    return plug->GetParam(idx)->Value();
  }
  void TearDown() override {
    if (!g) return;  // the plug-in was closed
    EXPECT_TRUE(g->unusedAnswers().empty());
    EXPECT_TRUE(g->scriptErrors().empty());
  }
};

// After the first full paint a tick repaints the mode's rectangle only: the
// default view the dirty area as it is, the host view one pixel wider and
// taller.
TEST_F(View, TicksRepaintOnlyTheModesRectangle) {
  for (bool hostView : {false, true}) {
    SCOPED_TRACE(hostView ? "host view" : "default view");
    open(hostView);
    EXPECT_STREQ(g->GetGUIAPI(), hostView ? "Cocoa gui" : "Carbon Composited gui");
    EXPECT_EQ(g->GetWindow() != nullptr, hostView);
    ViewCounters c = g->counters();
    EXPECT_EQ(c.paints, 1u);
    EXPECT_EQ(c.paintedPixels, uint64_t(ViewPlug::kWidth) * ViewPlug::kHeight);
    EXPECT_EQ(c.paintedUnion, IRECT(0, 0, ViewPlug::kWidth, ViewPlug::kHeight));
    EXPECT_EQ(g->pump(3), 0);  // nothing dirty
    {
      KIT_MutexLock lock(plug->GetMutex());
      g->SetParameterFromPlug(viewplug::kSwitch, 1.0, false);
    }
    EXPECT_EQ(g->tick(), hostView ? IRECT(10, 20, 31, 41) : IRECT(10, 20, 30, 40));
    c = g->counters();
    EXPECT_EQ(c.ticks, 4u);
    EXPECT_EQ(c.paints, 2u);
    EXPECT_EQ(c.paintedPixels, uint64_t(ViewPlug::kWidth) * ViewPlug::kHeight + (hostView ? 441u : 400u));
    EXPECT_EQ(g->screenPixel(15, 25), COLOR_RED.Pack());
    {
      KIT_MutexLock lock(plug->GetMutex());
      g->SetParameterFromPlug(viewplug::kSwitch, 0.0, false);
    }
    EXPECT_EQ(g->pump(1), 1);
    EXPECT_EQ(g->screenPixel(15, 25), COLOR_BLUE.Pack());
    EXPECT_EQ(fx.dispatch(effEditClose), 1);
    EXPECT_EQ(g->view(), nullptr);
    EXPECT_STREQ(g->GetGUIAPI(), "Cocoa gui");
    EXPECT_EQ(g->pump(1), 0);
  }
}

// The default view's cases: key codes at the last motion's position, a key
// it does not take, the 2/3-pixel offset, command as the right button,
// typed texts filtered by type and cut at 63 bytes, numbered menu items.
TEST_F(View, DefaultViewRules) {
  open(false);
  post(ViewEvent::kMove, 312, 323);
  for (const char* k : {"a", "A", "5"}) EXPECT_TRUE(key(k)) << k;
  EXPECT_TRUE(key(" ", viewrules::kVKSpace));
  EXPECT_FALSE(key("#"));
  click(398, 347);  // moves nothing: only motion sets the key position
  EXPECT_TRUE(key("z"));
  ASSERT_EQ(plug->keys.size(), 5u);
  for (const viewplug::Key& k : plug->keys) EXPECT_EQ(std::vector<int>({k.x, k.y}), std::vector<int>({310, 320}));
  EXPECT_EQ(std::vector<int>({plug->keys[0].code, plug->keys[1].code, plug->keys[2].code, plug->keys[3].code}),
            std::vector<int>({15, 15, 10, 0}));

  post(ViewEvent::kDown, 400, 350);
  post(ViewEvent::kUp, 400, 350);
  click(400, 400, viewrules::kCommand);
  g->pump(0);
  ASSERT_EQ(plug->presses.size(), 3u);
  EXPECT_EQ(std::vector<int>({plug->presses[1].x, plug->presses[1].y}), std::vector<int>({398, 347}));
  EXPECT_TRUE(plug->presses[2].mod.L && plug->presses[2].mod.R);

  // Typed texts: refused characters type nothing.
  g->answerTextEntry("x-5");
  clickControl(ViewPlug::promptRect(viewplug::kCount));
  EXPECT_EQ(value(viewplug::kCount), -5.0);
  g->answerTextEntry("0.5,");
  clickControl(ViewPlug::promptRect(viewplug::kLevel));
  EXPECT_EQ(value(viewplug::kLevel), 0.5);
  // A commit without a parameter goes to the control, cut at 63 bytes.
  g->answerTextEntry(std::string(62, 'n') + "\xC3\xA9xyz");
  clickControl(ViewPlug::promptRect(viewplug::kName + 1));
  ASSERT_EQ(plug->names.size(), 1u);
  EXPECT_EQ(plug->names[0], std::string(62, 'n'));
  ASSERT_EQ(g->textEntries().size(), 3u);
  EXPECT_EQ(g->textEntries()[0].fontName, IGraphicsLinux::kEntryFontName);
  EXPECT_EQ(g->textEntries()[0].fontSize, 10);  // 0.9 x 12, truncated

  // Numbered items, and a menu without items.
  IPopupMenu menu;
  menu.SetPrefix(2);
  for (int i = 1; i <= 12; ++i) menu.AddItem(("Item " + std::to_string(i)).c_str());
  IPopupMenu empty;
  IRECT r(0, 0, 10, 10);
  {
    KIT_MutexLock lock(plug->GetMutex());
    EXPECT_EQ(g->CreateIPopupMenu(&menu, &r), nullptr);  // dismissed: no answer
    EXPECT_EQ(g->CreateIPopupMenu(&empty, &r), nullptr);
  }
  ASSERT_EQ(g->menus().size(), 1u);
  EXPECT_EQ(g->menus()[0].lines[9], "[ ] 10: Item 10");
}

// The host view's cases: the right button alone, command as right on the
// primary one, wheel deltas truncated, typed texts checked whole, the 17th
// character refused, no 63-byte cut, a dismissed menu.
TEST_F(View, HostViewRules) {
  open(true);
  click(400, 400, 0, true);
  click(400, 400, viewrules::kCommand);
  ASSERT_EQ(plug->presses.size(), 2u);
  EXPECT_TRUE(!plug->presses[0].mod.L && plug->presses[0].mod.R);
  EXPECT_TRUE(plug->presses[1].mod.L && plug->presses[1].mod.R);
  wheel(400, 400, 0.6);
  wheel(400, 400, -2.9);
  EXPECT_EQ(plug->wheels, std::vector<int>({0, -2}));

  g->answerTextEntry("1.5");
  clickControl(ViewPlug::promptRect(viewplug::kLevel));
  EXPECT_EQ(value(viewplug::kLevel), 1.5);
  g->answerTextEntry(std::string(17, 'q'));
  clickControl(ViewPlug::promptRect(viewplug::kName));
  {
    KIT_MutexLock lock(plug->GetMutex());
    EXPECT_EQ(std::string(plug->GetParam(viewplug::kName)->GetDisplayText(0)), std::string(16, 'q'));
  }
  g->answerTextEntry(std::string(70, 'w'));
  clickControl(ViewPlug::promptRect(viewplug::kName + 1));
  ASSERT_EQ(plug->names.size(), 1u);
  EXPECT_EQ(plug->names[0].size(), 70u);

  g->answerMenuDismiss();
  clickControl(ViewPlug::promptRect(viewplug::kMode));
  EXPECT_EQ(value(viewplug::kMode), 0.0);
  g->answerMenuByText({"Fold"});
  clickControl(ViewPlug::promptRect(viewplug::kMode));
  EXPECT_EQ(value(viewplug::kMode), 2.0);
  // The press that opened a menu loses its release; a double click is one.
  post(ViewEvent::kDown, 402, 403, 0, false, 2);
  g->pump(0);
  EXPECT_TRUE(plug->presses.back().dbl);
}

// The scripted prompts of both faces' script: message boxes, an unanswered
// one on standard error, file prompts starting on the desktop.
TEST_F(View, ScriptedPrompts) {
  open(false);
  KIT_MutexLock lock(plug->GetMutex());
  g->answerMessageBox(IGraphicsHeadless::kBoxOther);
  EXPECT_EQ(g->ShowMessageBox("Save changes?", "Bank", 3), 2);
  testing::internal::CaptureStderr();
  EXPECT_EQ(g->ShowMessageBox("Nobody answers", "Quiet", 4), 0);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Quiet: Nobody answers"), std::string::npos);
  KIT_String name("Bank.syx"), dir("");
  g->answerFilePrompt("/tmp/x/Other.syx");
  g->PromptForFile(&name, kFileSave, &dir, "syx mid");
  EXPECT_STREQ(name.Get(), "/tmp/x/Other.syx");
  EXPECT_STREQ(dir.Get(), "/tmp/x/");
  KIT_String dir2("");
  g->PromptForFile(&name, kFileOpen, &dir2, "syx");
  EXPECT_STREQ(name.Get(), "");
  EXPECT_STREQ(dir2.Get(), "~/Desktop");
  ASSERT_EQ(g->filePrompts().size(), 2u);
  EXPECT_EQ(g->filePrompts()[0].startFolder, "~/Desktop");
  EXPECT_EQ(g->filePrompts()[0].types, std::vector<std::string>({"syx", "mid"}));
}

TEST_F(View, PathsLinksAndTheCursor) {
  KIT_String s;
  g->DesktopPath(&s);
  EXPECT_EQ(std::string(s.Get()), std::string(getenv("HOME") ? getenv("HOME") : "") + "/Desktop");
  {
    const std::string home = getenv("HOME") ? getenv("HOME") : "";
    unsetenv("HOME");
    g->DesktopPath(&s);
    setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(std::string(s.Get()), std::string(getpwuid(getuid())->pw_dir) + "/Desktop");
  }
  g->HostPath(&s);
  char exe[4096] = {};
  ASSERT_GT(readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
  EXPECT_STREQ(s.Get(), exe);
  EXPECT_EQ(IGraphicsLinux::PluginPathOf("/a/b/Tavrin Editor.vst/Contents/x86_64-linux/"), "/a/b/");
  EXPECT_EQ(IGraphicsLinux::PluginPathOf("/a/b/plugins/"), "/a/b/plugins/");
  EXPECT_EQ(g->GetUserOSVersion(), 0);

  EXPECT_FALSE(g->OpenURL(nullptr));
  EXPECT_FALSE(g->OpenURL(""));
  EXPECT_TRUE(g->OpenURL("https://example.org/help"));
  g->answerOpenURL(false);
  EXPECT_FALSE(g->OpenURL("/tmp/manual.pdf"));
  ASSERT_EQ(g->urls().size(), 2u);
  EXPECT_TRUE(g->urls()[0].web);
  EXPECT_FALSE(g->urls()[1].web);

  g->HideMouseCursor();
  EXPECT_TRUE(g->cursorHidden());
  g->HideMouseCursor();
  g->ShowMouseCursor();
  EXPECT_FALSE(g->cursorHidden());
  EXPECT_EQ(g->cursorCalls(), std::vector<std::string>({"hide", "hide", "show"}));
}

// Resources come only from the bundle the identifier names: the resource
// folder (moved by TAVRIN_RESOURCE_FOLDER), whole files with their sizes.
TEST_F(View, ResourcesFromTheNamedBundle) {
  testsupport::TempDir root;
  ASSERT_TRUE(testsupport::writeFile(root.file("big.bin"), std::vector<uint8_t>(5000000, 0x5A)));
  setenv("TAVRIN_RESOURCE_FOLDER", root.path().c_str(), 1);
  EXPECT_EQ(g->GetBundleID(), "com.Quillfen.vst.View Test");
  std::unique_ptr<uint8_t[]> data = g->LoadFile(0, "resources/big.bin");
  ASSERT_TRUE(data);
  EXPECT_EQ(g->GetLastFileSize(), 5000000);
  EXPECT_EQ(data[4999999], 0x5A);
  EXPECT_EQ(data[5000000], 0);
  g->SetBundleID("");
  EXPECT_FALSE(g->LoadFile(0, "resources/big.bin"));
  EXPECT_EQ(g->OSLoadBitmap(0, "resources/img/a.png"), nullptr);
  unsetenv("TAVRIN_RESOURCE_FOLDER");
}

// The view thread ticks and delivers while a second thread runs process
// blocks; closing the plug-in with its editor open stops the thread first.
TEST_F(View, ThreadedDrivingBesideProcessBlocks) {
  const int32_t threadsBefore = CountProcessThreads();
  open(false, Driving::Threaded);
  EXPECT_EQ(CountProcessThreads(), threadsBefore + 1);
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    while (!stop.load()) fx.process(Effect::Kind::Double, 64);
  });
  const IRECT swatch = ViewPlug::swatchRect();
  for (int i = 0; i < 5; ++i) {
    post(ViewEvent::kDown, swatch.L + 5, swatch.T + 5);
    post(ViewEvent::kUp, swatch.L + 5, swatch.T + 5);
  }
  EXPECT_TRUE(waitFor([&] { return g->counters().delivered >= 10 && g->counters().paints >= 2; }));
  EXPECT_TRUE(waitFor([&] {
    KIT_MutexLock lock(plug->GetMutex());
    return plug->changes.size() >= 5;
  }));
  stop.store(true);
  audio.join();
  fx.dispatch(effClose);  // with the editor open
  g = nullptr;
  EXPECT_TRUE(waitFor([&] { return CountProcessThreads() == threadsBefore; })) << CountProcessThreads();
}

// Two plug-ins with their editors open both paint; closing one leaves the
// other working.
TEST(TwoViews, ClosingOneLeavesTheOtherWorking) {
  Effect a(&viewplug::makeEffect), b(&viewplug::makeEffect);
  IGraphicsLinux* ga = viewplug::plugOf(a.effect())->graphics();
  IGraphicsLinux* gb = viewplug::plugOf(b.effect())->graphics();
  for (IGraphicsLinux* g : {ga, gb}) g->SetFace(IGraphicsLinux::Face::Headless);
  ASSERT_EQ(a.dispatch(effEditOpen), 1);
  ASSERT_EQ(b.dispatch(effEditOpen), 1);
  EXPECT_TRUE(waitFor([&] { return ga->counters().ticks > 0 && gb->counters().ticks > 0; }));
  a.dispatch(effEditClose);
  const uint64_t ticks = gb->counters().ticks;
  ViewEvent e;
  e.kind = ViewEvent::kDown;
  e.x = 15;
  e.y = 25;
  gb->post(e);
  EXPECT_TRUE(waitFor([&] { return gb->counters().ticks > ticks + 2 && gb->counters().paints >= 2; }));
  EXPECT_EQ(ga->view(), nullptr);
}

}  // namespace
