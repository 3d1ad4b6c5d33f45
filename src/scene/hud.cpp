// The 2D drawing the state screens are made of: the race HUD, menus, the
// title logo and the race setup screen with its turning car preview.
#include "assets/assets.h"
#include "car/car.h"
#include "game/game.h"
#include "gfx/d3d.h"
#include "gfx/gfx.h"
#include "scene/scene.h"
#include "track/track.h"
#include "ui/ui.h"

const uint32_t g_liveryColors[12] = {
    0xFFFFFFFFu, 0xFFE03030u, 0xFF3060E0u, 0xFF30B050u,  // hatch
    0xFFE03030u, 0xFFF0D020u, 0xFFB0B8C0u, 0xFF9040C0u,  // wedge
    0xFFF08020u, 0xFF20B0B0u, 0xFFB0A060u, 0xFF505050u,  // truck
};
const char* const g_flav[3] = {"BALANCED", "FAST, LOOSE", "GRIPPY"};

const char* place_suffix(int place) {
  static const char* const suffix[3] = {"ST", "ND", "RD"};
  return place >= 1 && place <= 3 ? suffix[place - 1] : "TH";
}

uint32_t livery_colour(int shape, int livery) {
  int i = shape * 4 + livery;
  return shape >= 0 && shape < 3 && livery >= 0 && livery < 4 ? g_liveryColors[i] : 0xFFFFFFFFu;
}

void time_text(char* out, int cap, float t) {
  if (!(t > 0.0f)) t = 0.0f;         // negative and NaN show as nothing elapsed
  if (t > 1e7f) t = 1e7f;            // keeps the hundredths inside an int
  int cs = f_to_int(t * 100.0f + 0.5f);
  fmt(out, cap, "%d:%02d.%02d", cs / 6000, cs / 100 % 60, cs % 100);
}

static void text_right(float right, float y, float scale, uint32_t colour, const char* text) {
  ui_text(right - ui_text_width(text, scale), y, scale, colour, text);
}

// Minimap rectangle of the HUD, in frame pixels.
static void hud_minimap() {
  float top = (float)g_lowH - 62.0f;
  ui_rect(6, (float)g_lowH - 64.0f, 58, 58, 0x80000000u);
  track_minimap(8, top, 54, 54, 0xFFD0D0D0u, 1);
  float spanX = g_track.maxX - g_track.minX, spanZ = g_track.maxZ - g_track.minZ;
  if (!(spanX > 0.0f) || !(spanZ > 0.0f)) return;  // no outline to place the cars on
  float sx = 54.0f / spanX, sz = 54.0f / spanZ;
  float s = sx < sz ? sx : sz;
  for (int i = 3; i >= 0; i--) {
    const Car* c = &g_cars[i];
    float px = 8.0f + (54.0f - spanX * s) * 0.5f + (c->x - g_track.minX) * s;
    float py = top + (54.0f - spanZ * s) * 0.5f + (g_track.maxZ - c->z) * s;
    float fx = f_floor(px), fy = f_floor(py);
    ui_rect(fx - 1, fy - 1, 4, 4, i == 0 ? 0xFFFFFFFFu : 0xFF000000u);
    ui_rect(fx, fy, 2, 2, livery_colour(c->shape, c->livery));
  }
}

