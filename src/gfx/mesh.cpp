// Meshes built on the CPU, uploaded once into managed vertex and index
// buffers, and per-texture batches of them kept in 60 000-vertex chunks.
#include "gfx/gfx_internal.h"

enum { CHUNK_VERTS = 60000 };

// ---- CPU meshes ----------------------------------------------------------------------------------
void mesh_init(Mesh* m) { memset(m, 0, sizeof *m); }

void mesh_free(Mesh* m) {
  mem_free(m->verts);
  mem_free(m->indices);
  memset(m, 0, sizeof *m);
}

// Capacity for `need` elements of an array: `first` to start, then doubling.
template <typename T>
static int reserve(T** items, int32_t* capacity, int need, int first) {
  if (need <= *capacity) return 1;
  int cap = *capacity;
  while (cap < need) cap = cap ? cap * 2 : first;
  T* p = (T*)mem_realloc(*items, (size_t)cap * sizeof(T));
  if (!p) return 0;
  *items = p;
  *capacity = cap;
  return 1;
}

static int reserve_verts(Mesh* m, int need) { return reserve(&m->verts, &m->capVerts, need, 256); }
static int reserve_indices(Mesh* m, int need) { return reserve(&m->indices, &m->capIndices, need, 512); }

int mesh_add_vertex(Mesh* m, float x, float y, float z, float nx, float ny, float nz, uint32_t colour, float u,
                    float v) {
  int i = m->nverts;
  if (!reserve_verts(m, i + 1)) return i > 0 ? i - 1 : 0;  // out of memory: the vertex is dropped
  Vertex* p = &m->verts[i];
  p->x = x, p->y = y, p->z = z;
  p->nx = nx, p->ny = ny, p->nz = nz;
  p->colour = colour;
  p->u = u, p->v = v;
  m->nverts = i + 1;
  return i;
}

static void add_indices(Mesh* m, const int* idx, int n) {
  if (!reserve_indices(m, m->nindices + n)) return;
  for (int i = 0; i < n; i++) m->indices[m->nindices++] = (uint16_t)idx[i];
}

void mesh_add_tri(Mesh* m, int a, int b, int c) {
  const int idx[3] = {a, b, c};
  add_indices(m, idx, 3);
}

void mesh_add_quad(Mesh* m, int a, int b, int c, int d) {
  const int idx[6] = {a, b, c, a, c, d};
  add_indices(m, idx, 6);
}

