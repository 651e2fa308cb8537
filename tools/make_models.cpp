// make_models: writes the nine low-poly Wavefront OBJ models (and the MTL
// libraries some of them name) that the scene program loads at start-up.
//
//   make_models [output-directory]      (default: data)
//
// Every model is built from a handful of solids (boxes, extruded profiles,
// surfaces of revolution, swept tubes) and flat panels, modelled with +Y up
// and standing on y = 0. The files stay inside the small OBJ subset our
// reader understands: v, vt, vn, f, g, usemtl, mtllib, o, s and comments,
// positive indices only, one corner form per face, LF line ends. The models
// deliberately use different corner forms (v, v/t, v//n, v/t/n) and some use
// material libraries and groups, so that loading all nine at start-up runs
// through every path of the reader.
//
// The output is deterministic: the same program always writes the same bytes.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------------------
// Small vector maths

struct Vec2 {
  double x = 0.0;
  double y = 0.0;
};

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(Vec3 a) { return std::sqrt(dot(a, a)); }
Vec3 normalize(Vec3 a) {
  const double l = length(a);
  return l > 0.0 ? a * (1.0 / l) : Vec3{0.0, 1.0, 0.0};
}
Vec3 lerp(Vec3 a, Vec3 b, double t) { return a + (b - a) * t; }
double radians(double degrees) { return degrees * kPi / 180.0; }

// Rigid transform (rotation, then translation). Scaling is deliberately left
// out so that normals can be carried along with the rotation alone; sizes are
// given to the primitives directly.
struct Xform {
  std::array<double, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};  // row-major 3x3
  Vec3 t{};

  Vec3 rotate(Vec3 v) const {
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
            m[6] * v.x + m[7] * v.y + m[8] * v.z};
  }
  Vec3 apply(Vec3 p) const { return rotate(p) + t; }
};

// a * b applies b first, then a.
Xform operator*(const Xform& a, const Xform& b) {
  Xform r;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      r.m[i * 3 + j] =
          a.m[i * 3 + 0] * b.m[0 + j] + a.m[i * 3 + 1] * b.m[3 + j] + a.m[i * 3 + 2] * b.m[6 + j];
  r.t = a.rotate(b.t) + a.t;
  return r;
}

Xform translate(Vec3 d) {
  Xform r;
  r.t = d;
  return r;
}

Xform rotateX(double degrees) {
  const double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
  Xform r;
  r.m = {1, 0, 0, 0, c, -s, 0, s, c};
  return r;
}

Xform rotateY(double degrees) {
  const double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
  Xform r;
  r.m = {c, 0, s, 0, 1, 0, -s, 0, c};
  return r;
}

Xform rotateZ(double degrees) {
  const double c = std::cos(radians(degrees)), s = std::sin(radians(degrees));
  Xform r;
  r.m = {c, -s, 0, s, c, 0, 0, 0, 1};
  return r;
}

// Polygon normal by Newell's method: robust for slightly non-planar quads,
// and its length is twice the polygon's area.
Vec3 newellNormal(const std::vector<Vec3>& p) {
  Vec3 n;
  for (size_t i = 0; i < p.size(); ++i) {
    const Vec3& a = p[i];
    const Vec3& b = p[(i + 1) % p.size()];
    n.x += (a.y - b.y) * (a.z + b.z);
    n.y += (a.z - b.z) * (a.x + b.x);
    n.z += (a.x - b.x) * (a.y + b.y);
  }
  return n;
}

// The reader fan-triangulates polygons from their first corner, which is only
// right for convex polygons; anything else is split into triangles here.
bool isConvex(const std::vector<Vec3>& p) {
  if (p.size() <= 3) return true;
  const Vec3 n = newellNormal(p);
  for (size_t i = 0; i < p.size(); ++i) {
    const Vec3 a = p[i], b = p[(i + 1) % p.size()], c = p[(i + 2) % p.size()];
    if (dot(cross(b - a, c - b), n) < -1e-9) return false;
  }
  return true;
}

// Deterministic pseudo-random value in [0, 1), so that irregular shapes such
// as the tree crowns come out the same on every run.
double noise(int a, int b, int seed) {
  uint32_t h = static_cast<uint32_t>(a) * 73856093u ^ static_cast<uint32_t>(b) * 19349663u ^
               static_cast<uint32_t>(seed) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return static_cast<double>(h & 0xffffu) / 65536.0;
}

// ---------------------------------------------------------------------------
// Mesh: polygons collected per group, written out as OBJ later

struct Face {
  std::vector<Vec3> p;  // corner positions (world space)
  std::vector<Vec3> n;  // corner normals
  Vec3 facet;           // unit facet normal
  bool smooth = false;  // corner normals given by the primitive
};

struct Group {
  std::string name;      // empty: faces go before any "g" line
  std::string material;  // empty: no "usemtl" line
  std::vector<Face> faces;
};

class Mesh {
 public:
  // Selects the group that receives the following faces, creating it on
  // first use. A group has one material, so reusing a name with another
  // material is a modelling mistake.
  void group(const std::string& name, const std::string& material = {}) {
    for (size_t i = 0; i < groups_.size(); ++i) {
      if (groups_[i].name == name) {
        if (groups_[i].material != material)
          throw std::logic_error("group " + name + " used with two materials");
        current_ = i;
        return;
      }
    }
    groups_.push_back({name, material, {}});
    current_ = groups_.size() - 1;
  }

  void push(const Xform& x) { stack_.push_back(stack_.back() * x); }
  void pop() { stack_.pop_back(); }

  // Adds one polygon given in the current local frame. Normals, when given,
  // are one per corner; otherwise the facet normal is used. Polygons with
  // no area are dropped: they only add noise to the outline drawing.
  void face(const std::vector<Vec3>& local, const std::vector<Vec3>& normals = {}) {
    if (groups_.empty()) group("");
    const Xform& x = stack_.back();
    Face f;
    std::vector<Vec3> given;
    for (size_t i = 0; i < local.size(); ++i) {
      // Corners that coincide with the previous one (a quad pinched to
      // a point at a bow or a pole) would only make empty triangles.
      const Vec3 p = x.apply(local[i]);
      if (!f.p.empty() && length(p - f.p.back()) < 1e-9) continue;
      f.p.push_back(p);
      if (!normals.empty()) given.push_back(normals[i]);
    }
    while (f.p.size() > 1 && length(f.p.front() - f.p.back()) < 1e-9) {
      f.p.pop_back();
      if (!given.empty()) given.pop_back();
    }
    if (f.p.size() < 3) return;
    const Vec3 newell = newellNormal(f.p);
    if (length(newell) < 1e-10) return;
    f.facet = normalize(newell);
    f.smooth = !given.empty();
    for (size_t i = 0; i < f.p.size(); ++i)
      f.n.push_back(f.smooth ? normalize(x.rotate(given[i])) : f.facet);
    groups_[current_].faces.push_back(std::move(f));
  }

  // A single-sided polygon (a window pane, a sail) turned so that its front
  // faces along `hint`, given in the local frame.
  void panel(std::vector<Vec3> local, Vec3 hint) {
    const Vec3 n = stack_.back().rotate(newellNormal(local));
    if (dot(n, stack_.back().rotate(hint)) < 0.0) std::reverse(local.begin(), local.end());
    face(local);
  }

  // Closed solids are built with a consistent winding whose sense is not
  // worked out by hand: endSolid() measures the enclosed volume of the
  // faces added since beginSolid() and turns them all inside out if it is
  // negative, so every solid ends up counter-clockwise seen from outside.
  void beginSolid() {
    if (groups_.empty()) group("");
    solidStart_ = groups_[current_].faces.size();
  }

