// Text drawing and text metrics of device contexts.
#include <climits>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/surface.h"
#include "platform/textengine.h"
#include "shim/wingdi.h"

namespace {

constexpr int kMaxDisplayText = 4095;

// The label font at 10 px, made once (thread-safely) and kept.
platform::Font* defaultFont() {
  static platform::Font* f = platform::fontCreateLabel(10.f);
  return f;
}

// Removes a UTF-8 sequence left incomplete at the end of s.
void dropIncompleteTail(std::string& s) {
  size_t lead = s.size();
  int cont = 0;
  while (lead > 0 && cont < 3 && (static_cast<unsigned char>(s[lead - 1]) & 0xC0) == 0x80) --lead, ++cont;
  if (lead == 0) return;
  const unsigned char b = static_cast<unsigned char>(s[lead - 1]);
  const int need = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
  if (need > cont) s.resize(lead - 1);
}

// Builds the text handed to the engine: prefix ampersands resolved, carriage
// returns dropped, line feeds kept (or made spaces on a single line). Sets
// multiline when a line feed was kept. At most 4095 bytes, cut before a
// UTF-8 sequence that would not fit whole.
std::string displayText(const char* text, int len, int flags, bool& multiline) {
  std::string out;
  multiline = false;
  const bool prefix = !(flags & DT_NOPREFIX);
  bool full = false;
  for (int i = 0; (len < 0 || i < len) && text[i]; ++i) {
    if (static_cast<int>(out.size()) >= kMaxDisplayText) {
      full = true;
      break;
    }
    char c = text[i];
    if (prefix && c == '&') {
      ++i;
      if ((len >= 0 && i >= len) || !text[i]) break;
      out.push_back(text[i]);  // taken as it is, even another '&'
      continue;
    }
    if (c == '\r') continue;
    if (c == '\n') {
      if (flags & DT_SINGLELINE)
        c = ' ';
      else
        multiline = true;
    }
    out.push_back(c);
  }
  if (full) dropIncompleteTail(out);
  return out;
}

// Lines of a several-line text: split at line feeds; a final line feed does
// not open another line.
std::vector<std::u32string> splitLines(const std::u32string& s) {
  std::vector<std::u32string> lines;
  size_t start = 0;
  for (;;) {
    const size_t nl = s.find(U'\n', start);
    if (nl == std::u32string::npos) {
      if (start < s.size() || lines.empty()) lines.push_back(s.substr(start));
      break;
    }
    lines.push_back(s.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

platform::Font* fontOf(HDC ctx) {
  HGDIOBJ f = ctx->curfont;
  if (SHIM_IsValidObject(f, SHIM_OBJ_FONT) && f->ct_FontRef) return f->ct_FontRef;
  return defaultFont();
}

// Rectangle arithmetic is done in 64 bits and saturated back to int, so
// that rectangles near the ends of the int range cannot overflow.
int saturate(int64_t v) { return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v); }

int lineBoxHeight(const platform::FontMetrics& m) {
  return static_cast<int>(std::floor(m.ascent + m.descent + m.leading + 1.5f));
}

}  // namespace

platform::Font* SHIM_ContextFont(HDC ctx) { return SHIM_IsValidContext(ctx) ? fontOf(ctx) : nullptr; }

int SHIM_DrawText(HDC ctx, const char* text, int len, RECT* r, int flags) {
  if (!SHIM_IsValidContext(ctx) || !text || !r) return 0;
  bool multiline = false;
  const std::string disp = displayText(text, len, flags, multiline);
  if (disp.empty()) return 0;
  std::u32string chars;
  if (!platform::decodeText(disp.data(), disp.size(), chars)) return 0;
  platform::Font* font = fontOf(ctx);
  if (!font) return 0;
  const platform::FontMetrics m = platform::fontGetMetrics(font);

  std::vector<std::u32string> lines;
  if (multiline)
    lines = splitLines(chars);
  else
    lines.push_back(std::move(chars));
  std::vector<int> widths;
  int W = 0, H = 0;
  for (const std::u32string& line : lines) {
    widths.push_back(platform::measureLine(font, line.data(), line.size()));
    if (widths.back() > W) W = widths.back();
    H += lineBoxHeight(m);
  }
  const int T = H ? H + 1 : 0;

  const int64_t left = r->left, top = r->top, right = r->right, bottom = r->bottom;
  if (flags & DT_CALCRECT) {
    r->right = saturate(left + W);
    r->bottom = saturate(top + T);
    return T;
  }

  int64_t x = left, y = top;
  if (flags & DT_RIGHT)
    x += right - (left + W);
  else if (flags & DT_CENTER)
    x += (right - left) / 2 - W / 2;
  if (flags & DT_BOTTOM)
    y += bottom - T - top;
  else if (flags & DT_VCENTER)
    y += (bottom - top) / 2 - T / 2;

  platform::Surface* s = ctx->context;
  platform::surfaceSaveState(s);
  if (!(flags & DT_NOCLIP))
    platform::surfaceClipToRect(s, static_cast<float>(left), static_cast<float>(top), static_cast<float>(right - left),
                                static_cast<float>(bottom - top));
  platform::Color* bg = nullptr;
  if (ctx->curbkmode == OPAQUE) {
    const uint32_t c = static_cast<uint32_t>(ctx->curbkcol);
    bg = platform::colorCreate(static_cast<float>((c >> 16) & 0xFF) / 255.f, static_cast<float>((c >> 8) & 0xFF) / 255.f,
                               static_cast<float>(c & 0xFF) / 255.f, 1.f);
  }
  HGDIOBJ sel = ctx->curfont;
  if (SHIM_IsValidObject(sel, SHIM_OBJ_FONT) && sel->font_quality != 0)
    platform::surfaceSetAntialias(s, sel->font_quality == ANTIALIASED_QUALITY);

  const platform::Color black;
  const platform::Color& fg = ctx->curtextcolobj ? *ctx->curtextcolobj : black;
  const float fx = static_cast<float>(x);
  if (!multiline) {
    if (bg) platform::surfaceFillRect(s, fx, static_cast<float>(y), static_cast<float>(W), static_cast<float>(T), *bg);
    platform::drawLine(s, font, lines[0].data(), lines[0].size(), fx, static_cast<float>(y) + m.ascent, fg);
  } else {
    const float lineH = m.ascent + m.descent + m.leading;
    const int step = static_cast<int>(std::floor(lineH + 0.5f));
    for (size_t i = 0; i < lines.size(); ++i) {
      if (bg) platform::surfaceFillRect(s, fx, static_cast<float>(y), static_cast<float>(widths[i]), lineH, *bg);
      platform::drawLine(s, font, lines[i].data(), lines[i].size(), fx, static_cast<float>(y) + m.ascent, fg);
      y += step;
    }
  }
  platform::surfaceRestoreState(s);
  platform::colorRelease(bg);
  return T;
}

BOOL GetTextMetrics(HDC ctx, TEXTMETRIC* tm) {
  if (tm) {
    tm->tmHeight = 16;
    tm->tmAscent = 12;
    tm->tmDescent = 4;
    tm->tmInternalLeading = 3;
    tm->tmAveCharWidth = 10;
  }
  if (!SHIM_IsValidContext(ctx) || !tm) return 0;
  platform::Font* font = fontOf(ctx);
  if (!font) return 1;
  const platform::FontMetrics m = platform::fontGetMetrics(font);
  tm->tmInternalLeading = static_cast<int>(m.leading);
  tm->tmAscent = static_cast<int>(m.ascent);
  tm->tmDescent = static_cast<int>(m.descent);
  tm->tmHeight = tm->tmAscent + tm->tmDescent + tm->tmInternalLeading;
  tm->tmAveCharWidth = tm->tmHeight * 2 / 3;
  if (tm->tmHeight) tm->tmHeight += 1;
  return 1;
}
