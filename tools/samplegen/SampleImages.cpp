#include "SampleImages.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>
#include <dcmtk/dcmjpeg/djencode.h>
#include <dcmtk/dcmjpeg/djrplol.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>

namespace torascan::samples {
namespace {

// ---------------------------------------------------------------------------------------------
// Drawing: anatomy is laid out in millimetres around the image centre (+x to the image right,
// +y down) as ellipsoids and tubes. Each group adds its projected thickness times its
// attenuation, so overlapping structures sum up the way they do on a real plate.

constexpr float kPi = 3.14159265f;

struct Pt {
  float x;
  float y;
};

Pt operator+(Pt a, Pt b) { return {a.x + b.x, a.y + b.y}; }
Pt operator-(Pt a, Pt b) { return {a.x - b.x, a.y - b.y}; }
Pt operator*(Pt a, float k) { return {a.x * k, a.y * k}; }

// Attenuation per mm of a dense rim (cortex) and of the core (marrow, or all of soft tissue).
struct Material {
  float rim;
  float core;
};

constexpr Material kSoft{0.1f, 0.1f};
constexpr Material kLung{0.075f, 0.075f};  // what aerated lung takes away from soft tissue
constexpr Material kBone{0.55f, 0.2f};

// Chords through a body along the beam: through all of it, and through its core only.
struct Chords {
  float outer = 0;
  float inner = 0;
};

// q2: squared relative distance from the axis; shell: the rim's share of the radius.
Chords chords(float q2, float halfThickness, float shell) {
  if (q2 >= 1.0f) return {};
  const float k = 1.0f - shell;
  return {2.0f * halfThickness * std::sqrt(1.0f - q2),
          q2 < k * k ? 2.0f * halfThickness * std::sqrt(k * k - q2) : 0.0f};
}

struct Box {
  float x0, y0, x1, y1;
};

struct Segment {
  Pt a;
  Pt d;
  float len2;
  float s0;  // arc length at a
  Box box;
};

// An ellipsoid (seen along the beam) or a tube of varying radius along a polyline.
struct Shape {
  float shell = 0;
  Box box{};
  bool isTube = false;
  // ellipsoid
  Pt c{};
  float a = 0, b = 0, depth = 0, cosA = 1, sinA = 0;
  // tube
  std::vector<Segment> segs;
  float r0 = 0, r1 = 0, length = 0;

  Chords at(Pt p) const {
    if (!isTube) {
      const Pt d = p - c;
      const float u = (cosA * d.x + sinA * d.y) / a;
      const float v = (-sinA * d.x + cosA * d.y) / b;
      return chords(u * u + v * v, depth, shell);
    }
    Chords best;
    for (const Segment& s : segs) {
      if (p.x < s.box.x0 || p.x > s.box.x1 || p.y < s.box.y0 || p.y > s.box.y1) continue;
      const Pt w = p - s.a;
      const float t = std::clamp((w.x * s.d.x + w.y * s.d.y) / s.len2, 0.0f, 1.0f);
      const Pt e = w - s.d * t;
      const float r = r0 + (r1 - r0) * (s.s0 + t * std::sqrt(s.len2)) / length;
      const Chords c = chords((e.x * e.x + e.y * e.y) / (r * r), r, shell);
      best = {std::max(best.outer, c.outer), std::max(best.inner, c.inner)};
    }
    return best;
  }
};

Shape blob(Pt c, float a, float b, float depth, float shell = 0, float angleRad = 0) {
  Shape s;
  s.shell = shell;
  s.c = c;
  s.a = a;
  s.b = b;
  s.depth = depth;
  s.cosA = std::cos(angleRad);
  s.sinA = std::sin(angleRad);
  const float r = std::max(a, b);
  s.box = {c.x - r, c.y - r, c.x + r, c.y + r};
  return s;
}

Shape tube(const std::vector<Pt>& path, float r0, float r1, float shell = 0) {
  Shape s;
  s.shell = shell;
  s.isTube = true;
  s.r0 = r0;
  s.r1 = r1;
  const float r = std::max(r0, r1);
  s.box = {1e9f, 1e9f, -1e9f, -1e9f};
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    Segment g;
    g.a = path[i];
    g.d = path[i + 1] - path[i];
    g.len2 = std::max(g.d.x * g.d.x + g.d.y * g.d.y, 1e-6f);
    g.s0 = s.length;
    g.box = {std::min(path[i].x, path[i + 1].x) - r, std::min(path[i].y, path[i + 1].y) - r,
             std::max(path[i].x, path[i + 1].x) + r, std::max(path[i].y, path[i + 1].y) + r};
    s.box = {std::min(s.box.x0, g.box.x0), std::min(s.box.y0, g.box.y0),
             std::max(s.box.x1, g.box.x1), std::max(s.box.y1, g.box.y1)};
    s.length += std::sqrt(g.len2);
    s.segs.push_back(g);
  }
  return s;
}

// Quadratic curve from a to b bent towards ctrl, as a polyline.
std::vector<Pt> curve(Pt a, Pt ctrl, Pt b, int n = 10) {
  std::vector<Pt> out;
  for (int i = 0; i <= n; ++i) {
    const float t = float(i) / n;
    out.push_back(a * ((1 - t) * (1 - t)) + ctrl * (2 * (1 - t) * t) + b * (t * t));
  }
  return out;
}

std::vector<Pt> ellipsePath(Pt c, float a, float b, int n = 24) {
  std::vector<Pt> out;
  for (int i = 0; i <= n; ++i) {
    const float t = 2 * kPi * i / n;
    out.push_back({c.x + a * std::cos(t), c.y + b * std::sin(t)});
  }
  return out;
}

// Deterministic generator (splitmix64), cheap enough to call once per pixel.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) {}
  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  float uniform(float lo, float hi) { return lo + (hi - lo) * float(next() >> 40) / 16777216.0f; }
  // Sum of four 16-bit uniforms from one draw, scaled to unit variance: near enough Gaussian.
  float gauss() {
    const std::uint64_t r = next();
    const float sum = float(r & 0xFFFF) + float((r >> 16) & 0xFFFF) + float((r >> 32) & 0xFFFF) +
                      float(r >> 48);
    return (sum / 65535.0f - 2.0f) * 1.7320508f;
  }

 private:
  std::uint64_t state_;
};

