#include "framework/GraphicsCaches.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "framework/DeferredBitmap.h"
#include "kit/parallel.h"
#include "raster/bitmap.h"

RAST_IBitmap* BitmapStorage::Find(int id) {
  KIT_MutexLock lock(mMutex);
  for (const Entry& e : mEntries)
    if (e.id == id) return e.bitmap;
  return nullptr;
}

void BitmapStorage::Add(RAST_IBitmap* bitmap, int id) {
  KIT_MutexLock lock(mMutex);
  DeferredBitmap* deferred = dynamic_cast<DeferredBitmap*>(bitmap);
  mEntries.push_back(Entry{id, bitmap, deferred});
  if (deferred && !deferred->Decoded()) mMayWait.store(true, std::memory_order_release);
}

void BitmapStorage::DecodeDeferred() {
  if (!mMayWait.load(std::memory_order_acquire)) return;
  KIT_MutexLock lock(mMutex);
  mMayWait.store(false, std::memory_order_relaxed);
  std::vector<DeferredBitmap*> waiting;
  for (const Entry& e : mEntries)
    if (e.deferred && !e.deferred->Decoded() &&
        std::find(waiting.begin(), waiting.end(), e.deferred) == waiting.end())
      waiting.push_back(e.deferred);
  kit::parallelFor(waiting.size(), kit::usableCores(), [&](size_t i) { waiting[i]->Decode(); });
}

bool BitmapStorage::Remove(RAST_IBitmap* bitmap) {
  KIT_MutexLock lock(mMutex);
  for (size_t i = 0; i < mEntries.size(); ++i) {
    if (mEntries[i].bitmap == bitmap) {
      mEntries.erase(mEntries.begin() + (std::ptrdiff_t)i);
      delete bitmap;
      return true;
    }
  }
  return false;
}

void BitmapStorage::Clear() {
  KIT_MutexLock lock(mMutex);
  while (!mEntries.empty()) {
    RAST_IBitmap* b = mEntries.back().bitmap;
    mEntries.pop_back();
    // The same bitmap may sit in several entries (retained copies): delete once.
    bool again = false;
    for (const Entry& e : mEntries) again = again || e.bitmap == b;
    if (!again) delete b;
  }
}

int BitmapStorage::Count() {
  KIT_MutexLock lock(mMutex);
  return (int)mEntries.size();
}

namespace GraphicsCaches {

namespace {
std::mutex gContextsMutex;
int gLiveContexts = 0;
}  // namespace

// Created on first use and emptied with the last context; they go when the
// module that holds them is unloaded (a host loads and unloads plug-ins
// many times in one process), or at the end of the process.
BitmapStorage& Bitmaps() {
  static BitmapStorage s;
  return s;
}

FontStorage& Fonts() {
  static FontStorage s;
  return s;
}

void ContextOpened() {
  std::lock_guard<std::mutex> lock(gContextsMutex);
  ++gLiveContexts;
}

void ContextClosed() {
  std::lock_guard<std::mutex> lock(gContextsMutex);
  if (gLiveContexts > 0 && --gLiveContexts == 0) {
    Bitmaps().Clear();
    Fonts().Clear();
  }
}

int LiveContexts() {
  std::lock_guard<std::mutex> lock(gContextsMutex);
  return gLiveContexts;
}

}  // namespace GraphicsCaches
