#pragma once
// Shared pieces of the window model's tests: a plug-in double that counts
// the calls the window makes into it, a control wrapper that counts draws,
// PNG files written and read by the tests, and a fixture that owns a
// headless window over temporary folders.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "framework_fakes.h"
#include "framework/ITextControl.h"
#include "host/IGraphicsHeadless.h"
#include "testsupport.h"

using fwtest::TestPlug;

// Counts the draws of any control class.
template <class T>
class Counted : public T {
 public:
  using T::T;
  bool Draw(IGraphics* g) override {
    ++draws;
    return T::Draw(g);
  }
  int draws = 0;
};

namespace windowtest {

// The opaque colour of frame k (0-based) of the test images: red = 40 * (k + 1),
// green = 200 - 30 * k, blue = 10 + 20 * k.
uint32_t FrameColor(int frame0);
// Writes pixels (RAST layout: A in bits 0-7, R 8-15, G 16-23, B 24-31) as a
// PNG: with alpha as 8-bit RGBA, without as 8-bit RGB (alpha ignored).
bool WritePNG(const std::string& path, const uint32_t* pixels, int w, int h, int span, bool withAlpha);

}  // namespace windowtest

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Makes the plug-in (nParams parameters; 0 to 3 are integers 0..10, the
  // others wait for a test to initialise them) and a closed window of w x h,
  // with a grey panel as its background unless asked not to.
  void Make(int w = 200, int h = 120, int nParams = 8, bool panel = true);
  static constexpr IColor kPanelColor = IColor(255, 90, 90, 90);
  // Attaches the window to the plug-in (values pushed, surface made) and
  // opens it, which paints the whole window once.
  void AttachAndOpen();
  // Puts an image of nFrames stacked frames, frame k in FrameColor(firstColour
  // + k), into the temporary resource folder.
  void PutImage(const std::string& name, int w, int h, int nFrames, int firstColour = 0);
  IBitmap Load(int id, const std::string& name, int nFrames = 1);
  // Expects every pixel of the screen image outside r to equal before's.
  void ExpectSameOutside(const std::vector<uint32_t>& before, const IRECT& r);
  // Makes a control of class T for the plug-in (the arguments are those after
  // the plug-in) and attaches it to the window.
  template <class T, class... A>
  T* Add(A&&... args) {
    auto* c = new T(plug.get(), std::forward<A>(args)...);
    g->AttachControl(c);
    return c;
  }
  // Attaches a caption of parameter idx, in the default style, that prompts
  // when pressed.
  ICaptionControl* AddPromptingCaption(const IRECT& r, int idx, bool showLabel = false);
  // Makes parameter idx an enumeration of the given display texts.
  IParam* InitEnum(int idx, std::initializer_list<const char*> texts);

  std::unique_ptr<testsupport::ScopedFolders> folders;
  std::unique_ptr<TestPlug> plug;
  IGraphicsHeadless* g = nullptr;  // owned by the plug-in once attached
  bool attached = false;
  IText style;
};
