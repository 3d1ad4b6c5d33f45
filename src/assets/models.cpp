// The model table: SKM1 files under data\models, otherwise a model built
// from boxes and cylinders chosen by the beginning of the name.
#include "assets/assets_internal.h"
#include "rt/rt.h"

Model* g_models;

static const float TWO_PI = 6.2831853f;

// ---- building blocks ---------------------------------------------------------------------------

static Vec3 v3(float x, float y, float z) {
  Vec3 v = {x, y, z};
  return v;
}

void add_face(Mesh* m, Vec3 p0, Vec3 p1, Vec3 p2, Vec3 p3, Vec3 n, uint32_t colour) {
  int b = mesh_add_vertex(m, p0.x, p0.y, p0.z, n.x, n.y, n.z, colour, 0, 0);
  mesh_add_vertex(m, p1.x, p1.y, p1.z, n.x, n.y, n.z, colour, 1, 0);
  mesh_add_vertex(m, p2.x, p2.y, p2.z, n.x, n.y, n.z, colour, 1, 1);
  mesh_add_vertex(m, p3.x, p3.y, p3.z, n.x, n.y, n.z, colour, 0, 1);
  // Wind the quad so it faces the side its normal points to.
  float ax = p1.x - p0.x, ay = p1.y - p0.y, az = p1.z - p0.z;
  float bx = p2.x - p0.x, by = p2.y - p0.y, bz = p2.z - p0.z;
  float d = (ay * bz - az * by) * n.x + (az * bx - ax * bz) * n.y + (ax * by - ay * bx) * n.z;
  if (d >= 0)
    mesh_add_quad(m, b, b + 1, b + 2, b + 3);
  else
    mesh_add_quad(m, b, b + 3, b + 2, b + 1);
}

void add_box(Mesh* m, uint32_t c, float x0, float y0, float z0, float x1, float y1, float z1) {
  add_face(m, v3(x0, y1, z0), v3(x1, y1, z0), v3(x1, y1, z1), v3(x0, y1, z1), v3(0, 1, 0), c);
  add_face(m, v3(x0, y0, z0), v3(x1, y0, z0), v3(x1, y0, z1), v3(x0, y0, z1), v3(0, -1, 0), shade(c, -40));
  add_face(m, v3(x0, y0, z1), v3(x1, y0, z1), v3(x1, y1, z1), v3(x0, y1, z1), v3(0, 0, 1), c);
  add_face(m, v3(x0, y0, z0), v3(x1, y0, z0), v3(x1, y1, z0), v3(x0, y1, z0), v3(0, 0, -1), c);
  add_face(m, v3(x1, y0, z0), v3(x1, y0, z1), v3(x1, y1, z1), v3(x1, y1, z0), v3(1, 0, 0), c);
  add_face(m, v3(x0, y0, z0), v3(x0, y0, z1), v3(x0, y1, z1), v3(x0, y1, z0), v3(-1, 0, 0), c);
}

void add_cyl(Mesh* m, int segments, uint32_t c, float cx, float y0, float y1, float r0, float r1, int cap) {
  for (int i = 0; i < segments; i++) {
    float a0 = TWO_PI * (float)i / (float)segments;
    float a1 = TWO_PI * (float)(i + 1) / (float)segments;
    float am = (a0 + a1) / 2;
    float s0 = f_sin(a0), c0 = f_cos(a0), s1 = f_sin(a1), c1 = f_cos(a1);
    Vec3 n = v3(f_sin(am), (r0 - r1) / (y1 - y0 + 0.001f), f_cos(am));
    float len = f_sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    n = len > 0.000001f ? v3(n.x / len, n.y / len, n.z / len) : v3(0, 0, 0);
    add_face(m, v3(cx + s0 * r0, y0, c0 * r0), v3(cx + s1 * r0, y0, c1 * r0), v3(cx + s1 * r1, y1, c1 * r1),
             v3(cx + s0 * r1, y1, c0 * r1), n, c);
    if (cap && r1 > 0.01f)  // a fan of degenerate quads
      add_face(m, v3(cx, y1, 0), v3(cx + s0 * r1, y1, c0 * r1), v3(cx + s1 * r1, y1, c1 * r1), v3(cx, y1, 0),
               v3(0, 1, 0), c);
  }
}