  void endSolid() {
    std::vector<Face>& faces = groups_[current_].faces;
    double volume = 0.0;
    for (size_t i = solidStart_; i < faces.size(); ++i) {
      const std::vector<Vec3>& p = faces[i].p;
      for (size_t k = 1; k + 1 < p.size(); ++k) volume += dot(p[0], cross(p[k], p[k + 1]));
    }
    for (size_t i = solidStart_; i < faces.size(); ++i) {
      Face& f = faces[i];
      if (volume < 0.0) {
        std::reverse(f.p.begin(), f.p.end());
        std::reverse(f.n.begin(), f.n.end());
        f.facet = -f.facet;
        if (!f.smooth)
          for (Vec3& n : f.n) n = f.facet;
      }
      // Smooth normals follow the surface they approximate; keep them
      // on the outer side of their facet.
      for (Vec3& n : f.n)
        if (dot(n, f.facet) < 0.0) n = -n;
    }
  }

  const std::vector<Group>& groups() const { return groups_; }

 private:
  std::vector<Xform> stack_{Xform{}};
  std::vector<Group> groups_;
  size_t current_ = 0;
  size_t solidStart_ = 0;
};

// RAII helper for a local frame.
class Frame {
 public:
  Frame(Mesh& m, const Xform& x) : m_(m) { m_.push(x); }
  ~Frame() { m_.pop(); }
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

 private:
  Mesh& m_;
};

// ---------------------------------------------------------------------------
// Primitives

// A polygon cap of a solid: one face when convex, otherwise a fan around its
// centre (which keeps star-shaped caps correct).
void cap(Mesh& m, const std::vector<Vec3>& p) {
  if (isConvex(p)) {
    m.face(p);
    return;
  }
  Vec3 c;
  for (const Vec3& q : p) c = c + q;
  c = c * (1.0 / static_cast<double>(p.size()));
  for (size_t i = 0; i < p.size(); ++i) m.face({c, p[i], p[(i + 1) % p.size()]});
}

// Six-sided solid from eight corners: bottom four then top four, both in the
// same order around.
void hexa(Mesh& m, const std::array<Vec3, 8>& c) {
  m.beginSolid();
  m.face({c[0], c[3], c[2], c[1]});
  m.face({c[4], c[5], c[6], c[7]});
  for (int i = 0; i < 4; ++i) {
    const int j = (i + 1) % 4;
    m.face({c[i], c[j], c[j + 4], c[i + 4]});
  }
  m.endSolid();
}

void box(Mesh& m, Vec3 lo, Vec3 hi) {
  hexa(m, {{{lo.x, lo.y, lo.z},
            {hi.x, lo.y, lo.z},
            {hi.x, lo.y, hi.z},
            {lo.x, lo.y, hi.z},
            {lo.x, hi.y, lo.z},
            {hi.x, hi.y, lo.z},
            {hi.x, hi.y, hi.z},
            {lo.x, hi.y, hi.z}}});
}

// A 2D outline in the XY plane pushed along Z from z0 to z1: the usual way
// to build a vehicle body from its side view.
void prismZ(Mesh& m, const std::vector<Vec2>& outline, double z0, double z1) {
  m.beginSolid();
  std::vector<Vec3> back, front;
  for (const Vec2& q : outline) {
    back.push_back({q.x, q.y, z0});
    front.push_back({q.x, q.y, z1});
  }
  const size_t n = outline.size();
  for (size_t i = 0; i < n; ++i) {
    const size_t j = (i + 1) % n;
    m.face({back[i], back[j], front[j], front[i]});
  }
  std::reverse(back.begin(), back.end());
  cap(m, back);
  cap(m, front);
  m.endSolid();
}

using NormalFn = std::function<Vec3(size_t band, size_t ring, double j)>;

// Joins consecutive rings of points into one closed solid: quads between
// rings, triangles where a ring has shrunk to a single point (a pole), caps
// on open end rings. With wrap set the last ring joins the first (a torus
// or tyre). `normalAt`, when given, supplies smooth corner normals; j is the
// index around the ring, fractional for pole corners.
void ringSolid(Mesh& m, const std::vector<std::vector<Vec3>>& rings, bool wrap,
               const NormalFn& normalAt = {}) {
  m.beginSolid();
  const size_t count = rings.size();
  const size_t bands = wrap ? count : count - 1;
  for (size_t b = 0; b < bands; ++b) {
    const size_t ia = b, ib = (b + 1) % count;
    const std::vector<Vec3>& A = rings[ia];
    const std::vector<Vec3>& B = rings[ib];
    const size_t n = std::max(A.size(), B.size());
    if (A.size() == 1 && B.size() == 1) continue;
    for (size_t j = 0; j < n; ++j) {
      const size_t k = (j + 1) % n;
      std::vector<Vec3> p, nn;
      auto corner = [&](const std::vector<Vec3>& R, size_t ring, size_t idx, double jf) {
        p.push_back(R.size() == 1 ? R[0] : R[idx]);
        if (normalAt) nn.push_back(normalAt(b, ring, jf));
      };
      const double jj = static_cast<double>(j);
      if (A.size() == 1) {
        corner(A, ia, 0, jj + 0.5);
        corner(B, ib, k, jj + 1.0);
        corner(B, ib, j, jj);
      } else if (B.size() == 1) {
        corner(A, ia, j, jj);
        corner(A, ia, k, jj + 1.0);
        corner(B, ib, 0, jj + 0.5);
      } else {
        corner(A, ia, j, jj);
        corner(A, ia, k, jj + 1.0);
        corner(B, ib, k, jj + 1.0);
        corner(B, ib, j, jj);
      }
      m.face(p, nn);
    }
  }
  if (!wrap) {
    if (rings.front().size() > 1) {
      std::vector<Vec3> first = rings.front();
      std::reverse(first.begin(), first.end());
      cap(m, first);
    }
    if (rings.back().size() > 1) cap(m, rings.back());
  }
  m.endSolid();
}

struct LatheOptions {
  int segments = 12;
  double phase = 0.0;  // degrees; turns flat sides of few-sided lathes
  bool wrap = false;   // the profile is a closed loop (tyres, rims)
  bool smooth = true;  // round normals around the axis
  double sx = 1.0;     // stretch across X and Z (elliptic sections)
  double sz = 1.0;
  std::function<double(size_t ring, size_t j)> radiusScale;  // irregular shapes
};

// Surface of revolution about the Y axis. The profile is a list of
// (radius, height) points; radius 0 makes a pole. Normals, when smooth, are
// round about the axis but sharp at every profile corner, so a lathe can
// carry both a rounded shaft and crisp mouldings.
void lathe(Mesh& m, const std::vector<Vec2>& profile, const LatheOptions& o = {}) {
  const size_t n = static_cast<size_t>(o.segments);
  auto angle = [&](double j) { return radians(o.phase) + 2.0 * kPi * j / static_cast<double>(n); };
  std::vector<std::vector<Vec3>> rings;
  for (size_t i = 0; i < profile.size(); ++i) {
    const Vec2 q = profile[i];
    if (q.x < 1e-9) {
      rings.push_back({{0.0, q.y, 0.0}});
      continue;
    }
    std::vector<Vec3> ring;
    for (size_t j = 0; j < n; ++j) {
      const double r = q.x * (o.radiusScale ? o.radiusScale(i, j) : 1.0);
      const double a = angle(static_cast<double>(j));
      ring.push_back({r * std::cos(a) * o.sx, q.y, r * std::sin(a) * o.sz});
    }
    rings.push_back(std::move(ring));
  }
  NormalFn normalAt;
  if (o.smooth) {
    normalAt = [&, count = profile.size()](size_t band, size_t, double j) {
      const Vec2 a = profile[band], b = profile[(band + 1) % count];
      const double dr = b.x - a.x, dy = b.y - a.y;
      const double t = angle(j);
      return Vec3{dy * std::cos(t) / o.sx, -dr, dy * std::sin(t) / o.sz};
    };
  }
  ringSolid(m, rings, o.wrap, normalAt);
}

