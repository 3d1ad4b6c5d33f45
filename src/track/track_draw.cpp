// Drawing the loaded track: the panorama ring, the road and prop layers, the
// additive glow layer and the minimap.
#include "assets/assets.h"
#include "gfx/d3d.h"
#include "track/track_internal.h"
#include "ui/ui.h"

static const uint32_t kRingFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;
RingVertex g_trackRing[RING_SEGMENTS * 6];

static const float kRingRadius = 400.0f;
// The strip's top stays below this angle above the eye whatever the repeat
// count, so it never folds under its bottom edge.
static const float kMaxStripAngle = 80.0f * 3.1415927f / 180.0f;

void track_draw_background(float eyeX, float eyeY, float eyeZ) {
  const TrackData* t = &g_track;
  Texture* tex = tex_get(t->backgroundTex);
  Mat4 id = m4_identity();
  gfx_set_lighting(0);
  gfx_set_fog(0);
  gfx_ztest(0);
  gfx_zwrite(0);
  gfx_cull(0);
  gfx_blend_mode(1);
  gfx_set_world(&id);
  gfx_bind(tex);

  uint32_t colour = 0xFFFFFFFFu;
  float R, top, bottom;
  if (t->skyStrip) {
    R = t->skyRepeat > 0.0f ? t->skyRepeat : 3.0f;
    // Each copy spans 360 / R degrees across and 120 / R degrees up, so a 3:1
    // picture keeps its shape: the frame's 64 rows show 62 degrees.
    float lowH = g_lowH > 0 ? (float)g_lowH : 240.0f;
    float degrees = ((lowH * 320.0f / 240.0f) / (R * 44.08889f)) * 64.0f / lowH * 62.0f;
    float a = degrees * 3.1415927f / 180.0f;
    if (!(a < kMaxStripAngle)) a = kMaxStripAngle;
    top = eyeY + kRingRadius * (f_sin(a) / f_cos(a));
    bottom = eyeY - 4.0f;
    gfx_blend_mode(0);
    gfx_rs(D3DRS_ALPHATESTENABLE, 0);
  } else {
    R = 2.0f;
    top = 72.0f;
    bottom = -6.0f;
    if (t->night) colour = 0xFFC0C0D0u;
  }

  for (int i = 0; i < RING_SEGMENTS; i++) {
    float a0 = (float)i * 6.2831855f / RING_SEGMENTS, a1 = (float)(i + 1) * 6.2831855f / RING_SEGMENTS;
    float u0 = (float)i * R / RING_SEGMENTS, u1 = (float)(i + 1) * R / RING_SEGMENTS;
    float x0 = eyeX + kRingRadius * f_sin(a0), z0 = eyeZ + kRingRadius * f_cos(a0);
    float x1 = eyeX + kRingRadius * f_sin(a1), z1 = eyeZ + kRingRadius * f_cos(a1);
    RingVertex* q = &g_trackRing[i * 6];
    q[0] = RingVertex{x0, top, z0, colour, u0, 0};
    q[1] = RingVertex{x1, top, z1, colour, u1, 0};
    q[2] = RingVertex{x1, bottom, z1, colour, u1, 1};
    q[3] = q[0];
    q[4] = q[2];
    q[5] = RingVertex{x0, bottom, z0, colour, u0, 1};
  }
  gfx_samp(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  gfx_fvf(kRingFvf);
  gfx_draw_up(D3DPT_TRIANGLELIST, RING_SEGMENTS * 2, g_trackRing, sizeof(RingVertex));
  gfx_samp(0, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
  gfx_ztest(1);
  gfx_zwrite(1);
  gfx_cull(1);
}

void track_draw() {
  Mat4 id = m4_identity();
  gfx_set_world(&id);
  gfx_set_lighting(1);
  gfx_set_fog(1);
  gfx_blend_mode(0);
  gfx_tint(0xFFFFFFFFu);
  gfx_cull(1);
  batch_draw(&g_track.batches, 0);  // ground, road, kerbs, start line, props
  gfx_cull(0);
  batch_draw(&g_track.batches, 1);  // walls, seen from both sides
  gfx_cull(1);
}

void track_draw_glow() {
  Mat4 id = m4_identity();
  gfx_set_world(&id);
  gfx_glow_states();
  batch_draw(&g_track.batches, 2);
  gfx_zwrite(1);
  gfx_blend_mode(0);
}

void track_minimap(float x, float y, float w, float h, uint32_t colour, int sparse) {
  const TrackData* t = &g_track;
  if (t->sampleCount <= 0) return;
  float spanX = t->maxX - t->minX, spanZ = t->maxZ - t->minZ;
  float sx = spanX > 0.0f ? w / spanX : 3.4e38f, sz = spanZ > 0.0f ? h / spanZ : 3.4e38f;
  float s = sx < sz ? sx : sz;
  float ox = x + (w - spanX * s) * 0.5f, oy = y + (h - spanZ * s) * 0.5f;
  for (int i = 0; i < t->sampleCount; i += sparse ? 3 : 1) {
    const Sample& p = t->samples[i];
    ui_rect(f_floor((p.x - t->minX) * s + ox), f_floor((t->maxZ - p.z) * s + oy), 2, 2, colour);
  }
}
