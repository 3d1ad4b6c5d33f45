// The pack's models: low-poly, vertex-coloured, with normals, in metres,
// standing on y = 0 around the origin, built with the game's own boxes,
// cylinders and faces. Cars face +z.
#include <math.h>

#include "assets/assets_internal.h"
#include "pack.h"
#include "scene/scene.h"

namespace {

const float PI = 3.1415927f;

Vec3 v3(float x, float y, float z) { return Vec3{x, y, z}; }

// Texture coordinates of the last four vertices, corners in add_face order.
void uv4(Mesh* m, float u0, float v0, float u1, float v1, float u2, float v2, float u3, float v3_) {
  Vertex* v = m->verts + m->nverts - 4;
  v[0].u = u0, v[0].v = v0, v[1].u = u1, v[1].v = v1, v[2].u = u2, v[2].v = v2, v[3].u = u3, v[3].v = v3_;
}
// Every vertex from `first` on samples one texel.
void uv_solid(Mesh* m, int first, float u, float v) {
  for (int i = first; i < m->nverts; i++) m->verts[i].u = u, m->verts[i].v = v;
}
// A wall quad from bottom (x0, z0)-(x1, z1) up to y1, normal n, texture tiled
// every `tile` metres across and `tileV` metres up.
void wall(Mesh* m, float x0, float z0, float x1, float z1, float y0, float y1, Vec3 n, float tile, float tileV,
          uint32_t c = 0xFFFFFFFFu) {
  add_face(m, v3(x0, y0, z0), v3(x1, y0, z1), v3(x1, y1, z1), v3(x0, y1, z0), n, c);
  float w = sqrtf((x1 - x0) * (x1 - x0) + (z1 - z0) * (z1 - z0)) / tile, h = (y1 - y0) / tileV;
  uv4(m, 0, h, w, h, w, 0, 0, 0);
}
// A double-sided flat piece (leaves, fronds).
void leaf(Mesh* m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, uint32_t col) {
  Vec3 e1 = v3(b.x - a.x, b.y - a.y, b.z - a.z), e2 = v3(c.x - a.x, c.y - a.y, c.z - a.z);
  Vec3 n = v3(e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x);
  float l = sqrtf(n.x * n.x + n.y * n.y + n.z * n.z);
  n = v3(n.x / l, n.y / l, n.z / l);
  if (n.y < 0) n = v3(-n.x, -n.y, -n.z);
  add_face(m, a, b, c, d, n, col);
  add_face(m, a, b, c, d, v3(-n.x, -n.y, -n.z), shade(col, -30));
}
// Appends src turned and moved (row-vector order: turn first).
void place(Mesh* dst, Mesh* src, const Mat4& w) {
  mesh_append_xform(dst, src, &w, 0xFFFFFFFFu);
  mesh_free(src);
  mesh_init(src);
}
// A wheel or tyre lying on its side: a cylinder along x.
void wheel(Mesh* m, float x, float y, float z, float r, float width, uint32_t c) {
  Mesh t;
  mesh_init(&t);
  add_cyl(&t, 8, c, 0, -width / 2, width / 2, r, r, 1);
  add_cyl(&t, 8, shade(c, 40), 0, width / 2 - 0.001f, width / 2, r * 0.55f, r * 0.55f, 1);  // hub
  Mat4 w = m4_mul(m4_rot_z(x < 0 ? PI / 2 : -PI / 2), m4_translate(x, y, z));
  place(m, &t, w);
}

// ---- roadside ----------------------------------------------------------------------------------

void guardrail(Mesh* m) {
  add_box(m, 0xFF6A6E74u, -0.07f, 0, -0.07f, 0.07f, 0.78f, 0.07f);        // post
  add_box(m, 0xFFB4BAC2u, -0.16f, 0.46f, -2.0f, -0.07f, 0.74f, 2.0f);     // rail
  add_box(m, 0xFFDADEE4u, -0.17f, 0.58f, -2.0f, -0.16f, 0.62f, 2.0f);     // its bright crease
}

void tyre_stack(Mesh* m) {
  Mesh t;
  mesh_init(&t);
  for (int s = 0; s < 3; s++)
    for (int k = 0; k < 4; k++) {
      uint32_t c = k == 3 ? (s == 1 ? 0xFFE8E8E8u : 0xFFD02424u) : 0xFF222224u;
      add_cyl(&t, 8, c, (float)(s - 1) * 0.72f, 0.24f * (float)k, 0.24f * (float)k + 0.22f, 0.36f, 0.36f, 1);
    }
  place(m, &t, m4_rot_y(PI / 2));  // the stack runs along the road
}

void sign_chevron(Mesh* m) {
  float px = 0.5f / 32;
  int first = m->nverts;
  add_box(m, 0xFF8A8A90u, -0.85f, 0, -0.05f, -0.77f, 1.45f, 0.05f);  // posts
  add_box(m, 0xFF8A8A90u, 0.77f, 0, -0.05f, 0.85f, 1.45f, 0.05f);
  add_box(m, 0xFF8A8A90u, -1.0f, 0.6f, -0.06f, 1.0f, 1.4f, 0.0f);    // back of the board
  uv_solid(m, first, px, px);
  wall(m, 1.0f, 0.001f, -1.0f, 0.001f, 0.6f, 1.4f, v3(0, 0, 1), 2.0f, 0.8f);  // face towards the cars
}

void billboard(Mesh* m, float w, float bottom, float h, float texW) {
  float half = w / 2, post = half * 0.72f, top = bottom + h, px = 0.5f / texW;
  int first = m->nverts;
  add_box(m, 0xFF9098A0u, -post - 0.15f, 0, -0.15f, -post + 0.15f, top - 0.3f, 0.15f);
  add_box(m, 0xFF9098A0u, post - 0.15f, 0, -0.15f, post + 0.15f, top - 0.3f, 0.15f);
  add_box(m, 0xFFFFFFFFu, -half - 0.1f, bottom - 0.1f, -0.12f, half + 0.1f, top + 0.1f, 0.12f);  // frame
  uv_solid(m, first, px, px);
  wall(m, half, 0.13f, -half, 0.13f, bottom, top, v3(0, 0, 1), w, h);  // the picture, both sides, readable
  wall(m, -half, -0.13f, half, -0.13f, bottom, top, v3(0, 0, -1), w, h);
}

void billboard_glow(Mesh* m, float w, float bottom, float h) {
  float half = w / 2, top = bottom + h;
  wall(m, half, 0.16f, -half, 0.16f, bottom, top, v3(0, 0, 1), w, h, 0xFF707070u);
  wall(m, -half, -0.16f, half, -0.16f, bottom, top, v3(0, 0, -1), w, h, 0xFF707070u);
  for (float x : {-half * 0.5f, half * 0.5f})  // the lamps above it
    add_box(m, 0xFFFFF0C0u, x - 0.3f, top + 0.15f, -0.35f, x + 0.3f, top + 0.35f, 0.35f);
}

void lamp_post(Mesh* m, bool glow) {
  if (glow) {
    for (float s : {-1.0f, 1.0f})
      add_box(m, 0xFFFFD890u, s * 1.05f - 0.45f, 7.42f, -0.3f, s * 1.05f + 0.45f, 7.62f, 0.3f);
    return;
  }
  add_box(m, 0xFF3C3E46u, -0.25f, 0, -0.25f, 0.25f, 0.7f, 0.25f);  // foot
  add_cyl(m, 6, 0xFF555A64u, 0, 0.7f, 7.9f, 0.14f, 0.09f, 1);
  add_box(m, 0xFF555A64u, -1.5f, 7.7f, -0.06f, 1.5f, 7.82f, 0.06f);  // the arms
  for (float s : {-1.0f, 1.0f}) {
    add_box(m, 0xFF40444Cu, s * 1.05f - 0.42f, 7.58f, -0.26f, s * 1.05f + 0.42f, 7.78f, 0.26f);
    add_box(m, 0xFFFFF4C8u, s * 1.05f - 0.36f, 7.5f, -0.2f, s * 1.05f + 0.36f, 7.58f, 0.2f);  // the lamp
  }
}

// ---- scenery -----------------------------------------------------------------------------------

void tree_round(Mesh* m) {
  add_cyl(m, 6, 0xFF6A4A2Cu, 0, 0, 2.2f, 0.24f, 0.16f, 0);
  add_cyl(m, 8, 0xFF2E6E30u, 0, 1.55f, 1.6f, 0.1f, 1.3f, 0);  // underside
  add_cyl(m, 8, 0xFF3A8236u, 0, 1.6f, 2.7f, 1.3f, 2.1f, 0);
  add_cyl(m, 8, 0xFF44923Eu, 0, 2.7f, 3.9f, 2.1f, 1.8f, 0);
  add_cyl(m, 8, 0xFF52A44Au, 0, 3.9f, 4.8f, 1.8f, 0.8f, 1);
}

void tree_palm(Mesh* m) {
  float x = 0;
  for (int i = 0; i < 5; i++) {  // a leaning trunk in rings
    float y0 = 1.2f * (float)i, nx = 0.06f * (float)(i * i);
    add_cyl(m, 6, i & 1 ? 0xFF8A6A44u : 0xFF7A5C3Au, x, y0, y0 + 1.2f, 0.26f - 0.025f * (float)i,
            0.24f - 0.025f * (float)i, 0);
    x = nx;
  }
  Vec3 c = v3(x, 6.0f, 0);
  add_box(m, 0xFF5A4A2Au, x - 0.3f, 5.8f, -0.3f, x + 0.3f, 6.15f, 0.3f);  // the crown
  for (int k = 0; k < 7; k++) {
    float a = 2 * PI * (float)k / 7 + 0.3f, sa = sinf(a), ca = cosf(a), span = k & 1 ? 2.6f : 3.0f;
    Vec3 mid = v3(c.x + sa * span * 0.5f, 6.35f, ca * span * 0.5f);
    Vec3 tip = v3(c.x + sa * span, 5.1f, ca * span);
    Vec3 l = v3(mid.x + ca * 0.45f, mid.y, mid.z - sa * 0.45f), r = v3(mid.x - ca * 0.45f, mid.y, mid.z + sa * 0.45f);
    leaf(m, c, l, tip, r, k & 1 ? 0xFF3C8C34u : 0xFF2F7A2Eu);
  }
}

void rock_red(Mesh* m) {
  Mesh t;
  mesh_init(&t);
  add_cyl(&t, 7, 0xFFB4583Cu, 0, 0, 0.9f, 1.1f, 0.62f, 1);
  add_cyl(&t, 5, 0xFFC0684Au, 0.35f, 0.9f, 1.3f, 0.5f, 0.22f, 1);
  place(m, &t, m4_rot_y(0.4f));
  add_cyl(&t, 5, 0xFF9A4630u, 0, 0, 0.5f, 0.55f, 0.3f, 1);
  place(m, &t, m4_translate(-0.95f, 0, 0.5f));
}

void adobe(Mesh* m) {
  const uint32_t mud = 0xFFD2A474u, beam = 0xFF6A4628u, dark = 0xFF4A3020u;
  add_box(m, mud, -3, 0, -2.5f, 3, 3.2f, 2.5f);
  add_box(m, shade(mud, -8), -3, 3.2f, -2.5f, 0, 5.4f, 0);  // upper room
  const float par[4][4] = {{-3, -2.5f, 3, -2.25f}, {-3, 2.25f, 3, 2.5f}, {-3, -2.5f, -2.75f, 2.5f}, {2.75f, -2.5f, 3, 2.5f}};
  for (const auto& p : par) add_box(m, shade(mud, 10), p[0], 3.2f, p[1], p[2], 3.55f, p[3]);  // parapet
  for (int i = 0; i < 5; i++) add_box(m, beam, -2.4f + 1.2f * (float)i - 0.1f, 2.75f, 2.5f, -2.4f + 1.2f * (float)i + 0.1f, 2.95f, 2.85f);
  add_box(m, dark, -0.5f, 0, 2.5f, 0.5f, 2.0f, 2.56f);  // door
  for (float x : {-2.0f, 1.4f}) add_box(m, 0xFF34465Au, x, 1.1f, 2.5f, x + 0.7f, 1.8f, 2.55f);
  add_box(m, 0xFF34465Au, -2.0f, 4.0f, -0.05f, -1.2f, 4.6f, 0.0f);
}

// City buildings: facade walls tiled every 12 m, flat roofs in the wall colour.
void tower(Mesh* m, float hw, float hd, float y0, float y1, float tileV) {
  Vec3 nz = v3(0, 0, 1), sz = v3(0, 0, -1), ex = v3(1, 0, 0), wx = v3(-1, 0, 0);
  wall(m, -hw, hd, hw, hd, y0, y1, nz, 12, tileV);
  wall(m, hw, -hd, -hw, -hd, y0, y1, sz, 12, tileV);
  wall(m, hw, hd, hw, -hd, y0, y1, ex, 12, tileV);
  wall(m, -hw, -hd, -hw, hd, y0, y1, wx, 12, tileV);
}
void roof(Mesh* m, float hw, float hd, float y, uint32_t c) {
  int first = m->nverts;
  add_box(m, c, -hw, y, -hd, hw, y + 0.4f, hd);
  uv_solid(m, first, 0.5f / 64, 0.5f / 64);
}

void city_tall(Mesh* m, bool glow) {
  float e = glow ? 0.04f : 0;
  tower(m, 6 + e, 6 + e, 0, 21, 12);
  tower(m, 4.5f + e, 4.5f + e, 21, 26, 12);
  if (glow) return;
  roof(m, 6.2f, 6.2f, 21, 0xFFB0B8C8u);
  roof(m, 4.7f, 4.7f, 26, 0xFFB0B8C8u);
  int first = m->nverts;
  add_cyl(m, 4, 0xFF8890A0u, 0, 26.4f, 28, 0.12f, 0.05f, 0);  // the mast
  add_box(m, 0xFFFF3030u, -0.15f, 28, -0.15f, 0.15f, 28.3f, 0.15f);
  uv_solid(m, first, 0.5f / 64, 0.5f / 64);
}

void city_block(Mesh* m, bool glow) {
  float e = glow ? 0.04f : 0;
  tower(m, 8 + e, 6 + e, 0, 15, 12);
  if (glow) return;
  roof(m, 8.2f, 6.2f, 15, 0xFFC0A898u);
  int first = m->nverts;
  add_box(m, 0xFF707880u, -5, 15.4f, -2, -2, 17, 1);  // machinery on the roof
  add_cyl(m, 6, 0xFF806850u, 4, 15.4f, 18, 1.1f, 1.1f, 1);  // water tank
  uv_solid(m, first, 0.5f / 64, 0.5f / 64);
}

void city_shop(Mesh* m, bool glow) {
  float e = glow ? 0.04f : 0;
  tower(m, 6 + e, 5 + e, 0, 7, 7);
  if (glow) return;
  roof(m, 6.2f, 5.2f, 7, 0xFF9A8070u);
  int first = m->nverts;
  add_box(m, 0xFF2A6A8Au, -6.3f, 3.3f, 5.0f, 6.3f, 3.5f, 6.2f);  // awning
  uv_solid(m, first, 0.5f / 64, 0.5f / 64);
}

// ---- cars --------------------------------------------------------------------------------------

struct CarShape {
  float lightY, front, back, halfW;  // where the lights sit
};
const CarShape kShapes[3] = {{0.68f, 1.9f, -1.9f, 0.86f}, {0.56f, 2.17f, -2.13f, 0.93f}, {0.85f, 2.15f, -2.15f, 0.97f}};

void lights(Mesh* m, const CarShape& s, bool glow) {
  float g = glow ? 0.03f : 0;
  for (float side : {-1.0f, 1.0f}) {
    float x0 = side * (s.halfW - 0.12f), x1 = side * (s.halfW - 0.42f);
    add_box(m, glow ? 0xFFFFF0C0u : 0xFFFFFAD2u, fminf(x0, x1) - g, s.lightY - 0.06f - g, s.front - 0.02f,
            fmaxf(x0, x1) + g, s.lightY + 0.06f + g, s.front + 0.03f + g);
    add_box(m, glow ? 0xFFFF2818u : 0xFFB81414u, fminf(x0, x1) - g, s.lightY - 0.05f - g, s.back - 0.03f - g,
            fmaxf(x0, x1) + g, s.lightY + 0.07f + g, s.back + 0.02f);
  }
}

void car(Mesh* m, int shape, uint32_t body) {
  const uint32_t dark = 0xFF1C1C20u, glass = 0xFF34506Au, trim = shade(body, -50);
  uint32_t stripe = (body & 0xFFFFFF) > 0xC0C0C0 || ((body >> 8) & 255) > 200 ? 0xFF202024u : 0xFFF0F0F0u;
  if (shape == 0) {  // hatch: short and upright
    add_box(m, body, -0.86f, 0.3f, -1.85f, 0.86f, 0.86f, 1.85f);
    add_box(m, glass, -0.78f, 0.86f, -1.7f, 0.78f, 1.38f, 0.55f);
    add_box(m, body, -0.74f, 1.38f, -1.62f, 0.74f, 1.45f, 0.45f);
    add_box(m, stripe, -0.16f, 0.86f, 0.55f, 0.16f, 0.875f, 1.85f);
    add_box(m, dark, -0.9f, 0.28f, 1.8f, 0.9f, 0.5f, 1.95f);
    add_box(m, dark, -0.9f, 0.28f, -1.95f, 0.9f, 0.5f, -1.8f);
    for (float x : {-0.88f, 0.88f})
      for (float z : {-1.2f, 1.2f}) wheel(m, x, 0.32f, z, 0.32f, 0.24f, dark);
  } else if (shape == 1) {  // wedge: low, long, a big wing
    add_box(m, body, -0.93f, 0.26f, -2.1f, 0.93f, 0.72f, 1.3f);
    add_box(m, body, -0.93f, 0.26f, 1.3f, 0.93f, 0.58f, 2.15f);  // low nose
    add_box(m, glass, -0.72f, 0.72f, -1.0f, 0.72f, 1.12f, 0.75f);
    add_box(m, body, -0.68f, 1.12f, -0.9f, 0.68f, 1.16f, 0.5f);
    add_box(m, trim, -0.95f, 0.4f, -0.9f, -0.93f, 0.62f, 0.4f);  // side intakes
    add_box(m, trim, 0.93f, 0.4f, -0.9f, 0.95f, 0.62f, 0.4f);
    add_box(m, stripe, -0.12f, 0.58f, 1.3f, 0.12f, 0.6f, 2.15f);
    for (float x : {-0.6f, 0.6f}) add_box(m, dark, x - 0.05f, 0.72f, -2.0f, x + 0.05f, 1.15f, -1.85f);
    add_box(m, dark, -0.98f, 1.15f, -2.15f, 0.98f, 1.23f, -1.75f);  // wing
    for (float x : {-0.92f, 0.92f})
      for (float z : {-1.35f, 1.35f}) wheel(m, x, 0.31f, z, 0.31f, 0.28f, dark);
  } else {  // truck: a pickup on big wheels
    add_box(m, body, -0.97f, 0.5f, -2.15f, 0.97f, 1.05f, 2.15f);
    add_box(m, glass, -0.88f, 1.05f, -0.1f, 0.88f, 1.7f, 1.1f);
    add_box(m, body, -0.9f, 1.7f, -0.15f, 0.9f, 1.78f, 1.05f);
    add_box(m, dark, -0.85f, 1.0f, -2.05f, 0.85f, 1.06f, -0.3f);  // the bed
    add_box(m, dark, -0.92f, 1.05f, -0.35f, 0.92f, 1.55f, -0.25f);  // roll bar
    add_box(m, stripe, -0.98f, 0.7f, -2.0f, -0.97f, 0.8f, 2.0f);
    add_box(m, stripe, 0.97f, 0.7f, -2.0f, 0.98f, 0.8f, 2.0f);
    add_box(m, dark, -1.0f, 0.42f, 2.1f, 1.0f, 0.7f, 2.25f);  // bull bar
    for (float x : {-0.86f, 0.86f})
      for (float z : {-1.4f, 1.4f}) wheel(m, x, 0.42f, z, 0.42f, 0.32f, dark);
  }
  lights(m, kShapes[shape], false);
}

int shape_of(const std::string& b) {
  static const char* const kNames[3] = {"hatch", "wedge", "truck"};
  for (int s = 0; s < 3; s++)
    if (b.compare(4, strlen(kNames[s]), kNames[s]) == 0) return s;
  return -1;
}

bool starts(const std::string& s, const char* p) { return s.compare(0, strlen(p), p) == 0; }

}  // namespace

