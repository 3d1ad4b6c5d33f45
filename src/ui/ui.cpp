// The 2D layer (rectangles, images, lines and text in low-resolution pixels)
// and the effect layer (textured quads in world space). Both collect quads in
// fixed arrays and draw each run of one texture with a single call.
#include "gfx/d3d.h"
#include "ui/ui_internal.h"

UiVertex g_ui[UI_MAX];
int g_uiN;
Texture* g_uiTex;
float g_uiOX, g_uiOY;
FxVertex g_fx[FX_MAX];
int g_fxN;
Texture* g_fxTex;
int g_fxBlend;

static Texture* g_whiteTex;  // "white", fetched on first use
static Texture* g_fontTex;   // "font", fetched on first use
static int g_layersHooked;   // flush and release handed to the graphics layer

// Drops pending 2D and effect quads, their selections and the fetched
// "white" and "font" records (device shut down).
static void layers_clear() {
  g_whiteTex = nullptr;  // the next device asks the texture table again
  g_fontTex = nullptr;
  g_uiN = 0;
  g_uiTex = nullptr;
  g_fxN = 0;
  g_fxTex = nullptr;
  g_fxBlend = 0;
  g_uiOX = g_uiOY = 0.0f;
}

static void layers_flush() {
  ui_flush();
  fx_flush();
}

static void layers_hook() {
  if (g_layersHooked) return;
  g_layersHooked = 1;
  gfx_on_flush(layers_flush);
  gfx_on_release(layers_clear);
}

// ---- 2D layer -------------------------------------------------------------------------------------
void ui_begin() {
  fx_flush();
  gfx_rs(D3DRS_ZENABLE, 0);
  gfx_rs(D3DRS_LIGHTING, 0);
  gfx_rs(D3DRS_FOGENABLE, 0);
  gfx_rs(D3DRS_CULLMODE, D3DCULL_NONE);
  gfx_tss(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
  gfx_tss(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
  gfx_rs(D3DRS_ALPHABLENDENABLE, 1);
  gfx_rs(D3DRS_ALPHATESTENABLE, 0);
  gfx_rs(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  gfx_rs(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
}

void ui_flush() {
  if (g_uiN <= 0) return;
  gfx_bind(g_uiTex);
  gfx_fvf(FVF_UI);
  gfx_draw_up(D3DPT_TRIANGLELIST, (uint32_t)(g_uiN / 3), g_ui, sizeof(UiVertex));
  g_uiN = 0;
}

void ui_origin(int centre) {
  layers_hook();
  ui_flush();
  if (centre) {
    g_uiOX = (float)((g_lowW - 320) / 2);
    g_uiOY = (float)((g_lowH - 240) / 2);
  } else {
    g_uiOX = 0.0f;
    g_uiOY = 0.0f;
  }
}

static void ui_vertex(UiVertex* v, float x, float y, uint32_t colour, float u, float tv) {
  v->x = x;
  v->y = y;
  v->z = 0.0f;
  v->rhw = 1.0f;
  v->colour = colour;
  v->u = u;
  v->v = tv;
}

void ui_quad(Texture* tex, uint32_t colour, float x0, float y0, float x1, float y1, float u0, float v0, float u1,
             float v1) {
  layers_hook();
  if (tex != g_uiTex) {
    if (g_uiN > 0) ui_flush();
  } else if (g_uiN > UI_MAX - 6) {
    ui_flush();
  }
  g_uiTex = tex;

  // Half a pixel up and left, so texels land on pixels.
  float X0 = x0 + g_uiOX - 0.5f, Y0 = y0 + g_uiOY - 0.5f;
  float X1 = x1 + g_uiOX - 0.5f, Y1 = y1 + g_uiOY - 0.5f;
  UiVertex* v = &g_ui[g_uiN];
  ui_vertex(v + 0, X0, Y0, colour, u0, v0);
  ui_vertex(v + 1, X1, Y0, colour, u1, v0);
  ui_vertex(v + 2, X0, Y1, colour, u0, v1);
  ui_vertex(v + 3, X1, Y0, colour, u1, v0);
  ui_vertex(v + 4, X1, Y1, colour, u1, v1);
  ui_vertex(v + 5, X0, Y1, colour, u0, v1);
  g_uiN += 6;
}

void ui_rect(float x, float y, float w, float h, uint32_t colour) {
  if (!g_whiteTex) g_whiteTex = tex_get("white");
  ui_quad(g_whiteTex, colour, x, y, x + w, y + h, 0.0f, 0.0f, 1.0f, 1.0f);
}

void ui_image(Texture* tex, float x, float y, float w, float h, uint32_t colour) {
  ui_quad(tex, colour, x, y, x + w, y + h, 0.0f, 0.0f, 1.0f, 1.0f);
}

void ui_image_uv(Texture* tex, float x, float y, float w, float h, float u0, float v0, float u1, float v1,
                 uint32_t colour) {
  ui_quad(tex, colour, x, y, x + w, y + h, u0, v0, u1, v1);
}

void ui_line(float x0, float y0, float x1, float y1, uint32_t colour) {
  float dx = x1 - x0, dy = y1 - y0;
  float adx = f_abs(dx), ady = f_abs(dy);
  int n = f_to_int(adx > ady ? adx : ady);
  if (n < 1) n = 1;
  for (int i = 0; i <= n; i++) {
    float t = (float)i / (float)n;
    ui_rect(f_floor(x0 + dx * t), f_floor(y0 + dy * t), 1.0f, 1.0f, colour);
  }
}

// ---- text ---------------------------------------------------------------------------------------------
float ui_text_width(const char* text, float scale) { return !text ? 0.0f : 6.0f * (float)str_len(text) * scale; }

void ui_text_raw(float x, float y, float scale, uint32_t colour, const char* text) {
  if (!text) return;
  if (!g_fontTex) g_fontTex = tex_get("font");
  float px = x, py = y;
  for (const unsigned char* s = (const unsigned char*)text; *s; s++) {
    int c = *s;
    if (c == '\n') {
      px = x;
      py += 9.0f * scale;
      continue;
    }
    if (c == ' ') {
      px += 6.0f * scale;
      continue;
    }
    if (c >= 'a' && c <= 'z') c -= 'a' - 'A';
    if (c < 32 || c > 127) c = '?';
    // The atlas holds 8 x 8 cells, 16 to a row, from code 32; each glyph is
    // 5 x 7 with one empty column and row, so a 6 x 8 piece of the cell.
    float u0 = (float)((c % 16) * 8) / 128.0f;
    float v0 = (float)((c / 16 - 2) * 8) / 64.0f;
    ui_quad(g_fontTex, colour, px, py, px + 6.0f * scale, py + 8.0f * scale, u0, v0, u0 + 6.0f / 128.0f, v0 + 8.0f / 64.0f);
    px += 6.0f * scale;
  }
}

void ui_text(float x, float y, float scale, uint32_t colour, const char* text) {
  float d = scale >= 2.0f ? 2.0f : 1.0f;
  ui_text_raw(x + d, y + d, scale, (colour & 0xFF000000u) | 0x00101018u, text);
  ui_text_raw(x, y, scale, colour, text);
}

void ui_text_center(float cx, float y, float scale, uint32_t colour, const char* text) {
  ui_text(f_floor(cx - ui_text_width(text, scale) * 0.5f), y, scale, colour, text);
}

// ---- effect layer ----------------------------------------------------------------------------------------
void fx_flush() {
  if (g_fxN <= 0) return;
  gfx_rs(D3DRS_LIGHTING, 0);
  gfx_blend_mode(g_fxBlend);
  gfx_rs(D3DRS_ZWRITEENABLE, 0);  // depth-tested against the scene, but effects do not hide each other
  gfx_rs(D3DRS_CULLMODE, D3DCULL_NONE);
  gfx_bind(g_fxTex);
  gfx_fvf(FVF_FX);
  gfx_draw_up(D3DPT_TRIANGLELIST, (uint32_t)(g_fxN / 3), g_fx, sizeof(FxVertex));
  g_fxN = 0;
  gfx_rs(D3DRS_ZWRITEENABLE, 1);
  gfx_rs(D3DRS_CULLMODE, D3DCULL_CCW);
}

void fx_begin(Texture* tex, int blend) {
  layers_hook();
  if (tex == g_fxTex && blend == g_fxBlend) return;
  fx_flush();
  g_fxTex = tex;
  g_fxBlend = blend;
}

static void fx_vertex(FxVertex* v, Vec3 p, uint32_t colour, float u, float tv) {
  v->x = p.x;
  v->y = p.y;
  v->z = p.z;
  v->colour = colour;
  v->u = u;
  v->v = tv;
}

void fx_quad(Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, uint32_t colour) {
  layers_hook();
  if (g_fxN > FX_MAX - 6) fx_flush();
  FxVertex* v = &g_fx[g_fxN];
  fx_vertex(v + 0, p0, colour, 0.0f, 0.0f);
  fx_vertex(v + 1, p1, colour, 1.0f, 0.0f);
  fx_vertex(v + 2, p2, colour, 1.0f, 1.0f);
  fx_vertex(v + 3, p0, colour, 0.0f, 0.0f);
  fx_vertex(v + 4, p2, colour, 1.0f, 1.0f);
  fx_vertex(v + 5, p3, colour, 0.0f, 1.0f);
  g_fxN += 6;
}

void fx_billboard(float x, float y, float z, float size, uint32_t colour, float rx, float ry, float rz, float ux,
                  float uy, float uz) {
  Vec3 r = {rx * size, ry * size, rz * size};
  Vec3 u = {ux * size, uy * size, uz * size};
  fx_quad(Vec3{x - r.x - u.x, y - r.y - u.y, z - r.z - u.z}, Vec3{x + r.x - u.x, y + r.y - u.y, z + r.z - u.z},
          Vec3{x + r.x + u.x, y + r.y + u.y, z + r.z + u.z}, Vec3{x - r.x + u.x, y - r.y + u.y, z - r.z + u.z},
          colour);
}