// ---- generated models ----------------------------------------------------------------------------

static const uint32_t DARK = 0xFF1E1E22u;

static void build_car(Mesh* m, const char* b) {
  uint32_t body = b[3] == '2' ? 0xFF286EDCu : b[3] == '3' ? 0xFFFABE1Eu : 0xFFDC2828u;
  add_box(m, body, -0.9f, 0.32f, -2, 0.9f, 0.85f, 2);
  add_box(m, 0xFF466E8Cu, -0.75f, 0.85f, -1.1f, 0.75f, 1.32f, 0.6f);  // cabin
  add_box(m, body, -0.72f, 1.32f, -1, 0.72f, 1.38f, 0.5f);           // roof
  add_box(m, DARK, -0.95f, 0.3f, 1.85f, 0.95f, 0.55f, 2.08f);        // bumpers
  add_box(m, DARK, -0.95f, 0.3f, -2.08f, 0.95f, 0.55f, -1.85f);
  add_box(m, DARK, -0.8f, 0.95f, -2.05f, 0.8f, 1.02f, -1.7f);  // rear wing
  add_box(m, 0xFFFFFAD2u, -0.6f, 0.7f, 2.01f, -0.3f, 0.8f, 2.05f);  // headlights
  add_box(m, 0xFFFFFAD2u, 0.3f, 0.7f, 2.01f, 0.6f, 0.8f, 2.05f);
  add_box(m, 0xFFC81414u, -0.7f, 0.7f, -2.05f, -0.4f, 0.8f, -2.01f);  // tail lights
  add_box(m, 0xFFC81414u, 0.4f, 0.7f, -2.05f, 0.7f, 0.8f, -2.01f);
  static const float wx[2] = {-0.95f, 0.65f}, wz[2] = {-1.35f, 1.15f};
  for (float x : wx)
    for (float z : wz) add_box(m, DARK, x, 0, z, x + 0.3f, 0.62f, z + 0.62f);
}

static void build_tree(Mesh* m) {
  add_cyl(m, 5, 0xFF6E4C2Eu, 0, 0, 1.6f, 0.25f, 0.2f, 0);
  add_cyl(m, 6, 0xFF347C38u, 0, 1.2f, 3.6f, 1.8f, 0.9f, 1);
  add_cyl(m, 6, 0xFF408C3Eu, 0, 3.2f, 5.6f, 1.3f, 0.05f, 0);
}

static void build_cactus(Mesh* m) {
  const uint32_t g = 0xFF468C46u;
  add_cyl(m, 6, g, 0, 0, 3, 0.3f, 0.25f, 1);
  add_box(m, g, 0.2f, 1.3f, -0.15f, 0.8f, 1.6f, 0.15f);
  add_box(m, g, 0.55f, 1.3f, -0.15f, 0.8f, 2.3f, 0.15f);
  add_box(m, g, -0.7f, 1.7f, -0.15f, -0.2f, 2, 0.15f);
  add_box(m, g, -0.7f, 1.7f, -0.15f, -0.45f, 2.5f, 0.15f);
}

static void build_lamp(Mesh* m) {
  add_cyl(m, 5, 0xFF5A5A64u, 0, 0, 6.5f, 0.12f, 0.1f, 0);
  add_box(m, 0xFF5A5A64u, -0.1f, 6.3f, -0.1f, 0.1f, 6.5f, 1.4f);
  add_box(m, 0xFFFFF0B4u, -0.3f, 6.1f, 1, 0.3f, 6.35f, 1.7f);
}

static void build_grandstand(Mesh* m) {
  for (int k = 0; k < 4; k++)
    add_box(m, k % 2 ? 0xFF9696A0u : 0xFF3C5AA0u, -10, 0, 1.5f * k - 3, 10, (float)(k + 1), 1.5f * k - 1.5f);
  add_box(m, 0xFF787882u, -10.5f, 0, 3, 10.5f, 6, 3.4f);
}

