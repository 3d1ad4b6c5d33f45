// A typical frame through the graphics layer on the software device: state
// changes, a few batches of ground and road, effect quads, the HUD's rects
// and text, the magnification and present. Reports device calls per frame.
#include <benchmark/benchmark.h>

#include "gfx/gfx_internal.h"
#include "soft/soft.h"
#include "rt/rt.h"
#include "rt/sys.h"
#include "ui/ui.h"

namespace {

struct Scene {
  Batch* list = nullptr;
  Mat4 view, proj, id;
};

// A 40 x 40 grid of ground quads and a ring of road quads, in two textures.
void build(Scene& s) {
  Texture* grass = tex_get("grass");
  Texture* road = tex_get("asphalt");
  for (int z = 0; z < 40; z++) {
    Mesh* m = batch_get(&s.list, grass, 0, 164);
    for (int x = 0; x < 40; x++) {
      float x0 = (float)x * 5 - 100, z0 = (float)z * 5 - 100;
      int a = mesh_add_vertex(m, x0, 0, z0, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
      mesh_add_vertex(m, x0 + 5, 0, z0, 0, 1, 0, 0xFFFFFFFFu, 1, 0);
      mesh_add_vertex(m, x0 + 5, 0, z0 + 5, 0, 1, 0, 0xFFFFFFFFu, 1, 1);
      mesh_add_vertex(m, x0, 0, z0 + 5, 0, 1, 0, 0xFFFFFFFFu, 0, 1);
      mesh_add_quad(m, a, a + 3, a + 2, a + 1);
    }
  }
  Mesh* m = batch_get(&s.list, road, 0, 4 * 128);
  for (int i = 0; i < 128; i++) {
    float t0 = (float)i / 128 * 6.2831853f, t1 = (float)(i + 1) / 128 * 6.2831853f;
    float c0 = f_cos(t0), s0 = f_sin(t0), c1 = f_cos(t1), s1 = f_sin(t1);
    int a = mesh_add_vertex(m, c0 * 40, 0.05f, s0 * 40, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
    mesh_add_vertex(m, c0 * 48, 0.05f, s0 * 48, 0, 1, 0, 0xFFFFFFFFu, 1, 0);
    mesh_add_vertex(m, c1 * 48, 0.05f, s1 * 48, 0, 1, 0, 0xFFFFFFFFu, 1, 1);
    mesh_add_vertex(m, c1 * 40, 0.05f, s1 * 40, 0, 1, 0, 0xFFFFFFFFu, 0, 1);
    mesh_add_quad(m, a, a + 1, a + 2, a + 3);
  }
  batch_upload(&s.list);
  s.view = m4_look_at(Vec3{0, 4, -44}, Vec3{0, 1, -30}, Vec3{0, 1, 0});
  s.proj = m4_persp(1.1f, 4.0f / 3.0f, 0.5f, 300.0f);
  s.id = m4_identity();
}

void frame(Scene& s) {
  if (!gfx_ready()) return;
  gfx_begin_low(0xFF8098C0u);
  gfx_set_3d(&s.view, &s.proj);
  gfx_set_world(&s.id);
  gfx_set_lighting(1);
  gfx_set_fog(1);
  gfx_set_fog_params(0xFF8098C0u, 40, 200);
  gfx_set_sun(Vec3{0.3f, -1, 0.5f}, 0xFFFFF0E0u, 0xFF505060u);
  gfx_blend_mode(0);
  gfx_cull(1);
  batch_draw(&s.list, 0);
  fx_begin(tex_get("smoke"), 1);
  for (int i = 0; i < 300; i++)
    fx_billboard((float)(i % 20) - 10, 0.5f + (float)(i / 20) * 0.2f, -30, 0.4f, 0x80FFFFFFu, 1, 0, 0, 0, 1, 0);
  ui_begin();
  for (int i = 0; i < 200; i++) ui_rect((float)(i % 20) * 8, (float)(i / 20) * 6, 6, 4, 0x80000000u);
  ui_text(8, 200, 2, 0xFFFFFFFFu, "LAP 2/3  POS 1/4");
  ui_text_center(160, 20, 1, 0xFFFFFF00u, "BEST 1:02.345");
  gfx_end_low_and_present();
}

void BM_TypicalFrame(benchmark::State& state) {
  log_open("bench-gfx.log");
  sys_lib_provide("d3d9.dll", soft_d3d9_proc);
  if (!gfx_init(nullptr, 0)) {
    state.SkipWithError("no device");
    return;
  }
  assets_init();
  Scene s;
  build(s);
  frame(s);  // textures made, caches warm
  soft_hooks_reset_counters();
  int calls = g_d3dCalls, frames = 0;
  for (auto _ : state) {
    frame(s);
    frames++;
  }
  state.counters["d3d_calls_per_frame"] = frames ? (double)(g_d3dCalls - calls) / frames : 0.0;
  state.counters["draws_per_frame"] = frames ? (double)g_softHooks.draws / frames : 0.0;
  batch_free(&s.list);
  gfx_shutdown();
}
BENCHMARK(BM_TypicalFrame)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  sys_fpu_init();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
