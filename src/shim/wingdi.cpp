#include "shim/wingdi.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kit/assocarray.h"
#include "platform/image.h"
#include "kit/mutex.h"
#include "kit/utf8.h"
#include "platform/surface.h"
#include "platform/textengine.h"
#include "shim/winregistry.h"

namespace {

// Set once the pool is gone (its module unloaded, or the process ending);
// constant-initialised, so any later destructor may read it.
std::atomic<bool> gPoolGone{false};

template <class T>
void freeList(T* head) {
  while (head) {
    T* next = head->_next;
    std::free(head);
    head = next;
  }
}

// Free lists of released records, capped at 100 contexts and 200 objects.
struct Pool {
  KIT_Mutex mutex;
  HDC__* ctxs = nullptr;
  int ctxCount = 0;
  HGDIOBJ__* objs = nullptr;
  int objCount = 0;

  ~Pool() {
    gPoolGone = true;
    freeList(ctxs);
    freeList(objs);
  }
};

Pool& pool() {
  // Made once, thread-safely, on first use; emptied when the module that
  // holds it is unloaded (a host loads and unloads plug-ins many times in
  // one process) or the process ends. Records released after that, by
  // destructors that run later, are freed at once.
  static Pool p;
  return p;
}

// Requested face name (with " Bold"/" Italic") -> resolved platform name.
struct FaceNameCache {
  KIT_Mutex mutex;
  KIT_StringKeyedArray<char*> names{true, &freecharptr};
};

FaceNameCache& faceNames() {
  static FaceNameCache c;
  return c;
}

HGDIOBJ__ global_objs[2];  // [0] the null brush, [1] the null pen

bool isStock(const HGDIOBJ__* o) { return o == &global_objs[0] || o == &global_objs[1]; }

platform::Color* colorFromRef(int colour, float alpha) {
  const uint32_t c = static_cast<uint32_t>(colour);
  return platform::colorCreate(static_cast<float>((c >> 16) & 0xFF) / 255.0f,
                               static_cast<float>((c >> 8) & 0xFF) / 255.0f, static_cast<float>(c & 0xFF) / 255.0f,
                               alpha);
}

// Aligns p up to the next multiple of 64.
void* align64(void* p) {
  return reinterpret_cast<void*>((reinterpret_cast<uintptr_t>(p) + 63) & ~static_cast<uintptr_t>(63));
}

// Forgets a released record's handle, clears the record and keeps it in
// its free list while the list holds no more than cap records; frees it
// otherwise.
template <class T>
void releaseRecord(T* rec, T* Pool::*head, int Pool::*count, int cap, shim::HandleKind kind) {
  shim::unregisterHandle(rec, kind);
  std::memset(rec, 0, sizeof(*rec));
  if (gPoolGone) {
    std::free(rec);
    return;
  }
  Pool& p = pool();
  KIT_MutexLock g(p.mutex);
  if (p.*count > cap) {
    std::free(rec);
    return;
  }
  rec->_infreelist = 1;
  rec->_next = p.*head;
  p.*head = rec;
  ++(p.*count);
}

// A zero-filled record from the free list, or a new one, with its handle
// registered as live.
template <class T>
T* takeRecord(T* Pool::*head, int Pool::*count, shim::HandleKind kind) {
  T* r = nullptr;
  if (!gPoolGone) {
    Pool& p = pool();
    KIT_MutexLock g(p.mutex);
    if ((r = p.*head) != nullptr) {
      p.*head = r->_next;
      --(p.*count);
      std::memset(r, 0, sizeof(*r));
    }
  }
  if (!r) r = static_cast<T*>(std::calloc(1, sizeof(T)));
  if (r && !shim::registerHandle(r, kind)) {
    std::free(r);
    r = nullptr;
  }
  return r;
}

void releaseContextRecord(HDC__* ctx) {
  releaseRecord(ctx, &Pool::ctxs, &Pool::ctxCount, 99, shim::HandleKind::Context);
}
void releaseObjectRecord(HGDIOBJ__* obj) {
  releaseRecord(obj, &Pool::objs, &Pool::objCount, 199, shim::HandleKind::GdiObject);
}

HGDIOBJ__* newColourObject(int type, int width, int colour, float alpha) {
  HGDIOBJ__* o = GDP_OBJECT_NEW();
  if (!o) return nullptr;
  o->type = type;
  o->wid = width < 0 ? 0 : width;
  o->color = colorFromRef(colour, alpha);
  return o;
}

// The platform name for a requested face, through the cache.
std::string resolvedFaceName(const char* request) {
  FaceNameCache& c = faceNames();
  {
    KIT_MutexLock g(c.mutex);
    if (char** hit = c.names.Get(request)) return *hit;
  }
  const std::string resolved = platform::resolveFontName(request);
  KIT_MutexLock g(c.mutex);
  if (!c.names.Get(request)) {
    char* value = strdup(resolved.c_str());
    if (value && !c.names.Insert(request, value)) std::free(value);
  }
  return resolved;
}

}  // namespace

