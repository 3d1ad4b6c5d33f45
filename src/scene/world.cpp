// The 3D part of a frame: sky bands and sun, the distant ring and the fog
// curtain, the track, the cars with their shadows and glow, the cones, the
// lights of a night circuit and the smoke.
#include "assets/assets.h"
#include "car/car.h"
#include "game/game.h"
#include "gfx/d3d.h"
#include "gfx/gfx.h"
#include "scene/scene.h"
#include "track/track.h"
#include "ui/ui.h"

namespace {

struct ScreenVertex {  // pre-transformed, 0x144
  float x, y, z, rhw;
  uint32_t colour;
  float u, v;
};

struct WorldVertex {  // 0x142
  float x, y, z;
  uint32_t colour;
  float u, v;
};

enum { CURTAIN_SEGS = 32, CONE_VERTS = 80, CONE_INDICES = 120, CONE_MAX = 96 };
const float TWO_PI = 6.2831853f;

WorldVertex curtain[CURTAIN_SEGS * 6];

struct ConeKey {
  const Model* model;
  float x, z, spin, tilt, fallDir;
};
ConeKey key[CONE_MAX];
Vertex cache[CONE_MAX][CONE_VERTS];
Vertex vb[CONE_MAX * CONE_VERTS];
uint16_t ib[CONE_MAX * CONE_INDICES];
const Model* ibModel;
int ibSlots = -1;

Vec3 v3(float x, float y, float z) { return Vec3{x, y, z}; }

void screen_band(ScreenVertex* v, float y0, float y1, uint32_t top, uint32_t bottom) {
  float x0 = -0.5f, x1 = (float)g_lowW - 0.5f;
  v[0] = ScreenVertex{x0, y0, 0, 1, top, 0, 0};
  v[1] = ScreenVertex{x1, y0, 0, 1, top, 1, 0};
  v[2] = ScreenVertex{x0, y1, 0, 1, bottom, 0, 1};
  v[3] = ScreenVertex{x1, y1, 0, 1, bottom, 1, 1};
}

}  // namespace

// Row of the horizon in low-resolution pixels for the current camera.
static float horizon_row() {
  float hx = g_camFwd.x, hz = g_camFwd.z;
  float len = f_sqrt(hx * hx + hz * hz);
  if (len > 1e-6f) {
    hx /= len, hz /= len;
  } else {
    hx = hz = 0.0f;
  }
  Vec3 q = m4_xform_point(g_view, v3(g_eye.x + 1000.0f * hx, g_eye.y, g_eye.z + 1000.0f * hz));
  float vz = q.z > 0.1f ? q.z : 0.1f;
  float half = (float)g_lowH * 0.5f;
  return half - (q.y / vz) * g_proj.m[1][1] * half;
}

// Sky gradient above the horizon, fog colour below it. Screen-space bands
// must neither test nor fill the depth buffer.
static void draw_sky() {
  float hy = horizon_row();
  float top = hy < 0.0f ? 0.0f : hy;
  ScreenVertex upper[4], lower[4];
  screen_band(upper, -0.5f, top, g_track.skyTop, g_track.skyHorizon);
  screen_band(lower, hy, (float)g_lowH - 0.5f, g_track.fogColor, g_track.fogColor);
  gfx_ztest(0);
  gfx_zwrite(0);
  gfx_bind(tex_procedural("white"));
  gfx_blend_mode(0);
  gfx_rs(D3DRS_ALPHATESTENABLE, 0);
  gfx_fvf(0x144);
  gfx_draw_up(D3DPT_TRIANGLESTRIP, 2, upper, sizeof(ScreenVertex));
  gfx_draw_up(D3DPT_TRIANGLESTRIP, 2, lower, sizeof(ScreenVertex));
}