void draw_hud() {
  const Car* p = &g_cars[0];
  char buf[64], t[32];
  float W = (float)g_lowW, H = (float)g_lowH;
  float offY = (float)((g_lowH - 240) / 2), cx = W / 2;

  fmt(buf, sizeof buf, "%d%s", p->place, place_suffix(p->place));
  ui_text(8, 6, 3, 0xFFFFE040u, buf);
  fmt(buf, sizeof buf, "/%d", SC_FIELD);
  ui_text(8 + ui_text_width(p->place ? "1ST" : "", 3), 18, 1, 0xFFFFFFFFu, buf);

  int lap = p->lap + 1;
  if (lap > g_laps) lap = g_laps;
  if (lap < 1) lap = 1;
  fmt(buf, sizeof buf, "LAP %d/%d", lap, g_laps);
  ui_text(8, 32, 1, 0xFFFFFFFFu, buf);

  time_text(t, sizeof t, g_state == 3 ? 0.0f : g_raceTime);
  text_right(W - 8, 6, 1, 0xFFFFFFFFu, t);
  time_text(t, sizeof t, p->lap < 0 || p->finished ? 0.0f : g_raceTime - p->lapStart);
  fmt(buf, sizeof buf, "LAP %s", t);
  text_right(W - 8, 16, 1, 0xFFD0D0D0u, buf);
  if (p->bestLap > 0.0f) {
    time_text(t, sizeof t, p->bestLap);
    fmt(buf, sizeof buf, "BEST %s", t);
    text_right(W - 8, 26, 1, 0xFF80FF80u, buf);
  }

  float speed = f_abs(p->speed);
  fmt(buf, sizeof buf, "%d", f_to_int(speed * 3.6f + 0.5f));
  text_right(W - 34, H - 24, 2, 0xFFFFFFFFu, buf);
  ui_text(W - 30, H - 16, 1, 0xFFD0D0D0u, "KM/H");
  float r = speed / 44.0f;
  if (r > 1.0f) r = 1.0f;
  ui_rect(W - 90, H - 6, 82, 3, 0x80000000u);
  ui_rect(W - 90, H - 6, 82 * r, 3, r > 0.85f ? 0xFFFF6030u : 0xFFFFD040u);

  hud_minimap();

  if (g_state == 3) {
    int n = f_to_int(g_stateTime);
    int shown = n > 2 ? 1 : 3 - n;
    float sc = 6.0f - 2.0f * (g_stateTime - (float)n);
    fmt(buf, sizeof buf, "%d", shown);
    ui_text_center(cx, offY + 80 - 2 * sc, sc, shown == 1 ? 0xFFFFE040u : 0xFFFFFFFFu, buf);
  } else if (g_state == 4) {
    if (g_raceTime < 1.2f) ui_text_center(cx, offY + 72, 5, 0xFF60FF60u, "GO!");
    if (p->lap > 0 && !p->finished && g_raceTime - p->lapStart < 2.5f) {
      time_text(t, sizeof t, p->lastLap);
      fmt(buf, sizeof buf, p->lap == g_laps - 1 ? "FINAL LAP  %s" : "LAP %s", t);
      ui_text_center(cx, offY + 50, 1, 0xFFFFFFFFu, buf);
    }
  }
  if (g_wrongWay > 1.0f && (g_frame / 10) % 2 == 1) ui_text_center(cx, offY + 100, 2, 0xFFFF4040u, "WRONG WAY");
  if (g_state == 4 && p->finished) {
    fmt(buf, sizeof buf, "FINISHED %d%s", p->place, place_suffix(p->place));
    ui_text_center(cx, offY + 90, 2, 0xFFFFE040u, buf);
  }
}

void menu_draw(const MenuItem* items, int count, float x, float y, float w, float h) {
  float cx = x + 0.5f * w, vx = x + 0.68f * w;
  float ax1 = vx - (0.32f * w - 8), ax2 = vx + (0.32f * w - 8) - 6;
  for (int i = 0; i < count; i++) {
    float ry = y + (float)i * h;
    uint32_t caption = 0xFFB0B8C8u, arrows = 0xFF607080u, value = 0xFFD0D8E0u;
    if (i == g_sel) {
      ui_rect(x, ry - 3, w, 13, 0x70FFD040u);
      ui_rect(x, ry - 3, 2, 13, 0xFFFFD040u);
      caption = 0xFFFFFFFFu, arrows = 0xFFFFD040u, value = 0xFFFFE080u;
    }
    const MenuItem* it = &items[i];
    if (!it->adjustable) {
      ui_text_center(cx, ry, 1, caption, it->label);
    } else {
      ui_text(x + 8, ry, 1, caption, it->label);
      ui_text(ax1, ry, 1, arrows, "<");
      ui_text(ax2, ry, 1, arrows, ">");
      ui_text_center(vx, ry, 1, value, it->value);
    }
  }
}