// Round tube swept along a polyline that lies in a plane with normal `side`
// (the lamp's curved arm, the wagon's hoops).
void sweep(Mesh& m, const std::vector<Vec3>& path, double radius, int segments, Vec3 side) {
  const size_t n = static_cast<size_t>(segments);
  std::vector<std::vector<Vec3>> rings;
  for (size_t i = 0; i < path.size(); ++i) {
    const Vec3 prev = path[i == 0 ? 0 : i - 1];
    const Vec3 next = path[std::min(i + 1, path.size() - 1)];
    const Vec3 tangent = normalize(next - prev);
    const Vec3 u = normalize(cross(side, tangent));
    const Vec3 v = normalize(cross(tangent, u));
    std::vector<Vec3> ring;
    for (size_t j = 0; j < n; ++j) {
      const double a = 2.0 * kPi * static_cast<double>(j) / static_cast<double>(n);
      ring.push_back(path[i] + u * (radius * std::cos(a)) + v * (radius * std::sin(a)));
    }
    rings.push_back(std::move(ring));
  }
  ringSolid(m, rings, false, [&](size_t, size_t ring, double j) {
    const size_t idx = static_cast<size_t>(std::lround(j)) % n;
    return rings[ring][idx] - path[ring];
  });
}

// Point of the quad a, b, c, d (in order around) at parameters (u, v):
// u runs from a to b, v from a to d.
Vec3 bilinear(const std::array<Vec3, 4>& q, double u, double v) {
  return lerp(lerp(q[0], q[1], u), lerp(q[3], q[2], u), v);
}

// A pane inside the face a, b, c, d of a solid (a window, a light), raised
// a little off the face so that its outline stays visible.
void inset(Mesh& m, const std::array<Vec3, 4>& q, double u0, double u1, double v0, double v1,
           Vec3 outward, double lift = 0.012) {
  const Vec3 off = normalize(outward) * lift;
  m.panel({bilinear(q, u0, v0) + off, bilinear(q, u1, v0) + off, bilinear(q, u1, v1) + off,
           bilinear(q, u0, v1) + off},
          outward);
}

// Axis-aligned pane on a plane x = const, y = const or z = const.
void paneX(Mesh& m, double x, double y0, double y1, double z0, double z1, double facing) {
  m.panel({{x, y0, z0}, {x, y0, z1}, {x, y1, z1}, {x, y1, z0}}, {facing, 0, 0});
}
void paneZ(Mesh& m, double z, double x0, double x1, double y0, double y1, double facing) {
  m.panel({{x0, y0, z}, {x1, y0, z}, {x1, y1, z}, {x0, y1, z}}, {0, 0, facing});
}

// Road wheel with its axle along Z: a tyre with a rounded tread around a
// hub with a raised centre.
void roadWheel(Mesh& m, Vec3 centre, double radius, double width) {
  Frame f(m, translate(centre) * rotateX(90.0));
  const double w = width / 2.0, ri = radius * 0.62, e = radius * 0.12;
  m.group("tyres", "tyre");
  LatheOptions tyre;
  tyre.segments = 16;
  tyre.wrap = true;
  lathe(m,
        {{ri, -w}, {radius - e, -w}, {radius, -w + e}, {radius, w - e}, {radius - e, w}, {ri, w}},
        tyre);
  m.group("hubs", "hub");
  LatheOptions hub;
  hub.segments = 16;
  lathe(m,
        {{0, -w * 0.9},
         {ri * 0.35, -w * 0.9},
         {ri * 0.45, -w * 0.75},
         {ri, -w * 0.75},
         {ri, w * 0.75},
         {ri * 0.45, w * 0.75},
         {ri * 0.35, w * 0.9},
         {0, w * 0.9}},
        hub);
}

// ---------------------------------------------------------------------------
// Models and their files

enum class Form { V, VT, VN, VTN };

struct Material {
  std::string name;
  Vec3 ka, kd, ks;
  double ns;
};

struct Model {
  std::string file;   // OBJ file name (UTF-8)
  std::string title;  // for the header comment
  Form form = Form::V;
  std::string mtlFile;  // empty: no material library
  std::vector<Material> materials;
  Mesh mesh;
};

// ---------------------------------------------------------------------------
// Tree, first kind: a broadleaf tree. The scene draws 21 of these in outline
// every frame, so it is kept to about two hundred triangles: a tapering
// hexagonal trunk and a crown of four lumpy low-poly blobs.

// Materials the road vehicles share.
const Material kGlass = {"glass", {0.05, 0.08, 0.1}, {0.2, 0.3, 0.4}, {0.9, 0.9, 0.9}, 800};
const Material kHeadlight = {"headlight", {0.3, 0.3, 0.3}, {1.0, 1.0, 0.9}, {1.0, 1.0, 1.0}, 900};
const Material kTaillight = {"taillight", {0.2, 0.0, 0.0}, {0.8, 0.05, 0.05}, {0.6, 0.6, 0.6}, 300};
const Material kTyre = {"tyre", {0.02, 0.02, 0.02}, {0.08, 0.08, 0.08}, {0.1, 0.1, 0.1}, 10};
const Material kHub = {"hub", {0.2, 0.2, 0.2}, {0.7, 0.7, 0.72}, {0.9, 0.9, 0.9}, 600};

Model makeTree1() {
  Model md;
  md.file = "\uB098\uBB341.obj";  // 나무1
  md.title = "broadleaf tree (+Y up, base at origin)";
  md.form = Form::V;
  Mesh& m = md.mesh;

  LatheOptions trunk;
  trunk.segments = 6;
  trunk.smooth = false;
  lathe(m, {{0.065, 0.0}, {0.035, 0.62}}, trunk);

  struct Blob {
    Vec3 centre;
    Vec3 radius;
    int seed;
  };
  const Blob blobs[] = {
      {{0.0, 0.70, 0.0}, {0.34, 0.27, 0.34}, 1},
      {{0.02, 0.98, -0.03}, {0.25, 0.24, 0.25}, 2},
      {{-0.17, 0.78, 0.13}, {0.21, 0.19, 0.21}, 3},
      {{0.16, 0.82, 0.12}, {0.19, 0.18, 0.19}, 4},
  };
  for (const Blob& b : blobs) {
    const int stacks = 5;
    std::vector<Vec2> profile;
    for (int k = 0; k <= stacks; ++k) {
      const double t = kPi * k / stacks;
      profile.push_back({std::sin(t), -std::cos(t) * b.radius.y});
    }
    LatheOptions o;
    o.segments = 7;
    o.phase = 360.0 * noise(b.seed, 0, 7);
    o.smooth = false;
    o.sx = b.radius.x;
    o.sz = b.radius.z;
    o.radiusScale = [&](size_t ring, size_t j) {
      return 0.85 + 0.3 * noise(static_cast<int>(ring), static_cast<int>(j), b.seed);
    };
    Frame f(m, translate(b.centre));
    lathe(m, profile, o);
  }
  return md;
}

// ---------------------------------------------------------------------------
// Tree, second kind: a conifer of four star-edged tiers on a short trunk.

