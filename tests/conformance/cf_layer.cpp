#include "cf_layer.h"

#include "assets/assets.h"
#include "gfx/d3d.h"
#include "gfx/gfx.h"
#include "rt/shell.h"
#include "ui/ui.h"

static void say(char* err, int cap, const char* what) { str_cpy(err, what, cap); }

// The track-like world: ground and road in batches, models appended with
// transforms (one mirrored), glowing quads on the additive layer.
static void build_world(Batch** list) {
  Texture* grass = tex_get("grass");
  Texture* road = tex_get("asphalt");
  Texture* kerb = tex_get("kerb");
  Mesh* g = batch_get(list, grass, 0, 17 * 17);
  int base = g->nverts;
  for (int j = 0; j <= 16; j++)
    for (int i = 0; i <= 16; i++) {
      float x = -40.0f + 5.0f * (float)i, z = -10.0f + 5.0f * (float)j;
      float y = (i >= 7 && i <= 9) ? 0.0f : 0.25f * (float)((i * 5 + j * 3) % 4);
      mesh_add_vertex(g, x, y, z, 0, 1, 0, 0xFFFFFFFFu, x / 6.0f + 0.0123f, z / 6.0f + 0.0157f);
    }
  for (int j = 0; j < 16; j++)
    for (int i = 0; i < 16; i++) {
      int a = base + j * 17 + i;
      mesh_add_quad(g, a, a + 17, a + 18, a + 1);
    }
  Mesh* r = batch_get(list, road, 0, 40);
  Mesh* k = batch_get(list, kerb, 0, 80);
  for (int s = 0; s < 20; s++) {
    float z = -10.0f + 4.0f * (float)s, bend = 0.015f * (float)(s * s);
    // texture coordinates off round values: no texel edge exactly on a pixel centre
    float v = z / 4.0f + 0.0113f;
    int a = mesh_add_vertex(r, -4.0f + bend, 0.02f, z, 0, 1, 0, 0xFFFFFFFFu, 0.0107f, v);
    mesh_add_vertex(r, 4.0f + bend, 0.02f, z, 0, 1, 0, 0xFFFFFFFFu, 1.0107f, v);
    if (s > 0) mesh_add_quad(r, a - 2, a, a + 1, a - 1);
    for (int side = 0; side < 2; side++) {
      float x0 = side ? 4.0f + bend : -4.6f + bend;
      int b = mesh_add_vertex(k, x0, 0.04f, z, 0, 1, 0, 0xFFFFFFFFu, 0.0107f, z + 0.0113f);
      mesh_add_vertex(k, x0 + 0.6f, 0.04f, z, 0, 1, 0, 0xFFFFFFFFu, 1.0107f, z + 0.0113f);
      if (s > 0) mesh_add_quad(k, b - 4, b, b + 1, b - 3);
    }
  }
  static const char* names[4] = {"tree", "cone", "barrier", "lamp"};
  for (int i = 0; i < 12; i++) {
    Model* m = model_get(names[i % 4]);
    int layer = (i % 4 == 0) ? 1 : 0;
    Mesh* dst = batch_get(list, m->tex, layer, m->mesh.nverts);
    float side = (i & 1) ? 7.5f : -7.5f;
    Mat4 xf = m4_mul(m4_rot_y(0.4f * (float)i), m4_translate(side + 0.1f * (float)i, 0, 4.0f + 5.5f * (float)i));
    if (i == 5) {  // mirrored: the appended triangles must stay front-facing
      Mat4 mirror = m4_scale(1.2f);
      mirror.m[0][0] = -1.2f;
      xf = m4_mul(mirror, xf);
    }
    mesh_append_xform(dst, &m->mesh, &xf, (i % 3 == 0) ? 0xFFC0E0FFu : 0xFFFFFFFFu);
  }
  Texture* glow = tex_get("glow");
  Mesh* gl = batch_get(list, glow, 2, 16);
  for (int i = 0; i < 4; i++) {
    float x = (i & 1) ? 6.0f : -6.0f, z = 10.0f + 12.0f * (float)(i / 2);
    int a = mesh_add_vertex(gl, x - 1.5f, 2.0f, z, 0, 0, -1, 0xFFFFE0A0u, 0, 1);
    mesh_add_vertex(gl, x - 1.5f, 5.0f, z, 0, 0, -1, 0xFFFFE0A0u, 0, 0);
    mesh_add_vertex(gl, x + 1.5f, 5.0f, z, 0, 0, -1, 0xFFFFE0A0u, 1, 0);
    mesh_add_vertex(gl, x + 1.5f, 2.0f, z, 0, 0, -1, 0xFFFFE0A0u, 1, 1);
    mesh_add_quad(gl, a, a + 1, a + 2, a + 3);
  }
  batch_upload(list);
}

