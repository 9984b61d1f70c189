#pragma once
// The bitmaps of the graphics contexts' cache: a resource image at the
// window's scale.
//
// DeferredBitmap holds a PNG file's bytes and takes its pixels from them
// when they are first asked for. Its size, the one the file's header states
// times the scale (each truncated), is known at once, so a window can be
// laid out without decoding a single image; the decoding and scaling are
// those of a load made at once, so the pixels are the same. The cache
// decodes every waiting bitmap on the usable cores before a window's first
// drawing pass (BitmapStorage::DecodeDeferred). A file whose data turns out
// to be damaged leaves the bitmap without pixels: it draws nothing.
//
// Threads: any thread may ask for the pixels; the first one decodes under
// the bitmap's own lock, others asking meanwhile wait for it. Only the
// owner of the bitmap may resize it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "raster/bitmap.h"

// The size of an image of w x h at the scale, each side truncated; false
// when either comes out below 1 (or unreasonably large).
bool ScaledBitmapSize(int w, int h, double scale, int* scaledW, int* scaledH);

// The cached form of a decoded image at the scale: the image itself when
// the scale leaves its size as it is (a scaled copy would be the same
// pixels), else a bilinear copy of the scaled size; null when the scaled
// size is empty or the copy cannot be made.
std::unique_ptr<RAST_IBitmap> ScaledForCache(std::unique_ptr<RAST_IBitmap> image, double scale);

class DeferredBitmap : public RAST_IBitmap {
 public:
  // Null when the bytes hold no PNG header or the scaled size is empty.
  static std::unique_ptr<DeferredBitmap> FromPNG(std::vector<uint8_t> png, double scale);

  RAST_pixel* getBits() override;
  int getWidth() override { return mWidth; }
  int getHeight() override { return mHeight; }
  int getRowSpan() override;
  bool resize(int w, int h) override;
  int Extended(int id, void* data) override;

  // Takes the pixels from the file now unless that is done; true when the
  // bitmap has pixels.
  bool Decode();
  // True once the file has been decoded (or found damaged).
  bool Decoded() const { return mDone.load(std::memory_order_acquire); }

 private:
  DeferredBitmap(std::vector<uint8_t> png, double scale, int w, int h)
      : mPNG(std::move(png)), mScale(scale), mWidth(w), mHeight(h) {}
  // The decoded pixels, or null (decoding first when needed).
  RAST_IBitmap* Pixels();

  std::vector<uint8_t> mPNG;  // released once decoded
  double mScale;
  int mWidth, mHeight;
  std::mutex mDecoding;
  std::atomic<bool> mDone{false};
  std::unique_ptr<RAST_IBitmap> mPixels;  // written once, before mDone
};
