#include "platform/textengine.h"
#include "platform/sanitizer.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H
#include <fontconfig/fontconfig.h>
#include <strings.h>
#include <sys/stat.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

namespace platform {

const char* const kDefaultSansFacePath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const char* const kDefaultMonoFacePath = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf";

namespace {
struct Engine;
}

struct Font {
  int refs = 1;
  Engine* engine = nullptr;  // a reference, dropped with the face
  FT_Face face = nullptr;
  float size = 0.f;
  std::string path;
  int index = 0;
  bool bold = false;
  bool italic = false;
  FontMetrics metrics;
  int asciiAdvance[128];  // -1 until first asked for
};

namespace {

// One FreeType library and one fontconfig configuration, counted: the
// program (or module) holds one reference while it is loaded and every font
// holds one, so both are released when the module unloads, or later with
// the last font that a cache released after that, whatever order the
// unload's destructors run in.
struct Engine {
  std::atomic<int> refs{1};
  std::mutex lock;  // FreeType face creation and release, fontconfig matching
  FT_Library ft = nullptr;
  FcConfig* fc = nullptr;

  Engine() {
    if (FT_Init_FreeType(&ft) != 0) ft = nullptr;
    fc = FcInitLoadConfigAndFonts();
  }
  ~Engine() {
    if (ft) FT_Done_FreeType(ft);
    if (fc) FcConfigDestroy(fc);
  }
};

void engineRelease(Engine* e) {
  if (e && e->refs.fetch_sub(1) == 1) delete e;
}

// Set once the holder below is gone (constant-initialised, so readable by
// any destructor that runs after it).
std::atomic<bool> gHolderGone{false};

// The program's reference and the fallback faces. Constant-initialised, so
// that it is destroyed after every cache made at run time: those release
// their fonts first.
struct Holder {
  std::mutex lock;
  Engine* engine = nullptr;
  char* sansPath = nullptr;  // null: the default
  char* monoPath = nullptr;

  constexpr Holder() = default;
  ~Holder() {
    gHolderGone = true;
    std::lock_guard<std::mutex> g(lock);
    engineRelease(engine);
    engine = nullptr;
    std::free(sansPath);
    std::free(monoPath);
    sansPath = monoPath = nullptr;
  }
};

constinit Holder gHolder;

// The engine with one more reference for the caller, made on first use.
// Once the program's reference is gone (destructors at unload or exit), a
// caller gets an engine of its own that goes with its last reference.
Engine* engineAcquire() {
  if (gHolderGone) return new Engine;
  std::lock_guard<std::mutex> g(gHolder.lock);
  if (!gHolder.engine) gHolder.engine = new Engine;
  gHolder.engine->refs.fetch_add(1);
  return gHolder.engine;
}

// Drops the caller's reference at the end of a scope.
struct EngineRef {
  Engine* e = engineAcquire();
  ~EngineRef() { engineRelease(e); }
  Engine* operator->() const { return e; }
};

struct FallbackFaces {
  std::string sans, mono;
};

FallbackFaces fallbackFaces() {
  if (gHolderGone) return {kDefaultSansFacePath, kDefaultMonoFacePath};
  std::lock_guard<std::mutex> g(gHolder.lock);
  return {gHolder.sansPath ? gHolder.sansPath : kDefaultSansFacePath,
          gHolder.monoPath ? gHolder.monoPath : kDefaultMonoFacePath};
}

bool fileExists(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool endsWith(std::string& s, const char* suffix) {
  const size_t n = std::strlen(suffix);
  if (s.size() < n || s.compare(s.size() - n, n, suffix) != 0) return false;
  s.resize(s.size() - n);
  return true;
}

std::string encodeName(const std::string& path, int index, bool bold, bool italic) {
  return std::to_string(index) + (bold ? "B" : "") + (italic ? "I" : "") + ":" + path;
}

bool decodeName(const std::string& name, std::string& path, int& index, bool& bold, bool& italic) {
  const size_t colon = name.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  index = std::atoi(name.c_str());
  const std::string flags = name.substr(0, colon);
  bold = flags.find('B') != std::string::npos;
  italic = flags.find('I') != std::string::npos;
  path = name.substr(colon + 1);
  return !path.empty();
}

// The style variant of a pinned face, or the face itself when there is none.
std::string variantOf(const std::string& base, bool bold, bool italic) {
  if (!bold && !italic) return base;
  std::string stem = base;
  const size_t dot = stem.rfind('.');
  std::string ext = ".ttf";
  if (dot != std::string::npos && stem.find('/', dot) == std::string::npos) {
    ext = stem.substr(dot);
    stem.resize(dot);
  }
  const char* tag = bold && italic ? "-BoldOblique" : bold ? "-Bold" : "-Oblique";
  const std::string v = stem + tag + ext;
  return fileExists(v) ? v : base;
}

bool fontconfigLookup(Engine& e, const std::string& family, bool bold, bool italic, std::string& path,
                      int& index) {
  if (!e.fc || family.empty()) return false;
  FcPattern* pat = FcPatternCreate();
  if (!pat) return false;
  FcPatternAddString(pat, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  FcPatternAddInteger(pat, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pat, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcConfigSubstitute(e.fc, pat, FcMatchPattern);
  FcDefaultSubstitute(pat);
  FcResult res = FcResultNoMatch;
  FcPattern* match = FcFontMatch(e.fc, pat, &res);
  FcPatternDestroy(pat);
  if (!match) return false;
  bool found = false;
  FcChar8* fam = nullptr;
  // fontconfig always offers its best match; only an installed family of the
  // requested name counts.
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &fam) == FcResultMatch; ++i) {
    if (strcasecmp(reinterpret_cast<const char*>(fam), family.c_str()) == 0) {
      found = true;
      break;
    }
  }
  FcChar8* file = nullptr;
  if (found && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
    path = reinterpret_cast<const char*>(file);
    int idx = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &idx) != FcResultMatch) idx = 0;
    index = idx;
  } else {
    found = false;
  }
  FcPatternDestroy(match);
  return found;
}

FontMetrics metricsOf(FT_Face face, float size) {
  FontMetrics m;
  const float upem = face->units_per_EM > 0 ? static_cast<float>(face->units_per_EM) : 1000.f;
  const float scale = size / upem;
  const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  if (hhea) {
    m.ascent = static_cast<float>(hhea->Ascender) * scale;
    m.descent = static_cast<float>(-hhea->Descender) * scale;
    m.leading = static_cast<float>(hhea->Line_Gap) * scale;
  } else {
    m.ascent = static_cast<float>(face->ascender) * scale;
    m.descent = static_cast<float>(-face->descender) * scale;
    m.leading = static_cast<float>(face->height - face->ascender + face->descender) * scale;
  }
  if (m.leading < 0.f) m.leading = 0.f;
  return m;
}

int roundedAdvance(FT_Face face, FT_UInt gi) {
  FT_Fixed adv = 0;
  if (FT_Get_Advance(face, gi, FT_LOAD_NO_HINTING, &adv) != 0) return 0;
  if (adv < 0) return -static_cast<int>((-adv + 0x8000) >> 16);
  return static_cast<int>((adv + 0x8000) >> 16);
}

int roundToPixel(float v) {
  const double r = std::floor(static_cast<double>(v) + 0.5);
  if (!(r > -1.0e9)) return -1000000000;
  if (r > 1.0e9) return 1000000000;
  return static_cast<int>(r);
}

}  // namespace

