// Bitmap and icon objects over platform images, blits between contexts,
// window contexts and image lists.
#include <strings.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "kit/ptrlist.h"
#include "platform/folders.h"
#include "platform/image.h"
#include "platform/surface.h"
#include "shim/wingdi.h"
#include "shim/winregistry.h"
#include "shim/winwindow.h"

namespace {

// A bitmap object that holds (takes over) a reference to img.
HBITMAP bitmapObject(platform::Image* img) {
  if (!img) return nullptr;
  HGDIOBJ__* o = GDP_OBJECT_NEW();
  if (!o) {
    platform::imageRelease(img);
    return nullptr;
  }
  o->type = SHIM_OBJ_BITMAP;
  o->wid = 1;
  o->bitmapptr = img;
  return o;
}

platform::Image* imageOf(HGDIOBJ o) {
  return SHIM_IsValidObject(o, SHIM_OBJ_BITMAP) && o->wid ? static_cast<platform::Image*>(o->bitmapptr) : nullptr;
}

platform::Surface* surfaceOf(HDC ctx) { return SHIM_IsValidContext(ctx) ? ctx->context : nullptr; }

}  // namespace

HBITMAP CreateBitmap(int w, int h, int planes, int bitsPerPixel, const void* bits) {
  if (bitsPerPixel != 24 && bitsPerPixel != 32) return nullptr;
  const int64_t bytes = int64_t{w} * h * (bitsPerPixel / 8);
  if (w <= 0 || h <= 0 || bytes > INT_MAX) return nullptr;
  platform::Image* img = platform::imageCreate(w, h);
  if (!img || !bits) return bitmapObject(img);
  const auto* b = static_cast<const uint8_t*>(bits);
  const int n = bitsPerPixel / 8;
  const size_t plane = static_cast<size_t>(w) * static_cast<size_t>(h);
  for (size_t i = 0; i < plane; ++i) {
    uint8_t sample[4];
    for (int k = 0; k < n; ++k) sample[k] = planes >= 2 ? b[k * plane + i] : b[i * n + k];
    uint8_t* p = &img->rgba[i * 4];
    const int first = n == 4 ? 1 : 0;  // 32-bit data carries alpha first
    p[0] = sample[first];
    p[1] = sample[first + 1];
    p[2] = sample[first + 2];
    p[3] = n == 4 ? sample[0] : 255;
  }
  return bitmapObject(img);
}

HBITMAP CreateIconIndirect(const ICONINFO* info) {
  if (!info || !info->fIcon) return nullptr;
  platform::Image* img = imageOf(info->hbmColor);
  return img ? bitmapObject(platform::imageRetain(img)) : nullptr;
}

HBITMAP LoadNamedImage(const char* name, bool alphaFromMagenta) {
  const std::string n = name ? name : "";
  platform::Image* img = n.find('/') != std::string::npos ? platform::imageLoadFile(n) : nullptr;
  if (!img && !n.empty()) {
    const std::string base = platform::resourceFolder() + n.substr(n.rfind('/') + 1);
    img = platform::imageLoadFile(base);
    if (!img) img = platform::imageLoadFile(base + ".png");
  }
  if (!img) return nullptr;
  img->flipped = true;
  if (alphaFromMagenta) {
    for (size_t i = 0; i < img->rgba.size(); i += 4) {
      uint8_t* p = &img->rgba[i];
      if (p[0] == 255 && p[1] == 0 && p[2] == 255) std::memset(p, 0, 4);
    }
  }
  return bitmapObject(img);
}

void DrawImageInRect(HDC ctx, HGDIOBJ bitmap, const RECT* r) {
  platform::Surface* s = surfaceOf(ctx);
  platform::Image* img = imageOf(bitmap);
  if (!s || !img || !r) return;
  std::vector<uint8_t> argb(img->rgba.size());
  for (size_t i = 0; i < argb.size(); i += 4) {
    argb[i] = img->rgba[i + 3];
    argb[i + 1] = img->rgba[i];
    argb[i + 2] = img->rgba[i + 1];
    argb[i + 3] = img->rgba[i + 2];
  }
  platform::surfaceSaveState(s);
  platform::surfaceDrawPixels(s, argb.data(), img->width, img->height, img->width * 4, r->left, r->top,
                              r->right - r->left, r->bottom - r->top, true);
  platform::surfaceRestoreState(s);
}

int GetObject(HGDIOBJ obj, int size, void* out) {
  if (!out || size < 0) return 0;
  std::memset(out, 0, static_cast<size_t>(size));
  platform::Image* img = imageOf(obj);
  if (size != static_cast<int>(sizeof(BITMAP)) || !img) return 0;
  const BITMAP bm{img->width, img->height};
  std::memcpy(out, &bm, sizeof bm);
  return 1;
}

platform::Image* GetNSImageFromHICON(HGDIOBJ obj) { return imageOf(obj); }

BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, int ws, int hs, int rop) {
  platform::Surface* d = surfaceOf(dst);
  platform::Surface* s = surfaceOf(src);
  if (!d || !s || !src->ownedPixels || ws <= 0 || hs <= 0) return FALSE;
  // Products in 64 bits; a result outside int draws nothing.
  int64_t X = x, Y = y, XS = xs, YS = ys, WS = ws, HS = hs;
  if (XS < 0) X -= XS * w / ws, WS += XS, XS = 0;
  if (YS < 0) Y -= YS * h / hs, HS += YS, YS = 0;
  if (XS + WS > s->width) WS = s->width - XS;
  if (YS + HS > s->height) HS = s->height - YS;
  if (WS <= 0 || HS <= 0) return FALSE;
  const int64_t DW = w == ws ? WS : WS == ws ? w : int64_t{w} * WS / ws;
  const int64_t DH = h == hs ? HS : HS == hs ? h : int64_t{h} * HS / hs;
  for (int64_t v : {X, Y, DW, DH})
    if (v < INT_MIN || v > INT_MAX) return FALSE;
  const uint8_t* from = s->pixels + YS * s->span + XS * 4;
  platform::surfaceSaveState(d);
  platform::surfaceDrawPixels(d, from, static_cast<int>(WS), static_cast<int>(HS), s->span, static_cast<int>(X),
                              static_cast<int>(Y), static_cast<int>(DW), static_cast<int>(DH), rop == SHIM_ROP_ALPHA);
  platform::surfaceRestoreState(d);
  return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, int rop) {
  return StretchBlt(dst, x, y, w, h, src, xs, ys, w, h, rop);
}

// ---- Window contexts ----

namespace {
// The paint context of a window object that is painting.
HDC paintContext(Shim_vTavrin_hwnd* v) {
  PAINTSTRUCT ps{};
  return v && v->getShimPaintInfo(&ps) && SHIM_IsValidContext(ps.hdc) ? ps.hdc : nullptr;
}

winsys::View* viewOf(HWND h) {
  if (auto* w = SHIM_As<winsys::Window>(h)) return w->contentView();
  return SHIM_As<winsys::View>(h);
}
}  // namespace

HDC GetDC(HWND h) {
  winsys::View* v = viewOf(h);
  if (!v) return nullptr;
  if (HDC ctx = paintContext(dynamic_cast<Shim_vTavrin_hwnd*>(v))) {
    platform::surfaceSaveState(ctx->context);
    return ctx;
  }
  winsys::Window* win = v->window();
  if (!win || v->isHiddenOrHasHiddenAncestor() || !win->surface()) return nullptr;
  HDC ctx = SHIM_CreateGfxContext(win->surface());
  if (!ctx) return nullptr;
  platform::Surface* s = ctx->context;
  platform::surfaceSaveState(s);
  const winsys::Point o = v->surfaceOrigin();
  platform::surfaceTranslate(s, static_cast<int>(std::floor(o.x + 0.5)) - s->state.originX,
                             static_cast<int>(std::floor(o.y + 0.5)) - s->state.originY);
  platform::surfaceClipToRect(s, 0, 0, static_cast<float>(v->bounds().w), static_cast<float>(v->bounds().h));
  return ctx;
}

HDC GetWindowDC(HWND h) {
  HDC ctx = GetDC(h);
  winsys::View* v = viewOf(h);
  if (ctx && v && (v->bounds().x != 0 || v->bounds().y != 0))
    platform::surfaceTranslate(ctx->context, static_cast<int>(v->bounds().x), static_cast<int>(v->bounds().y));
  return ctx;
}

int ReleaseDC(HWND h, HDC ctx) {
  if (!SHIM_IsValidContext(ctx)) return 0;
  platform::surfaceRestoreState(ctx->context);
  if (ctx == paintContext(dynamic_cast<Shim_vTavrin_hwnd*>(viewOf(h)))) return 1;
  SHIM_DeleteGfxContext(ctx);
  return 1;
}

// ---- Image lists ----

namespace {
bool liveList(HIMAGELIST list) { return shim::isLiveHandle(list, shim::HandleKind::ImageList); }
}  // namespace

HIMAGELIST ImageList_CreateEx() {
  auto* list = new KIT_PtrList<HGDIOBJ__>;
  if (!shim::registerHandle(list, shim::HandleKind::ImageList)) {
    delete list;
    return nullptr;
  }
  return list;
}

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HGDIOBJ icon) {
  platform::Image* img = imageOf(icon);
  if (!liveList(list) || !img) return -1;
  HBITMAP copy = bitmapObject(platform::imageRetain(img));
  if (!copy) return -1;
  if (index >= 0 && index < list->GetSize()) {
    DeleteObject(list->Get(index));
    list->GetList()[index] = copy;
    return index;
  }
  if (!list->Add(copy)) {
    DeleteObject(copy);
    return -1;
  }
  return list->GetSize() - 1;
}

BOOL ImageList_Remove(HIMAGELIST list, int index) {
  if (!liveList(list) || index >= list->GetSize()) return FALSE;
  if (index < 0) {
    for (int i = 0; i < list->GetSize(); ++i) DeleteObject(list->Get(i));
    list->Empty();
    return TRUE;
  }
  DeleteObject(list->Get(index));
  list->GetList()[index] = nullptr;
  return TRUE;
}

void ImageList_Destroy(HIMAGELIST list) {
  if (!liveList(list)) return;
  ImageList_Remove(list, -1);
  shim::unregisterHandle(list, shim::HandleKind::ImageList);
  delete list;
}
