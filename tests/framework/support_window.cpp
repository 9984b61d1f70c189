#include "support_window.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

namespace windowtest {

uint32_t FrameColor(int k) {
  const uint32_t r = (uint32_t)(40 * (k + 1)) & 0xFF, gr = (uint32_t)(200 - 30 * k) & 0xFF,
                 b = (uint32_t)(10 + 20 * k) & 0xFF;
  return 0xFFu | (r << 8) | (gr << 16) | (b << 24);
}

std::vector<uint32_t> FramesImage(int w, int h, int nFrames, int firstColour) {
  std::vector<uint32_t> px((size_t)w * (size_t)h);
  const int fh = h / (nFrames < 1 ? 1 : nFrames);
  for (int y = 0; y < h; ++y) {
    int k = fh > 0 ? y / fh : 0;
    if (k >= nFrames) k = nFrames - 1;
    for (int x = 0; x < w; ++x) px[(size_t)y * (size_t)w + (size_t)x] = FrameColor(firstColour + k);
  }
  return px;
}

bool WritePNG(const std::string& path, const uint32_t* pixels, int w, int h, int span, bool withAlpha) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    fclose(f);
    return false;
  }
  const int channels = withAlpha ? 4 : 3;
  std::vector<png_byte> row((size_t)w * (size_t)channels);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    fclose(f);
    return false;
  }
  png_init_io(png, f);
  png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < h; ++y) {
    const uint32_t* src = pixels + (size_t)y * (size_t)span;
    for (int x = 0; x < w; ++x) {
      const uint32_t p = src[x];
      png_byte* d = &row[(size_t)x * (size_t)channels];
      d[0] = (png_byte)(p >> 8);
      d[1] = (png_byte)(p >> 16);
      d[2] = (png_byte)(p >> 24);
      if (withAlpha) d[3] = (png_byte)p;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return fclose(f) == 0;
}

}  // namespace windowtest

void WindowTest::SetUp() { folders = std::make_unique<testsupport::ScopedFolders>(); }

void WindowTest::TearDown() {
  if (g) {
    for (const std::string& e : g->scriptErrors()) ADD_FAILURE() << "script error: " << e;
    for (const std::string& u : g->unusedAnswers()) ADD_FAILURE() << "unused " << u;
  }
  if (!attached) delete g;
  g = nullptr;
  plug.reset();  // deletes an attached window with it
  folders.reset();
}

void WindowTest::Make(int w, int h, int nParams, bool panel) {
  plug = std::make_unique<TestPlug>(0, nParams);
  for (int i = 0; i < nParams && i < 4; ++i) plug->GetParam(i)->InitInt("p", 0, 0, 10);
  g = new IGraphicsHeadless(plug.get(), w, h);
  if (panel) g->AttachPanelBackground(&kPanelColor);
}

void WindowTest::AttachAndOpen() {
  plug->AttachGraphics(g);
  attached = true;
  g->OpenWindow(nullptr);
  plug->ClearCounts();
}

void WindowTest::PutImage(const std::string& name, int w, int h, int nFrames, int firstColour) {
  std::vector<uint32_t> px = windowtest::FramesImage(w, h, nFrames, firstColour);
  ASSERT_TRUE(windowtest::WritePNG(folders->resources() + name, px.data(), w, h, w, true));
}

IBitmap WindowTest::Load(int id, const std::string& name, int nFrames) {
  return g->LoadIBitmap(id, name.c_str(), 1.0, nFrames);
}

ICaptionControl* WindowTest::AddPromptingCaption(const IRECT& r, int idx, bool showLabel) {
  auto* c = Add<ICaptionControl>(r, idx, &style, showLabel);
  c->DisablePrompt(false);
  return c;
}

IParam* WindowTest::InitEnum(int idx, std::initializer_list<const char*> texts) {
  IParam* p = plug->GetParam(idx);
  p->InitEnum("e", 0, static_cast<int>(texts.size()));
  int i = 0;
  for (const char* t : texts) p->SetDisplayText(i++, t);
  return p;
}

void WindowTest::ExpectSameOutside(const std::vector<uint32_t>& before, const IRECT& r) {
  const std::vector<uint32_t>& now = g->screenImage();
  ASSERT_EQ(before.size(), now.size());
  int differing = 0;
  for (int y = 0; y < g->Height(); ++y)
    for (int x = 0; x < g->Width(); ++x)
      if (!r.Contains(x, y) && before[(size_t)y * (size_t)g->Width() + (size_t)x] !=
                                   now[(size_t)y * (size_t)g->Width() + (size_t)x])
        ++differing;
  EXPECT_EQ(differing, 0) << "pixels changed outside the dirty area";
}