static void draw_sun() {
  if (!g_track.sunDisc) return;
  Vec3 d = v3(g_track.sunDir[0], g_track.sunDir[1], g_track.sunDir[2]);
  float len = f_sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
  if (len > 1e-6f) d.x /= len, d.y /= len, d.z /= len;
  float x = g_eye.x - 350.0f * d.x, z = g_eye.z - 350.0f * d.z;
  float y = g_eye.y - 350.0f * d.y;
  if (y < g_eye.y + 20.0f) y = g_eye.y + 20.0f;
  int night = g_track.night != 0;
  uint32_t halo = night ? 0xFFD0D8FFu : str_eq(g_track.mood, "desert") ? 0xFFFFB060u : 0xFFFFF0C0u;
  const Vec3 r = g_camRight, u = g_camUp;
  fx_begin(tex_get("glow.bmp"), 2);
  gfx_ztest(0);
  fx_billboard(x, y, z, night ? 14.0f : 40.0f, halo, r.x, r.y, r.z, u.x, u.y, u.z);
  fx_billboard(x, y, z, night ? 6.0f : 12.0f, 0xFFFFFFFFu, r.x, r.y, r.z, u.x, u.y, u.z);
  fx_flush();
  gfx_ztest(1);
}

// A ring just inside the distant scenery that fades the world's edge into fog.
static void draw_fog_curtain() {
  uint32_t clear = g_track.fogColor & 0x00FFFFFFu, solid = g_track.fogColor | 0xFF000000u;
  for (int i = 0; i < CURTAIN_SEGS; i++) {
    float a1 = (float)i * TWO_PI / CURTAIN_SEGS, a2 = (float)(i + 1) * TWO_PI / CURTAIN_SEGS;
    float x1 = g_eye.x + 390.0f * f_sin(a1), z1 = g_eye.z + 390.0f * f_cos(a1);
    float x2 = g_eye.x + 390.0f * f_sin(a2), z2 = g_eye.z + 390.0f * f_cos(a2);
    WorldVertex* v = &curtain[i * 6];
    v[0] = WorldVertex{x1, 26, z1, clear, 0, 0};
    v[1] = WorldVertex{x2, 26, z2, clear, 0, 0};
    v[2] = WorldVertex{x2, -6, z2, solid, 0, 0};
    v[3] = WorldVertex{x1, 26, z1, clear, 0, 0};
    v[4] = WorldVertex{x2, -6, z2, solid, 0, 0};
    v[5] = WorldVertex{x1, -6, z1, solid, 0, 0};
  }
  Mat4 id = m4_identity();
  gfx_set_world(&id);
  gfx_set_lighting(0);
  gfx_set_fog(0);
  gfx_bind(tex_procedural("white"));
  gfx_blend_mode(1);
  gfx_ztest(0);
  gfx_zwrite(0);
  gfx_cull(0);
  gfx_fvf(0x142);
  gfx_draw_up(D3DPT_TRIANGLELIST, CURTAIN_SEGS * 2, curtain, sizeof(WorldVertex));
  gfx_ztest(1);
  gfx_zwrite(1);
  gfx_cull(1);
}

static Mat4 car_world(const Car* c) {
  Mat4 m = m4_mul(m4_rot_x(c->pitch), m4_rot_z(c->roll));
  m = m4_mul(m, m4_rot_y(c->heading));
  return m4_mul(m, m4_translate(c->x, 0.0f, c->z));
}

void draw_cars() {
  fx_begin(tex_get("shadow.bmp"), 1);
  for (int i = 0; i < 4; i++) {
    const Car* c = &g_cars[i];
    float s = f_sin(c->heading), k = f_cos(c->heading);
    float fx = s * 2.5f, fz = k * 2.5f;     // along the heading
    float sx = k * 1.25f, sz = -s * 1.25f;  // across it
    const float y = 0.06f;
    fx_quad(v3(c->x - fx - sx, y, c->z - fz - sz), v3(c->x + fx - sx, y, c->z + fz - sz),
            v3(c->x + fx + sx, y, c->z + fz + sz), v3(c->x - fx + sx, y, c->z - fz + sz), 0xFFFFFFFFu);
  }
  fx_flush();

  gfx_set_lighting(1);
  gfx_set_fog(1);
  gfx_blend_mode(0);
  gfx_cull(1);
  for (int i = 0; i < 4; i++) {
    const Car* c = &g_cars[i];
    if (!c->model) continue;
    Mat4 w = car_world(c);
    gfx_set_world(&w);
    gfx_tint(c->tint);
    gfx_bind(c->model->tex);
    gpu_draw(&c->model->gpu);
  }

  gfx_tint(0xFFFFFFFFu);
  gfx_glow_states();
  for (int i = 0; i < 4; i++) {
    const Car* c = &g_cars[i];
    if (!c->glowModel || !(g_track.night || c->brake > 0.0f)) continue;
    Mat4 w = car_world(c);
    gfx_set_world(&w);
    gfx_bind(c->glowModel->tex);
    gpu_draw(&c->glowModel->gpu);
  }
  gfx_zwrite(1);
  gfx_blend_mode(0);
  Mat4 id = m4_identity();
  gfx_set_world(&id);
}