void setFallbackFacePaths(const char* sansPath, const char* monoPath) {
  if (gHolderGone) return;
  std::lock_guard<std::mutex> g(gHolder.lock);
  std::free(gHolder.sansPath);
  std::free(gHolder.monoPath);
  gHolder.sansPath = sansPath ? strdup(sansPath) : nullptr;
  gHolder.monoPath = monoPath ? strdup(monoPath) : nullptr;
}

std::string resolveFontName(const char* request) {
  std::string family = request ? request : "";
  const bool italic = endsWith(family, " Italic");
  const bool bold = endsWith(family, " Bold");
  std::string path;
  int index = 0;
  {
    EngineRef e;
    std::lock_guard<std::mutex> g(e->lock);
    if (fontconfigLookup(*e.e, family, bold, italic, path, index)) return encodeName(path, index, bold, italic);
  }
  const bool mono = strcasestr(family.c_str(), "mono") != nullptr;
  const FallbackFaces faces = fallbackFaces();
  return encodeName(variantOf(mono ? faces.mono : faces.sans, bold, italic), 0, bold, italic);
}

Font* fontCreate(const std::string& resolvedName, float size) {
  std::string path;
  int index = 0;
  bool bold = false, italic = false;
  if (!decodeName(resolvedName, path, index, bold, italic)) return nullptr;
  if (!(size > 0.f) || size > 16384.f) return nullptr;
  Engine* e = engineAcquire();
  FT_Face face = nullptr;
  {
    std::lock_guard<std::mutex> g(e->lock);
    if (!e->ft || FT_New_Face(e->ft, path.c_str(), index, &face) != 0) face = nullptr;
    if (face && FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(size * 64.f)), 72, 72) != 0) {
      FT_Done_Face(face);
      face = nullptr;
    }
  }
  Font* f = face ? new (std::nothrow) Font : nullptr;
  if (!f) {
    if (face) {
      std::lock_guard<std::mutex> g(e->lock);
      FT_Done_Face(face);
    }
    engineRelease(e);
    return nullptr;
  }
  f->engine = e;
  f->face = face;
  f->size = size;
  f->path = path;
  f->index = index;
  f->bold = bold;
  f->italic = italic;
  f->metrics = metricsOf(face, size);
  for (int& a : f->asciiAdvance) a = -1;
  return f;
}

Font* fontCreateLabel(float size) { return fontCreate(encodeName(fallbackFaces().sans, 0, false, false), size); }

Font* fontRetain(Font* f) {
  if (f) ++f->refs;
  return f;
}

