// trackplan: draws the plan of a track text as a BMP, seen from above with
// larger z up the picture: the road and its edges, walls, the start line and
// the direction of travel, a mark every 100 m along the centre line, every
// prop (coloured by model name, with a legend), colliders, cones and lamps,
// and a scale bar. The circuit is built exactly as the game builds it.
//
//   trackplan <file.trk | 1 | 2 | 3> plan.bmp [-w width-in-pixels]
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>
#include <vector>

#include "assets/assets_internal.h"
#include "rt/bmp.h"
#include "rt/rt.h"
#include "track/track.h"

namespace {

struct Image {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // X8R8G8B8, top row first
  void set(int x, int y, uint32_t c) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[(size_t)y * w + x] = c;
  }
  void box(int x, int y, int bw, int bh, uint32_t c) {
    for (int j = 0; j < bh; j++)
      for (int i = 0; i < bw; i++) set(x + i, y + j, c);
  }
};

struct Prop {
  std::string name;
  float x, z, angle;
};
std::vector<Prop> g_props;

void on_prop(const char* name, float x, float z, float angle, float) { g_props.push_back(Prop{name, x, z, angle}); }

// World metres to picture pixels.
struct View {
  float minX, maxZ, scale, margin;
  float px(float x) const { return (x - minX) * scale + margin; }
  float py(float z) const { return (maxZ - z) * scale + margin; }
};

void dot(Image& img, float x, float y, int r, uint32_t c) {
  for (int j = -r; j <= r; j++)
    for (int i = -r; i <= r; i++)
      if (i * i + j * j <= r * r + r) img.set((int)(x + 0.5f) + i, (int)(y + 0.5f) + j, c);
}

void line(Image& img, float x0, float y0, float x1, float y1, int r, uint32_t c) {
  float dx = x1 - x0, dy = y1 - y0;
  int n = (int)(f_abs(dx) > f_abs(dy) ? f_abs(dx) : f_abs(dy)) + 1;
  for (int i = 0; i <= n; i++) {
    float t = (float)i / (float)n;
    if (r == 0) {
      img.set((int)(x0 + t * dx + 0.5f), (int)(y0 + t * dy + 0.5f), c);
    } else {
      dot(img, x0 + t * dx, y0 + t * dy, r, c);
    }
  }
}

// Fills a convex four-cornered shape.
void fill_quad(Image& img, const float (&x)[4], const float (&y)[4], uint32_t c) {
  float x0 = x[0], x1 = x[0], y0 = y[0], y1 = y[0];
  for (int i = 1; i < 4; i++) {
    x0 = x[i] < x0 ? x[i] : x0, x1 = x[i] > x1 ? x[i] : x1;
    y0 = y[i] < y0 ? y[i] : y0, y1 = y[i] > y1 ? y[i] : y1;
  }
  for (int py = (int)y0; py <= (int)y1 + 1; py++) {
    for (int px = (int)x0; px <= (int)x1 + 1; px++) {
      int pos = 0, neg = 0;
      for (int i = 0; i < 4; i++) {
        int j = (i + 1) % 4;
        float e = (x[j] - x[i]) * ((float)py + 0.5f - y[i]) - (y[j] - y[i]) * ((float)px + 0.5f - x[i]);
        pos += e >= 0, neg += e <= 0;
      }
      if (pos == 4 || neg == 4) img.set(px, py, c);
    }
  }
}

void text(Image& img, int x, int y, int scale, uint32_t colour, const std::string& s) {
  for (char ch : s) {
    char up = ch >= 'a' && ch <= 'z' ? (char)(ch - 32) : ch;
    if (const uint8_t* g = font_glyph(up))
      for (int r = 0; r < 7; r++)
        for (int c = 0; c < 5; c++)
          if (g[r] & (0x10 >> c)) img.box(x + c * scale, y + r * scale, scale, scale, colour);
    x += 6 * scale;
  }
}

// A steady, bright colour for a model name.
uint32_t name_colour(const std::string& name) {
  uint32_t h = 2166136261u;
  for (char c : name) h = (h ^ (uint8_t)c) * 16777619u;
  uint32_t r = 90 + (h & 127), g = 90 + (h >> 8 & 127), b = 90 + (h >> 16 & 127);
  return 0xFF000000u | r << 16 | g << 8 | b;
}

bool write_bmp(const std::string& path, const Image& img) {
  size_t size = 0;
  uint8_t* f = bmp_encode(img.px.data(), img.w, img.h, 3, 0, &size);
  bool ok = f && file_write(path.c_str(), f, (int)size);
  mem_free(f);
  return ok;
}

const uint32_t kGround = 0xFF24301F, kRoad = 0xFF55585E, kEdge = 0xFFE8E8E0, kWall = 0xFFB08850,
               kMark = 0xFFFFE070, kCollider = 0xFFFF4040, kCone = 0xFFFF8C1A, kLamp = 0xFFFFFF80,
               kText = 0xFFF0F0F0;

}  // namespace