// The attenuation map of one frame. Pixel centres map to anatomy millimetres through the view
// rotation and squeeze, so one drawing serves straight and oblique views at any pixel size.
class Canvas {
 public:
  explicit Canvas(const SampleParams& s)
      : w_(s.columns), h_(s.rows), mm_(float(s.pixelSpacingMm)), att_(size_t(w_) * h_, 0.0f) {
    const float th = float(s.viewRotationDeg) * kPi / 180.0f;
    cos_ = std::cos(th);
    sin_ = std::sin(th);
    squeeze_ = float(s.viewSqueeze);
  }

  int width() const { return w_; }
  int height() const { return h_; }
  float mmPerPixel() const { return mm_; }
  const std::vector<float>& att() const { return att_; }

  // Image millimetres (from the centre) of a pixel centre.
  Pt imageMm(int i, int j) const {
    return {(i + 0.5f - w_ * 0.5f) * mm_, (j + 0.5f - h_ * 0.5f) * mm_};
  }

  // Adds one body made of several shapes of one material. The shapes form a union (the parts
  // of a bone join without seams); weight -1 takes the material away (air spaces).
  void add(const Material& m, const std::vector<Shape>& body, float weight = 1.0f) {
    struct Placed {
      const Shape* s;
      int i0, j0, i1, j1;
    };
    std::vector<Placed> placed;
    int ui0 = w_, uj0 = h_, ui1 = -1, uj1 = -1;
    for (const Shape& s : body) {
      float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
      for (Pt corner : {Pt{s.box.x0, s.box.y0}, Pt{s.box.x1, s.box.y0}, Pt{s.box.x0, s.box.y1},
                        Pt{s.box.x1, s.box.y1}}) {
        const Pt q = toImage(corner);
        x0 = std::min(x0, q.x);
        y0 = std::min(y0, q.y);
        x1 = std::max(x1, q.x);
        y1 = std::max(y1, q.y);
      }
      const Placed p{&s, std::max(0, int(std::floor(x0 / mm_ + w_ * 0.5f))),
                     std::max(0, int(std::floor(y0 / mm_ + h_ * 0.5f))),
                     std::min(w_ - 1, int(std::ceil(x1 / mm_ + w_ * 0.5f))),
                     std::min(h_ - 1, int(std::ceil(y1 / mm_ + h_ * 0.5f)))};
      if (p.i0 > p.i1 || p.j0 > p.j1) continue;
      placed.push_back(p);
      ui0 = std::min(ui0, p.i0);
      uj0 = std::min(uj0, p.j0);
      ui1 = std::max(ui1, p.i1);
      uj1 = std::max(uj1, p.j1);
    }
    for (int j = uj0; j <= uj1; ++j) {
      float* row = att_.data() + size_t(j) * w_;
      for (int i = ui0; i <= ui1; ++i) {
        const Pt p = toAnatomy(imageMm(i, j));
        Chords u;
        for (const Placed& s : placed) {
          if (i < s.i0 || i > s.i1 || j < s.j0 || j > s.j1) continue;
          const Chords c = s.s->at(p);
          u = {std::max(u.outer, c.outer), std::max(u.inner, c.inner)};
        }
        row[i] += weight * (m.rim * (u.outer - u.inner) + m.core * u.inner);
      }
    }
  }

  // A lead letter near the image's top corner on its side, upright whatever the view rotation.
  void leadMarker(char letter) {
    static const std::array<const char*, 7> kL = {"10000", "10000", "10000", "10000",
                                                  "10000", "10000", "11111"};
    static const std::array<const char*, 7> kR = {"11110", "10001", "10001", "11110",
                                                  "10100", "10010", "10001"};
    const auto& glyph = letter == 'L' ? kL : kR;
    const float cell = 2.4f;  // mm: a 17 mm tall letter
    const float wmm = w_ * mm_, hmm = h_ * mm_;
    const float left = letter == 'L' ? wmm * 0.38f - 5 * cell : -wmm * 0.38f;
    const float top = -hmm * 0.43f;
    const int i0 = std::max(0, int((left - cell) / mm_ + w_ * 0.5f) - 1);
    const int i1 = std::min(w_ - 1, int((left + 6 * cell) / mm_ + w_ * 0.5f) + 1);
    const int j0 = std::max(0, int((top - cell) / mm_ + h_ * 0.5f) - 1);
    const int j1 = std::min(h_ - 1, int((top + 8 * cell) / mm_ + h_ * 0.5f) + 1);
    for (int j = j0; j <= j1; ++j) {
      for (int i = i0; i <= i1; ++i) {
        const Pt q = imageMm(i, j);
        const int gx = int(std::floor((q.x - left) / cell));
        const int gy = int(std::floor((q.y - top) / cell));
        float& a = att_[size_t(j) * w_ + i];
        if (gx >= -1 && gx <= 5 && gy >= -1 && gy <= 7) a += 1.5f;  // plastic holder
        if (gx >= 0 && gx < 5 && gy >= 0 && gy < 7 && glyph[gy][gx] == '1') a += kLead;
      }
    }
  }

  static constexpr float kLead = 1000.0f;

 private:
  Pt toAnatomy(Pt q) const {
    return {(cos_ * q.x + sin_ * q.y) / squeeze_, -sin_ * q.x + cos_ * q.y};
  }
  Pt toImage(Pt p) const {
    const float x = p.x * squeeze_;
    return {cos_ * x - sin_ * p.y, sin_ * x + cos_ * p.y};
  }

  int w_, h_;
  float mm_;
  float cos_ = 1, sin_ = 0, squeeze_ = 1;
  std::vector<float> att_;
};

// How the attenuation map becomes grey values: the exposed field, and the plate's response.
struct Film {
  float attScale;  // attenuation that reaches about two thirds of the grey range
  float noise;  // quantum noise sigma at mid grey, share of full scale
  Box insets{10, 10, 10, 10};  // mm from the left, top, right, bottom edges (collimator)
  float circleRadius = 0;  // > 0: round intensifier field instead of the collimator box
  float outside = 0.93f;  // grey outside the field (unexposed plate is white)
};

// ---------------------------------------------------------------------------------------------
// Anatomy