void fontRelease(Font* f) {
  if (!f || --f->refs > 0) return;
  {
    std::lock_guard<std::mutex> g(f->engine->lock);
    FT_Done_Face(f->face);
  }
  engineRelease(f->engine);
  delete f;
}

FontMetrics fontGetMetrics(const Font* f) { return f ? f->metrics : FontMetrics{}; }
float fontGetSize(const Font* f) { return f ? f->size : 0.f; }
const char* fontGetFilePath(const Font* f) { return f ? f->path.c_str() : ""; }
int fontGetFaceIndex(const Font* f) { return f ? f->index : 0; }
bool fontIsBold(const Font* f) { return f && f->bold; }
bool fontIsItalic(const Font* f) { return f && f->italic; }

bool decodeText(const char* bytes, size_t len, std::u32string& out) {
  out.clear();
  if (!bytes) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t i = 0;
  bool ok = true;
  while (i < len) {
    const unsigned b0 = p[i];
    if (b0 < 0x80) {
      out.push_back(b0);
      ++i;
      continue;
    }
    int n;
    char32_t cp, min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      n = 1, cp = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      n = 2, cp = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      n = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
      ok = false;
      break;
    }
    if (len - i <= static_cast<size_t>(n)) {
      ok = false;
      break;
    }
    for (int k = 1; k <= n; ++k) {
      const unsigned c = p[i + k];
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      ok = false;
      break;
    }
    out.push_back(cp);
    i += static_cast<size_t>(n) + 1;
  }
  if (ok) return true;
  // ASCII: seven-bit bytes only.
  out.clear();
  for (size_t k = 0; k < len; ++k) {
    if (p[k] >= 0x80) {
      out.clear();
      return false;
    }
    out.push_back(p[k]);
  }
  return true;
}

int fontAdvance(Font* f, char32_t ch) {
  if (!f) return 0;
  if (ch < 128 && f->asciiAdvance[ch] >= 0) return f->asciiAdvance[ch];
  const int a = roundedAdvance(f->face, FT_Get_Char_Index(f->face, ch));
  if (ch < 128) f->asciiAdvance[ch] = a < 0 ? 0 : a;
  return a;
}

int measureLine(Font* f, const char32_t* text, size_t len) {
  if (!f || !text) return 0;
  int64_t w = 0;
  for (size_t i = 0; i < len; ++i) w += fontAdvance(f, text[i]);
  if (w > INT32_MAX) return INT32_MAX;
  return static_cast<int>(w < 0 ? 0 : w);
}

int drawLine(Surface* s, Font* f, const char32_t* text, size_t len, float x, float baselineY, const Color& c) {
  if (!f || !text) return 0;
  const bool aa = s ? s->state.antialias : true;
  int pen = roundToPixel(x);
  const int base = roundToPixel(baselineY);
  const int start = pen;
  std::vector<uint8_t> expanded;
  FT_GlyphSlot slot = f->face->glyph;
  for (size_t i = 0; i < len; ++i) {
    const int adv = fontAdvance(f, text[i]);
    if (s) {
      const FT_UInt gi = FT_Get_Char_Index(f->face, text[i]);
      const FT_Int32 load = FT_LOAD_NO_HINTING | (aa ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
      if (FT_Load_Glyph(f->face, gi, load) == 0 &&
          FT_Render_Glyph(slot, aa ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0) {
        const FT_Bitmap& bm = slot->bitmap;
        const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
        if (w > 0 && h > 0 && bm.buffer) {
          const int gx = pen + slot->bitmap_left, gy = base - slot->bitmap_top;
          if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
            if (bm.pitch >= 0) {
              surfaceCompositeCoverage(s, gx, gy, bm.buffer, w, h, bm.pitch, c);
            } else {
              // Rows stored bottom-up: copy them top-down first.
              const ptrdiff_t stride = -static_cast<ptrdiff_t>(bm.pitch);
              expanded.assign(static_cast<size_t>(w) * h, 0);
              for (int r = 0; r < h; ++r)
                std::memcpy(&expanded[static_cast<size_t>(r) * w], bm.buffer + (h - 1 - r) * stride, w);
              surfaceCompositeCoverage(s, gx, gy, expanded.data(), w, h, w, c);
            }
          } else if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
            expanded.assign(static_cast<size_t>(w) * h, 0);
            for (int r = 0; r < h; ++r) {
              const uint8_t* row = bm.buffer + static_cast<ptrdiff_t>(r) * bm.pitch;
              for (int k = 0; k < w; ++k)
                if (row[k >> 3] & (0x80 >> (k & 7))) expanded[static_cast<size_t>(r) * w + k] = 255;
            }
            surfaceCompositeCoverage(s, gx, gy, expanded.data(), w, h, w, c);
          }
        }
      }
    }
    pen += adv;
  }
  return pen - start;
}

}  // namespace platform

#if TAVRIN_ADDRESS_SANITIZER
// fontconfig's configuration parser loses a few bytes once per process; the
// leak checker is told to ignore allocations made inside that library only.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif
