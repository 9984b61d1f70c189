// Path filling and stroking, and scaled pixel drawing, on a surface.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>

#include "platform/surface.h"

namespace platform {

namespace {

constexpr double kFlatness = 0.05;
constexpr double kMiterLimit = 10.0;
constexpr int kMaxSegments = 4096;

int pathChannelByte(float v) {
  if (!(v > 0.f)) return 0;
  return v >= 1.f ? 255 : static_cast<int>(v * 255.f + 0.5f);
}

using Polygon = std::vector<PathPoint>;

double signedArea(const Polygon& p) {
  double a = 0;
  for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) a += p[j].x * p[i].y - p[i].x * p[j].y;
  return a / 2;
}

// Fills polygons (each implicitly closed) with the non-zero rule.
void fillPolygons(Surface* s, const std::vector<Polygon>& polys, const Color& c) {
  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  double minY = 1e300, maxY = -1e300, minX = 1e300, maxX = -1e300;
  const double ox = s->state.originX, oy = s->state.originY;
  for (const Polygon& p : polys) {
    if (p.size() < 3) continue;
    for (size_t i = 0; i < p.size(); ++i) {
      const PathPoint& a = p[i];
      const PathPoint& b = p[(i + 1) % p.size()];
      if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y)) return;
      if (a.y == b.y) continue;
      const bool down = a.y < b.y;
      const PathPoint& top = down ? a : b;
      const PathPoint& bot = down ? b : a;
      edges.push_back(Edge{top.x + ox, top.y + oy, bot.x + ox, bot.y + oy, down ? 1 : -1});
      minY = std::min(minY, top.y + oy);
      maxY = std::max(maxY, bot.y + oy);
      minX = std::min({minX, a.x + ox, b.x + ox});
      maxX = std::max({maxX, a.x + ox, b.x + ox});
    }
  }
  if (edges.empty()) return;
  PixelRect clip = s->state.clip;
  clip.left = std::max(clip.left, 0);
  clip.top = std::max(clip.top, 0);
  clip.right = std::min(clip.right, s->width);
  clip.bottom = std::min(clip.bottom, s->height);
  const int top = std::max(clip.top, static_cast<int>(std::floor(std::max(minY, -1e9))));
  const int bottom = std::min(clip.bottom, static_cast<int>(std::ceil(std::min(maxY, 1e9))));
  const int left = std::max(clip.left, static_cast<int>(std::floor(std::max(minX, -1e9))));
  const int right = std::min(clip.right, static_cast<int>(std::ceil(std::min(maxX, 1e9))) + 1);
  if (top >= bottom || left >= right) return;
  const bool aa = s->state.antialias;
  const int grid = aa ? 4 : 1;
  const int cr = pathChannelByte(c.r), cg = pathChannelByte(c.g), cb = pathChannelByte(c.b), alpha = pathChannelByte(c.a);
  std::vector<int> cov(static_cast<size_t>(right - left));
  std::vector<std::pair<double, int>> cross;
  for (int py = top; py < bottom; ++py) {
    std::fill(cov.begin(), cov.end(), 0);
    for (int j = 0; j < grid; ++j) {
      const double sy = py + (aa ? (j + 0.5) / 4 : 0.5);
      cross.clear();
      for (const Edge& e : edges)
        if (sy >= e.y0 && sy < e.y1) cross.emplace_back(e.x0 + (sy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.dir);
      std::sort(cross.begin(), cross.end());
      int wind = 0;
      for (size_t k = 0; k + 1 < cross.size(); ++k) {
        wind += cross[k].second;
        if (wind == 0) continue;
        // samples at (m + 0.5) / grid with xa <= sample < xb
        const double xa = cross[k].first, xb = cross[k + 1].first;
        const double lo = std::max(std::ceil(xa * grid - 0.5), static_cast<double>(left) * grid);
        const double hi = std::min(std::ceil(xb * grid - 0.5), static_cast<double>(right) * grid);
        for (long m = static_cast<long>(lo); m < static_cast<long>(hi); ++m) cov[m / grid - left] += aa ? 1 : 16;
      }
    }
    uint8_t* row = s->pixels + static_cast<ptrdiff_t>(py) * s->span;
    for (int px = left; px < right; ++px) {
      const int n = cov[px - left];
      if (!n) continue;
      const int v = (n * 255 / 16 * alpha + 127) / 255;
      if (!v) continue;
      uint8_t* p = row + static_cast<ptrdiff_t>(px) * 4;
      p[1] = blendChannel(p[1], cr, v);
      p[2] = blendChannel(p[2], cg, v);
      p[3] = blendChannel(p[3], cb, v);
    }
  }
}

void addPolygon(std::vector<Polygon>& out, Polygon p) {
  if (p.size() < 3) return;
  if (signedArea(p) < 0) std::reverse(p.begin(), p.end());  // one orientation: overlaps add up
  out.push_back(std::move(p));
}

// The outline pieces of one figure: a quad per segment, a join per corner.
void strokeFigure(const Path::Figure& f, double w, std::vector<Polygon>& out) {
  std::vector<PathPoint> pts;
  for (const PathPoint& p : f.points)
    if (pts.empty() || p.x != pts.back().x || p.y != pts.back().y) pts.push_back(p);
  if (f.closed && pts.size() > 1 && pts.front().x == pts.back().x && pts.front().y == pts.back().y) pts.pop_back();
  const size_t n = pts.size();
  if (n < 2) return;
  const double h = w / 2;
  const size_t segs = f.closed ? n : n - 1;
  auto normal = [&](size_t i) {
    const PathPoint& a = pts[i];
    const PathPoint& b = pts[(i + 1) % n];
    const double dx = b.x - a.x, dy = b.y - a.y, len = std::hypot(dx, dy);
    return PathPoint{-dy / len * h, dx / len * h};
  };
  for (size_t i = 0; i < segs; ++i) {
    const PathPoint a = pts[i], b = pts[(i + 1) % n], nv = normal(i);
    addPolygon(out, {{a.x + nv.x, a.y + nv.y}, {b.x + nv.x, b.y + nv.y}, {b.x - nv.x, b.y - nv.y}, {a.x - nv.x, a.y - nv.y}});
  }
  for (size_t i = f.closed ? 0 : 1; i < (f.closed ? n : n - 1); ++i) {
    const size_t prev = (i + n - 1) % n;
    const PathPoint p = pts[i], n0 = normal(prev), n1 = normal(i);
    const double turn = n0.x * n1.y - n0.y * n1.x;
    if (std::fabs(turn) < 1e-12) continue;
    const double side = turn > 0 ? -1 : 1;  // the outer side of the corner
    const PathPoint a{p.x + side * n0.x, p.y + side * n0.y}, b{p.x + side * n1.x, p.y + side * n1.y};
    const double cosTheta = (n0.x * n1.x + n0.y * n1.y) / (h * h);
    const double miter = 1 / std::sqrt(std::max((1 + cosTheta) / 2, 1e-12));  // miter length over width
    if (miter <= kMiterLimit) {
      const PathPoint mid{(n0.x + n1.x) / 2, (n0.y + n1.y) / 2};
      const double len = std::hypot(mid.x, mid.y);
      const double reach = h * miter;
      const PathPoint tip{p.x + side * mid.x / len * reach, p.y + side * mid.y / len * reach};
      addPolygon(out, {p, a, tip, b});
    } else {
      addPolygon(out, {p, a, b});
    }
  }
}

}  // namespace

void Path::moveTo(double x, double y) { m_figures.push_back(Figure{{PathPoint{x, y}}, false}); }

void Path::lineTo(double x, double y) {
  if (m_figures.empty() || m_figures.back().closed) moveTo(current().x, current().y);
  m_figures.back().points.push_back(PathPoint{x, y});
}