// Handles are looked up before they are read: a context or object that was
// released (to the free list or the heap), or never was one, is refused.
bool SHIM_IsValidContext(HDC ctx) {
  return shim::isLiveHandle(ctx, shim::HandleKind::Context) && !ctx->_infreelist;
}

namespace {
// A live object, the two stock objects included.
bool liveObject(HGDIOBJ obj) {
  return isStock(obj) || (shim::isLiveHandle(obj, shim::HandleKind::GdiObject) && !obj->_infreelist);
}
}  // namespace

bool SHIM_IsValidObject(HGDIOBJ obj, int type) { return liveObject(obj) && (type == 0 || obj->type == type); }

HDC__* SHIM_GDP_CTX_NEW() { return takeRecord(&Pool::ctxs, &Pool::ctxCount, shim::HandleKind::Context); }

HGDIOBJ__* GDP_OBJECT_NEW() { return takeRecord(&Pool::objs, &Pool::objCount, shim::HandleKind::GdiObject); }

void SHIM_GetPoolSizes(int* contexts, int* objects) {
  Pool& p = pool();
  KIT_MutexLock g(p.mutex);
  if (contexts) *contexts = p.ctxCount;
  if (objects) *objects = p.objCount;
}

HDC SHIM_CreateGfxContext(platform::Surface* surface) {
  HDC__* c = SHIM_GDP_CTX_NEW();
  if (!c) return nullptr;
  c->context = surface;
  return c;
}

HDC SHIM_CreateMemContext(HDC, int w, int h) {
  if (w <= 0 || h <= 0) return nullptr;
  const int64_t row = static_cast<int64_t>(w) * 4;
  const int64_t bytes = row * h + 63;
  if (row > INT32_MAX || bytes > INT32_MAX) return nullptr;
  void* block = std::calloc(1, static_cast<size_t>(bytes));
  if (!block) return nullptr;
  platform::Surface* s = platform::surfaceCreate(align64(block), w, h, static_cast<int>(row));
  if (!s) {
    std::free(block);
    return nullptr;
  }
  HDC__* c = SHIM_GDP_CTX_NEW();
  if (!c) {
    platform::surfaceRelease(s);
    std::free(block);
    return nullptr;
  }
  c->context = s;
  c->ownedPixels = block;
  SetTextColor(c, 0);
  return c;
}

void* SHIM_GetCtxFrameBuffer(HDC ctx) {
  if (!SHIM_IsValidContext(ctx) || !ctx->ownedPixels) return nullptr;
  return align64(ctx->ownedPixels);
}

platform::Surface* SHIM_GetCtxGC(HDC ctx) { return SHIM_IsValidContext(ctx) ? ctx->context : nullptr; }

void SHIM_DeleteGfxContext(HDC ctx) {
  if (!SHIM_IsValidContext(ctx)) return;
  if (ctx->ownedPixels) {
    platform::surfaceRelease(ctx->context);
    std::free(ctx->ownedPixels);
  }
  platform::colorRelease(ctx->curtextcolobj);
  releaseContextRecord(ctx);
}

int SetTextColor(HDC ctx, int colour) {
  if (!SHIM_IsValidContext(ctx)) return -1;
  const int old = ctx->curtextcol;
  ctx->curtextcol = colour;
  platform::colorRelease(ctx->curtextcolobj);
  ctx->curtextcolobj = colorFromRef(colour, 1.0f);
  return old;
}

int GetTextColor(HDC ctx) { return SHIM_IsValidContext(ctx) ? ctx->curtextcol : -1; }

int SetBkColor(HDC ctx, int colour) {
  if (!SHIM_IsValidContext(ctx)) return -1;
  const int old = ctx->curbkcol;
  ctx->curbkcol = colour;
  return old;
}

int SetBkMode(HDC ctx, int mode) {
  if (!SHIM_IsValidContext(ctx)) return 0;
  const int old = ctx->curbkmode;
  ctx->curbkmode = mode;
  return old;
}

