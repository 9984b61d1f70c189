#pragma once
// The process-wide bitmap and font caches, shared by every graphics context
// of the process. Each is created on first use and guarded by its own
// recursive mutex, which is always taken inside the plug-in's mutex, never
// around it. Both are emptied when the last graphics context is destroyed,
// so that a window opened later at another scale loads its images afresh and
// no font outlives the text engine.
#include <atomic>
#include <string>
#include <vector>

#include "framework/IGraphicsStructs.h"
#include "kit/mutex.h"

class RAST_IBitmap;
class RAST_CachedFont;
class DeferredBitmap;

class BitmapStorage {
 public:
  // The first bitmap cached under id, or null.
  RAST_IBitmap* Find(int id);
  void Add(RAST_IBitmap* bitmap, int id);
  // Removes the first entry holding the bitmap and deletes the bitmap;
  // false (nothing deleted) when the cache does not hold it.
  bool Remove(RAST_IBitmap* bitmap);
  void Clear();
  int Count();
  KIT_Mutex& Mutex() { return mMutex; }
  // Decodes every cached bitmap still waiting for its pixels (see
  // DeferredBitmap.h), on the cores the process may use; returns when all
  // are done. Holds the cache's mutex meanwhile, so that none of them goes.
  void DecodeDeferred();

 private:
  struct Entry {
    int id;
    RAST_IBitmap* bitmap;
    DeferredBitmap* deferred;  // the same bitmap when its pixels come later
  };
  KIT_Mutex mMutex;
  std::vector<Entry> mEntries;
  std::atomic<bool> mMayWait{false};  // a deferred bitmap was added since the last decoding
};

class FontStorage {
 public:
  // The font cached for the style (size, orientation, style and name), or null.
  RAST_CachedFont* Find(const IText* text);
  void Add(RAST_CachedFont* font, const IText* text);
  void Clear();
  int Count();
  KIT_Mutex& Mutex() { return mMutex; }

 private:
  struct Entry {
    int size, orientation, style;
    std::string name;
    RAST_CachedFont* font;
  };
  KIT_Mutex mMutex;
  std::vector<Entry> mEntries;
};

namespace GraphicsCaches {
BitmapStorage& Bitmaps();
FontStorage& Fonts();
// Kept by every graphics context's constructor and destructor.
void ContextOpened();
void ContextClosed();
int LiveContexts();
}  // namespace GraphicsCaches
