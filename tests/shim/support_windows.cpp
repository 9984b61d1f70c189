#include "support_windows.h"
#include <algorithm>

Recorder* Recorder::current = nullptr;

std::vector<UINT> Recorder::messages(HWND w, const std::vector<UINT>& only) const {
  std::vector<UINT> out;
  for (const Msg& m : log)
    if ((!w || m.w == w) && (only.empty() || std::find(only.begin(), only.end(), m.msg) != only.end()))
      out.push_back(m.msg);
  return out;
}

std::vector<Msg> Recorder::of(UINT msg, HWND w) const {
  std::vector<Msg> out;
  for (const Msg& m : log)
    if (m.msg == msg && (!w || m.w == w)) out.push_back(m);
  return out;
}

namespace {

bool answerFor(const Msg& m, LRESULT* r) {
  Recorder* rec = Recorder::current;
  if (!rec) return false;
  rec->log.push_back(m);
  if (rec->hook && rec->hook(m, r)) return true;
  auto it = rec->answers.find({m.w, m.msg});
  if (it == rec->answers.end()) it = rec->answers.find({nullptr, m.msg});
  if (it == rec->answers.end()) return false;
  *r = it->second;
  return true;
}

}  // namespace

LRESULT RecorderProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  if (answerFor(Msg{w, msg, wp, lp}, &r)) return r;
  return DefWindowProc(w, msg, wp, lp);
}

INT_PTR RecorderDlgProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT r = 0;
  answerFor(Msg{w, msg, wp, lp}, &r);
  return r;
}

void WindowTest::SetUp() {
  winsys::test::reset();
  SHIM_ResetWindowState();
  Recorder::current = &rec;
}

void WindowTest::TearDown() {
  Recorder::current = nullptr;
  winsys::test::reset();
  SHIM_ResetWindowState();
}

HWND WindowTest::TopLevel(double x, double y, double w, double h, unsigned style) {
  auto* win = new Shim_vTavrin_modelesswindow(winsys::Rect{x, y, w, h}, style);
  HWND content = SHIM_CreateWindowObject(SHIM_Handle(win), RecorderProc, 0);
  ShowWindow(content, SW_SHOW);
  return content;
}

HWND WindowTest::Child(HWND parent, int x, int y, int w, int h, int id) {
  HWND c = SHIM_CreateWindowObject(parent, RecorderProc, 0);
  SetWindowPos(c, nullptr, x, y, w, h, SWP_NOZORDER);
  if (id) SetWindowLong(c, GWL_ID, id);
  ShowWindow(c, SW_SHOW);
  return c;
}