Model makeTree2() {
  Model md;
  md.file = "\uB098\uBB342.obj";  // 나무2
  md.title = "conifer (+Y up, base at origin)";
  md.form = Form::VN;
  Mesh& m = md.mesh;

  m.group("trunk");
  LatheOptions trunk;
  trunk.segments = 6;
  lathe(m, {{0.0, 0.0}, {0.06, 0.0}, {0.045, 0.32}, {0.0, 0.32}}, trunk);

  m.group("foliage");
  struct Tier {
    double base, top, radius;
  };
  const Tier tiers[] = {
      {0.22, 0.74, 0.46}, {0.46, 0.97, 0.38}, {0.70, 1.19, 0.29}, {0.93, 1.42, 0.20}};
  int seed = 0;
  for (const Tier& t : tiers) {
    LatheOptions o;
    o.segments = 10;
    o.phase = 18.0 * seed;
    // Every other rim point tucked in gives the drooping branch tips.
    o.radiusScale = [](size_t ring, size_t j) {
      return ring == 1 ? (j % 2 == 0 ? 1.0 : 0.78) : 1.0;
    };
    const double h = t.top - t.base;
    lathe(m,
          {{0.0, t.base + 0.07},
           {t.radius, t.base},
           {t.radius * 0.5, t.base + 0.45 * h},
           {0.0, t.top}},
          o);
    ++seed;
  }
  return md;
}

// ---------------------------------------------------------------------------
// Street lamp: octagonal plinth, tapering pole with a collar, a curved arm
// and a lantern with a hood over a glass bowl.

Model makeLamp() {
  Model md;
  md.file = "\uAC00\uB85C\uB4F1.obj";  // 가로등
  md.title = "street lamp";
  md.form = Form::VT;
  md.mtlFile = "streetlamp.mtl";
  md.materials = {
      {"cast_iron", {0.05, 0.05, 0.05}, {0.18, 0.18, 0.2}, {0.3, 0.3, 0.3}, 60},
      {"pole_paint", {0.02, 0.06, 0.04}, {0.1, 0.3, 0.2}, {0.5, 0.5, 0.5}, 200},
      {"lamp_glass", {0.3, 0.28, 0.2}, {1.0, 0.95, 0.7}, {0.9, 0.9, 0.9}, 500},
  };
  Mesh& m = md.mesh;

  m.group("base", "cast_iron");
  LatheOptions plinth;
  plinth.segments = 8;
  plinth.phase = 22.5;
  plinth.smooth = false;
  lathe(
      m,
      {{0.0, 0.0}, {0.32, 0.0}, {0.32, 0.12}, {0.24, 0.2}, {0.15, 0.45}, {0.1, 0.62}, {0.0, 0.62}},
      plinth);

  m.group("pole", "pole_paint");
  LatheOptions round;
  round.segments = 12;
  lathe(m, {{0.0, 0.62}, {0.075, 0.62}, {0.062, 2.2}, {0.055, 3.85}, {0.0, 3.85}}, round);
  LatheOptions ring = round;
  ring.wrap = true;
  lathe(m, {{0.05, 2.14}, {0.11, 2.17}, {0.11, 2.27}, {0.05, 2.3}}, ring);
  {
    Frame f(m, translate({0.0, 3.92, 0.0}));
    std::vector<Vec2> ball;
    for (int k = 0; k <= 4; ++k)
      ball.push_back({0.08 * std::sin(kPi * k / 4), -0.08 * std::cos(kPi * k / 4)});
    LatheOptions o;
    o.segments = 8;
    lathe(m, ball, o);
  }

  m.group("arm", "pole_paint");
  std::vector<Vec3> path;
  const double bend = 0.45, armY = 3.3;
  for (int k = 0; k <= 6; ++k) {
    const double t = kPi / 2.0 * k / 6.0;
    path.push_back({bend - bend * std::cos(t), armY + bend * std::sin(t), 0.0});
  }
  path.push_back({1.3, armY + bend, 0.0});
  sweep(m, path, 0.035, 8, {0, 0, 1});

  const Vec3 head{1.3, armY + bend - 0.05, 0.0};
  {
    Frame f(m, translate(head));
    m.group("hood", "cast_iron");
    LatheOptions o;
    o.segments = 12;
    lathe(m, {{0.0, -0.04}, {0.33, -0.04}, {0.1, 0.14}, {0.0, 0.14}}, o);
    m.group("glass", "lamp_glass");
    lathe(m, {{0.0, -0.32}, {0.16, -0.3}, {0.26, -0.04}, {0.0, -0.04}}, o);
  }
  return md;
}

// ---------------------------------------------------------------------------
// Bus: eleven metres of box body with a chamfered roof line, a band of side
// windows, a door on the kerb side, windscreen, destination sign, bumpers,
// lights and four wheels. Front towards +X, kerb side +Z.

Model makeBus() {
  Model md;
  md.file = "\uBC84\uC2A4.obj";  // 버스
  md.title = "city bus";
  md.form = Form::VTN;
  md.mtlFile = "bus.mtl";
  md.materials = {
      {"paint", {0.2, 0.2, 0.05}, {0.1, 0.55, 0.25}, {0.4, 0.4, 0.4}, 250},
      {"trim", {0.05, 0.05, 0.05}, {0.2, 0.2, 0.22}, {0.2, 0.2, 0.2}, 50},
      kGlass,
      {"sign", {0.1, 0.05, 0.0}, {1.0, 0.6, 0.0}, {0.1, 0.1, 0.1}, 20},
      kHeadlight,
      kTaillight,
      kTyre,
      kHub,
  };
  Mesh& m = md.mesh;
  const double L = 5.5, W = 1.25, floor = 0.45, roof = 3.0;

  // The body is stacked from a skirt, the window band and a chamfered roof
  // rather than one extruded outline, so that its sides split along the
  // belt line instead of into long slivers across the windows.
  const double belt = 1.5, eaves = 2.72;
  m.group("body", "paint");
  box(m, {-L, floor, -W}, {L, belt, W});
  box(m, {-L, belt, -W}, {L, eaves, W});
  prismZ(m, {{-L, eaves}, {L, eaves}, {L - 0.15, roof}, {-L + 0.15, roof}}, -W, W);
  box(m, {-1.8, roof, -0.75}, {0.9, roof + 0.28, 0.75});  // roof air conditioning

  m.group("windows", "glass");
  const double wy0 = 1.6, wy1 = 2.62, gap = 0.14;
  auto windowRow = [&](double side, double x0, double x1, int count) {
    const double w = (x1 - x0 - gap * (count - 1)) / count;
    for (int i = 0; i < count; ++i) {
      const double a = x0 + i * (w + gap);
      paneZ(m, side * (W + 0.012), a, a + w, wy0, wy1, side);
    }
  };
  windowRow(1.0, -5.2, 3.7, 6);  // kerb side, stops short of the door
  windowRow(-1.0, -5.2, 3.7, 6);
  paneZ(m, -(W + 0.012), 3.84, 5.3, wy0 - 0.25, wy1, -1.0);  // driver's window
  paneX(m, L + 0.012, 1.4, 2.38, -1.15, -0.03, 1.0);         // split windscreen
  paneX(m, L + 0.012, 1.4, 2.38, 0.03, 1.15, 1.0);
  paneX(m, -L - 0.012, 1.95, 2.6, -1.0, 1.0, -1.0);  // rear window

  m.group("door", "glass");
  paneZ(m, W + 0.012, 3.84, 4.56, floor + 0.1, wy1, 1.0);
  paneZ(m, W + 0.012, 4.58, 5.3, floor + 0.1, wy1, 1.0);

  m.group("trim", "trim");
  paneZ(m, W + 0.012, -5.4, 3.7, 1.02, 1.22, 1.0);
  paneZ(m, -(W + 0.012), -5.4, 5.4, 1.02, 1.22, -1.0);
  box(m, {L, floor - 0.05, -1.2}, {L + 0.14, 0.78, 1.2});  // bumpers
  box(m, {-L - 0.14, floor - 0.05, -1.2}, {-L, 0.78, 1.2});
  for (double side : {-1.0, 1.0}) {  // mirrors on stalks
    box(m, {L - 0.05, 2.3, side * W}, {L + 0.25, 2.36, side * (W + 0.28)});
    box(m, {L + 0.2, 1.85, side * (W + 0.22)}, {L + 0.3, 2.36, side * (W + 0.36)});
  }

  m.group("sign", "sign");
  paneX(m, L + 0.012, 2.45, 2.68, -0.85, 0.85, 1.0);

  m.group("headlights", "headlight");
  paneX(m, L + 0.012, 0.88, 1.08, 0.7, 1.1, 1.0);
  paneX(m, L + 0.012, 0.88, 1.08, -1.1, -0.7, 1.0);

  m.group("taillights", "taillight");
  paneX(m, -L - 0.012, 0.88, 1.35, 0.85, 1.15, -1.0);
  paneX(m, -L - 0.012, 0.88, 1.35, -1.15, -0.85, -1.0);

  for (double x : {3.7, -3.4})
    for (double side : {-1.0, 1.0}) roadWheel(m, {x, 0.52, side * 1.06}, 0.52, 0.34);
  return md;
}