void draw_logo() {
  Texture* logo = tex_get("logo.bmp");
  if (!logo->generated) {
    ui_image(logo, (320.0f - (float)logo->w) * 0.5f, 8, (float)logo->w, (float)logo->h, 0xFFFFFFFFu);
  } else {
    ui_text_center(160, 20 + 2 * f_sin(2 * g_stateTime), 4, 0xFFFFD040u, "SKIDLINE");
  }
}

// The player's car turning in the preview square of the setup screen.
static void draw_preview() {
  int offX = (g_lowW - 320) / 2, offY = (g_lowH - 240) / 2;
  gfx_viewport(offX + 204, offY + 36, 96, 96);
  ++g_d3dCalls;
  g_dev->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  float a = g_stateTime * 0.8f;
  Mat4 view = m4_look_at(Vec3{6.5f * f_sin(a), 2.6f, 6.5f * f_cos(a)}, Vec3{0, 0.6f, 0}, Vec3{0, 1, 0});
  Mat4 proj = m4_persp(0.69813174f, 1.0f, 0.5f, 50.0f);
  gfx_set_3d(&view, &proj);
  gfx_set_sun(Vec3{-0.5f, -0.8f, 0.3f}, 0xFFFFF4E0u, 0xFF707880u);
  Mat4 id = m4_identity();
  gfx_set_world(&id);
  gfx_set_lighting(1);
  gfx_set_fog(0);
  gfx_blend_mode(0);
  gfx_ztest(1);
  gfx_zwrite(1);
  gfx_cull(1);
  const Model* body = g_cars[0].model;
  if (body) {
    gfx_bind(body->tex);
    gpu_draw(&body->gpu);
  }
  gfx_viewport(0, 0, 0, 0);
  gfx_set_3d(&g_view, &g_proj);
  ui_begin();
}

void draw_setup() {
  char buf[48];
  ui_text_center(160, 6, 2, 0xFFFFD040u, "RACE SETUP");
  ui_rect(10, 26, 300, 210, 0xB0101828u);
  ui_rect(10, 26, 300, 1, 0xFFFFD040u);
  ui_rect(10, 235, 300, 1, 0xFFFFD040u);

  Texture* thumb = tex_get(g_track.thumbTex[0] ? g_track.thumbTex : "thumb.bmp");
  ui_rect(18, 34, 100, 100, 0xFF000000u);
  if (!thumb->generated) {
    ui_image(thumb, 20, 36, 96, 96, 0xFFFFFFFFu);
  } else {
    track_minimap(24, 40, 88, 88, 0xFFFFFFFFu, 0);
  }
  ui_rect(202, 34, 100, 100, 0xFF000000u);
  ui_rect(204, 36, 96, 96, 0xFF283040u);

  ui_text_center(160, 40, 1, 0xFFFFFFFFu, g_track.name);
  fmt(buf, sizeof buf, "%d M", f_to_int(g_track.length));
  ui_text_center(160, 52, 1, 0xFF90A0B0u, buf);
  track_minimap(130, 66, 60, 44, 0xFFD0D0D0u, 0);

  int shape = g_set.shape >= 0 && g_set.shape < 3 ? g_set.shape : 0;
  ui_text_center(160, 116, 1, 0xFFFFE080u, g_shapeTitle[shape]);
  ui_text_center(160, 126, 1, 0xFF90A0B0u, g_flav[shape]);

  MenuItem rows[6];
  build_setup(rows);
  menu_draw(rows, 6, L_SETUP.x, L_SETUP.y, L_SETUP.w, L_SETUP.h);

  ui_flush();
  fx_flush();
  draw_preview();
}
