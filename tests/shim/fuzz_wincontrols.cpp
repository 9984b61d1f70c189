// The list, list box, tree, combo and tab functions driven from the input:
// bad indexes and positions, deleted items, foreign and null handles, null
// records and buffers, and short buffer sizes. Nothing may read or write
// outside its buffer, and nothing freed may be touched.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_reader.h"
#include "platform/clock.h"
#include "platform/winsys/testapi.h"
#include "shim/winctlclass.h"

namespace {


// Small numbers most of the time, so that indexes often hit.
int Index(Reader& in) {
  const uint8_t k = in.u8();
  return k < 200 ? static_cast<int>(k % 12) - 2 : in.i32();
}

int Compare(LPARAM a, LPARAM b, LPARAM) { return a < b ? -1 : a > b; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  platform::ManualClock clock;
  platform::ScopedClock scoped(clock);
  winsys::test::reset();
  SHIM_ResetWindowState();
  auto* win = new Shim_vTavrin_modelesswindow(winsys::Rect{10, 10, 400, 300}, 15);
  HWND top = SHIM_CreateWindowObject(SHIM_Handle(win), nullptr, 0);
  ShowWindow(top, SW_SHOW);
  SHIM_MakeSetCurParms(1, 1, 0, 0, top, true, true);
  Reader in{data, size};
  const int styles[4] = {in.i32(), in.i32(), in.i32(), in.i32()};
  HWND handles[8] = {
      SHIM_MakeControl("", 1, "SysListView32", styles[0], 0, 0, 200, 100, 0),
      SHIM_MakeListBox(2, 0, 110, 200, 80, styles[1]),
      SHIM_MakeControl("", 3, "SysTreeView32", styles[2], 210, 0, 150, 100, 0),
      SHIM_MakeCombo(4, 210, 110, 100, 20, styles[3] & 0x103),
      SHIM_MakeControl("", 5, "SysTabControl32", 0, 210, 150, 150, 60, 0),
      top,
      nullptr,
      reinterpret_cast<HWND>(&in),  // foreign
  };
  std::vector<HTREEITEM> items{nullptr, TVI_ROOT, TVI_FIRST, TVI_LAST, reinterpret_cast<HTREEITEM>(&in)};
  char buf[4096];  // LB_GETTEXT writes up to 4096 bytes
  for (int step = 0; step < 200 && in.n > 0; ++step) {
    HWND h = handles[in.u8() % 8];
    const std::string t = in.text(24);
    char* text = in.u8() & 1 ? const_cast<char*>(t.c_str()) : nullptr;
    const int a = Index(in), b = Index(in);
    const int bufsz = in.u8() % 70 - 2;  // never above the buffer
    HTREEITEM item = items[static_cast<size_t>(in.u8()) % items.size()];
    switch (in.u8() % 24) {
      case 0: {
        LVITEM it{in.u8(), a, b % 2, static_cast<uint32_t>(in.i32()), static_cast<uint32_t>(in.i32()), text, bufsz, a, b};
        ListView_InsertItem(h, in.u8() & 1 ? &it : nullptr);
        break;
      }
      case 1: ListView_DeleteItem(h, a); break;
      case 2: ListView_SetItemText(h, a, b, text); break;
      case 3: {
        LVITEM it{in.u8(), a, b, 0, static_cast<uint32_t>(in.i32()), bufsz > 0 ? buf : nullptr, bufsz, 0, 0};
        ListView_GetItem(h, in.u8() & 1 ? &it : nullptr);
        break;
      }
      case 4: {
        LVITEM it{in.u8(), a, b, static_cast<uint32_t>(in.i32()), static_cast<uint32_t>(in.i32()), text, 0, b, 0};
        ListView_SetItem(h, &it);
        break;
      }
      case 5: ListView_SetItemState(h, a, static_cast<uint32_t>(in.i32()), static_cast<uint32_t>(in.i32())); break;
      case 6: ListView_SortItems(h, in.u8() & 1 ? Compare : nullptr, 0); break;
      case 7: {
        LVCOLUMN c{in.u8(), a, b % 1000 * 10, text, 0, 0};
        ListView_InsertColumn(h, a, in.u8() & 1 ? &c : nullptr);
        break;
      }
      case 8: {
        int order[8];
        for (int& o : order) o = Index(in);
        const int n = in.u8() % 9;
        if (in.u8() & 1)
          ListView_SetColumnOrderArray(h, n, order);
        else
          ListView_GetColumnOrderArray(h, n, order);
        break;
      }
      case 9: {
        LVHITTESTINFO info{POINT{a % 100000 * 10, b % 100000 * 10}, 0, 0, 0};
        ListView_SubItemHitTest(h, &info);
        RECT r;
        ListView_GetSubItemRect(h, a, b, 0, &r);
        ListView_Scroll(h, a % 100000 * 17, b % 100000 * 17);
        break;
      }
      case 10: {
        const UINT msg = LB_ADDSTRING + in.u8() % 27;
        const LPARAM lp = msg == LB_GETTEXT ? (bufsz > 0 ? reinterpret_cast<LPARAM>(buf) : 0) : reinterpret_cast<LPARAM>(text);
        SendMessage(h, msg, static_cast<WPARAM>(static_cast<intptr_t>(a)), lp);
        break;
      }
      case 11: {
        TVINSERTSTRUCT ins{item, items[static_cast<size_t>(in.u8()) % items.size()], {}};
        ins.item.mask = in.u8();
        ins.item.pszText = text;
        if (HTREEITEM made = TreeView_InsertItem(h, in.u8() & 1 ? &ins : nullptr)) items.push_back(made);
        break;
      }
      case 12: TreeView_DeleteItem(h, item); break;
      case 13: TreeView_Expand(h, item, a); break;
      case 14: TreeView_SelectItem(h, item); break;
      case 15: {
        TVITEM v{in.u8(), item, static_cast<uint32_t>(in.i32()), static_cast<uint32_t>(in.i32()),
                 bufsz > 0 ? buf : text, bufsz, 0, 0, a, b};
        if (in.u8() & 1)
          TreeView_SetItem(h, &v);
        else if (v.pszText == buf)
          TreeView_GetItem(h, &v);
        break;
      }
      case 16: TreeView_GetNextSibling(h, TreeView_GetChild(h, item)); break;
      case 17: SHIM_CB_InsertString(h, in.u8() % 6, a == 0 ? -1000 : a, text); break;
      case 18: SHIM_CB_DeleteString(h, 0, a); break;
      case 19: SHIM_CB_GetItemText(h, 0, a, bufsz > 0 ? buf : nullptr, bufsz); break;
      case 20: SHIM_CB_FindString(h, 0, a, text, b & 1); break;
      case 21: {
        const UINT msg = CB_ADDSTRING + in.u8() % 31;
        const LPARAM lp = msg == CB_GETLBTEXT ? 0 : reinterpret_cast<LPARAM>(text);
        SendMessage(h, msg, static_cast<WPARAM>(static_cast<intptr_t>(a)), lp);
        SHIM_CB_SetItemData(h, 0, a, b);
        SHIM_CB_GetItemData(h, 0, b);
        break;
      }
      case 22: {
        TCITEM it{in.u8(), 0, 0, text, 0, 0, 0};
        TabCtrl_InsertItem(h, a, in.u8() & 1 ? &it : nullptr);
        TabCtrl_DeleteItem(h, b);
        break;
      }
      default: {
        TabCtrl_SetCurSel(h, a);
        RECT r{0, 0, 10, 10};
        TabCtrl_AdjustRect(h, b, in.u8() & 1 ? &r : nullptr);
        const int colors[3] = {a, b, 0};
        ListView_SetSelColors(h, in.u8() & 1 ? colors : nullptr, a > 3 ? 3 : a);
        break;
      }
    }
  }
  win->display();
  winsys::test::reset();
  SHIM_ResetWindowState();
  return 0;
}
