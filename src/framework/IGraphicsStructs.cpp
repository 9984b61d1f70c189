#include "framework/IGraphicsStructs.h"

#include "kit/utf8.h"


static const char* const kDefaultFontName = "Consolas";

IText::IText() { KIT_CopyField(mFont, kDefaultFontName); }

IText::IText(int size, const IColor* color, const char* font, int style, int align, int orientation, int quality)
    : mSize(size), mStyle(style), mAlign(align), mOrientation(orientation), mQuality(quality) {
  KIT_CopyField(mFont, font ? font : kDefaultFontName);
  if (color) mColor = *color;
}

int RasterBlendMode(const IChannelBlend* blend) {
  if (!blend) return kRasterBlendAlpha;
  switch (blend->mMethod) {
    case IChannelBlend::kBlendClobber: return kRasterBlendCopy;
    case IChannelBlend::kBlendAdd: return kRasterBlendAdd;
    case IChannelBlend::kBlendColorDodge: return kRasterBlendDodge;
    default: return kRasterBlendAlpha;
  }
}