void Path::curveTo(double c1x, double c1y, double c2x, double c2y, double x, double y) {
  const PathPoint p0 = current();
  const double ddx = std::max(std::fabs(p0.x - 2 * c1x + c2x), std::fabs(c1x - 2 * c2x + x));
  const double ddy = std::max(std::fabs(p0.y - 2 * c1y + c2y), std::fabs(c1y - 2 * c2y + y));
  const double dd = std::hypot(ddx, ddy);
  const double want = std::ceil(std::sqrt(0.75 * dd / kFlatness));
  const int n = std::clamp(std::isfinite(want) ? static_cast<int>(std::min(want, 1e6)) : 1, 1, kMaxSegments);
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1 - t;
    lineTo(u * u * u * p0.x + 3 * u * u * t * c1x + 3 * u * t * t * c2x + t * t * t * x,
           u * u * u * p0.y + 3 * u * u * t * c1y + 3 * u * t * t * c2y + t * t * t * y);
  }
}

void Path::close() {
  if (!m_figures.empty()) m_figures.back().closed = true;
}

void Path::addEllipse(double x, double y, double w, double h) {
  const double rx = w / 2, ry = h / 2, r = std::max(std::fabs(rx), std::fabs(ry));
  if (!(r > 0) || !std::isfinite(r)) return;
  const double step = r > kFlatness ? 2 * std::acos(1 - kFlatness / r) : M_PI / 2;
  const int n = std::clamp(static_cast<int>(std::ceil(2 * M_PI / step)), 8, kMaxSegments);
  moveTo(x + rx + rx, y + ry);
  for (int i = 1; i < n; ++i) lineTo(x + rx + rx * std::cos(2 * M_PI * i / n), y + ry + ry * std::sin(2 * M_PI * i / n));
  close();
}

void surfaceSetLineWidth(Surface* s, float w) {
  if (s && w >= 0 && std::isfinite(w)) s->state.lineWidth = w;
}

void surfaceFillPath(Surface* s, const Path& p, const Color& c) {
  if (!s) return;
  std::vector<Polygon> polys;
  for (const Path::Figure& f : p.figures()) polys.push_back(f.points);
  fillPolygons(s, polys, c);
}

void surfaceStrokePath(Surface* s, const Path& p, const Color& c) {
  if (!s || !(s->state.lineWidth > 0)) return;
  std::vector<Polygon> polys;
  for (const Path::Figure& f : p.figures()) strokeFigure(f, s->state.lineWidth, polys);
  fillPolygons(s, polys, c);
}

void surfaceDrawPixels(Surface* s, const uint8_t* src, int w, int h, int srcSpan, int x, int y, int dw, int dh,
                       bool useAlpha) {
  if (!s || !src || w <= 0 || h <= 0 || dw <= 0 || dh <= 0) return;
  const int64_t x0 = int64_t{x} + s->state.originX, y0 = int64_t{y} + s->state.originY;
  const int left = static_cast<int>(std::max<int64_t>({x0, s->state.clip.left, 0}));
  const int top = static_cast<int>(std::max<int64_t>({y0, s->state.clip.top, 0}));
  const int right = static_cast<int>(std::min<int64_t>({x0 + dw, s->state.clip.right, s->width}));
  const int bottom = static_cast<int>(std::min<int64_t>({y0 + dh, s->state.clip.bottom, s->height}));
  for (int py = top; py < bottom; ++py) {
    const int64_t sy = ((py - y0) * 2 + 1) * h / (int64_t{dh} * 2);
    const uint8_t* srow = src + static_cast<ptrdiff_t>(sy) * srcSpan;
    uint8_t* d = s->pixels + static_cast<ptrdiff_t>(py) * s->span + static_cast<ptrdiff_t>(left) * 4;
    for (int px = left; px < right; ++px, d += 4) {
      const int64_t sx = ((px - x0) * 2 + 1) * w / (int64_t{dw} * 2);
      const uint8_t* p = srow + sx * 4;
      const int a = useAlpha ? p[0] : 255;
      if (a == 255) {
        d[1] = p[1], d[2] = p[2], d[3] = p[3];
      } else if (a) {
        d[1] = blendChannel(d[1], p[1], a);
        d[2] = blendChannel(d[2], p[2], a);
        d[3] = blendChannel(d[3], p[3], a);
      }
    }
  }
}

}  // namespace platform