std::string art_glow_of(const std::string& b) {
  if (starts(b, "car_")) {
    size_t us = b.rfind('_');
    return us > 4 ? b.substr(0, us) + "_glow" : "";
  }
  if (b == "lamp_post" || starts(b, "city_") || starts(b, "billboard")) return b + "_glow";
  return "";
}

bool art_model(const std::string& b, Mesh* m, std::string* tex) {
  *tex = "";
  struct Board {
    const char* name;
    const char* tex;
    float w, bottom, h;
  };
  static const Board kBoards[] = {{"billboard_brontil", "ad_brontil.bmp", 10, 2.6f, 5},
                                  {"billboard_brontil_b", "ad_brontil_b.bmp", 10, 2.6f, 5},
                                  {"billboard_a", "ad_a.bmp", 7, 2.2f, 3.5f},
                                  {"billboard_b", "ad_b.bmp", 7, 2.2f, 3.5f},
                                  {"billboard_c", "ad_c.bmp", 7, 2.2f, 3.5f}};
  for (const Board& bd : kBoards) {
    if (b == bd.name) {
      *tex = bd.tex;
      billboard(m, bd.w, bd.bottom, bd.h, 64);
      return true;
    }
    if (b == std::string(bd.name) + "_glow") {
      *tex = bd.tex;
      billboard_glow(m, bd.w, bd.bottom, bd.h);
      return true;
    }
  }
  if (starts(b, "car_")) {
    int s = shape_of(b);
    if (s < 0) return false;
    if (b.size() > 5 && b.compare(b.size() - 5, 5, "_glow") == 0) {
      lights(m, kShapes[s], true);
      return true;
    }
    int livery = b.back() - '0';
    if (livery < 0 || livery > 3) return false;
    car(m, s, g_liveryColors[s * 4 + livery]);
    return true;
  }
  bool glow = b.size() > 5 && b.compare(b.size() - 5, 5, "_glow") == 0;
  std::string own = glow ? b.substr(0, b.size() - 5) : b;
  if (own == "city_tall" || own == "city_block" || own == "city_shop") {
    *tex = "facade_" + own.substr(5) + (glow ? "_glow" : "") + ".bmp";
    if (own == "city_tall") city_tall(m, glow);
    else if (own == "city_block") city_block(m, glow);
    else city_shop(m, glow);
    return true;
  }
  if (own == "lamp_post") lamp_post(m, glow);
  else if (glow) return false;
  else if (b == "guardrail") guardrail(m);
  else if (b == "tyre_stack") tyre_stack(m);
  else if (b == "sign_chevron") { *tex = "chevron.bmp"; sign_chevron(m); }
  else if (b == "tree_round") tree_round(m);
  else if (b == "tree_palm") tree_palm(m);
  else if (b == "rock_red") rock_red(m);
  else if (b == "adobe") adobe(m);
  else return false;
  return true;
}