HPEN CreatePen(int style, int width, int colour) { return newColourObject(SHIM_OBJ_PEN, width, colour, 1.0f); }
HPEN CreatePenAlpha(int style, int width, int colour, float alpha) {
  return newColourObject(SHIM_OBJ_PEN, width, colour, alpha);
}
HBRUSH CreateSolidBrush(int colour) { return newColourObject(SHIM_OBJ_BRUSH, 0, colour, 1.0f); }
HBRUSH CreateSolidBrushAlpha(int colour, float alpha) { return newColourObject(SHIM_OBJ_BRUSH, 0, colour, alpha); }

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, char italic, char underline,
                 char strikeOut, char charSet, char outPrecision, char clipPrecision, char quality,
                 char pitchAndFamily, const char* faceName) {
  HGDIOBJ__* font = GDP_OBJECT_NEW();
  if (!font) return nullptr;
  font->type = SHIM_OBJ_FONT;

  float size = std::fabs(static_cast<float>(height ? height : width));
  if (size > 8192.f || size < 2.f) size = 10.f;

  // Requested name with its style suffixes; the suffixes always fit.
  char buf[1024];
  KIT_CopyField(buf, 900, faceName);
  if (weight >= FW_BOLD) std::strcat(buf, " Bold");
  if (italic) std::strcat(buf, " Italic");

  const std::string name = resolvedFaceName(buf);
  font->ct_FontRef = platform::fontCreate(name, size);
  if (!font->ct_FontRef) font->ct_FontRef = platform::fontCreateLabel(size);

  static const char kQualityMap[5] = {0, 0, 0, 3, 4};
  const unsigned q = static_cast<unsigned char>(quality);
  font->font_quality = q < 5 ? kQualityMap[q] : 0;
  return font;
}

HFONT CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return nullptr;
  char face[sizeof(lf->lfFaceName) + 1];
  std::memcpy(face, lf->lfFaceName, sizeof(lf->lfFaceName));
  face[sizeof(lf->lfFaceName)] = 0;
  return CreateFont(lf->lfHeight, lf->lfWidth, 0, lf->lfOrientation, lf->lfWeight, lf->lfItalic, 0, 0, 0, 0, 0,
                    lf->lfQuality, 0, face);
}

HGDIOBJ SelectObject(HDC ctx, HGDIOBJ obj) {
  if (!SHIM_IsValidContext(ctx)) return nullptr;
  HGDIOBJ__** slots[3] = {&ctx->curpen, &ctx->curbrush, &ctx->curfont};
  const uintptr_t h = reinterpret_cast<uintptr_t>(obj);
  if (h >= 1 && h <= 3) {
    HGDIOBJ__** slot = slots[h - 1];
    HGDIOBJ__* old = *slot;
    *slot = nullptr;
    return SHIM_IsValidObject(old, static_cast<int>(h)) ? old : obj;
  }
  if (!SHIM_IsValidObject(obj, 0) || obj->type < SHIM_OBJ_PEN || obj->type > SHIM_OBJ_FONT) return nullptr;
  HGDIOBJ__** slot = slots[obj->type - 1];
  HGDIOBJ__* old = *slot;
  *slot = obj;
  if (SHIM_IsValidObject(old, obj->type)) return old;
  return reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(obj->type));
}

void DeleteObject(HGDIOBJ obj) {
  if (isStock(obj) || !liveObject(obj)) return;
  if (obj->additional_refcnt-- > 0) return;
  if (obj->type < SHIM_OBJ_PEN || obj->type > SHIM_OBJ_BITMAP) return;
  if ((obj->type == SHIM_OBJ_PEN || obj->type == SHIM_OBJ_BRUSH) && obj->wid < 0) return;
  platform::colorRelease(obj->color);
  platform::fontRelease(obj->ct_FontRef);
  if (obj->type == SHIM_OBJ_BITMAP && obj->wid) platform::imageRelease(static_cast<platform::Image*>(obj->bitmapptr));
  releaseObjectRecord(obj);
}

HGDIOBJ SHIM_CloneGDIObject(HGDIOBJ obj) {
  if (!liveObject(obj)) return nullptr;
  ++obj->additional_refcnt;
  return obj;
}

HGDIOBJ GetStockObject(int which) {
  if (which == NULL_PEN) {
    global_objs[1].type = SHIM_OBJ_PEN;
    global_objs[1].wid = -1;
    return &global_objs[1];
  }
  if (which == NULL_BRUSH) {
    global_objs[0].type = SHIM_OBJ_BRUSH;
    global_objs[0].wid = -1;
    return &global_objs[0];
  }
  return nullptr;
}