static void draw_frame(Batch** list) {
  gfx_begin_low(0xFF90B8E8u);
  Mat4 view = m4_look_at(Vec3{1.5f, 5.0f, -14.0f}, Vec3{0.0f, 1.0f, 20.0f}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(1.0f, (float)g_lowW / (float)g_lowH, 0.5f, 400.0f);
  gfx_set_3d(&view, &proj);
  Mat4 id = m4_identity();
  gfx_set_world(&id);
  gfx_set_sun(Vec3{-0.5f, -1.0f, 0.4f}, 0xFFF8E8D0u, 0xFF505868u);
  gfx_set_lighting(1);
  gfx_set_fog_params(0xFF90B8E8u, 25.0f, 90.0f);
  gfx_set_fog(1);
  gfx_blend_mode(0);
  gfx_cull(1);
  batch_draw(list, 0);
  gfx_cull(0);
  batch_draw(list, 1);
  // a car on its own, tinted, with a world matrix
  Model* car = model_get("car2");
  Mat4 w = m4_mul(m4_rot_y(-0.3f), m4_translate(1.5f, 0, 6.0f));
  gfx_set_world(&w);
  gfx_cull(1);
  gfx_bind(car->tex);
  gfx_tint(0xFFFF9060u);
  gpu_draw(&car->gpu);
  gfx_tint(0xFFFFFFFFu);
  gfx_set_world(&id);
  gfx_blend_mode(2);
  gfx_zwrite(0);
  gfx_set_lighting(0);
  batch_draw(list, 2);
  gfx_zwrite(1);
  // smoke and lights from the effect layer
  fx_begin(tex_get("smoke"), 1);
  for (int i = 0; i < 5; i++)
    fx_billboard(-1.0f + 0.6f * (float)i, 0.8f + 0.3f * (float)i, 4.0f + 1.5f * (float)i, 0.7f, 0xA0FFFFFFu, 1, 0, 0,
                 0, 1, 0);
  fx_begin(tex_get("glow"), 2);
  fx_billboard(3.0f, 1.0f, 9.0f, 1.2f, 0xFFFFC080u, 1, 0, 0, 0, 1, 0);
  gfx_set_fog(0);
  // the HUD
  ui_begin();
  ui_origin(1);
  ui_rect(4, 4, 92, 30, 0x90000000u);
  ui_text(8, 8, 2, 0xFFFFFFFFu, "LAP 2/3");
  ui_text(8, 24, 1, 0xFFFFE060u, "1:23.45 best");
  ui_text_center(160, 210, 1, 0xFFFFFFFFu, "P1  \x7f  hold on!");
  ui_line(200, 10, 310, 40, 0xFF40FF40u);
  ui_image(tex_get("checker"), 280, 190, 32, 32, 0xC0FFFFFFu);
  ui_origin(0);
  ui_rect((float)g_lowW - 20, 0, 20, 8, 0xFFFF0000u);
}

int cf_layer_run(void* window, const char* dir, char* err, int cap) {
  memset(&g_opt, 0, sizeof g_opt);
  g_opt.resW = CF_LAYER_W;
  g_opt.resH = CF_LAYER_H;
  if (!gfx_init((SysWindow)window, 0)) return say(err, cap, "gfx_init failed"), 0;
  assets_init();
  Batch* list = nullptr;
  build_world(&list);
  int ok = 0;
  char path[400];
  if (!gfx_ready()) {
    say(err, cap, "device not ready");
  } else {
    draw_frame(&list);
    ui_flush();  // the screenshot reads the frame as it stands
    str_cpy(path, dir, sizeof path);
    str_cat(path, CF_LAYER_SHOT, sizeof path);
    ok = gfx_save_shot(path);
    if (!ok) say(err, cap, "gfx_save_shot failed");
    gfx_end_low_and_present();
  }
  batch_free(&list);
  gfx_shutdown();
  return ok;
}