Film drawChest(Canvas& cv, const SampleParams& params, Rng& rng) {
  const bool female = params.patientSex == "F";
  const float w = female ? 0.94f : 1.04f;  // body width
  const float heart = female ? 1.0f : 1.12f;
  const Material kRib{0.3f, 0.08f};
  const Material kVertebra{0.35f, 0.12f};

  cv.add(kSoft, {blob({0, 45}, 150 * w, 270, 105)});  // trunk
  cv.add(kSoft, {blob({0, -205}, 52, 90, 55)});  // neck
  for (float s : {-1.0f, 1.0f}) {
    cv.add(kSoft, {blob({s * 165 * w, -125}, 55, 110, 60)});  // shoulder and upper arm
    cv.add(kBone, {blob({s * 142 * w, -132}, 22, 24, 22, 0.15f),
                   tube({{s * 142 * w, -132}, {s * 150 * w, 10}}, 12, 11, 0.35f)});  // humerus
    cv.add(kBone, {blob({s * 100 * w, -95}, 34, 70, 4, 0.3f, s * 0.25f)});  // scapula
    if (female) cv.add(kSoft, {blob({s * 80, 125}, 72, 58, 45)});  // breast
  }

  // Lungs: a narrow apex over a wide base whose bottom is the diaphragm dome; the right one
  // (image left) sits higher over the liver.
  for (float s : {-1.0f, 1.0f}) {
    const float dome = s < 0 ? 92.0f : 108.0f;
    const std::vector<Shape> lung = {blob({s * 70 * w, -50}, 42 * w, 100, 70),
                                     blob({s * 80 * w, dome - 80}, 60 * w, 80, 72)};
    cv.add(kLung, lung, -1.0f);
    cv.add({0.06f, 0.06f}, {blob({s * 40 * w, -8}, 14, 24, 30)});  // hilum
  }
  cv.add({0.07f, 0.07f}, {blob({20 * w, 42}, 70 * heart, 46 * heart, 55, 0, -0.3f)});  // heart
  cv.add({0.05f, 0.05f}, {blob({0, -70}, 30, 70, 50)});  // great vessels
  cv.add({0.09f, 0.09f}, {blob({28 * w, -52}, 18, 16, 25)});  // aortic knob
  cv.add({0.05f, 0.05f}, {tube({{22, -40}, {18, 95}}, 13, 13)});  // descending aorta
  cv.add({0.08f, 0.08f},
         {tube({{0, -200}, {0, -60}}, 9, 9), tube({{0, -60}, {-28, -25}}, 7, 6),
          tube({{0, -60}, {26, -20}}, 6.5f, 5.5f)},
         -1.0f);  // trachea and main bronchi
  cv.add({0.08f, 0.08f}, {blob({70, 130}, 32, 18, 25)}, -1.0f);  // gastric air under the dome

  // Pulmonary vessels fanning out from the hila, thinning towards the periphery.
  for (float s : {-1.0f, 1.0f}) {
    const Pt hilum{s * 40 * w, -8};
    for (int v = 0; v < 26; ++v) {
      const float ang = rng.uniform(-1.35f, 1.25f);  // 0 points straight out sideways
      const float len = rng.uniform(55, 115);
      const Pt dir{s * std::cos(ang), std::sin(ang)};
      const Pt start = hilum + dir * rng.uniform(6, 16);  // no pile-up in the hilum itself
      const Pt end = hilum + dir * len;
      const Pt bend = hilum + dir * (len * 0.5f) + Pt{rng.uniform(-8, 8), rng.uniform(-8, 8)};
      cv.add({0.09f, 0.09f}, {tube(curve(start, bend, end, 6), 3.8f, 0.7f)});
      const Pt from = hilum + dir * (len * rng.uniform(0.3f, 0.6f));
      const Pt twig = from + Pt{s * rng.uniform(5, 30), rng.uniform(-30, 30)};
      cv.add({0.09f, 0.09f}, {tube({from, twig}, 1.8f, 0.6f)});
    }
  }

  // Thoracic spine: bodies widening downwards, pedicles and spinous processes over them.
  for (float y = -190; y < 200; y += 26) {
    cv.add(kVertebra, {blob({0, y}, 19 + (y + 190) * 0.02f, 10.5f, 8, 0.2f)});
    cv.add(kVertebra,
           {blob({-15, y - 3}, 4, 5.5f, 3, 0.45f), blob({15, y - 3}, 4, 5.5f, 3, 0.45f)});
    cv.add(kVertebra, {blob({0, y + 7}, 2.5f, 6, 3, 0.4f)});
  }

  // Ribs: the posterior arc rises from the spine and turns down at the side; the anterior arc
  // runs down and in towards the sternum, thinning where it becomes cartilage.
  for (int i = 0; i < 10; ++i) {
    const float y0 = -150 + i * 25.0f;
    const float lat = std::min(138.0f, 72.0f + i * 16.0f) * w;
    for (float s : {-1.0f, 1.0f}) {
      const Pt spine{s * 16, y0};
      const Pt side{s * lat, y0 + 30};
      const Pt front{s * (30 + i * 2.0f), y0 + 95 + i * 4.0f};
      cv.add(kRib, {tube(curve(spine, {s * lat * 0.85f, y0 - 22 + i * 1.5f}, side), 4.8f, 5.2f,
                         0.25f),
                    tube(curve(side, {s * lat * 0.95f, y0 + 75}, front), 5.2f, 3.0f, 0.25f)});
    }
  }
  for (float s : {-1.0f, 1.0f}) {  // clavicles
    cv.add(kBone, {tube(curve({s * 12, -138}, {s * 60, -125}, {s * 125 * w, -158}), 7.5f, 6.0f,
                        0.3f),
                   blob({s * 14, -137}, 10, 9, 9, 0.25f)});
  }
  return {24.0f, 0.004f, {9, 12, 7, 10}};
}

