#pragma once
// Bitmaps: rectangles of RAST_pixel values in rows, behind one abstract
// interface so that every operation draws into heap memory and into a
// memory drawing context alike.
#include <cstdint>

#include "raster/pixel.h"

// The emulation layer's device context.
struct HDC__;
typedef HDC__* HDC;

class RAST_IBitmap {
 public:
  virtual ~RAST_IBitmap() {}
  // The first pixel of the first row in memory, or null without pixels.
  virtual RAST_pixel* getBits() = 0;
  virtual int getWidth() = 0;
  virtual int getHeight() = 0;
  // Distance from one row to the next in pixels; at least the width.
  virtual int getRowSpan() = 0;
  // True when row 0 of the picture is the last row in memory.
  virtual bool isFlipped() { return false; }
  // Returns false when the size is unchanged (or, for a system bitmap, when
  // the new size has no pixels); true otherwise, even after a failed
  // allocation, which leaves the bitmap 0 x 0 without pixels.
  virtual bool resize(int w, int h) = 0;
  virtual HDC getDC() { return nullptr; }
  virtual int Extended(int id, void* data) { return 0; }
};

// Pixels on the heap. Rows start 64-byte aligned and are padded to whole
// multiples of the line alignment; the buffer grows by a quarter more than
// asked and never shrinks while the bitmap lives.
class RAST_MemBitmap : public RAST_IBitmap {
 public:
  // linealign: row alignment in pixels; below 2 rows are exactly the width;
  // otherwise only its lowest set bit counts.
  explicit RAST_MemBitmap(int w = 0, int h = 0, unsigned int linealign = 4);
  ~RAST_MemBitmap() override;
  RAST_MemBitmap(const RAST_MemBitmap&) = delete;
  RAST_MemBitmap& operator=(const RAST_MemBitmap&) = delete;

  RAST_pixel* getBits() override;
  int getWidth() override { return m_width; }
  int getHeight() override { return m_height; }
  int getRowSpan() override;
  bool resize(int w, int h) override;

  // Bytes allocated for the pixels (without the alignment slack).
  int allocatedBytes() const { return m_allocsize; }

 private:
  void* m_fb = nullptr;
  int m_width = 0;
  int m_height = 0;
  int m_allocsize = 0;
  int m_linealign = 0;  // mask: row span = (width + mask) & ~mask
};

// Pixels of a memory drawing surface: X,R,G,B bytes per pixel (the platform
// skips byte 0), 64-byte aligned, each row exactly the surface's width. The
// surface grows only when a dimension exceeds it; its width is a multiple
// of 4 pixels.
class RAST_SysBitmap : public RAST_IBitmap {
 public:
  explicit RAST_SysBitmap(int w = 0, int h = 0);
  ~RAST_SysBitmap() override;
  RAST_SysBitmap(const RAST_SysBitmap&) = delete;
  RAST_SysBitmap& operator=(const RAST_SysBitmap&) = delete;

  RAST_pixel* getBits() override { return m_bits; }
  int getWidth() override { return m_width; }
  int getHeight() override { return m_height; }
  int getRowSpan() override { return m_allocw; }
  bool resize(int w, int h) override;
  HDC getDC() override { return m_dc; }

 private:
  // The drawing surface behind the pixels.
  bool createSurface(int w, int h);
  void deleteSurface();
  RAST_pixel* surfacePixels() const;

  int m_width = 0;
  int m_height = 0;
  HDC m_dc = nullptr;
  RAST_pixel* m_bits = nullptr;
  int m_allocw = 0;
  int m_alloch = 0;
};