static int starts_with(const char* s, const char* prefix) {
  while (*prefix)
    if (*s++ != *prefix++) return 0;
  return 1;
}

// A name builds the first row whose name it begins with: "lamp_post" is a
// lamp, "gate_start" a gate, "tree_pine" a tree, "car2" a blue car.
const char* model_build(Mesh* m, const char* b) {
  if (starts_with(b, "car")) {
    build_car(m, b);
  } else if (starts_with(b, "tree") || starts_with(b, "pine")) {
    build_tree(m);
  } else if (starts_with(b, "bush")) {
    add_cyl(m, 6, 0xFF3C7832u, 0, 0, 1, 1, 0.5f, 1);
  } else if (starts_with(b, "rock")) {
    add_cyl(m, 5, 0xFF8C847Cu, 0, 0, 0.9f, 1.3f, 0.6f, 1);
  } else if (starts_with(b, "redrock") || starts_with(b, "mesa")) {
    add_cyl(m, 6, 0xFFB0583Au, 0, 0, 6, 4, 3, 1);
  } else if (starts_with(b, "cactus")) {
    build_cactus(m);
  } else if (starts_with(b, "cone")) {
    add_box(m, 0xFF282828u, -0.3f, 0, -0.3f, 0.3f, 0.06f, 0.3f);
    add_cyl(m, 6, 0xFFFA7814u, 0, 0.06f, 0.75f, 0.22f, 0.04f, 0);
  } else if (starts_with(b, "barrier")) {
    add_box(m, 0xFFFFFFFFu, -1.5f, 0, -0.3f, 1.5f, 1, 0.3f);
    return "barrier";
  } else if (starts_with(b, "tyres")) {
    for (int i = -1; i <= 1; i++) add_cyl(m, 8, 0xFF242424u, 1.2f * (float)i, 0, 1, 0.55f, 0.55f, 1);
  } else if (starts_with(b, "lamp")) {
    build_lamp(m);
  } else if (starts_with(b, "building")) {
    add_box(m, 0xFFFFFFFFu, -6, 0, -6, 6, 20, 6);
    return "windows";
  } else if (starts_with(b, "house")) {
    add_box(m, 0xFFE6DCBEu, -3, 0, -3, 3, 3, 3);
    add_cyl(m, 4, 0xFFAA3C28u, 0, 3, 5, 4.4f, 0.1f, 0);  // a four-sided pyramid roof
  } else if (starts_with(b, "gate")) {
    add_box(m, 0xFFC8C8D2u, -9, 0, -0.4f, -8.2f, 6, 0.4f);
    add_box(m, 0xFFC8C8D2u, 8.2f, 0, -0.4f, 9, 6, 0.4f);
    add_box(m, 0xFFDC1E1Eu, -9, 5, -0.3f, 9, 6.4f, 0.3f);
  } else if (starts_with(b, "grandstand")) {
    build_grandstand(m);
  } else {
    add_box(m, 0xFFC800C8u, -1, 0, -1, 1, 2, 1);  // placeholder
  }
  return "noise";
}

void model_bounds(Model* md) {
  float mn[3] = {1e9f, 1e9f, 1e9f}, mx[3] = {-1e9f, -1e9f, -1e9f}, r2 = 0;
  const Mesh* m = &md->mesh;
  for (int i = 0; i < m->nverts; i++) {
    const Vertex& v = m->verts[i];
    const float p[3] = {v.x, v.y, v.z};
    for (int k = 0; k < 3; k++) {
      if (p[k] < mn[k]) mn[k] = p[k];
      if (p[k] > mx[k]) mx[k] = p[k];
    }
    float d = v.x * v.x + v.z * v.z;
    if (d > r2) r2 = d;
  }
  for (int k = 0; k < 3; k++) md->min[k] = mn[k], md->max[k] = mx[k];
  md->radius = f_sqrt(r2);
}

// ---- SKM1 files ----------------------------------------------------------------------------------

