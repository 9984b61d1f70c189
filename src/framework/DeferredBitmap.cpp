#include "framework/DeferredBitmap.h"

#include <cstdint>
#include <new>

#include "raster/blit.h"
#include "raster/png.h"

bool ScaledBitmapSize(int w, int h, double scale, int* scaledW, int* scaledH) {
  const double sw = w * scale, sh = h * scale;
  *scaledW = (sw > 0.0 && sw < 1e9) ? (int)sw : 0;
  *scaledH = (sh > 0.0 && sh < 1e9) ? (int)sh : 0;
  return *scaledW > 0 && *scaledH > 0;
}

std::unique_ptr<RAST_IBitmap> ScaledForCache(std::unique_ptr<RAST_IBitmap> image, double scale) {
  if (!image) return nullptr;
  const int lw = image->getWidth(), lh = image->getHeight();
  int w = 0, h = 0;
  if (!ScaledBitmapSize(lw, lh, scale, &w, &h)) return nullptr;
  if (w == lw && h == lh && !image->isFlipped()) return image;
  std::unique_ptr<RAST_MemBitmap> scaled(new (std::nothrow) RAST_MemBitmap(w, h, 4));
  if (!scaled || scaled->getWidth() != w || scaled->getHeight() != h) return nullptr;
  RAST_ScaledBlit(scaled.get(), image.get(), 0, 0, w, h, 0.0f, 0.0f, (float)lw, (float)lh, 1.0f,
                  RAST_BLIT_FILTER_BILINEAR);
  return scaled;
}

std::unique_ptr<DeferredBitmap> DeferredBitmap::FromPNG(std::vector<uint8_t> png, double scale) {
  int lw = 0, lh = 0, w = 0, h = 0;
  if (!RAST_PNGSize(png.data(), png.size(), &lw, &lh) || !ScaledBitmapSize(lw, lh, scale, &w, &h)) return nullptr;
  return std::unique_ptr<DeferredBitmap>(new DeferredBitmap(std::move(png), scale, w, h));
}

bool DeferredBitmap::Decode() { return Pixels() != nullptr; }

RAST_IBitmap* DeferredBitmap::Pixels() {
  if (!mDone.load(std::memory_order_acquire)) {
    std::lock_guard<std::mutex> lock(mDecoding);
    if (!mDone.load(std::memory_order_relaxed)) {
      try {
        // The images come with the program: their checksums are not worked out.
        std::unique_ptr<RAST_IBitmap> image;
        if (mPNG.size() <= (size_t)INT32_MAX)
          image.reset(RAST_LoadPNGFromMemory(mPNG.data(), (int)mPNG.size(), nullptr, false));
        std::unique_ptr<RAST_IBitmap> pixels = ScaledForCache(std::move(image), mScale);
        // Pixels of another size than the header's would be read past.
        if (pixels && (pixels->getWidth() != mWidth || pixels->getHeight() != mHeight)) pixels.reset();
        mPixels = std::move(pixels);
      } catch (...) {
        mPixels.reset();  // out of memory: no pixels
      }
      std::vector<uint8_t>().swap(mPNG);
      mDone.store(true, std::memory_order_release);
    }
  }
  return mPixels.get();
}

RAST_pixel* DeferredBitmap::getBits() {
  RAST_IBitmap* p = Pixels();
  return p ? p->getBits() : nullptr;
}

int DeferredBitmap::getRowSpan() {
  RAST_IBitmap* p = Pixels();
  return p ? p->getRowSpan() : mWidth;
}

bool DeferredBitmap::resize(int w, int h) {
  RAST_IBitmap* p = Pixels();
  if (!p) {
    mPixels.reset(new RAST_MemBitmap(0, 0, 4));
    p = mPixels.get();
  }
  const bool changed = p->resize(w, h);
  mWidth = p->getWidth();
  mHeight = p->getHeight();
  return changed;
}

int DeferredBitmap::Extended(int id, void* data) {
  RAST_IBitmap* p = Pixels();
  return p ? p->Extended(id, data) : 0;
}