// ---------------------------------------------------------------------------
// Car: a saloon with a low body, a tapered glasshouse with windscreen, rear
// and side windows, bumpers, lights and four wheels. Front towards +X.

Model makeCar() {
  Model md;
  md.file = "\uCC28.obj";  // 차
  md.title = "saloon car";
  md.form = Form::VN;
  md.mtlFile = "car.mtl";
  md.materials = {
      {"paint", {0.2, 0.0, 0.0}, {0.75, 0.08, 0.08}, {0.8, 0.8, 0.8}, 700},
      kGlass,
      {"chrome", {0.25, 0.25, 0.25}, {0.6, 0.6, 0.62}, {1.0, 1.0, 1.0}, 900},
      kHeadlight,
      kTaillight,
      kTyre,
      kHub,
  };
  Mesh& m = md.mesh;
  const double W = 0.9;

  m.group("body", "paint");
  prismZ(m,
         {{-2.15, 0.3},
          {2.1, 0.3},
          {2.25, 0.45},
          {2.22, 0.72},
          {0.95, 0.9},
          {-1.6, 0.93},
          {-2.2, 0.86},
          {-2.25, 0.5}},
         -W, W);
  // Glasshouse: bottom corners then top corners, same order around.
  const std::array<Vec3, 8> cab{{{-1.45, 0.9, -0.85},
                                 {0.95, 0.9, -0.85},
                                 {0.95, 0.9, 0.85},
                                 {-1.45, 0.9, 0.85},
                                 {-0.95, 1.42, -0.7},
                                 {0.2, 1.42, -0.7},
                                 {0.2, 1.42, 0.7},
                                 {-0.95, 1.42, 0.7}}};
  hexa(m, cab);

  m.group("windows", "glass");
  inset(m, {cab[1], cab[2], cab[6], cab[5]}, 0.05, 0.95, 0.1, 0.9, {1, 0.7, 0});     // windscreen
  inset(m, {cab[3], cab[0], cab[4], cab[7]}, 0.06, 0.94, 0.12, 0.88, {-1, 0.7, 0});  // rear
  for (double side : {-1.0, 1.0}) {
    const std::array<Vec3, 4> q = side < 0 ? std::array<Vec3, 4>{cab[0], cab[1], cab[5], cab[4]}
                                           : std::array<Vec3, 4>{cab[3], cab[2], cab[6], cab[7]};
    inset(m, q, 0.08, 0.47, 0.1, 0.86, {0, 0.3, side});  // rear door window
    inset(m, q, 0.51, 0.9, 0.1, 0.86, {0, 0.3, side});   // front door window
  }

  m.group("bumpers", "chrome");
  box(m, {2.12, 0.28, -0.88}, {2.32, 0.42, 0.88});
  box(m, {-2.32, 0.28, -0.88}, {-2.14, 0.42, 0.88});
  for (double side : {-1.0, 1.0}) {  // door handles and mirrors
    box(m, {0.3, 0.78, side * W}, {0.48, 0.82, side * (W + 0.03)});
    box(m, {-0.7, 0.78, side * W}, {-0.52, 0.82, side * (W + 0.03)});
    box(m, {0.75, 0.95, side * 0.84}, {0.9, 1.08, side * 1.02});
  }

  m.group("headlights", "headlight");
  for (double side : {-1.0, 1.0})
    m.panel({{2.235, 0.52, side * 0.5},
             {2.235, 0.52, side * 0.82},
             {2.225, 0.66, side * 0.82},
             {2.225, 0.66, side * 0.5}},
            {1, 0, 0});
  m.group("taillights", "taillight");
  for (double side : {-1.0, 1.0}) paneX(m, -2.215, 0.62, 0.78, side * 0.55, side * 0.85, -1.0);

  for (double x : {1.35, -1.38})
    for (double side : {-1.0, 1.0}) roadWheel(m, {x, 0.34, side * 0.78}, 0.34, 0.24);
  return md;
}

// ---------------------------------------------------------------------------
// Pickup truck: bonnet, a two-door cab and an open load bed with low walls
// and a tailgate. Front towards +X.

