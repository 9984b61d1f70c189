#pragma once
// Text controls: a text the editor sets, a caption that shows its
// parameter's display text and opens the parameter's value prompt, a text in
// a bitmap font, a link and a file selector.
#include <cstdint>
#include <string>

#include "framework/IControl.h"
#include "kit/string.h"

class ITextControl : public IControl {
 public:
  ITextControl(IPluginBase* plug, IRECT rect, const IText* style, const char* text = "");
  // A different text marks the control dirty and is stored; an equal text
  // changes nothing. (The text is held with its length, and its room is
  // kept, so that setting the short texts of a display costs no scan of
  // the old text and no allocation.)
  void SetTextFromPlug(const char* text);
  const char* GetTextForPlug() const { return mStr.c_str(); }
  bool Draw(IGraphics* graphics) override;
  // Counts the changes of the text: a text set that differed from the one
  // held, and every caption drawn from its parameter. While it stays the
  // same, nothing has asked to change the text.
  uint32_t TextRevision() const { return mTextRevision; }

 protected:
  std::string mStr;
  uint32_t mTextRevision = 0;
};

class ICaptionControl : public ITextControl {
 public:
  ICaptionControl(IPluginBase* plug, IRECT rect, int paramIdx, const IText* style, bool showParamLabel = true);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  void OnMouseDblClick(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;

 protected:
  bool mShowParamLabel;
};

// A text drawn in a monospaced bitmap font: character c is frame c - 31 of
// the font bitmap (space is frame 1), each charWidth x charHeight pixels;
// one line, vertically centred, horizontally centred with a centre-aligned
// style and otherwise one character in from the left.
class IBitmapTextControl : public IControl {
 public:
  IBitmapTextControl(IPluginBase* plug, IRECT rect, IBitmap* font, const char* text = "",
                     const IText* style = nullptr, int charWidth = 6, int charHeight = 12);
  void SetTextFromPlug(const char* text);
  const char* GetTextForPlug() const { return mStr.Get(); }
  bool Draw(IGraphics* graphics) override;

 protected:
  KIT_String mStr;
  IBitmap mFontBitmap;
  int mCharWidth, mCharHeight;
};

// Opens its address on a press, and the backup address when that fails;
// draws nothing.
class IURLControl : public IControl {
 public:
  IURLControl(IPluginBase* plug, IRECT rect, const char* url, const char* backupURL = nullptr,
              const char* errMsgOnFailure = nullptr);
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override { return true; }

 protected:
  KIT_String mURL, mBackupURL, mErrMsg;
};

// Asks for a file on a press, then toggles its value between 0 and 1 and
// pushes it; draws its bitmap, when it has one. It reports itself dirty once
// more right after a selection.
class IFileSelectorControl : public IControl {
 public:
  enum EFileSelectorState { kFSNone = 0, kFSSelecting = 1, kFSDone = 2 };

  IFileSelectorControl(IPluginBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap, EFileAction action,
                       const char* dir = "", const char* extensions = "");
  void OnMouseDown(int x, int y, IMouseMod* mod) override;
  bool Draw(IGraphics* graphics) override;
  bool IsDirty() override;
  void GetLastSelectedFileForPlug(KIT_String* file) const { file->Set(mFile.Get()); }
  void SetLastSelectedFileFromPlug(const char* file) { mFile.Set(file); }
  EFileSelectorState GetState() const { return mState; }

 protected:
  IBitmap mBitmap;
  KIT_String mFile, mDir, mExtensions;
  EFileAction mFileAction;
  EFileSelectorState mState = kFSNone;
};