// A left hand, palm down, fingers up, thumb to the image right.
Film drawHand(Canvas& cv, const SampleParams&, Rng&) {
  struct Ray {
    Pt base;  // metacarpal base
    Pt mcp;  // metacarpal head
    float angle;  // finger direction from straight up, radians, positive to the right
    std::array<float, 3> lengths;  // phalanges
    float radius;  // shaft radius of the proximal phalanx
  };
  const std::array<Ray, 5> rays = {{
      {{14, 62}, {22, -8}, 0.10f, {40, 24, 18}, 3.6f},  // index
      {{2, 64}, {2, -12}, 0.0f, {45, 28, 19}, 3.8f},  // middle
      {{-12, 62}, {-17, -8}, -0.09f, {42, 27, 19}, 3.6f},  // ring
      {{-24, 58}, {-36, 5}, -0.2f, {33, 19, 17}, 3.1f},  // little
      {{30, 68}, {50, 34}, 0.62f, {30, 24, 0}, 4.0f},  // thumb: two phalanges
  }};

  std::vector<Shape> flesh = {blob({-3, 32}, 50, 48, 12), blob({0, 200}, 36, 110, 22)};
  for (const Ray& r : rays) {
    const Pt dir{std::sin(r.angle), -std::cos(r.angle)};
    const float reach = r.lengths[0] + r.lengths[1] + r.lengths[2] + 12;
    flesh.push_back(tube({r.base, r.mcp, r.mcp + dir * reach}, 14, r.radius * 2.3f));
  }
  cv.add(kSoft, flesh);

  // A tubular hand bone: shaft, flared base, rounded head (or a tuft at the fingertip).
  const auto longBone = [&](Pt from, Pt dir, float len, float r, bool tuft) {
    const Pt to = from + dir * len;
    const float ang = std::atan2(dir.x, -dir.y);
    // the shaft's round ends stay inside the bone, clear of the joint space
    cv.add(kBone, {tube({from + dir * r, to - dir * r}, r, r * 0.85f, 0.42f),
                   blob(from + dir * 2.5f, r * 1.55f, 3.5f, r * 1.3f, 0.3f, ang),
                   blob(to - dir * 2.2f, r * (tuft ? 1.2f : 1.3f), 3.0f, r * 1.1f, 0.3f, ang)});
    return to;
  };
  for (const Ray& r : rays) {
    const Pt meta = r.mcp - r.base;
    const float metaLen = std::sqrt(meta.x * meta.x + meta.y * meta.y);
    longBone(r.base, meta * (1 / metaLen), metaLen, r.radius * 1.2f, false);
    const Pt dir{std::sin(r.angle), -std::cos(r.angle)};
    Pt joint = r.mcp + dir * 2.5f;
    float radius = r.radius;
    for (size_t k = 0; k < r.lengths.size() && r.lengths[k] > 0; ++k) {
      const bool last = k + 1 == r.lengths.size() || r.lengths[k + 1] == 0;
      joint = longBone(joint, dir, r.lengths[k], radius, last) + dir * 2.5f;
      radius *= 0.82f;
    }
  }

  // Carpal bones in two rows, then the distal radius (thumb side) and ulna.
  const std::array<std::array<float, 5>, 9> carpals = {{
      {22, 90, 9, 13, 0.5f},  // scaphoid
      {5, 95, 8, 8, 0},  // lunate
      {-12, 91, 7, 7, 0},  // triquetrum
      {-18, 86, 5, 5, 0},  // pisiform
      {31, 74, 8, 8, 0},  // trapezium
      {18, 73, 6, 7, 0},  // trapezoid
      {3, 76, 8, 12, 0},  // capitate
      {-13, 73, 8, 10, 0},  // hamate
      {-25, 68, 3, 4, 0},  // hook of the hamate seen end-on
  }};
  for (const auto& c : carpals) cv.add(kBone, {blob({c[0], c[1]}, c[2], c[3], 8, 0.3f, c[4])});
  cv.add(kBone, {tube({{16, 250}, {15, 118}}, 11, 12, 0.4f), blob({15, 108}, 21, 10, 12, 0.18f),
                 blob({33, 101}, 5, 7, 6, 0.3f)});
  cv.add(kBone, {tube({{-22, 250}, {-17, 120}}, 8, 8.5f, 0.4f), blob({-17, 112}, 10, 8, 9, 0.2f),
                 blob({-24, 102}, 3, 6, 4, 0.3f)});
  return {10.0f, 0.005f, {12, 12, 12, 12}};
}

// A right knee seen from the front: lateral side (fibula) to the image left.
Film drawKnee(Canvas& cv, const SampleParams&, Rng&) {
  cv.add(kSoft, {tube({{0, -280}, {0, -20}}, 72, 62), blob({0, 0}, 62, 70, 55),
                 tube({{0, 20}, {0, 280}}, 58, 46)});
  cv.add(kBone, {tube({{-3, -260}, {0, -60}}, 15, 15, 0.38f), blob({0, -45}, 38, 30, 30, 0.15f),
                 blob({-21, -12}, 21, 17, 30, 0.12f),  // lateral condyle
                 blob({22, -10}, 23, 18, 30, 0.12f)});  // medial condyle
  cv.add({0.3f, 0.1f}, {blob({0, -40}, 22, 26, 10, 0.2f)});  // patella seen through the femur
  cv.add(kBone, {blob({0, 18}, 39, 8, 30, 0.15f), blob({0, 36}, 37, 24, 30, 0.15f),
                 blob({-5, 10}, 4, 6, 8, 0.4f), blob({5, 10}, 4, 6, 8, 0.4f),
                 tube({{0, 45}, {3, 280}}, 16, 13, 0.38f)});  // tibia
  cv.add(kBone, {blob({-36, 58}, 10, 12, 10, 0.25f),
                 tube({{-36, 62}, {-30, 280}}, 6.5f, 5.5f, 0.45f)});  // fibula
  return {30.0f, 0.004f, {14, 10, 11, 12}};
}