Model makePickup() {
  Model md;
  md.file = "\uD53D\uC5C5\uD2B8\uB7ED.obj";  // 픽업트럭
  md.title = "pickup truck";
  md.form = Form::V;
  md.mtlFile = "pickup.mtl";
  md.materials = {
      {"paint", {0.0, 0.05, 0.2}, {0.1, 0.25, 0.65}, {0.7, 0.7, 0.7}, 500},
      {"bed_liner", {0.02, 0.02, 0.02}, {0.12, 0.12, 0.12}, {0.05, 0.05, 0.05}, 5},
      kGlass,
      {"chrome", {0.25, 0.25, 0.25}, {0.6, 0.6, 0.62}, {1.0, 1.0, 1.0}, 900},
      kHeadlight,
      kTaillight,
      kTyre,
      kHub,
  };
  Mesh& m = md.mesh;
  const double W = 0.95, floor = 0.5, bedTop = 0.78, wall = 1.28;

  m.group("body", "paint");
  prismZ(m, {{1.2, floor}, {2.6, floor}, {2.7, 0.8}, {2.62, 1.12}, {1.2, 1.2}}, -W, W);  // bonnet
  const std::vector<Vec2> cabSide{{-0.45, floor}, {1.2, floor}, {1.2, 1.2},
                                  {0.8, 1.88},    {-0.38, 1.9}, {-0.45, 1.82}};
  prismZ(m, cabSide, -W, W);
  box(m, {-2.7, floor, -W}, {-0.5, bedTop, W});       // under the bed floor
  box(m, {-2.7, bedTop, W - 0.08}, {-0.5, wall, W});  // bed walls
  box(m, {-2.7, bedTop, -W}, {-0.5, wall, -W + 0.08});
  box(m, {-0.58, bedTop, -W + 0.08}, {-0.5, wall, W - 0.08});  // bulkhead

  m.group("tailgate", "paint");
  box(m, {-2.7, bedTop, -W + 0.08}, {-2.62, wall - 0.02, W - 0.08});

  m.group("bed", "bed_liner");
  m.panel({{-2.62, bedTop + 0.01, -W + 0.08},
           {-0.58, bedTop + 0.01, -W + 0.08},
           {-0.58, bedTop + 0.01, W - 0.08},
           {-2.62, bedTop + 0.01, W - 0.08}},
          {0, 1, 0});
  for (int i = 1; i <= 4; ++i) {  // ribs in the bed floor
    const double z = -W + 0.08 + i * (2 * W - 0.16) / 5.0;
    box(m, {-2.62, bedTop, z - 0.03}, {-0.58, bedTop + 0.04, z + 0.03});
  }

  m.group("windows", "glass");
  const std::array<Vec3, 4> screen{
      {{1.2, 1.2, -0.92}, {1.2, 1.2, 0.92}, {0.8, 1.88, 0.92}, {0.8, 1.88, -0.92}}};
  inset(m, screen, 0.04, 0.96, 0.08, 0.92, {1, 0.6, 0});
  paneX(m, -0.462, 1.3, 1.72, -0.65, 0.65, -1.0);
  for (double side : {-1.0, 1.0})
    m.panel({{-0.3, 1.25, side * (W + 0.012)},
             {1.08, 1.25, side * (W + 0.012)},
             {0.78, 1.76, side * (W + 0.012)},
             {-0.3, 1.78, side * (W + 0.012)}},
            {0, 0, side});

  m.group("grille", "chrome");
  box(m, {2.62, 0.72, -0.5}, {2.72, 1.0, 0.5});
  box(m, {2.6, 0.38, -0.98}, {2.8, 0.58, 0.98});  // bumpers
  box(m, {-2.82, 0.38, -0.98}, {-2.66, 0.58, 0.98});
  for (double side : {-1.0, 1.0})  // mirrors
    box(m, {1.05, 1.22, side * W}, {1.2, 1.38, side * (W + 0.18)});

  m.group("headlights", "headlight");
  for (double side : {-1.0, 1.0}) box(m, {2.6, 0.78, side * 0.58}, {2.7, 1.0, side * 0.88});
  m.group("taillights", "taillight");
  for (double side : {-1.0, 1.0}) paneX(m, -2.712, 0.85, 1.2, side * 0.7, side * 0.92, -1.0);

  for (double x : {1.85, -1.75})
    for (double side : {-1.0, 1.0}) roadWheel(m, {x, 0.4, side * 0.84}, 0.4, 0.28);
  return md;
}

// ---------------------------------------------------------------------------
// Wagon: a covered farm wagon. Plank bed with side boards, big spoked wheels
// behind and smaller ones in front, a drawbar with a crossbar, and a canvas
// bonnet stretched over wooden hoops. Front towards +X.

void spokedWheel(Mesh& m, Vec3 centre, double radius) {
  Frame f(m, translate(centre) * rotateX(90.0));
  m.group("wheels", "iron");
  LatheOptions rim;
  rim.segments = 16;
  rim.wrap = true;
  rim.smooth = false;
  const double ri = radius - 0.07, w = 0.05;
  lathe(m, {{ri, -w}, {radius, -w}, {radius, w}, {ri, w}}, rim);
  m.group("spokes", "wood_dark");
  LatheOptions hub;
  hub.segments = 8;
  hub.smooth = false;
  lathe(m, {{0.0, -0.11}, {0.08, -0.11}, {0.1, -0.05}, {0.1, 0.05}, {0.08, 0.11}, {0.0, 0.11}},
        hub);
  for (int k = 0; k < 10; ++k) {
    Frame s(m, rotateY(36.0 * k + 9.0));
    box(m, {0.09, -0.02, -0.022}, {ri + 0.01, 0.02, 0.022});
  }
}

Model makeWagon() {
  Model md;
  md.file = "\uC6E8\uACE4.obj";  // 웨곤
  md.title = "covered wagon";
  md.form = Form::VT;
  md.mtlFile = "wagon.mtl";
  md.materials = {
      {"wood", {0.1, 0.06, 0.02}, {0.55, 0.35, 0.16}, {0.05, 0.05, 0.05}, 10},
      {"wood_dark", {0.06, 0.03, 0.01}, {0.35, 0.2, 0.08}, {0.05, 0.05, 0.05}, 10},
      {"iron", {0.03, 0.03, 0.03}, {0.15, 0.15, 0.15}, {0.4, 0.4, 0.4}, 120},
      {"canvas", {0.2, 0.2, 0.18}, {0.92, 0.9, 0.8}, {0.0, 0.0, 0.0}, 1},
  };
  Mesh& m = md.mesh;
  const double x0 = -1.6, x1 = 1.6, W = 0.65, bed = 0.9;

  m.group("bed", "wood");
  box(m, {x0, bed, -W}, {x1, bed + 0.08, W});
  for (double side : {-1.0, 1.0}) {
    box(m, {x0, bed + 0.08, side * (W - 0.05)}, {x1, bed + 0.5, side * W});  // side boards
    for (double x = x0 + 0.1; x < x1; x += 0.6)                              // stakes
      box(m, {x, bed - 0.05, side * W}, {x + 0.08, bed + 0.55, side * (W + 0.04)});
  }
  box(m, {x0, bed + 0.08, -W + 0.05}, {x0 + 0.05, bed + 0.5, W - 0.05});  // end boards
  box(m, {x1 - 0.05, bed + 0.08, -W + 0.05}, {x1, bed + 0.5, W - 0.05});
  box(m, {x1 - 0.35, bed + 0.45, -W + 0.05}, {x1 - 0.05, bed + 0.52, W - 0.05});  // seat

  m.group("running_gear", "wood_dark");
  const double rearR = 0.68, frontR = 0.52, rearX = -1.0, frontX = 1.05;
  for (auto [x, r] : {std::pair{rearX, rearR}, std::pair{frontX, frontR}}) {
    Frame f(m, translate({x, r, 0.0}) * rotateX(90.0));
    LatheOptions axle;
    axle.segments = 6;
    axle.smooth = false;
    lathe(m, {{0.0, -W - 0.32}, {0.045, -W - 0.32}, {0.045, W + 0.32}, {0.0, W + 0.32}}, axle);
  }
  box(m, {rearX, 0.55, -0.06}, {frontX, 0.65, 0.06});         // reach pole
  box(m, {rearX - 0.08, rearR, -W}, {rearX + 0.08, bed, W});  // bolsters
  box(m, {frontX - 0.08, frontR, -W}, {frontX + 0.08, bed, W});
  box(m, {frontX, frontR - 0.04, -0.05}, {3.1, frontR + 0.04, 0.05});  // drawbar
  box(m, {2.95, frontR - 0.04, -0.5}, {3.05, frontR + 0.04, 0.5});     // crossbar

  for (double side : {-1.0, 1.0}) {
    spokedWheel(m, {rearX, rearR, side * (W + 0.2)}, rearR);
    spokedWheel(m, {frontX, frontR, side * (W + 0.2)}, frontR);
  }

  // Bonnet: a tunnel of canvas over five hoops, flaring towards both ends.
  const double top = bed + 0.5;
  const int arc = 10;
  auto hoop = [&](double x) {
    const double flare = 1.0 + 0.25 * std::pow(std::abs(x) / 1.5, 2.0);
    std::vector<Vec3> pts;
    for (int k = 0; k <= arc; ++k) {
      const double t = kPi * k / arc;
      pts.push_back({x, top + 0.85 * flare * std::sin(t), W * flare * std::cos(t)});
    }
    return pts;
  };
  const double hoops[] = {-1.5, -0.75, 0.0, 0.75, 1.5};
  m.group("canvas", "canvas");
  for (int h = 0; h + 1 < 5; ++h) {
    const std::vector<Vec3> a = hoop(hoops[h]), b = hoop(hoops[h + 1]);
    for (int k = 0; k < arc; ++k) {
      const Vec3 mid = lerp(a[k], b[k + 1], 0.5);
      m.panel({a[k], b[k], b[k + 1], a[k + 1]}, mid - Vec3{mid.x, top, 0.0});
    }
  }
  m.group("hoops", "wood");
  for (double x : hoops) {
    std::vector<Vec3> path = hoop(x);
    for (Vec3& p : path) {  // ride just outside the canvas
      const Vec3 out = normalize(p - Vec3{x, top, 0.0});
      p = p + out * 0.02;
    }
    sweep(m, path, 0.025, 5, {1, 0, 0});
  }
  return md;
}