static uint32_t tint_colour(uint32_t c, uint32_t tint) {
  uint32_t r = ((c >> 16) & 255) * ((tint >> 16) & 255) / 255;
  uint32_t g = ((c >> 8) & 255) * ((tint >> 8) & 255) / 255;
  uint32_t b = (c & 255) * (tint & 255) / 255;
  return (c & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

void mesh_append_xform(Mesh* dst, const Mesh* src, const Mat4* m, uint32_t colour) {
  // Counts are taken first so a mesh may be appended to itself.
  int base = dst->nverts, nv = src->nverts, ni = src->nindices;
  if (!reserve_verts(dst, base + nv) || !reserve_indices(dst, dst->nindices + ni)) return;

  for (int i = 0; i < nv; i++) {
    Vertex v = src->verts[i];
    Vec3 p = m4_xform_point(*m, Vec3{v.x, v.y, v.z});
    Vec3 n = m4_xform_dir(*m, Vec3{v.nx, v.ny, v.nz});
    float len = f_sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (len > 0.000001f) {
      n.x /= len, n.y /= len, n.z /= len;
    } else {
      n = Vec3{0.0f, 0.0f, 0.0f};
    }
    v.x = p.x, v.y = p.y, v.z = p.z;
    v.nx = n.x, v.ny = n.y, v.nz = n.z;
    if (colour != 0xFFFFFFFFu) v.colour = tint_colour(v.colour, colour);
    dst->verts[dst->nverts++] = v;
  }

  // A mirroring transform turns front faces round: swap two corners back.
  const float(*a)[4] = m->m;
  float det = a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
              a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  int mirrored = det < 0.0f;
  for (int t = 0; t + 2 < ni; t += 3) {
    uint16_t i0 = (uint16_t)(base + src->indices[t]);
    uint16_t i1 = (uint16_t)(base + src->indices[t + 1]);
    uint16_t i2 = (uint16_t)(base + src->indices[t + 2]);
    uint16_t* out = &dst->indices[dst->nindices];
    out[0] = i0;
    out[1] = mirrored ? i2 : i1;
    out[2] = mirrored ? i1 : i2;
    dst->nindices += 3;
  }
}

// ---- GPU meshes --------------------------------------------------------------------------------------
void gpu_free(GpuMesh* g) {
  // A buffer given back must not stay "bound" in the cache: a new one could
  // later be made at the same address.
  if (g->vb) {
    if (g->vb == g_curVB) g_curVB = nullptr;
    g->vb->Release();
  }
  if (g->ib) {
    if (g->ib == g_curIB) g_curIB = nullptr;
    g->ib->Release();
  }
  memset(g, 0, sizeof *g);
}

int gpu_upload(GpuMesh* g, const Mesh* m) {
  memset(g, 0, sizeof *g);
  if (m->nverts <= 0 || m->nindices <= 0) return 0;

  UINT vbytes = (UINT)m->nverts * (UINT)sizeof(Vertex);
  IDirect3DVertexBuffer9* vb = nullptr;
  if (dev()->CreateVertexBuffer(vbytes, D3DUSAGE_WRITEONLY, FVF_MESH, D3DPOOL_MANAGED, &vb, nullptr) < 0 || !vb)
    return 0;
  void* p = nullptr;
  if (vb->Lock(0, 0, &p, 0) < 0 || !p) {
    vb->Release();
    return 0;
  }
  memcpy(p, m->verts, vbytes);
  vb->Unlock();

  UINT ibytes = (UINT)m->nindices * (UINT)sizeof(uint16_t);
  IDirect3DIndexBuffer9* ib = nullptr;
  if (dev()->CreateIndexBuffer(ibytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_MANAGED, &ib, nullptr) < 0 || !ib) {
    vb->Release();  // half a mesh is no use: draw nothing
    return 0;
  }
  p = nullptr;
  if (ib->Lock(0, 0, &p, 0) < 0 || !p) {
    ib->Release();
    vb->Release();
    return 0;
  }
  memcpy(p, m->indices, ibytes);
  ib->Unlock();

  g->vb = vb;
  g->ib = ib;
  g->nverts = m->nverts;
  g->nindices = m->nindices;
  return 1;
}

void gpu_draw(const GpuMesh* g) {
  if (!g->vb) return;
  gfx_fvf(FVF_MESH);
  if (g->vb != g_curVB) {
    dev()->SetStreamSource(0, g->vb, 0, (UINT)sizeof(Vertex));
    g_curVB = g->vb;
  }
  if (g->ib != g_curIB) {
    dev()->SetIndices(g->ib);
    g_curIB = g->ib;
  }
  dev()->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, (UINT)g->nverts, 0, (UINT)(g->nindices / 3));
}

// ---- batches ------------------------------------------------------------------------------------------------
Mesh* batch_get(Batch** list, Texture* tex, int layer, int count) {
  Batch* b = *list;
  while (b && !(b->tex == tex && b->layer == layer)) b = b->next;
  if (!b) {
    b = (Batch*)mem_alloc(sizeof(Batch));
    if (!b) return nullptr;
    b->tex = tex;
    b->layer = layer;
    b->next = *list;
    *list = b;
  }
  if (!b->chunks || b->chunks->mesh.nverts + count > CHUNK_VERTS) {
    BatchChunk* c = (BatchChunk*)mem_alloc(sizeof(BatchChunk));
    if (!c) return nullptr;
    c->next = b->chunks;
    b->chunks = c;
  }
  return &b->chunks->mesh;
}

void batch_upload(Batch** list) {
  for (Batch* b = *list; b; b = b->next) {
    for (BatchChunk* c = b->chunks; c; c = c->next) {
      gpu_upload(&c->gpu, &c->mesh);
      mesh_free(&c->mesh);
    }
  }
}

void batch_draw(Batch** list, int layer) {
  for (Batch* b = *list; b; b = b->next) {
    if (b->layer != layer) continue;
    gfx_bind(b->tex);
    for (BatchChunk* c = b->chunks; c; c = c->next) {
      if (c->gpu.vb) gpu_draw(&c->gpu);
    }
  }
}

int batch_draw_calls(Batch** list) {
  int n = 0;
  for (Batch* b = *list; b; b = b->next) {
    for (BatchChunk* c = b->chunks; c; c = c->next) n++;
  }
  return n;
}

void batch_free(Batch** list) {
  Batch* b = *list;
  while (b) {
    BatchChunk* c = b->chunks;
    while (c) {
      BatchChunk* older = c->next;
      gpu_free(&c->gpu);
      mesh_free(&c->mesh);
      mem_free(c);
      c = older;
    }
    Batch* next = b->next;
    mem_free(b);
    b = next;
  }
  *list = nullptr;
}