// Pelvis from the front: patient's right to the image left.
Film drawPelvis(Canvas& cv, const SampleParams&, Rng& rng) {
  cv.add(kSoft, {blob({0, -10}, 200, 230, 115)});
  for (int i = 0; i < 7; ++i) {  // bowel gas
    const Pt at{rng.uniform(-110, 110), rng.uniform(-135, -55)};
    cv.add({0.09f, 0.09f},
           {blob(at, rng.uniform(10, 26), rng.uniform(8, 18), 20, 0, rng.uniform(0, kPi))}, -1.0f);
  }
  for (float y : {-170.0f, -128.0f}) {  // L4, L5
    cv.add(kBone, {blob({0, y}, 26, 16, 22, 0.2f)});
    cv.add(kBone, {blob({-34, y - 2}, 14, 5, 8, 0.3f), blob({34, y - 2}, 14, 5, 8, 0.3f)});
    cv.add(kBone, {blob({-16, y - 4}, 5, 7, 8, 0.5f), blob({16, y - 4}, 5, 7, 8, 0.5f)});
  }
  cv.add(kBone, {blob({0, -75}, 50, 40, 16, 0.12f), blob({0, -35}, 28, 45, 16, 0.12f),
                 blob({0, 8}, 6, 10, 6, 0.3f)});  // sacrum and coccyx
  for (int i = 0; i < 4; ++i) {  // sacral foramina
    for (float s : {-1.0f, 1.0f})
      cv.add({0.3f, 0.3f}, {blob({s * (20 - i * 2.0f), -88 + i * 15.0f}, 4.5f, 4, 6)}, -1.0f);
  }
  for (float s : {-1.0f, 1.0f}) {
    cv.add({0.55f, 0.3f}, {blob({s * 100, -72}, 74, 55, 9, 0.25f, s * -0.35f),  // iliac wing
                           blob({s * 92, 16}, 26, 26, 10, 0.2f)});  // around the acetabulum
    cv.add({0.8f, 0.8f}, {tube(curve({s * 38, -40}, {s * 58, 20}, {s * 42, 62}), 3.5f, 3)});
    cv.add({0.8f, 0.8f}, {tube(curve({s * 72, 22}, {s * 100, -2}, {s * 128, 26}), 4.5f, 3.5f)});
    cv.add(kBone, {blob({s * 100, 42}, 25, 25, 25, 0.12f),  // femoral head
                   tube({{s * 100, 42}, {s * 128, 78}}, 15, 15, 0.3f),
                   blob({s * 140, 72}, 18, 24, 20, 0.15f),  // greater trochanter
                   blob({s * 112, 108}, 8, 10, 8, 0.25f),  // lesser trochanter
                   tube({{s * 132, 80}, {s * 142, 220}}, 17, 15, 0.4f)});
    cv.add(kBone, {tube(ellipsePath({s * 52, 92}, 34, 26), 7, 7, 0.3f),  // obturator ring
                   blob({s * 65, 120}, 18, 14, 14, 0.2f),  // ischial tuberosity
                   blob({s * 14, 88}, 11, 18, 14, 0.2f)});  // pubic body at the symphysis
  }
  return {32.0f, 0.004f, {11, 9, 13, 10}};
}

// Swallow under fluoroscopy, seen from the front: a barium bolus runs down the oesophagus
// over the cervical and upper thoracic spine, leaving a thin coating behind.
Film drawSwallow(Canvas& cv, const SampleParams& params, Rng&, int frame) {
  cv.add(kSoft, {blob({0, 60}, 140, 220, 90)});
  for (float s : {-1.0f, 1.0f}) {
    cv.add(kLung, {blob({s * 70, 95}, 50, 80, 60)}, -1.0f);  // lung apices
    cv.add(kBone, {tube(curve({s * 10, 22}, {s * 50, 28}, {s * 110, 10}), 7, 6, 0.3f)});
  }
  for (float y = -120; y < 130; y += 21) {
    cv.add(kBone, {blob({0, y}, 17 + (y + 120) * 0.02f, 8.5f, 13, 0.22f)});
    cv.add(kBone, {blob({-12, y - 2}, 3.5f, 5, 6, 0.5f), blob({12, y - 2}, 3.5f, 5, 6, 0.5f)});
  }
  cv.add({0.08f, 0.08f}, {tube({{0, -130}, {0, 90}}, 8, 8)}, -1.0f);  // trachea

  const auto path = [](float y) { return Pt{6 + 4 * std::sin(y / 30), y}; };
  const float t = params.frames > 1 ? float(frame) / (params.frames - 1) : 0.5f;
  const float head = -110 + t * 220;
  std::vector<Pt> bolus, coating;
  for (float y = head - 45; y <= head; y += 5) bolus.push_back(path(y));
  for (float y = -125; y <= head - 40; y += 8) coating.push_back(path(y));
  const Material barium{0.5f, 0.5f};
  cv.add(barium, {tube(bolus, 4, 7.5f)});
  if (coating.size() > 1) cv.add(barium, {tube(coating, 1.2f, 2.0f)});
  return {20.0f, 0.012f, {}, 98.0f, 0.0f};
}

Film draw(Canvas& cv, const SampleParams& params, Rng& rng, int frame) {
  switch (params.anatomy) {
    case Anatomy::ChestPa: return drawChest(cv, params, rng);
    case Anatomy::HandPa: return drawHand(cv, params, rng);
    case Anatomy::KneeAp: return drawKnee(cv, params, rng);
    case Anatomy::PelvisAp: return drawPelvis(cv, params, rng);
    case Anatomy::SwallowRf: return drawSwallow(cv, params, rng, frame);
  }
  return {};
}

// ---------------------------------------------------------------------------------------------
// Plate response: grey rises with attenuation and saturates for thick bone; outside the field
// the plate keeps its unexposed level. Noise grows with attenuation (fewer photons).

float smoothstep(float e0, float e1, float x) {
  const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
  return t * t * (3 - 2 * t);
}

void develop(const Canvas& cv, const Film& film, int bitsStored, Rng& rng, std::uint16_t* out,
             std::vector<std::uint32_t>& histogram) {
  const float maxV = float((1 << bitsStored) - 1);
  const float wmm = cv.width() * cv.mmPerPixel(), hmm = cv.height() * cv.mmPerPixel();
  const std::vector<float>& att = cv.att();
  for (int j = 0; j < cv.height(); ++j) {
    for (int i = 0; i < cv.width(); ++i) {
      const Pt q = cv.imageMm(i, j);
      float inside;  // mm inside the field's edge
      if (film.circleRadius > 0) {
        inside = film.circleRadius - std::sqrt(q.x * q.x + q.y * q.y);
      } else {
        inside = std::min({q.x + wmm * 0.5f - film.insets.x0, q.y + hmm * 0.5f - film.insets.y0,
                           wmm * 0.5f - film.insets.x1 - q.x, hmm * 0.5f - film.insets.y1 - q.y});
      }
      const float e = smoothstep(-0.8f, 0.8f, inside);
      const float a = att[size_t(j) * cv.width() + i];
      const float anatomy = 0.03f + 0.88f * (1.0f - std::exp(-std::max(a, 0.0f) / film.attScale));
      const float g = e * anatomy + (1 - e) * film.outside;
      const float v = (g + film.noise * (0.4f + g) * rng.gauss()) * maxV;
      const auto px = std::uint16_t(std::clamp(std::lround(v), 0L, long(maxV)));
      out[size_t(j) * cv.width() + i] = px;
      if (e > 0.99f && a > 0.5f && a < Canvas::kLead) ++histogram[px];  // anatomy only
    }
  }
}

