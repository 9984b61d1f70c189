#include "support_window.h"

#include "platform/pngwrite.h"

namespace windowtest {

uint32_t FrameColor(int k) {
  const uint32_t r = (uint32_t)(40 * (k + 1)) & 0xFF, gr = (uint32_t)(200 - 30 * k) & 0xFF,
                 b = (uint32_t)(10 + 20 * k) & 0xFF;
  return 0xFFu | (r << 8) | (gr << 16) | (b << 24);
}

bool WritePNG(const std::string& path, const uint32_t* pixels, int w, int h, int span, bool withAlpha) {
  return platform::writePNG(path, reinterpret_cast<const uint8_t*>(pixels), w, h, span * 4, withAlpha);
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
  std::vector<uint32_t> px((size_t)w * (size_t)h);
  for (size_t i = 0; i < px.size(); ++i)
    px[i] = windowtest::FrameColor(firstColour + std::min<int>((int)(i / w) / (h / nFrames), nFrames - 1));
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