static uint32_t rd32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static float rdf(const uint8_t* p) {
  uint32_t u = rd32(p);
  float f;
  memcpy(&f, &u, 4);
  return f;
}

int skm_valid(const uint8_t* d, size_t size) {
  if (!d || size < 16) return 0;
  if (d[0] != 'S' || d[1] != 'K' || d[2] != 'M' || d[3] != '1') return 0;
  uint32_t nv = rd32(d + 4), ni = rd32(d + 8), nn = rd32(d + 12);
  if (nv > SKM_MAX_VERTS || ni > SKM_MAX_INDICES || nn > SKM_MAX_NAME) return 0;
  // Within the limits the sum stays far below 2^32; 64 bits keep it obvious.
  uint64_t need = 16 + (uint64_t)nn + 36 * (uint64_t)nv + 2 * (uint64_t)ni;
  return need <= (uint64_t)size;
}

int skm_load(Mesh* m, const uint8_t* d, size_t size, char texName[SKM_MAX_NAME + 1]) {
  if (!skm_valid(d, size)) return 0;
  uint32_t nv = rd32(d + 4), ni = rd32(d + 8), nn = rd32(d + 12);
  memcpy(texName, d + 16, nn);
  texName[nn] = 0;
  const uint8_t* p = d + 16 + nn;
  for (uint32_t i = 0; i < nv; i++, p += 36)  // colour last in the file, after the normal in memory
    mesh_add_vertex(m, rdf(p), rdf(p + 4), rdf(p + 8), rdf(p + 12), rdf(p + 16), rdf(p + 20), rd32(p + 32),
                    rdf(p + 24), rdf(p + 28));
  for (uint32_t i = 2; i < ni; i += 3) {
    uint32_t a = (uint32_t)p[2 * i - 4] | (uint32_t)p[2 * i - 3] << 8;
    uint32_t b = (uint32_t)p[2 * i - 2] | (uint32_t)p[2 * i - 1] << 8;
    uint32_t c = (uint32_t)p[2 * i] | (uint32_t)p[2 * i + 1] << 8;
    if (a < nv && b < nv && c < nv) mesh_add_tri(m, (int)a, (int)b, (int)c);
  }
  return 1;
}

// ---- the table --------------------------------------------------------------------------------------

static int model_path(char path[300], const char* b) {
  return fmt(path, 300, "data\\models\\%s.skm", b) < 300;
}

Model* model_get(const char* name) {
  char b[48];
  base_name(name, b);
  for (Model* m = g_models; m; m = m->next)
    if (str_eq(m->name, b)) return m;

  Model* md = (Model*)mem_alloc(sizeof(Model));
  if (!md) return nullptr;
  str_cpy(md->name, b, sizeof md->name);
  char path[300];
  int size = 0;
  uint8_t* data = model_path(path, b) ? (uint8_t*)file_read(path, &size) : nullptr;
  int loaded = 0;
  if (data) {
    char texName[SKM_MAX_NAME + 1];
    if (skm_load(&md->mesh, data, (size_t)size, texName)) {
      md->tex = tex_get(texName);
      log_printf("model %s: %d verts %d tris", b, md->mesh.nverts, md->mesh.nindices / 3);
      loaded = 1;
    } else {
      log_printf("model %s: bad SKM, using placeholder", b);
      mesh_free(&md->mesh);
    }
    mem_free(data);
  }
  if (!loaded) {
    md->tex = tex_procedural(model_build(&md->mesh, b));
    md->generated = 1;
  }
  model_bounds(md);
  if (g_dev && gpu_upload(&md->gpu, &md->mesh)) assets_hook();  // without a device the model has no GPU copy
  md->next = g_models;
  g_models = md;
  return md;
}

Model* model_try(const char* name) {
  char b[48];
  base_name(name, b);
  for (Model* m = g_models; m; m = m->next)
    if (str_eq(m->name, b)) return m->generated ? nullptr : m;
  char path[300];
  if (!model_path(path, b) || !file_exists(path)) return nullptr;
  Model* m = model_get(name);
  return m && !m->generated ? m : nullptr;
}