struct Rendered {
  std::vector<std::uint16_t> pixels;  // all frames, one after the other
  int windowCenter;
  int windowWidth;
};

Rendered render(const SampleParams& params) {
  const size_t frameSize = size_t(params.columns) * params.rows;
  Rendered r{std::vector<std::uint16_t>(frameSize * params.frames), 0, 0};
  std::vector<std::uint32_t> histogram(size_t(1) << params.bitsStored, 0);
  Rng noise(params.seed * 7919ull + 17);
  for (int f = 0; f < params.frames; ++f) {
    Canvas cv(params);
    Rng detail(params.seed);  // same anatomy in every frame
    const Film film = draw(cv, params, detail, f);
    if (params.marker) cv.leadMarker(params.marker);
    develop(cv, film, params.bitsStored, noise, r.pixels.data() + frameSize * f, histogram);
  }

  // Window over the anatomy (not the air around it), from its 1st to 99th grey percentile.
  std::uint64_t total = 0;
  for (std::uint32_t n : histogram) total += n;
  std::uint64_t seen = 0;
  int lo = -1, hi = 0;
  for (size_t v = 0; v < histogram.size(); ++v) {
    seen += histogram[v];
    if (lo < 0 && seen * 100 >= total) lo = int(v);
    if (seen * 100 <= total * 99) hi = int(v);
  }
  lo = std::max(lo, 0);
  hi = std::max(hi, lo + 2);
  r.windowCenter = (lo + hi) / 2;
  r.windowWidth = hi - lo;

  if (params.monochrome1) {
    const int maxV = (1 << params.bitsStored) - 1;
    for (std::uint16_t& p : r.pixels) p = std::uint16_t(maxV - p);
    r.windowCenter = maxV - r.windowCenter;
  }
  return r;
}

// ---------------------------------------------------------------------------------------------
// DICOM

// Deterministic UID under the 2.25 arc: the 128-bit hash of `key` in decimal.
std::string uidFor(const std::string& key) {
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (unsigned char c : key) h = (h ^ c) * 0x100000001B3ull;
  Rng mix(h);
  const std::uint64_t hi = mix.next(), lo = mix.next();
  std::array<std::uint32_t, 4> limbs = {std::uint32_t(hi >> 32), std::uint32_t(hi),
                                        std::uint32_t(lo >> 32), std::uint32_t(lo)};
  std::string digits;
  while (std::any_of(limbs.begin(), limbs.end(), [](std::uint32_t l) { return l != 0; })) {
    std::uint64_t rem = 0;
    for (std::uint32_t& l : limbs) {
      const std::uint64_t cur = (rem << 32) | l;
      l = std::uint32_t(cur / 10);
      rem = cur % 10;
    }
    digits.push_back(char('0' + rem));
  }
  std::reverse(digits.begin(), digits.end());
  return "2.25." + digits;
}

std::string freshUid(const char* root) {
  char buf[100];
  return dcmGenerateUniqueIdentifier(buf, root);
}