// ---------------------------------------------------------------------------
// Pillar: a fluted column on a square plinth with a rounded base moulding,
// a shaft that swells and tapers, and a capital with a square slab on top.

Model makePillar() {
  Model md;
  md.file = "\uAE30\uB465\uCD95.obj";  // 기둥축
  md.title = "fluted column";
  md.form = Form::VN;
  Mesh& m = md.mesh;

  m.group("base");
  box(m, {-0.62, 0.0, -0.62}, {0.62, 0.22, 0.62});
  LatheOptions moulding;
  moulding.segments = 24;
  lathe(m,
        {{0.0, 0.22},
         {0.54, 0.22},
         {0.565, 0.27},
         {0.54, 0.32},
         {0.48, 0.34},
         {0.46, 0.38},
         {0.49, 0.41},
         {0.47, 0.45},
         {0.44, 0.47},
         {0.0, 0.47}},
        moulding);

  m.group("shaft");
  LatheOptions flutes;
  flutes.segments = 40;
  flutes.radiusScale = [](size_t, size_t j) { return j % 2 == 0 ? 1.0 : 0.93; };
  lathe(m,
        {{0.0, 0.47},
         {0.42, 0.47},
         {0.425, 1.3},
         {0.415, 2.1},
         {0.395, 2.9},
         {0.365, 3.6},
         {0.0, 3.6}},
        flutes);

  m.group("capital");
  lathe(m,
        {{0.0, 3.56},
         {0.37, 3.56},
         {0.395, 3.6},
         {0.375, 3.65},
         {0.4, 3.68},
         {0.5, 3.76},
         {0.56, 3.84},
         {0.56, 3.88},
         {0.0, 3.88}},
        moulding);
  box(m, {-0.62, 3.88, -0.62}, {0.62, 4.1, 0.62});
  return md;
}

// ---------------------------------------------------------------------------
// Boat: a sailing yacht. The hull is lofted through stations from a flat
// transom to a raked stem, with a deck, a cabin with portlights, a mast,
// a boom and two sails. Bow towards +X.

Model makeBoat() {
  Model md;
  md.file = "boat.obj";
  md.title = "sailing yacht";
  md.form = Form::VTN;
  md.mtlFile = "boat.mtl";
  md.materials = {
      {"topsides", {0.2, 0.2, 0.2}, {0.95, 0.95, 0.95}, {0.6, 0.6, 0.6}, 400},
      {"antifouling", {0.15, 0.0, 0.0}, {0.6, 0.1, 0.1}, {0.1, 0.1, 0.1}, 20},
      {"teak", {0.1, 0.07, 0.03}, {0.6, 0.42, 0.22}, {0.1, 0.1, 0.1}, 30},
      {"cabin", {0.2, 0.2, 0.18}, {0.9, 0.88, 0.8}, {0.4, 0.4, 0.4}, 200},
      kGlass,
      {"spar", {0.1, 0.1, 0.1}, {0.7, 0.7, 0.72}, {0.8, 0.8, 0.8}, 500},
      {"sailcloth", {0.25, 0.25, 0.25}, {1.0, 1.0, 0.97}, {0.0, 0.0, 0.0}, 1},
  };
  Mesh& m = md.mesh;

  // Stations from stern to bow: x, half beam, sheer (gunwale) height, keel height.
  struct Station {
    double x, beam, sheer, keel;
  };
  const Station st[] = {{-3.0, 1.0, 1.0, 0.2},  {-2.2, 1.12, 0.98, 0.06}, {-1.2, 1.2, 0.98, 0.0},
                        {0.0, 1.2, 1.0, 0.0},   {1.0, 1.1, 1.05, 0.03},   {1.9, 0.86, 1.12, 0.13},
                        {2.6, 0.55, 1.2, 0.32}, {3.0, 0.28, 1.27, 0.56},  {3.25, 0.0, 1.32, 0.86}};
  // Half section from gunwale to keel as (fraction of beam, fraction of depth).
  const Vec2 half[] = {{1.0, 1.0}, {0.98, 0.62}, {0.88, 0.32}, {0.58, 0.09}, {0.0, 0.0}};
  const int halfCount = 5, waterline = 2;  // segments above this index are topsides
  auto section = [&](const Station& s) {
    std::vector<Vec3> pts;  // port gunwale, down to the keel, up to starboard
    for (int k = 0; k < halfCount; ++k)
      pts.push_back({s.x, s.keel + half[k].y * (s.sheer - s.keel), -s.beam * half[k].x});
    for (int k = halfCount - 2; k >= 0; --k)
      pts.push_back({s.x, s.keel + half[k].y * (s.sheer - s.keel), s.beam * half[k].x});
    return pts;
  };
  const int stations = 9;
  const int seg = 2 * (halfCount - 1);
  for (int i = 0; i + 1 < stations; ++i) {
    const std::vector<Vec3> a = section(st[i]), b = section(st[i + 1]);
    for (int k = 0; k < seg; ++k) {
      const int fromEdge = std::min(k, seg - 1 - k);
      if (fromEdge < waterline)
        m.group("topsides", "topsides");
      else
        m.group("bottom", "antifouling");
      const Vec3 c = lerp(a[k], b[k + 1], 0.5);
      // Outward is away from the centre line at gunwale height.
      m.panel({a[k], a[k + 1], b[k + 1], b[k]},
              c - Vec3{c.x, 0.5 * (st[i].sheer + st[i + 1].sheer), 0.0});
    }
  }
  m.group("topsides", "topsides");
  cap(m, [&] {  // transom, facing aft
    std::vector<Vec3> p = section(st[0]);
    if (newellNormal(p).x > 0.0) std::reverse(p.begin(), p.end());
    return p;
  }());

  m.group("deck", "teak");
  for (int i = 0; i + 1 < stations; ++i) {
    const std::vector<Vec3> a = section(st[i]), b = section(st[i + 1]);
    m.panel({a.front(), a.back(), b.back(), b.front()}, {0, 1, 0});
  }

  m.group("cabin", "cabin");
  const std::array<Vec3, 8> cab{{{-1.9, 0.95, -0.75},
                                 {0.7, 0.95, -0.72},
                                 {0.7, 0.95, 0.72},
                                 {-1.9, 0.95, 0.75},
                                 {-1.8, 1.62, -0.62},
                                 {0.35, 1.62, -0.58},
                                 {0.35, 1.62, 0.58},
                                 {-1.8, 1.62, 0.62}}};
  hexa(m, cab);
  box(m, {-2.9, 0.95, -0.08}, {-2.0, 1.05, 0.08});  // tiller

  m.group("portlights", "glass");
  for (double side : {-1.0, 1.0}) {
    const std::array<Vec3, 4> q = side < 0 ? std::array<Vec3, 4>{cab[0], cab[1], cab[5], cab[4]}
                                           : std::array<Vec3, 4>{cab[3], cab[2], cab[6], cab[7]};
    for (int w = 0; w < 3; ++w) {
      const double u = 0.12 + w * 0.28;
      inset(m, q, u, u + 0.18, 0.35, 0.75, {0, 0.1, side});
    }
  }
  inset(m, {cab[1], cab[2], cab[6], cab[5]}, 0.15, 0.85, 0.3, 0.8, {1, 0.5, 0});

  m.group("rig", "spar");
  const double mastX = 1.0, mastTop = 6.2, boomY = 2.0;
  {
    Frame f(m, translate({mastX, 0.0, 0.0}));
    LatheOptions o;
    o.segments = 8;
    lathe(m, {{0.0, 1.0}, {0.07, 1.0}, {0.05, mastTop}, {0.0, mastTop}}, o);
  }
  {
    Frame f(m, translate({mastX, boomY, 0.0}) * rotateZ(90.0));
    LatheOptions o;
    o.segments = 6;
    lathe(m, {{0.0, -0.05}, {0.045, -0.05}, {0.045, 3.2}, {0.0, 3.2}}, o);
  }

  // Sails are thin, so each side gets its own panel.
  m.group("sails", "sailcloth");
  auto sail = [&](std::vector<Vec3> p) {
    m.panel(p, {0, 0, 1});
    m.panel(p, {0, 0, -1});
  };
  sail({{mastX - 0.08, boomY + 0.08, 0.0},
        {mastX - 0.08, mastTop - 0.25, 0.0},
        {mastX - 3.05, boomY + 0.08, 0.0}});
  sail({{mastX + 0.1, boomY + 0.4, 0.0}, {mastX + 0.1, mastTop - 0.6, 0.0}, {3.15, 1.45, 0.0}});
  return md;
}