int main(int argc, char** argv) {
  std::string in, out;
  int width = 1000;
  for (int i = 1; i < argc; i++) {
    if (!strcmp(argv[i], "-w") && i + 1 < argc) {
      width = atoi(argv[++i]);
    } else if (in.empty()) {
      in = argv[i];
    } else if (out.empty()) {
      out = argv[i];
    } else {
      out.clear();
      break;
    }
  }
  if (in.empty() || out.empty() || width < 200 || width > 8000) {
    fprintf(stderr, "usage: trackplan <file.trk | 1 | 2 | 3> plan.bmp [-w width-in-pixels]\n");
    return 2;
  }
  std::string source;
  if (in.size() == 1 && in[0] >= '1' && in[0] <= '3') {
    source = g_builtin[in[0] - '1'];
  } else {
    FILE* f = fopen(in.c_str(), "rb");
    if (!f) {
      fprintf(stderr, "trackplan: cannot read %s\n", in.c_str());
      return 1;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) source.append(buf, n);
    fclose(f);
  }

  g_trackPropHook = on_prop;
  if (!track_load_text(source.c_str(), 0)) {
    fprintf(stderr, "trackplan: %s gives no circuit (fewer than four points, or a centre line out of range)\n",
            in.c_str());
    return 1;
  }
  const TrackData& t = g_track;
  int walls = t.wallHeight > 0 && !str_ieq(t.wallTex, "none");
  float reach = t.wallOffset + 4;

  // Everything placed, and the road with its walls, fits in the picture.
  float minX = t.minX - 20, maxX = t.maxX + 20, minZ = t.minZ - 20, maxZ = t.maxZ + 20;
  auto grow = [&](float x, float z) {
    minX = x < minX ? x : minX, maxX = x > maxX ? x : maxX;
    minZ = z < minZ ? z : minZ, maxZ = z > maxZ ? z : maxZ;
  };
  for (int i = 0; i < t.sampleCount; i++) {
    const Sample& s = t.samples[i];
    float w = s.halfWidth + reach;
    grow(s.x - w, s.z - w), grow(s.x + w, s.z + w);
  }
  for (const Prop& p : g_props) grow(p.x, p.z);
  for (int i = 0; i < t.coneCount; i++) grow(t.cones[i].x, t.cones[i].z);

  std::map<std::string, int> counts;
  for (const Prop& p : g_props) counts[p.name]++;
  const int margin = 30, header = 70, legendRow = 18;
  View v{minX, maxZ, (float)(width - 2 * margin) / (maxX - minX), (float)margin};
  int planH = (int)((maxZ - minZ) * v.scale) + 2 * margin;
  int legendH = ((int)counts.size() + 3) / 4 * legendRow + 60;
  Image img;
  img.w = width;
  img.h = header + planH + legendH;
  img.px.assign((size_t)img.w * img.h, kGround);
  v.margin = (float)margin;
  auto X = [&](float x) { return v.px(x); };
  auto Y = [&](float z) { return v.py(z) + (float)header; };

  // Road surface, edges and walls.
  const Sample* s = t.samples;
  int M = t.sampleCount;
  auto edge = [&](const Sample& a, float lateral, float* x, float* y) {
    *x = X(a.x + lateral * a.dirZ);
    *y = Y(a.z - lateral * a.dirX);
  };
  for (int i = 0; i < M; i++) {
    const Sample &a = s[i], &b = s[(i + 1) % M];
    float qx[4], qy[4];
    edge(a, -a.halfWidth, &qx[0], &qy[0]);
    edge(b, -b.halfWidth, &qx[1], &qy[1]);
    edge(b, b.halfWidth, &qx[2], &qy[2]);
    edge(a, a.halfWidth, &qx[3], &qy[3]);
    fill_quad(img, qx, qy, kRoad);
  }
  for (int i = 0; i < M; i++) {
    const Sample &a = s[i], &b = s[(i + 1) % M];
    for (int side = -1; side <= 1; side += 2) {
      float x0, y0, x1, y1;
      edge(a, (float)side * a.halfWidth, &x0, &y0);
      edge(b, (float)side * b.halfWidth, &x1, &y1);
      line(img, x0, y0, x1, y1, 0, kEdge);
      if (walls) {
        edge(a, (float)side * (a.halfWidth + t.wallOffset), &x0, &y0);
        edge(b, (float)side * (b.halfWidth + t.wallOffset), &x1, &y1);
        line(img, x0, y0, x1, y1, 1, kWall);
      }
    }
  }

  // A mark across the road every 100 m, labelled.
  for (float d = 100; d < t.length; d += 100) {
    float x0, z0, x1, z1;
    float hw = track_halfwidth_at(d);
    track_point_at(d, -hw - 3, &x0, &z0, nullptr, nullptr);
    track_point_at(d, hw + 3, &x1, &z1, nullptr, nullptr);
    line(img, X(x0), Y(z0), X(x1), Y(z1), 0, kMark);
    text(img, (int)X(x1) + 3, (int)Y(z1) - 3, 1, kMark, std::to_string((int)d));
  }

  // Start line (chequered) and the direction of travel.
  {
    const Sample& a = s[0];
    for (int k = 0; k < 8; k++) {
      float l0 = -a.halfWidth + 2 * a.halfWidth * (float)k / 8, l1 = -a.halfWidth + 2 * a.halfWidth * (float)(k + 1) / 8;
      float x0, y0, x1, y1;
      edge(a, l0, &x0, &y0);
      edge(a, l1, &x1, &y1);
      line(img, x0, y0, x1, y1, 1, k & 1 ? 0xFF101010u : 0xFFFFFFFFu);
    }
    float tipX, tipZ, dx, dz;
    track_point_at(30, 0, &tipX, &tipZ, &dx, &dz);
    float bx = tipX - 10 * dx, bz = tipZ - 10 * dz;
    line(img, X(s[0].x), Y(s[0].z), X(tipX), Y(tipZ), 1, 0xFFFFFFFFu);
    line(img, X(tipX), Y(tipZ), X(bx + 4 * dz), Y(bz - 4 * dx), 1, 0xFFFFFFFFu);
    line(img, X(tipX), Y(tipZ), X(bx - 4 * dz), Y(bz + 4 * dx), 1, 0xFFFFFFFFu);
  }

  // Colliders as boxes, props, cones and lamps.
  for (int i = 0; i < t.colliderCount; i++) {
    const Collider& c = t.colliders[i];
    // The box's own axes: A along the model's x, B along its z (heading = angle).
    float ax = c.cosA * c.halfA, az = -c.sinA * c.halfA, bx = c.sinA * c.halfB, bz = c.cosA * c.halfB;
    float cx[4] = {c.x + ax + bx, c.x - ax + bx, c.x - ax - bx, c.x + ax - bx};
    float cz[4] = {c.z + az + bz, c.z - az + bz, c.z - az - bz, c.z + az - bz};
    for (int k = 0; k < 4; k++) line(img, X(cx[k]), Y(cz[k]), X(cx[(k + 1) % 4]), Y(cz[(k + 1) % 4]), 0, kCollider);
  }
  for (const Prop& p : g_props) dot(img, X(p.x), Y(p.z), 2, name_colour(p.name));
  for (int i = 0; i < t.coneCount; i++) dot(img, X(t.cones[i].x), Y(t.cones[i].z), 2, kCone);
  for (int i = 0; i < t.lampCount; i++) dot(img, X(t.lamps[i].x), Y(t.lamps[i].z), 1, kLamp);

  // Title, summary, scale bar and legend.
  char summary[200];
  snprintf(summary, sizeof summary, "%.0f M  %d SAMPLES  %d PROPS  %d COLLIDERS  %d CONES  %d LAMPS", (double)t.length,
           t.sampleCount, (int)g_props.size(), t.colliderCount, t.coneCount, t.lampCount);
  img.box(0, 0, img.w, header, 0xFF15181C);
  text(img, margin, 14, 3, kText, t.name[0] ? t.name : "TRACK");
  text(img, margin, 44, 2, 0xFFB0B8C0, summary);
  float bar = 100;
  while (bar * v.scale > width / 4.0f && bar > 10) bar /= 2;
  while (bar * v.scale < width / 12.0f) bar *= 2;
  int barY = header + planH - 16, barW = (int)(bar * v.scale);
  img.box(margin, barY, barW, 4, kText);
  img.box(margin, barY - 6, 2, 10, kText);
  img.box(margin + barW - 2, barY - 6, 2, 10, kText);
  text(img, margin + barW + 8, barY - 5, 2, kText, std::to_string((int)bar) + " M");

  int ly = header + planH + 10, col = 0;
  img.box(0, ly - 10, img.w, legendH, 0xFF15181C);
  const std::pair<const char*, uint32_t> fixed[] = {{"COLLIDER", kCollider}, {"CONE", kCone}, {"LAMP", kLamp}, {"EVERY 100 M", kMark}};
  for (auto& f : fixed) {
    dot(img, (float)(margin + col * (width - 2 * margin) / 4 + 4), (float)ly + 6, 4, f.second);
    text(img, margin + col * (width - 2 * margin) / 4 + 14, ly + 3, 1, kText, f.first);
    col++;
  }
  ly += legendRow + 6, col = 0;
  for (auto& c : counts) {
    int lx = margin + col * (width - 2 * margin) / 4;
    dot(img, (float)lx + 4, (float)ly + 6, 4, name_colour(c.first));
    text(img, lx + 14, ly + 3, 1, kText, c.first + " X" + std::to_string(c.second));
    if (++col == 4) col = 0, ly += legendRow;
  }

  if (!write_bmp(out, img)) {
    fprintf(stderr, "trackplan: cannot write %s\n", out.c_str());
    return 1;
  }
  printf("%s: %dx%d, %s, %.1f m, %zu props, %d colliders, %d cones, %d lamps\n", out.c_str(), img.w, img.h, t.name,
         (double)t.length, g_props.size(), t.colliderCount, t.coneCount, t.lampCount);
  return 0;
}
