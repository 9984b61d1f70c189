#include "framework/ITextControl.h"

#include <cstring>
#include <new>

#include "framework/IGraphics.h"
#include "framework/IParam.h"

ITextControl::ITextControl(IPluginBase* plug, IRECT rect, const IText* style, const char* text)
    : IControl(plug, rect) {
  if (style) mText = *style;
  if (text) mStr = text;
}

// A different text marks the control dirty and is stored; an equal one
// changes nothing.
static void SetChangedText(IControl* control, KIT_String* str, const char* text) {
  if (!text) text = "";
  if (strcmp(str->Get(), text) == 0) return;
  control->SetDirty(false);
  str->Set(text);
}

void ITextControl::SetTextFromPlug(const char* text) {
  if (!text) text = "";
  const size_t length = std::strlen(text);
  if (length == mStr.size() && std::memcmp(mStr.data(), text, length) == 0) return;
  SetDirty(false);
  ++mTextRevision;
  try {
    // In place: a text shorter than the room keeps it. A text taken from
    // this one's own storage is shorter than it, so it is never moved away
    // before the copy.
    mStr.resize(length);
    std::memmove(mStr.data(), text, length);
  } catch (const std::bad_alloc&) {
    // Out of memory: the old text stays.
  }
}

bool ITextControl::Draw(IGraphics* graphics) {
  if (mStr.empty()) return true;
  return graphics->DrawIText(&mText, mStr.c_str(), &mRECT);
}

ICaptionControl::ICaptionControl(IPluginBase* plug, IRECT rect, int paramIdx, const IText* style,
                                 bool showParamLabel)
    : ITextControl(plug, rect, style), mShowParamLabel(showParamLabel) {
  mParamIdx = paramIdx;
}

void ICaptionControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  if (mGrayed) return;
  if (mod && (mod->L || mod->R)) PromptUserInput();
}

void ICaptionControl::OnMouseDblClick(int x, int y, IMouseMod* mod) {
  if (!mGrayed) PromptUserInput();
}

bool ICaptionControl::Draw(IGraphics* graphics) {
  if (IParam* param = GetParam()) {
    char display[128];
    display[0] = '\0';
    param->GetDisplayForHost(param->Value(), false, display, true);
    ++mTextRevision;
    try {
      mStr = display;
      if (mShowParamLabel) {
        mStr += ' ';
        mStr += param->GetLabelForHost();
      }
    } catch (const std::bad_alloc&) {
      // Out of memory: the text drawn is what the string holds.
    }
  }
  return ITextControl::Draw(graphics);
}

IBitmapTextControl::IBitmapTextControl(IPluginBase* plug, IRECT rect, IBitmap* font, const char* text,
                                       const IText* style, int charWidth, int charHeight)
    : IControl(plug, rect), mFontBitmap(*font), mCharWidth(charWidth), mCharHeight(charHeight) {
  if (style) mText = *style;
  mStr.Set(text);
}

void IBitmapTextControl::SetTextFromPlug(const char* text) { SetChangedText(this, &mStr, text); }

bool IBitmapTextControl::Draw(IGraphics* graphics) {
  if (!mStr.GetLength()) return true;
  return graphics->DrawBitmapedText(&mFontBitmap, &mRECT, &mText, &mBlend, mStr.Get(), true, false, mCharWidth,
                                    mCharHeight);
}

IURLControl::IURLControl(IPluginBase* plug, IRECT rect, const char* url, const char* backupURL,
                         const char* errMsgOnFailure)
    : IControl(plug, rect), mURL(url), mBackupURL(backupURL), mErrMsg(errMsgOnFailure) {}

void IURLControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  IGraphics* gui = GetGUI();
  if (mGrayed || !gui) return;
  const char* err = mErrMsg.GetLength() ? mErrMsg.Get() : nullptr;
  bool opened = mURL.GetLength() && gui->OpenURL(mURL.Get(), nullptr, nullptr, err);
  if (!opened && mBackupURL.GetLength()) gui->OpenURL(mBackupURL.Get(), nullptr, nullptr, err);
}

IFileSelectorControl::IFileSelectorControl(IPluginBase* plug, IRECT rect, int paramIdx, IBitmap* bitmap,
                                           EFileAction action, const char* dir, const char* extensions)
    : IControl(plug, rect, paramIdx),
      mBitmap(bitmap ? *bitmap : IBitmap()),
      mDir(dir),
      mExtensions(extensions),
      mFileAction(action) {}

void IFileSelectorControl::OnMouseDown(int x, int y, IMouseMod* mod) {
  IGraphics* gui = GetGUI();
  if (mGrayed || !gui) return;
  mState = kFSSelecting;
  SetDirty(false);
  gui->PromptForFile(&mFile, mFileAction, &mDir, mExtensions.Get());
  mValue += 1.0;
  if (mValue > 1.0) mValue = 0.0;
  mState = kFSDone;
  SetDirty(true);
}

bool IFileSelectorControl::Draw(IGraphics* graphics) {
  if (!mBitmap.mData) return true;
  return graphics->DrawBitmap(&mBitmap, &mRECT, 1, &mBlend);
}

bool IFileSelectorControl::IsDirty() {
  if (mDirty) return true;
  if (mState == kFSDone) {
    mState = kFSNone;
    return true;
  }
  return false;
}

