// Message parameters, buffer lengths, window-long indexes, texts, numbers,
// property names, dropped paths and dialog records taken from the input:
// every read and write must stay inside its buffer, whatever the input.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/winsys/testapi.h"
#include "shim/winbase.h"
#include "shim/winwindow.h"

namespace {

struct Reader {
  const uint8_t* p;
  size_t n;
  int32_t i32() {
    int32_t v = 0;
    const size_t k = n < 4 ? n : 4;
    std::memcpy(&v, p, k);
    p += k;
    n -= k;
    return v;
  }
  uint8_t u8() { return n ? (--n, *p++) : 0; }
  std::string text() {
    const size_t len = u8() % 48;
    const size_t k = len < n ? len : n;
    std::string s(reinterpret_cast<const char*>(p), k);
    p += k;
    n -= k;
    return s;
  }
};

LRESULT Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DROPFILES) {
    HGLOBAL g = reinterpret_cast<HGLOBAL>(wp);
    const auto* b = static_cast<const uint8_t*>(GlobalLock(g));
    const int size = GlobalSize(g);
    uint32_t off = 0;
    std::memcpy(&off, b, sizeof(off));
    // The list ends with an empty name inside the block.
    if (off > static_cast<uint32_t>(size) || b[size - 1] != 0) __builtin_trap();
    GlobalUnlock(g);
  }
  return DefWindowProc(w, msg, wp, lp);
}

INT_PTR DialogProc(HWND w, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG && wp == 0) EndDialog(w, 3);
  return 0;
}

void MakeFields(HWND w, int flags) {
  auto* host = winsys::lookup<winsys::View>(w);
  for (int i = 0; i < (flags & 3); ++i) {
    auto* f = new winsys::TextField;
    f->setTag(i + 1);
    host->addSubview(f);
    f->release();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::ManualClock clock;
  platform::ScopedClock scoped(clock);
  winsys::test::reset();
  SHIM_ResetWindowState();
  auto* win = new Shim_vTavrin_modelesswindow(winsys::Rect{10, 10, 300, 200}, 15);
  HWND top = SHIM_CreateWindowObject(SHIM_Handle(win), Proc, 0);
  ShowWindow(top, SW_SHOW);
  SHIM_Hwnd(top)->shimSetExtendedStyle(WS_EX_ACCEPTFILES);
  SHIM_Hwnd(top)->registerForDraggedTypes(true);
  auto* field = new winsys::TextField;
  field->setTag(5);
  winsys::lookup<winsys::View>(top)->addSubview(field);
  field->release();
  field->beginEditing();
  HWND f = SHIM_Handle(field);

  Reader in{data, size};
  for (int step = 0; step < 64 && in.n > 0; ++step) {
    switch (in.u8() % 10) {
      case 0: {
        const int len = in.i32() % 64;
        std::vector<char> buf(len > 0 ? static_cast<size_t>(len) : 1);
        GetDlgItemText(top, in.u8() % 8, len > 0 ? buf.data() : nullptr, len);
        break;
      }
      case 1: SetDlgItemText(top, in.u8() % 8, in.text().c_str()); break;
      case 2: {
        field->stringValue = in.text();
        BOOL ok;
        GetDlgItemInt(top, 5, &ok, in.u8() & 1);
        break;
      }
      case 3: {
        const int index = in.i32();
        if (index == GWL_WNDPROC || index == DWL_DLGPROC) break;
        SetWindowLong(top, index, in.i32());
        GetWindowLong(top, index);
        break;
      }
      case 4: {
        SendMessage(f, EM_SETSEL, static_cast<WPARAM>(static_cast<intptr_t>(in.i32())), in.i32());
        int a = 0, b = 0;
        SendMessage(f, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
        if (a < 0 || b < a || static_cast<size_t>(b) > field->stringValue.size() + 64) __builtin_trap();
        break;
      }
      case 5: {
        const std::string name = in.text();
        SetProp(top, name.c_str(), reinterpret_cast<void*>(1));
        RemoveProp(top, name.c_str());
        break;
      }
      case 6: {
        std::vector<std::string> paths(in.u8() % 4);
        for (auto& p : paths) p = in.text();
        winsys::test::dropFiles(winsys::Point{20, 20}, paths);
        break;
      }
      case 7: {
        SHIM_DialogResourceIndex res{MAKEINTRESOURCE(9), "T", in.i32(), MakeFields, in.i32() % 600, in.i32() % 600,
                                     nullptr};
        SHIM_DialogBox(&res, MAKEINTRESOURCE(9), top, DialogProc, 0);
        if (HWND d = SHIM_CreateDialog(&res, MAKEINTRESOURCE(in.i32()), top, DialogProc, 0)) DestroyWindow(d);
        break;
      }
      case 8: SendMessage(top, WM_NCHITTEST, 0, in.i32()); break;
      default: {
        RECT r{in.i32() % 2000, in.i32() % 2000, in.i32() % 1000, in.i32() % 1000};
        InvalidateRect(top, &r, 0);
        SetWindowPos(top, nullptr, r.left, r.top, r.right, r.bottom, in.u8() & 7);
        break;
      }
    }
  }
  winsys::test::reset();
  SHIM_ResetWindowState();
  return 0;
}
