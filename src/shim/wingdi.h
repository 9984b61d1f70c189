#pragma once
// Device contexts, GDI objects (pens, brushes, fonts, bitmaps), memory
// contexts over 32-bit pixel buffers, text drawing and text metrics.
//
// COLORREF in this layer is 0x00RRGGBB: red in bits 16-23, green 8-15,
// blue 0-7, the top byte ignored.
#include "shim/wintypes.h"

namespace platform {
struct Surface;
struct Color;
struct Font;
}  // namespace platform

struct HGDIOBJ__;

// A device context. The first field is the platform surface drawn into; the
// editor's screen copy reads it directly.
struct HDC__ {
  platform::Surface* context;
  void* ownedPixels;  // memory contexts: the block holding the pixels
  HGDIOBJ__* curpen;
  HGDIOBJ__* curbrush;
  HGDIOBJ__* curfont;
  int curtextcol;  // COLORREF
  int curbkcol;    // COLORREF
  int curbkmode;   // 1: opaque text background
  float lastpos_x;
  float lastpos_y;
  void* GLgfxctx;
  char _infreelist;
  HDC__* _next;
  platform::Color* curtextcolobj;
};

// A GDI object: 1 pen, 2 brush, 3 font, 4 bitmap.
struct HGDIOBJ__ {
  int type;
  int additional_refcnt;
  platform::Color* color;
  int wid;  // pen width; -1 for the null pen and brush; bitmaps: non-zero holds the image
  void* bitmapptr;
  char _infreelist;
  HGDIOBJ__* _next;
  platform::Font* ct_FontRef;
  char font_quality;  // 0 default, 3 not antialiased, 4 antialiased
};

typedef HDC__* HDC;
typedef HGDIOBJ__* HGDIOBJ;
typedef HGDIOBJ__* HPEN;
typedef HGDIOBJ__* HBRUSH;
typedef HGDIOBJ__* HFONT;
typedef HGDIOBJ__* HBITMAP;

enum { SHIM_OBJ_PEN = 1, SHIM_OBJ_BRUSH = 2, SHIM_OBJ_FONT = 3, SHIM_OBJ_BITMAP = 4 };
enum { NULL_PEN = 1, NULL_BRUSH = 2 };  // GetStockObject numbers
enum { TRANSPARENT = 0, OPAQUE = 1 };
enum { FW_NORMAL = 400, FW_BOLD = 700 };
enum { DEFAULT_QUALITY = 0, NONANTIALIASED_QUALITY = 3, ANTIALIASED_QUALITY = 4 };

// Text-format flags of SHIM_DrawText.
constexpr int DT_CALCRECT = 0x01;
constexpr int DT_VCENTER = 0x02;
constexpr int DT_CENTER = 0x04;
constexpr int DT_BOTTOM = 0x10;
constexpr int DT_RIGHT = 0x20;
constexpr int DT_SINGLELINE = 0x40;
constexpr int DT_NOPREFIX = 0x80;
constexpr int DT_NOCLIP = 0x100;

struct LOGFONT {
  int lfHeight;
  int lfWidth;
  int lfEscapement;
  int lfOrientation;
  int lfWeight;
  char lfItalic;
  char lfUnderline;
  char lfStrikeOut;
  char lfCharSet;
  char lfOutPrecision;
  char lfClipPrecision;
  char lfQuality;
  char lfPitchAndFamily;
  char lfFaceName[32];
};

// The first five ints are filled: height, ascent, descent, internal leading,
// average character width, in pixels.
struct TEXTMETRIC {
  int tmHeight;
  int tmAscent;
  int tmDescent;
  int tmInternalLeading;
  int tmAveCharWidth;
};

// Context and object pools.
HDC__* SHIM_GDP_CTX_NEW();
HGDIOBJ__* GDP_OBJECT_NEW();
// Current lengths of the two free lists (for tests and diagnostics).
void SHIM_GetPoolSizes(int* contexts, int* objects);

// A context over a platform surface owned by someone else.
HDC SHIM_CreateGfxContext(platform::Surface* surface);
// An offscreen context with its own w x h pixels, X R G B bytes per pixel,
// rows of exactly w pixels, the first pixel 64-byte aligned; null when w or
// h is not positive, the size overflows or memory cannot be had.
HDC SHIM_CreateMemContext(HDC reference, int w, int h);
void* SHIM_GetCtxFrameBuffer(HDC ctx);
platform::Surface* SHIM_GetCtxGC(HDC ctx);
void SHIM_DeleteGfxContext(HDC ctx);

int SetTextColor(HDC ctx, int colour);
int GetTextColor(HDC ctx);
int SetBkColor(HDC ctx, int colour);
int SetBkMode(HDC ctx, int mode);

HPEN CreatePen(int style, int width, int colour);
HPEN CreatePenAlpha(int style, int width, int colour, float alpha);
HBRUSH CreateSolidBrush(int colour);
HBRUSH CreateSolidBrushAlpha(int colour, float alpha);
HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, char italic, char underline,
                 char strikeOut, char charSet, char outPrecision, char clipPrecision, char quality,
                 char pitchAndFamily, const char* faceName);