// World-space vertices of one cone as it now lies.
static void cone_build(int slot, const Model* model, const Cone* cone) {
  float lift = cone->tilt > 0.01f ? cone->tilt / 1.5707964f * 0.25f : 0.0f;
  Mat4 w = m4_mul(m4_rot_y(cone->spin), m4_rot_x(cone->tilt));
  w = m4_mul(w, m4_translate(0.0f, lift, 0.0f));
  w = m4_mul(w, m4_rot_y(cone->fallDir));
  w = m4_mul(w, m4_translate(cone->x, 0.0f, cone->z));
  const Mesh* m = &model->mesh;
  for (int v = 0; v < m->nverts; v++) {
    const Vertex* src = &m->verts[v];
    Vertex* dst = &cache[slot][v];
    Vec3 p = m4_xform_point(w, v3(src->x, src->y, src->z));
    Vec3 n = m4_xform_dir(w, v3(src->nx, src->ny, src->nz));
    *dst = Vertex{p.x, p.y, p.z, n.x, n.y, n.z, src->colour, src->u, src->v};
  }
  key[slot] = ConeKey{model, cone->x, cone->z, cone->spin, cone->tilt, cone->fallDir};
}

static int key_matches(int slot, const Model* model, const Cone* c) {
  const ConeKey* k = &key[slot];
  return k->model == model && k->x == c->x && k->z == c->z && k->spin == c->spin && k->tilt == c->tilt &&
         k->fallDir == c->fallDir;
}

void draw_cones() {
  int count = g_track.coneCount;
  if (count <= 0) return;
  if (count > CONE_MAX) count = CONE_MAX;
  const Model* model = model_get("cone");
  int nv = model->mesh.nverts, ni = model->mesh.nindices;
  if (nv > CONE_VERTS || ni > CONE_INDICES || nv <= 0 || ni < 3) return;

  int visible = 0;
  for (int i = 0; i < count; i++) {
    const Cone* c = &g_track.cones[i];
    float dx = c->x - g_eye.x, dz = c->z - g_eye.z;
    if (dx * dx + dz * dz > 62500.0f) continue;
    if (!key_matches(i, model, c)) cone_build(i, model, c);
    memcpy(&vb[visible * nv], cache[i], sizeof(Vertex) * (size_t)nv);
    visible++;
  }
  if (ibModel != model || visible > ibSlots) {
    for (int k = 0; k < CONE_MAX; k++)
      for (int j = 0; j < ni; j++) ib[k * ni + j] = (uint16_t)(model->mesh.indices[j] + k * nv);
    ibSlots = CONE_MAX;
    ibModel = model;
  }
  if (!visible) return;
  Mat4 id = m4_identity();
  gfx_set_world(&id);
  gfx_set_lighting(1);
  gfx_set_fog(1);
  gfx_blend_mode(0);
  gfx_cull(1);
  gfx_bind(model->tex);
  gfx_fvf(0x152);
  gfx_draw_iup(D3DPT_TRIANGLELIST, 0, (uint32_t)(visible * nv), (uint32_t)(visible * ni / 3), ib, D3DFMT_INDEX16,
               vb, sizeof(Vertex));
}

