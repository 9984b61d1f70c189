#pragma once
// Test support for the window functions: a message recorder (a procedure
// that logs what it is sent and answers from a table), and a fixture that
// resets the window system on the manual clock.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <vector>

#include "platform/clock.h"
#include "platform/winsys/testapi.h"
#include "shim/winwindow.h"

struct Msg {
  HWND w;
  UINT msg;
  WPARAM wp;
  LPARAM lp;
};

class Recorder {
 public:
  static Recorder* current;
  std::vector<Msg> log;
  // Answers by (window, message); a null window answers for every window.
  std::map<std::pair<HWND, UINT>, LRESULT> answers;
  // Runs before the answer is looked up; a true return ends with *result.
  std::function<bool(const Msg&, LRESULT* result)> hook;

  void answer(UINT msg, LRESULT r, HWND w = nullptr) { answers[{w, msg}] = r; }
  // The messages one window got (all windows for null), limited to those in
  // only when it is not empty.
  std::vector<UINT> messages(HWND w = nullptr, const std::vector<UINT>& only = {}) const;
  std::vector<Msg> of(UINT msg, HWND w = nullptr) const;
  void clear() { log.clear(); }
};

// Logs and answers from the table, else DefWindowProc.
LRESULT RecorderProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);
// As a dialog procedure: logs and answers from the table, else 0.
INT_PTR RecorderDlgProc(HWND w, UINT msg, WPARAM wp, LPARAM lp);

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // A titled top-level window whose content view is a window object with
  // the recorder, at x, y (screen, y up), shown and key.
  HWND TopLevel(double x, double y, double w, double h, unsigned style = 1);
  // A child window object of parent with the recorder, shown.
  HWND Child(HWND parent, int x, int y, int w, int h, int id = 0);
  winsys::View* View(HWND h) { return SHIM_As<winsys::View>(h); }

  platform::ManualClock clock;
  platform::ScopedClock scoped{clock};
  Recorder rec;
};
