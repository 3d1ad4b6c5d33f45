// The texture table: lookup by name with two small caches, BMP files under
// data\textures and data\ui, generated pictures, and device textures with
// their box-filtered mip chains.
#include "assets/assets_internal.h"
#include "gfx/d3d.h"
#include "rt/rt.h"

Texture* g_textures;

// Entries 0..63 serve tex_procedural, 64..127 tex_get; keyed by the address
// of the caller's name string and confirmed by comparing the name asked for
// (ignoring case) with the one the entry was made for. A tex_get entry also
// remembers the texture that stood in for a missing or unusable file, so a
// name asked for every frame with the same string costs no file access.
struct TexCacheEntry {
  const char* key;
  Texture* tex;
  char name[48];
};
static TexCacheEntry g_texCache[128];

static TexCacheEntry* cache_slot(const char* name, int half) {
  return &g_texCache[half * 64 + (int)(((uintptr_t)name / 4) % 64)];
}

static Texture* cache_find(const char* name, int half) {
  TexCacheEntry* e = cache_slot(name, half);
  if (e->key == name && e->tex && str_ieq(e->name, name)) return e->tex;
  return nullptr;
}

static void cache_store(const char* name, int half, Texture* t) {
  if (str_len(name) > 47) return;  // would not compare whole
  TexCacheEntry* e = cache_slot(name, half);
  e->key = name;
  e->tex = t;
  str_cpy(e->name, name, sizeof e->name);
}

// Texture names are kept to 47 characters; compare a request the same way,
// so a longer name still finds the texture it made.
static int name_matches_cut(const char* have, const char* name) {
  char cut[48];
  str_cpy(cut, name, sizeof cut);
  return str_ieq(have, cut);
}

static int name_matches(const Texture* t, const char* name) {
  return name_matches_cut(t->name, name);
}

// Names whose file could not be used: the file is not read (nor its problem
// logged) again, however often the name is asked for.
struct BadFile {
  char name[48];
  BadFile* next;
};
static BadFile* g_badFiles;

static int is_bad_file(const char* name) {
  for (BadFile* b = g_badFiles; b; b = b->next)
    if (name_matches_cut(b->name, name)) return 1;
  return 0;
}

static void remember_bad_file(const char* name) {
  BadFile* b = (BadFile*)mem_alloc(sizeof(BadFile));
  if (!b) return;
  str_cpy(b->name, name, sizeof b->name);
  b->next = g_badFiles;
  g_badFiles = b;
}

static Texture* list_find(const char* name) {
  for (Texture* t = g_textures; t; t = t->next)
    if (name_matches(t, name)) return t;
  return nullptr;
}

void base_name(const char* name, char out[48]) {
  str_cpy(out, name ? name : "", 48);
  int n = str_len(out);
  if (n >= 5 && out[n - 4] == '.') out[n - 4] = 0;
  for (char* p = out; *p; p++)
    if (*p >= 'A' && *p <= 'Z') *p = (char)(*p + 32);
}

// Device textures and model buffers go when the device does.
void assets_hook() { gfx_on_release(assets_release_gpu); }

// ---- mip chain ----------------------------------------------------------------------------------

int tex_mip_levels(const char* name, int w, int h) {
  if (str_ieq(name, "font") || str_ieq(name, "white") || str_ieq(name, "title.bmp")) return 1;
  if ((name[0] | 32) == 'b' && (name[1] | 32) == 'g' && name[2] == '_') return 1;
  int m = w < h ? w : h, levels = 1;
  while (m >= 2 && levels < 6) m >>= 1, levels++;
  return levels;
}

void tex_mip_down(const uint32_t* src, int w, int h, uint32_t* dst) {
  int nw = w / 2 > 1 ? w / 2 : 1, nh = h / 2 > 1 ? h / 2 : 1;
  for (int y = 0; y < nh; y++)
    for (int x = 0; x < nw; x++) {
      const uint32_t* a = src + (size_t)(2 * y) * w + 2 * x;
      const uint32_t* b = a + w;
      uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = (a[0] >> shift & 255) + (a[1] >> shift & 255) + (b[0] >> shift & 255) + (b[1] >> shift & 255);
        out |= ((sum + 2) / 4) << shift;
      }
      dst[(size_t)y * nw + x] = out;
    }
}

static void upload_levels(IDirect3DTexture9* t, const uint32_t* pixels, int w, int h, int levels) {
  uint32_t* bufs[2] = {nullptr, nullptr};
  const uint32_t* cur = pixels;
  for (int level = 0; level < levels; level++) {
    D3DLOCKED_RECT lr;
    if (SUCCEEDED(t->LockRect((UINT)level, &lr, nullptr, 0))) {
      for (int y = 0; y < h; y++)
        memcpy((uint8_t*)lr.pBits + (size_t)y * (size_t)lr.Pitch, cur + (size_t)y * w, (size_t)w * 4);
      t->UnlockRect((UINT)level);
    }
    if (level + 1 == levels) break;
    uint32_t*& next = bufs[level & 1];
    if (!next) next = (uint32_t*)mem_alloc((size_t)(w / 2) * (size_t)(h / 2) * 4);
    if (!next) break;
    tex_mip_down(cur, w, h, next);
    cur = next;
    w /= 2;
    h /= 2;
  }
  mem_free(bufs[0]);
  mem_free(bufs[1]);
}

Texture* tex_add(const char* name, const uint32_t* pixels, int w, int h, int generated) {
  Texture* t = (Texture*)mem_alloc(sizeof(Texture));
  if (!t) return nullptr;
  str_cpy(t->name, name ? name : "", sizeof t->name);
  t->w = w;
  t->h = h;
  t->generated = generated;
  if (g_dev && pixels && w > 0 && h > 0) {
    int levels = tex_mip_levels(t->name, w, h);
    IDirect3DTexture9* dt = gpu_texture(w, h, levels);
    if (!dt) {
      levels = 1;
      dt = gpu_texture(w, h, 1);
    }
    if (dt) {
      upload_levels(dt, pixels, w, h, levels);
      assets_hook();
    }
    t->tex = dt;
  }
  t->next = g_textures;
  g_textures = t;
  return t;
}

// ---- lookup ----------------------------------------------------------------------------------------

Texture* tex_procedural(const char* name) {
  if (!name) name = "";
  if (Texture* t = cache_find(name, 0)) return t;
  char b[48];
  base_name(name, b);
  Texture* t = list_find(b);
  if (!t) {
    int w, h;
    tex_gen_size(b, &w, &h);
    uint32_t* px = (uint32_t*)mem_alloc((size_t)w * (size_t)h * 4);
    if (px) tex_gen_fill(b, px, w, h);
    t = tex_add(b, px, w, h, 1);
    mem_free(px);
  }
  cache_store(name, 0, t);
  return t;
}

Texture* tex_get(const char* name) {
  if (!name || !name[0]) return tex_procedural("white");
  if (Texture* t = cache_find(name, 1)) return t;
  if (Texture* t = list_find(name)) {
    cache_store(name, 1, t);
    return t;
  }
  if (is_bad_file(name)) return tex_procedural(name);
  // A name whose path does not fit is treated as a missing file, never as a
  // different (cut) one.
  char path[300];
  int size = 0;
  uint8_t* data = nullptr;
  if (fmt(path, sizeof path, "data\\textures\\%s", name) < (int)sizeof path)
    data = (uint8_t*)file_read(path, &size);
  if (!data && fmt(path, sizeof path, "data\\ui\\%s", name) < (int)sizeof path)
    data = (uint8_t*)file_read(path, &size);
  Texture* t;
  if (!data) {
    t = tex_procedural(name);
    cache_store(name, 1, t);
    return t;
  }
  int w = 0, h = 0;
  uint32_t* px = bmp_decode(data, (size_t)size, &w, &h);
  mem_free(data);
  if (!px) {
    log_printf("texture %s: unsupported BMP", name);
    remember_bad_file(name);
    t = tex_procedural(name);
    cache_store(name, 1, t);
    return t;
  }
  t = tex_add(name, px, w, h, 0);
  mem_free(px);
  log_printf("texture %s %dx%d", name, w, h);
  return t;
}

void assets_init() {
  tex_procedural("white");
  tex_procedural("font");
}

void assets_release_gpu() {
  for (Texture* t = g_textures; t; t = t->next)
    if (t->tex) {
      t->tex->Release();
      t->tex = nullptr;
    }
  for (Model* m = g_models; m; m = m->next) gpu_free(&m->gpu);
}

void assets_forget_all() {
  assets_release_gpu();
  while (Texture* t = g_textures) {
    g_textures = t->next;
    mem_free(t);
  }
  while (Model* m = g_models) {
    g_models = m->next;
    mesh_free(&m->mesh);
    mem_free(m);
  }
  while (BadFile* b = g_badFiles) {
    g_badFiles = b->next;
    mem_free(b);
  }
  memset(g_texCache, 0, sizeof g_texCache);
}
