#include "framework/GraphicsCaches.h"

#include <cstring>
#include <mutex>

#include "raster/bitmap.h"

RAST_IBitmap* BitmapStorage::Find(int id) {
  KIT_MutexLock lock(mMutex);
  for (const Entry& e : mEntries)
    if (e.id == id) return e.bitmap;
  return nullptr;
}

void BitmapStorage::Add(RAST_IBitmap* bitmap, int id) {
  KIT_MutexLock lock(mMutex);
  mEntries.push_back(Entry{id, bitmap});
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