std::string decimal(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

std::string ageAt(const std::string& birth, const std::string& date) {
  const auto isDate = [](const std::string& d) {
    return d.size() == 8 &&
           std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (!isDate(birth) || !isDate(date)) return {};
  int years = std::stoi(date.substr(0, 4)) - std::stoi(birth.substr(0, 4));
  if (date.substr(4) < birth.substr(4)) --years;
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03dY", std::clamp(years, 0, 999));
  return buf;
}

const char* sopClassFor(const std::string& modality) {
  if (modality == "CR") return UID_ComputedRadiographyImageStorage;
  if (modality == "RF") return UID_XRayRadiofluoroscopicImageStorage;
  return UID_DigitalXRayImageStorageForPresentation;
}

void registerJpegEncoder() {
  static std::once_flag once;
  std::call_once(once, [] { DJEncoderRegistration::registerCodecs(); });
}

}  // namespace

bool writeSample(const SampleParams& params, const std::string& path, std::string* error) {
  const auto fail = [error](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  if (params.columns < 1 || params.rows < 1 || params.columns > 65535 || params.rows > 65535 ||
      params.frames < 1 || params.frameTimeMs < 1 || params.bitsStored < 8 ||
      params.bitsStored > 16 || params.pixelSpacingMm <= 0 || params.viewSqueeze <= 0) {
    return fail("invalid picture size, frames, frame time, bits stored or pixel spacing");
  }
  const Rendered img = render(params);

  DcmFileFormat file;
  DcmDataset* ds = file.getDataset();
  OFCondition status = EC_Normal;
  const auto put = [&](const DcmTagKey& tag, const std::string& value) {
    if (status.good()) status = ds->putAndInsertString(tag, value.c_str());
  };
  const auto putInt = [&](const DcmTagKey& tag, long value) { put(tag, std::to_string(value)); };
  const auto putU16 = [&](const DcmTagKey& tag, int value) {
    if (status.good()) status = ds->putAndInsertUint16(tag, Uint16(value));
  };

  const std::string study = !params.studyInstanceUid.empty() ? params.studyInstanceUid
                                                           : freshUid(SITE_STUDY_UID_ROOT);
  const std::string series = !params.seriesInstanceUid.empty() ? params.seriesInstanceUid
                                                             : freshUid(SITE_SERIES_UID_ROOT);
  const std::string sop = !params.sopInstanceUid.empty() ? params.sopInstanceUid
                                                       : freshUid(SITE_INSTANCE_UID_ROOT);
  const bool rf = params.modality == "RF";
  const bool dx = params.modality == "DX";

  put(DCM_SpecificCharacterSet, "ISO_IR 100");
  put(DCM_ImageType, rf ? "ORIGINAL\\PRIMARY\\SINGLE PLANE" : "ORIGINAL\\PRIMARY");
  put(DCM_SOPClassUID, sopClassFor(params.modality));
  put(DCM_SOPInstanceUID, sop);
  put(DCM_StudyDate, params.studyDate);
  put(DCM_SeriesDate, params.studyDate);
  put(DCM_AcquisitionDate, params.studyDate);
  put(DCM_ContentDate, params.studyDate);
  put(DCM_StudyTime, params.studyTime);
  put(DCM_SeriesTime, params.contentTime);
  put(DCM_AcquisitionTime, params.contentTime);
  put(DCM_ContentTime, params.contentTime);
  put(DCM_AccessionNumber, params.accessionNumber);
  put(DCM_Modality, params.modality);
  if (dx) put(DCM_PresentationIntentType, "FOR PRESENTATION");
  put(DCM_Manufacturer, "toraScan");
  put(DCM_InstitutionName, params.institutionName);
  put(DCM_ReferringPhysicianName, "");
  put(DCM_StationName, params.stationName);
  put(DCM_StudyDescription, params.studyDescription);
  put(DCM_SeriesDescription, params.seriesDescription);
  put(DCM_ManufacturerModelName, "torascan-samplegen");

  put(DCM_PatientName, params.patientName);
  put(DCM_PatientID, params.patientId);
  put(DCM_PatientBirthDate, params.patientBirthDate);
  put(DCM_PatientSex, params.patientSex);
  put(DCM_PatientAge, ageAt(params.patientBirthDate, params.studyDate));

  put(DCM_BodyPartExamined, params.bodyPartExamined);
  put(DCM_KVP, decimal(params.kvp));
  putInt(DCM_ExposureTime, params.exposureTimeMs);
  putInt(DCM_XRayTubeCurrent, params.tubeCurrentMa);
  putInt(DCM_Exposure, params.exposureMas);
  put(DCM_ImageAndFluoroscopyAreaDoseProduct, decimal(params.areaDoseProduct));
  const std::string mm = decimal(params.pixelSpacingMm);
  const std::string spacing = mm + "\\" + mm;
  put(DCM_ImagerPixelSpacing, spacing);
  put(DCM_ExposureIndex, decimal(params.exposureIndex));
  put(DCM_PatientPosition, params.patientPosition);
  put(DCM_ViewPosition, params.viewPosition);
  if (dx) put(DCM_DetectorType, "SCINTILLATOR");

  put(DCM_StudyInstanceUID, study);
  put(DCM_SeriesInstanceUID, series);
  put(DCM_StudyID, params.studyId);
  putInt(DCM_SeriesNumber, params.seriesNumber);
  putInt(DCM_InstanceNumber, params.instanceNumber);
  put(DCM_PatientOrientation, params.patientOrientation);
  put(DCM_Laterality, params.laterality);
  if (!rf) put(DCM_ImageLaterality, params.laterality.empty() ? "U" : params.laterality);
  put(DCM_ImageComments, "Synthetic image, no patient data");

  putU16(DCM_SamplesPerPixel, 1);
  put(DCM_PhotometricInterpretation, params.monochrome1 ? "MONOCHROME1" : "MONOCHROME2");
  if (params.frames > 1) {
    putInt(DCM_NumberOfFrames, params.frames);
    if (status.good()) status = ds->putAndInsertTagKey(DCM_FrameIncrementPointer, DCM_FrameTime);
    putInt(DCM_FrameTime, params.frameTimeMs);
    putInt(DCM_CineRate, std::lround(1000.0 / params.frameTimeMs));
    putInt(DCM_RecommendedDisplayFrameRate, std::lround(1000.0 / params.frameTimeMs));
  }
  putU16(DCM_Rows, params.rows);
  putU16(DCM_Columns, params.columns);
  put(DCM_PixelSpacing, spacing);
  putU16(DCM_BitsAllocated, 16);
  putU16(DCM_BitsStored, params.bitsStored);
  putU16(DCM_HighBit, params.bitsStored - 1);
  putU16(DCM_PixelRepresentation, 0);
  put(DCM_BurnedInAnnotation, "NO");
  putInt(DCM_WindowCenter, img.windowCenter);
  putInt(DCM_WindowWidth, img.windowWidth);
  put(DCM_RescaleIntercept, "0");
  put(DCM_RescaleSlope, "1");
  if (dx) put(DCM_PresentationLUTShape, params.monochrome1 ? "INVERSE" : "IDENTITY");
  if (status.good()) {
    status = ds->putAndInsertUint16Array(DCM_PixelData, img.pixels.data(),
                                         static_cast<unsigned long>(img.pixels.size()));
  }
  if (status.bad()) return fail(std::string("cannot build the data set: ") + status.text());

  E_TransferSyntax xfer = EXS_LittleEndianExplicit;
  if (params.jpegLossless) {
    registerJpegEncoder();
    xfer = EXS_JPEGProcess14SV1;
    const DJ_RPLossless params(1, 0);
    status = ds->chooseRepresentation(xfer, &params);
    if (status.bad() || !ds->canWriteXfer(xfer))
      return fail(std::string("JPEG lossless encoding failed: ") + status.text());
  }
  status = file.saveFile(path.c_str(), xfer);
  if (status.bad()) return fail("cannot write " + path + ": " + status.text());
  return true;
}

std::vector<NamedSample> sampleSet(bool large) {
  std::vector<NamedSample> set;

  SampleParams anna;
  anna.patientName = "Sample^Anna";
  anna.patientId = "TS0001";
  anna.patientBirthDate = "19790314";
  anna.patientSex = "F";
  anna.institutionName = "toraScan Sample Clinic";

  SampleParams bruno = anna;
  bruno.patientName = "Sample^Bruno";
  bruno.patientId = "TS0002";
  bruno.patientBirthDate = "19561102";
  bruno.patientSex = "M";

  // Fills the study level from a patient template and gives every level a stable UID.
  const auto inStudy = [](SampleParams s, const std::string& studyId, const std::string& date,
                          const std::string& time, const std::string& description) {
    s.studyId = studyId;
    s.accessionNumber = "ACC" + studyId;
    s.studyDate = date;
    s.studyTime = time;
    s.studyDescription = description;
    s.studyInstanceUid = uidFor("toraScan sample study " + s.patientId + "/" + studyId);
    return s;
  };
  const auto add = [&set](SampleParams s, const std::string& file, int series, int instance) {
    s.seriesNumber = series;
    s.instanceNumber = instance;
    const std::string key = s.patientId + "/" + s.studyId + "/" + std::to_string(series);
    s.seriesInstanceUid = uidFor("toraScan sample series " + key);
    s.sopInstanceUid = uidFor("toraScan sample image " + key + "/" + std::to_string(instance));
    s.seed = std::uint32_t(set.size() + 1);
    set.push_back({file, s});
  };

  {  // Anna: chest, left hand (two views, one stored JPEG lossless), right knee (MONOCHROME1)
    SampleParams s = inStudy(anna, "1001", "20240506", "091500", "XR CHEST PA");
    s.modality = "DX";
    s.seriesDescription = "CHEST PA";
    s.contentTime = "091742";
    s.bodyPartExamined = "CHEST";
    s.viewPosition = "PA";
    s.patientOrientation = "L\\F";
    s.marker = 'L';
    s.kvp = 125;
    s.exposureTimeMs = 8;
    s.tubeCurrentMa = 320;
    s.exposureMas = 3;
    s.areaDoseProduct = 0.09;
    s.exposureIndex = 380;
    add(s, "TS0001_chest_pa.dcm", 1, 1);

    s = inStudy(anna, "1002", "20240611", "140200", "XR HAND LEFT");
    s.modality = "CR";
    s.anatomy = Anatomy::HandPa;
    s.columns = 1800;
    s.rows = 2300;
    s.bodyPartExamined = "HAND";
    s.laterality = "L";
    s.marker = 'L';
    s.kvp = 55;
    s.exposureTimeMs = 20;
    s.tubeCurrentMa = 100;
    s.exposureMas = 2;
    s.areaDoseProduct = 0.02;
    s.exposureIndex = 450;
    s.seriesDescription = "HAND PA";
    s.viewPosition = "PA";
    s.contentTime = "140512";
    s.jpegLossless = true;
    add(s, "TS0001_hand_l_pa_jpll.dcm", 1, 1);
    s.seriesDescription = "HAND OBLIQUE";
    s.viewPosition = "";
    s.contentTime = "140731";
    s.viewRotationDeg = 9;
    s.viewSqueeze = 0.78;
    s.jpegLossless = false;
    add(s, "TS0001_hand_l_obl.dcm", 2, 1);

    s = inStudy(anna, "1003", "20240611", "141500", "XR KNEE RIGHT");
    s.modality = "CR";
    s.anatomy = Anatomy::KneeAp;
    s.seriesDescription = "KNEE AP";
    s.contentTime = "141836";
    s.bodyPartExamined = "KNEE";
    s.viewPosition = "AP";
    s.patientPosition = "FFS";
    s.patientOrientation = "L\\F";
    s.laterality = "R";
    s.marker = 'R';
    s.monochrome1 = true;
    s.kvp = 65;
    s.exposureTimeMs = 25;
    s.tubeCurrentMa = 200;
    s.exposureMas = 5;
    s.areaDoseProduct = 0.05;
    s.exposureIndex = 420;
    add(s, "TS0001_knee_r_ap_mono1.dcm", 1, 1);
  }

  {  // Bruno: pelvis, two chest studies, a swallow cine loop
    SampleParams s = inStudy(bruno, "2001", "20240319", "101000", "XR PELVIS");
    s.modality = "DX";
    s.anatomy = Anatomy::PelvisAp;
    s.columns = 2500;
    s.rows = 2000;
    s.seriesDescription = "PELVIS AP";
    s.contentTime = "101322";
    s.bodyPartExamined = "PELVIS";
    s.viewPosition = "AP";
    s.patientPosition = "HFS";
    s.patientOrientation = "L\\F";
    s.marker = 'R';
    s.kvp = 80;
    s.exposureTimeMs = 80;
    s.tubeCurrentMa = 250;
    s.exposureMas = 20;
    s.areaDoseProduct = 1.4;
    s.exposureIndex = 360;
    add(s, "TS0002_pelvis_ap.dcm", 1, 1);

    s = inStudy(bruno, "2002", "20240402", "083000", "XR CHEST PA");
    s.modality = "CR";
    s.seriesDescription = "CHEST PA";
    s.contentTime = "083415";
    s.bodyPartExamined = "CHEST";
    s.viewPosition = "PA";
    s.patientOrientation = "L\\F";
    s.marker = 'L';
    s.kvp = 120;
    s.exposureTimeMs = 10;
    s.tubeCurrentMa = 320;
    s.exposureMas = 3;
    s.areaDoseProduct = 0.12;
    s.exposureIndex = 410;
    add(s, "TS0002_chest_pa.dcm", 1, 1);

    s = inStudy(bruno, "2003", "20240409", "113000", "RF SWALLOW");
    s.modality = "RF";
    s.anatomy = Anatomy::SwallowRf;
    s.columns = 512;
    s.rows = 512;
    s.frames = 16;
    s.frameTimeMs = 100;
    s.bitsStored = 12;
    s.pixelSpacingMm = 0.4;
    s.seriesDescription = "SWALLOW AP";
    s.contentTime = "113412";
    s.bodyPartExamined = "ESOPHAGUS";
    s.viewPosition = "AP";
    s.patientPosition = "";
    s.patientOrientation = "L\\F";
    s.kvp = 75;
    s.exposureTimeMs = 1600;
    s.tubeCurrentMa = 2;
    s.exposureMas = 3;
    s.areaDoseProduct = 2.6;
    s.exposureIndex = 0;
    add(s, "TS0002_swallow_rf.dcm", 1, 1);
  }

  if (large) {  // 3000 x 3000 full 16-bit chest, twice: uncompressed and JPEG lossless
    SampleParams s = bruno;
    s.patientName = "Sample^Bench";
    s.patientId = "TS0900";
    s = inStudy(s, "9001", "20240101", "120000", "BENCHMARK");
    s.modality = "DX";
    s.columns = 3000;
    s.rows = 3000;
    s.bitsStored = 16;
    s.pixelSpacingMm = 0.1;
    s.bodyPartExamined = "CHEST";
    s.viewPosition = "PA";
    s.marker = 'L';
    s.contentTime = "120100";
    s.seriesDescription = "BENCH UNCOMPRESSED";
    add(s, "bench_3000_unc.dcm", 1, 1);
    s.seriesDescription = "BENCH JPEG LOSSLESS";
    s.jpegLossless = true;
    add(s, "bench_3000_jpll.dcm", 2, 1);
    set.back().params.seed = set[set.size() - 2].params.seed;  // the same picture in both
  }
  return set;
}

std::vector<std::string> writeSampleSet(const std::string& dir, bool large, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  if (ec) {
    if (error) *error = "cannot create " + dir + ": " + ec.message();
    return {};
  }
  std::vector<std::string> written;
  for (const NamedSample& s : sampleSet(large)) {
    const std::string path = (std::filesystem::path(dir) / s.fileName).string();
    if (!writeSample(s.params, path, error)) return {};
    written.push_back(path);
  }
  return written;
}

}  // namespace torascan::samples