static void draw_night_lights() {
  track_draw_glow();
  fx_begin(tex_procedural("glow"), 2);
  for (int i = 0; i < g_track.lampCount && i < 256; i++) {
    const Vec3 l = g_track.lamps[i];
    float dx = l.x - g_eye.x, dz = l.z - g_eye.z;
    if (dx * dx + dz * dz > 40000.0f) continue;
    const float y = 0.07f;
    fx_quad(v3(l.x - 7.5f, y, l.z - 7.5f), v3(l.x + 7.5f, y, l.z - 7.5f), v3(l.x + 7.5f, y, l.z + 7.5f),
            v3(l.x - 7.5f, y, l.z + 7.5f), 0x60FFD890u);
  }
  for (int i = 0; i < 4; i++) {
    const Car* c = &g_cars[i];
    float s = f_sin(c->heading), k = f_cos(c->heading);
    float nx = c->x + 2.2f * s, nz = c->z + 2.2f * k;    // near edge centre
    float fx = c->x + 16.0f * s, fz = c->z + 16.0f * k;  // far edge centre
    const float y = 0.075f;
    fx_quad(v3(nx - 1.4f * k, y, nz + 1.4f * s), v3(nx + 1.4f * k, y, nz - 1.4f * s),
            v3(fx + 5.0f * k, y, fz - 5.0f * s), v3(fx - 5.0f * k, y, fz + 5.0f * s), 0x70FFF4D0u);
  }
  fx_flush();
  gfx_set_fog(0);

  const Vec3 r = g_camRight, u = g_camUp;
  fx_begin(tex_get("glow.bmp"), 2);
  for (int i = 0; i < g_track.lampCount && i < 256; i++) {
    const Vec3 l = g_track.lamps[i];
    float dx = l.x - g_eye.x, dz = l.z - g_eye.z;
    if (dx * dx + dz * dz > 48400.0f) continue;
    fx_billboard(l.x, l.y, l.z, 1.6f, 0xFFFFE0A0u, r.x, r.y, r.z, u.x, u.y, u.z);
  }
  fx_begin(tex_procedural("glow"), 2);
  for (int i = 0; i < 4; i++) {
    const Car* c = &g_cars[i];
    float s = f_sin(c->heading), k = f_cos(c->heading);
    uint32_t tail = c->brake > 0.0f ? 0xC0FF3020u : 0x80C01010u;
    for (int side = -1; side <= 1; side += 2) {
      float sg = (float)side;
      fx_billboard(c->x + 2.1f * s + 0.55f * sg * k, 0.75f, c->z + 2.1f * k - 0.55f * sg * s, 0.6f, 0xA0FFF8E0u,
                   r.x, r.y, r.z, u.x, u.y, u.z);
      fx_billboard(c->x - 2.1f * s + 0.6f * sg * k, 0.78f, c->z - 2.1f * k - 0.6f * sg * s, 0.4f, tail, r.x, r.y,
                   r.z, u.x, u.y, u.z);
    }
  }
  fx_flush();
}

static void draw_smoke() {
  gfx_set_fog(0);
  fx_begin(tex_procedural("smoke"), 1);
  const Vec3 r = g_camRight, u = g_camUp;
  for (int i = 0; i < 160; i++) {
    const Particle* p = &g_parts[i];
    if (p->life <= 0.0f || p->maxLife <= 0.0f) continue;
    float a = p->life / p->maxLife * 200.0f;
    uint32_t alpha = a >= 255.0f ? 255u : (uint32_t)f_to_int(a);
    fx_billboard(p->position.x, p->position.y, p->position.z, p->size, (alpha << 24) | (p->colour & 0xFFFFFFu), r.x,
                 r.y, r.z, u.x, u.y, u.z);
  }
  fx_flush();
}

void game_render() {
  gfx_begin_low(g_track.fogColor);
  camera_place();
  gfx_set_3d(&g_view, &g_proj);
  gfx_set_fog_params(g_track.fogColor, g_track.fogStart, g_track.fogEnd);
  gfx_set_sun(v3(g_track.sunDir[0], g_track.sunDir[1], g_track.sunDir[2]), g_track.sunColor, g_track.ambient);

  draw_sky();
  draw_sun();
  track_draw_background(g_eye.x, g_eye.y, g_eye.z);
  draw_fog_curtain();

  track_draw();
  draw_cars();
  draw_cones();
  if (g_track.night) draw_night_lights();
  draw_smoke();

  ui_begin();
  draw_state_screen();
}
