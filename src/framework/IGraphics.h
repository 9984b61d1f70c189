#pragma once
// The platform-free half of the editor window: the draw surface, the flat
// control list (the background is control 0), the top-level layer trees, the
// value routes between parameters and controls, the value prompts, redraw of
// dirty areas and input dispatch. A platform context derives from it and
// fills the platform operations.
//
// The graphics context takes no lock of its own. Whoever drives it (the
// platform's timer and input events, and every other thread that changes
// parameters, controls or texts) holds the plug-in's mutex while doing so.
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IGraphicsBase.h"
#include "framework/IControl.h"
#include "framework/IGraphicsStructs.h"
#include "framework/IPopupMenu.h"
#include "kit/ptrlist.h"
#include "kit/string.h"

class IPluginBase;
class IParam;
class RAST_IBitmap;
class RAST_IFont;

class IGraphics : public IGraphicsBase {
 public:
  IGraphics(IPluginBase* plug, int w, int h, int fps = 0);
  ~IGraphics() override;
  IGraphics* AsIGraphics() override { return this; }
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // ---- Platform operations ----
  // Copies r of the draw surface to the screen; false when nothing shows.
  virtual bool DrawScreen(IRECT* r) = 0;
  virtual bool MeasureIText(IText* text, const char* str, IRECT* r) { return DrawIText(text, str, r, true); }
  virtual void ForceEndUserEdit() = 0;
  virtual void Resize(int w, int h);
  virtual bool WindowIsOpen() { return GetWindow() != nullptr; }
  virtual const char* GetGUIAPI() { return nullptr; }
  virtual int ShowMessageBox(const char* text, const char* caption, int type) = 0;
  // The menu or submenu whose item the user chose (its chosen index set), or
  // null when the menu was dismissed.
  virtual IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) = 0;
  virtual void CreateTextEntry(IControl* control, IText* text, IRECT* rect, const char* str, IParam* param) = 0;
  virtual void HostPath(KIT_String* path) = 0;
  virtual void PluginPath(KIT_String* path) = 0;
  virtual void DesktopPath(KIT_String* path) = 0;
  virtual void PromptForFile(KIT_String* fileName, EFileAction action = kFileOpen, KIT_String* dir = nullptr,
                             const char* extensions = nullptr) = 0;
  virtual bool PromptForColor(IColor* color, const char* prompt = nullptr) = 0;
  virtual bool OpenURL(const char* url, const char* msgWindowTitle = nullptr, const char* confirmMsg = nullptr,
                       const char* errMsg = nullptr) = 0;
  virtual void* OpenWindow(void* parentView) = 0;
  virtual void* OpenWindow(void* window, void* parentControl, short leftOffset = 0, short topOffset = 0) = 0;
  virtual void AttachSubWindow(void* hostWindow) {}
  virtual void RemoveSubWindow() {}
  virtual void CloseWindow() = 0;
  virtual void* GetWindow() = 0;
  // Reads a whole resource file into a buffer sized to it plus at least 8
  // zero bytes, and stores the number of bytes read as the last file size.
  virtual std::unique_ptr<uint8_t[]> OSLoadFile(int id, const char* name) = 0;
  virtual void HideMouseCursor() {}
  virtual void ShowMouseCursor() {}
  // A new bitmap decoded from a resource image, or null.
  virtual RAST_IBitmap* OSLoadBitmap(int id, const char* name) = 0;
  // The bytes of the PNG file of a resource image, found as OSLoadBitmap
  // finds it; empty when there is none, or when the platform only decodes
  // (the bitmap cache then loads through OSLoadBitmap at once).
  virtual std::vector<uint8_t> OSLoadBitmapFile(int id, const char* name) { return {}; }

  // ---- Set-up ----
  // Creates the draw surface; run when the plug-in attaches the context.
  void PrepDraw() override;
  void AttachBackground(int id, const char* name, double scale = 1.0);
  void AttachPanelBackground(const IColor* color);
  int AttachControl(IControl* control);
  int AttachLayer(ControlLayer* layer);
  void AttachKeyCatcher(IControl* control);

  // ---- Values ----
  void HideControl(int paramIdx, bool hide);
  void GrayOutControl(int paramIdx, bool gray);
  void ClampControl(int paramIdx, double lo, double hi, bool normalized);
  // A plain value is stored in the parameter (clamped, rounded to the step
  // unless continuous); controls and layers always get the normalised value.
  // No change call reaches the plug-in.
  void SetParameterFromPlug(int paramIdx, double value, bool normalized) override;
  void SetControlFromPlug(int controlIdx, double normalizedValue);
  void SetAllControlsDirty();
  void SetParameterFromGUI(int paramIdx, double normalizedValue);
  void SetStrictDrawing(bool strict);
  void PromptUserInput(IControl* control, IParam* param, IRECT* rect);
  void SetFromStringAfterPrompt(IControl* control, IParam* param, const char* text);

  // ---- Resources and caches ----
  // The whole file, or null; GetLastFileSize() tells how many bytes it holds.
  std::unique_ptr<uint8_t[]> LoadFile(int id, const char* name);
  int GetLastFileSize() const { return mLastFileSize; }
  // A failed load gives an empty bitmap (no data, 0 x 0) and caches nothing.
  // The size is known at once; the pixels of a PNG file that the platform
  // hands over are decoded when first drawn (see DeferredBitmap.h).
  IBitmap LoadIBitmap(int id, const char* name, double scale = 1.0, int nFrames = 1, bool framesHorizontal = false);
  IBitmap getImageById(int id, int nFrames = 1, bool framesHorizontal = false);
  void RetainBitmap(IBitmap* bitmap);
  void ReleaseBitmap(IBitmap* bitmap);
  RAST_IFont* CacheFont(IText* text);

  // ---- Drawing ----
  bool DrawIText(IText* text, const char* str, IRECT* r, bool measure = false);
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int srcX, int srcY, const IChannelBlend* blend = nullptr);
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame = 1, const IChannelBlend* blend = nullptr);
  bool DrawBitmap(IBitmap* bitmap, IRECT* dest, int frame, int srcX, int srcY, const IChannelBlend* blend = nullptr);
  bool FillIRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr);
  // Text in a monospaced bitmap font: character c is frame c - 31 of the
  // font (space is frame 1; characters without a frame are skipped), one
  // charWidth x charHeight cell each. The first line is vertically centred
  // in r when asked; a centre-aligned style centres each line, any other
  // starts it one character in from the left. In multi-line mode a text
  // wider than r continues on further lines of the same height.
  bool DrawBitmapedText(IBitmap* font, IRECT* r, IText* text, const IChannelBlend* blend, const char* str,
                        bool vCenter, bool multiline, int charWidth, int charHeight);

  // One-line forwards to the raster library on the draw surface, in the
  // context's integer coordinates; the raster library clips to the surface.
  bool DrawPoint(const IColor* color, int x, int y, const IChannelBlend* blend = nullptr);
  // Writes the colour as it is, alpha included.
  bool ForcePixel(const IColor* color, int x, int y);
  // The pixel at (x, y); black with alpha 0 outside the surface.
  IColor GetPoint(int x, int y);
  // The draw surface's pixels, or null before the surface exists.
  void* GetBits();
  // A new bitmap of the source scaled to w x h (bilinear), or cut to r; the
  // bitmap cache owns it (ReleaseBitmap frees it). An empty bitmap when the
  // source or the size is unusable.
  IBitmap ScaleBitmap(IBitmap* src, int w, int h);
  IBitmap CropBitmap(IBitmap* src, IRECT* r);

  // Lines and shapes in the colour, with the blend's weight and mode (only
  // the mode's kind counts for shapes: a copy, an add or a dodge). Angles
  // are radians clockwise from straight up. False without a colour or a
  // surface; nothing is drawn then.
  bool DrawLine(const IColor* color, int x1, int y1, int x2, int y2, const IChannelBlend* blend = nullptr,
                bool aa = false);
  // Both ends included.
  bool DrawHorizontalLine(const IColor* color, int y, int xLo, int xHi, const IChannelBlend* blend = nullptr);
  bool DrawVerticalLine(const IColor* color, int x, int yLo, int yHi, const IChannelBlend* blend = nullptr);
  // From (cx, cy) + rMin to (cx, cy) + rMax along the angle.
  bool DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                      const IChannelBlend* blend = nullptr, bool aa = false);
  bool DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
               const IChannelBlend* blend = nullptr, bool aa = false);
  bool DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend = nullptr,
                  bool aa = false);
  bool FillCircle(const IColor* color, int cx, int cy, float r, const IChannelBlend* blend = nullptr, bool aa = false);
  // Outlines lie on the rectangle's own edge pixels (its last column and row
  // are R - 1 and B - 1); an empty rectangle draws nothing.
  bool DrawRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr);
  bool RoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr, int cornerRadius = 5,
                 bool aa = false);
  // The rectangle with corners rounded to the radius (at most half its width
  // and height), every pixel combined once; aa shades the pixel at each end
  // of a corner row by how much of it the curve covers.
  bool FillRoundRect(const IColor* color, IRECT* r, const IChannelBlend* blend = nullptr, int cornerRadius = 5,
                     bool aa = false);
  bool FillTriangle(const IColor* color, int x1, int y1, int x2, int y2, int x3, int y3,
                    const IChannelBlend* blend = nullptr);
  // The convex polygon of the n points (x[i], y[i]).
  bool FillIConvexPolygon(const IColor* color, const int* x, const int* y, int n,
                          const IChannelBlend* blend = nullptr);

  // The whole bitmap turned by the angle (radians, clockwise) about its
  // pivot, yOffsetZeroDeg pixels below its centre, with the pivot put at
  // (destCtrX, destCtrY); drawn (bilinear) within the bitmap-sized rectangle
  // centred on that point, so nothing lands outside it.
  bool DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg = 0,
                         const IChannelBlend* blend = nullptr);
  // Base at (x, y); the mask turned by the angle about its centre, which is
  // put at base's centre, drawn within base's rectangle; top centred on base
  // over both. Each with the blend.
  bool DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                       const IChannelBlend* blend = nullptr);

  // ---- Redraw and input ----
  bool IsDirty(IRECT* r);
  bool Draw(IRECT* r);
  void OnMouseDown(int x, int y, IMouseMod* mod);
  void OnMouseUp(int x, int y, IMouseMod* mod);
  void OnMouseDrag(int x, int y, IMouseMod* mod);
  bool OnMouseDblClick(int x, int y, IMouseMod* mod);
  void OnMouseWheel(int x, int y, IMouseMod* mod, int d);
  bool OnMouseOver(int x, int y, IMouseMod* mod);
  void OnMouseOut();
  bool OnKeyDown(int x, int y, int key);
  void ReleaseMouseCapture();
  int GetParamIdxForPTAutomation(int x, int y);
  int GetLastClickedParamForPTAutomation();
  void OnGUIIdle();

  // ---- Accessors ----
  IPluginBase* GetPlug() const { return mPlug; }
  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  int NControls() const { return mControls.GetSize(); }
  IControl* GetControl(int i) const { return mControls.Get(i); }
  int NLayers() const { return mLayers.GetSize(); }
  ControlLayer* GetLayer(int i) const { return mLayers.Get(i); }
  IControl* GetKeyCatcher() const { return mKeyCatcher; }
  RAST_IBitmap* GetDrawBitmap() const { return mDrawBitmap; }
  const IRECT& GetDrawRECT() const { return mDrawRECT; }
  IControl* GetCapturedControl() const { return mMouseCapture; }
  IControl* GetMouseOverControl() const { return mMouseOver; }
  int GetMouseX() const { return mMouseX; }
  int GetMouseY() const { return mMouseY; }
  bool GetStrictDrawing() const { return mStrict; }
  bool GetHandleMouseOver() const { return mHandleMouseOver; }
  void SetHandleMouseOver(bool on) { mHandleMouseOver = on; }

  // Number of graphics contexts alive in the process. When the last one
  // goes, the bitmap and font caches are emptied.
  static int LiveContexts();

 protected:
  // The control on top at (x, y): layers last to first, then the control
  // list from the end; grayed controls of the list are passed over (unless
  // mouseOver and the control takes the mouse while grayed).
  IControl* HitTest(int x, int y, bool mouseOver = false);
  template <class F>
  void ForEachBoundControl(int paramIdx, F&& f) {
    for (int i = 0; i < mControls.GetSize(); ++i)
      if (mControls.Get(i)->ParamIdx() == paramIdx) f(mControls.Get(i));
  }
  void DeleteDrawBitmaps();

  int mLastFileSize = 0;
  IPluginBase* mPlug;
  KIT_PtrList<IControl> mControls;
  KIT_PtrList<ControlLayer> mLayers;
  IRECT mDrawRECT;
  RAST_IBitmap* mDrawBitmap = nullptr;
  int mWidth, mHeight, mFPS;
  IControl* mMouseOver = nullptr;
  IControl* mMouseCapture = nullptr;
  int mMouseX = -1, mMouseY = -1;
  int mLastClickedParam = -1;
  bool mHandleMouseOver = false;
  bool mStrict = true;
  IControl* mKeyCatcher = nullptr;
};