// ---------------------------------------------------------------------------
// Writing

// Short fixed-point numbers: four decimals, trailing zeros dropped, and no
// negative zero, so that equal positions always print as equal text.
std::string num(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.4f", v);
  std::string s = buf;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string triple(Vec3 v) { return num(v.x) + " " + num(v.y) + " " + num(v.z); }

// Texture coordinates by projecting each face onto the axis plane it faces
// most, at two texture repeats per unit.
Vec2 planarUV(Vec3 p, Vec3 facet) {
  const double ax = std::abs(facet.x), ay = std::abs(facet.y), az = std::abs(facet.z);
  if (ay >= ax && ay >= az) return {p.x * 0.5, p.z * 0.5};
  if (ax >= az) return {p.z * 0.5, p.y * 0.5};
  return {p.x * 0.5, p.y * 0.5};
}

// Numbers an attribute in order of first use; equal text shares one index.
class Pool {
 public:
  size_t index(const std::string& text) {
    auto [it, inserted] = ids_.try_emplace(text, order_.size() + 1);
    if (inserted) order_.push_back(text);
    return it->second;
  }
  const std::vector<std::string>& items() const { return order_; }

 private:
  std::map<std::string, size_t> ids_;
  std::vector<std::string> order_;
};

struct Counts {
  size_t vertices = 0, texcoords = 0, normals = 0, faces = 0, triangles = 0;
};

Counts writeObj(const std::filesystem::path& dir, const Model& md) {
  const bool withT = md.form == Form::VT || md.form == Form::VTN;
  const bool withN = md.form == Form::VN || md.form == Form::VTN;
  Pool positions, texcoords, normals;
  std::string faces;
  Counts counts;
  for (const Group& g : md.mesh.groups()) {
    if (g.faces.empty()) continue;
    if (!g.name.empty()) faces += "g " + g.name + "\n";
    if (!g.material.empty()) faces += "usemtl " + g.material + "\n";
    if (withN) {
      const bool smooth =
          std::any_of(g.faces.begin(), g.faces.end(), [](const Face& f) { return f.smooth; });
      faces += smooth ? "s 1\n" : "s off\n";
    }
    for (const Face& f : g.faces) {
      std::string line = "f";
      for (size_t i = 0; i < f.p.size(); ++i) {
        line += " " + std::to_string(positions.index(triple(f.p[i])));
        if (withT) {
          const Vec2 uv = planarUV(f.p[i], f.facet);
          line += "/" + std::to_string(texcoords.index(num(uv.x) + " " + num(uv.y)));
        } else if (withN) {
          line += "/";
        }
        if (withN) line += "/" + std::to_string(normals.index(triple(f.n[i])));
      }
      faces += line + "\n";
      ++counts.faces;
      counts.triangles += f.p.size() - 2;
    }
  }
  counts.vertices = positions.items().size();
  counts.texcoords = texcoords.items().size();
  counts.normals = normals.items().size();

  std::ofstream out(dir / md.file, std::ios::binary);
  out << "# " << md.title << "\n";
  out << "# written by make_models: " << counts.vertices << " vertices, " << counts.triangles
      << " triangles\n";
  if (!md.mtlFile.empty()) {
    out << "mtllib " << md.mtlFile << "\n";
    out << "o " << std::filesystem::path(md.mtlFile).stem().string() << "\n";
  }
  for (const std::string& v : positions.items()) out << "v " << v << "\n";
  for (const std::string& t : texcoords.items()) out << "vt " << t << "\n";
  for (const std::string& n : normals.items()) out << "vn " << n << "\n";
  out << faces;
  if (!out) throw std::runtime_error("cannot write " + (dir / md.file).string());
  return counts;
}

void writeMtl(const std::filesystem::path& dir, const Model& md) {
  std::ofstream out(dir / md.mtlFile, std::ios::binary);
  out << "# materials of " << md.title << ", written by make_models\n";
  for (const Material& mat : md.materials) {
    out << "newmtl " << mat.name << "\n";
    out << "Ka " << triple(mat.ka) << "\n";
    out << "Kd " << triple(mat.kd) << "\n";
    out << "Ks " << triple(mat.ks) << "\n";
    out << "Ns " << num(mat.ns) << "\n";
  }
  if (!out) throw std::runtime_error("cannot write " + (dir / md.mtlFile).string());
}

// Every material a group names must be in the model's library, otherwise the
// reader silently falls back to its default material.
void checkMaterials(const Model& md) {
  for (const Group& g : md.mesh.groups()) {
    if (g.material.empty()) continue;
    const bool found = std::any_of(md.materials.begin(), md.materials.end(),
                                   [&](const Material& mat) { return mat.name == g.material; });
    if (!found || md.mtlFile.empty())
      throw std::logic_error(md.file + ": group " + g.name + " names unknown material " +
                             g.material);
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::filesystem::path dir = argc > 1 ? argv[1] : "data";
    std::filesystem::create_directories(dir);
    // Same order as the scene's model table.
    Model (*const makers[])() = {makeBoat,   makeTree1, makeTree2, makeLamp,  makeBus,
                                 makePillar, makeWagon, makeCar,   makePickup};
    for (auto make : makers) {
      const Model md = make();
      checkMaterials(md);
      const Counts c = writeObj(dir, md);
      if (!md.mtlFile.empty()) writeMtl(dir, md);
      std::cout << (dir / md.file).string() << ": " << c.vertices << " v, " << c.texcoords
                << " vt, " << c.normals << " vn, " << c.faces << " faces, " << c.triangles
                << " triangles" << (md.mtlFile.empty() ? "" : ", materials in " + md.mtlFile)
                << "\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "make_models: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