HFONT CreateFontIndirect(const LOGFONT* lf);
HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj);
void DeleteObject(HGDIOBJ obj);
HGDIOBJ SHIM_CloneGDIObject(HGDIOBJ obj);
HGDIOBJ GetStockObject(int which);

// Draws or measures UTF-8 text; returns the text's height in pixels, 0 when
// nothing was drawn or measured.
int SHIM_DrawText(HDC ctx, const char* text, int len, RECT* r, int flags);
// Fills tm from the selected (or default) font; 1 when a context was given.
BOOL GetTextMetrics(HDC ctx, TEXTMETRIC* tm);

// The valid-object test every operation applies: a stock object, or a live
// one (handed out and not deleted: looked up in the layer's handle registry
// before it is read, so that a deleted or foreign handle is never followed),
// of the given type (0: any type).
bool SHIM_IsValidObject(HGDIOBJ obj, int type);
// The same for contexts: handed out and not yet deleted.
bool SHIM_IsValidContext(HDC ctx);
// The platform font a context draws text with: the selected font's, else the
// default font (the pinned sans face at 10 px), else null.
platform::Font* SHIM_ContextFont(HDC ctx);

// ---- Shapes (wingdi_shapes.cpp) ----
// With the selected pen and brush; a pen or brush is usable when it is a
// valid object whose width is not negative (the null pen and brush are not).
// A pen's drawn width is its width, 1 for 0. Nothing happens for an invalid
// context.
BOOL Rectangle(HDC ctx, int l, int t, int r, int b);
BOOL Ellipse(HDC ctx, int l, int t, int r, int b);
// One path through the points, not closed: filled with a usable brush,
// stroked with a usable pen; n below 2 does nothing.
void SHIM_Polygon(HDC ctx, const POINT* pts, int n);
// A polygon with the corners cut by xround / 3 and yround / 3.
BOOL RoundRect(HDC ctx, int x1, int y1, int x2, int y2, int xround, int yround);
BOOL MoveToEx(HDC ctx, int x, int y, POINT* old);
// A segment from the pen position, both ends moved right and down by half
// the drawn width; without a usable pen nothing happens.
BOOL SHIM_LineTo(HDC ctx, int x, int y);
// counts[i] points each (a count of 1 skips a point), stroked as one path.
BOOL PolyPolyline(HDC ctx, const POINT* pts, const DWORD* counts, int nCounts);
// Cubic segments of three points each from the pen position.
BOOL PolyBezierTo(HDC ctx, const POINT* pts, int n);
// Sets exactly pixel (x, y).
void SHIM_SetPixel(HDC ctx, int x, int y, COLORREF colour);
int GetSysColor(int index);

// ---- Images, blits and window contexts (wingdi_images.cpp) ----
namespace platform {
struct Image;
}

struct ICONINFO {
  int fIcon;
  int xHotspot;
  int yHotspot;
  HBITMAP hbmMask;
  HBITMAP hbmColor;
};
// What GetObject fills for a bitmap.
struct BITMAP {
  int bmWidth;
  int bmHeight;
};
constexpr int SHIM_ROP_ALPHA = static_cast<int>(0xDEADBEEF);  // copy with the source's alpha
constexpr int SRCCOPY = 0x00CC0020;

// 24 or 32 bits per pixel (32-bit data is A R G B, 24-bit R G B); with
// planes of 2 or more, bpp / 8 planes of w x h bytes. Null bits give a
// transparent image; other depths and sizes give null.
HBITMAP CreateBitmap(int w, int h, int planes, int bitsPerPixel, const void* bits);
HBITMAP CreateIconIndirect(const ICONINFO* info);
// A file path (with "/"), else an image of the resource folder by name;
// with alphaFromMagenta, pure magenta pixels become transparent.
HBITMAP LoadNamedImage(const char* name, bool alphaFromMagenta);
void DrawImageInRect(HDC ctx, HGDIOBJ bitmap, const RECT* r);
// Clears size bytes of out; for size 8 and a bitmap, fills a BITMAP (1).
int GetObject(HGDIOBJ obj, int size, void* out);
platform::Image* GetNSImageFromHICON(HGDIOBJ obj);
// Copies from a memory context, scaled; rop SHIM_ROP_ALPHA blends by the
// source's byte 0, any other copies opaquely.
BOOL StretchBlt(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, int ws, int hs, int rop);
BOOL BitBlt(HDC dst, int x, int y, int w, int h, HDC src, int xs, int ys, int rop);

// A context for drawing into a window object: its paint context while it
// paints, else a pool record over its window's surface. Main thread only.
struct HWND__;
HDC GetDC(HWND__* h);
HDC GetWindowDC(HWND__* h);
// The paint context stays; a pool record is released.
int ReleaseDC(HWND__* h, HDC ctx);

template <class T>
class KIT_PtrList;
typedef KIT_PtrList<HGDIOBJ__>* HIMAGELIST;
HIMAGELIST ImageList_CreateEx();
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HGDIOBJ icon);
BOOL ImageList_Remove(HIMAGELIST list, int index);
void ImageList_Destroy(HIMAGELIST list);
