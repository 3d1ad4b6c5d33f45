// Road, kerbs, walls, start line and ground, built once per load into the
// track's batches.
#include "assets/assets.h"
#include "track/track_internal.h"

// Heights of the flat layers, stepped so they never fight in the depth buffer.
static const float kRoadY = 0.03f, kKerbY = 0.036f, kStartY = 0.045f;
static const float kKerbWidth = 1.2f;
static const float kGroundCell = 20.0f, kGroundMargin = 260.0f;
// Ground cells per side at most (about 5 km): a huge circuit gets the ground
// around its middle rather than millions of cells.
static const int kGroundMaxCells = 256;

static unsigned char kerbOn[TRACK_MAX_SAMPLES];  // sample lies in a bend

void quad(Mesh* m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, float uA, float vA, float uB, float vB) {
  if (!m) return;
  int ia = mesh_add_vertex(m, a.x, a.y, a.z, 0, 1, 0, 0xFFFFFFFFu, uA, vA);
  int ib = mesh_add_vertex(m, b.x, b.y, b.z, 0, 1, 0, 0xFFFFFFFFu, uA, vB);
  int ic = mesh_add_vertex(m, c.x, c.y, c.z, 0, 1, 0, 0xFFFFFFFFu, uB, vB);
  int id = mesh_add_vertex(m, d.x, d.y, d.z, 0, 1, 0, 0xFFFFFFFFu, uB, vA);
  float ux = b.x - a.x, uz = b.z - a.z, vx = c.x - a.x, vz = c.z - a.z;
  float ny = uz * vx - ux * vz;
  if (ny >= 0.0f) {
    mesh_add_quad(m, ia, ib, ic, id);
  } else {
    mesh_add_quad(m, ia, id, ic, ib);
  }
}

static Mesh* piece(Texture* tex, int layer) { return batch_get(&g_track.batches, tex, layer, 4); }

// Centre c + lateral * right-hand normal of sample s, at height y.
static Vec3 beside(const Sample& s, float lateral, float y) {
  return Vec3{s.x + lateral * s.dirZ, y, s.z - lateral * s.dirX};
}

static void build_ground(Texture* tex) {
  const TrackData* t = &g_track;
  float tile = t->groundTile > 0.0f ? t->groundTile : 8.0f;
  int gx = (int)f_floor((t->minX - kGroundMargin) / kGroundCell);
  int gz = (int)f_floor((t->minZ - kGroundMargin) / kGroundCell);
  int nx = (int)((t->maxX - t->minX + 2.0f * kGroundMargin) / kGroundCell);
  int nz = (int)((t->maxZ - t->minZ + 2.0f * kGroundMargin) / kGroundCell);
  if (nx < 0 || nz < 0) return;
  if (nx >= kGroundMaxCells) {
    nx = kGroundMaxCells - 1;
    gx = (int)f_floor((t->minX + t->maxX) * 0.5f / kGroundCell) - kGroundMaxCells / 2;
  }
  if (nz >= kGroundMaxCells) {
    nz = kGroundMaxCells - 1;
    gz = (int)f_floor((t->minZ + t->maxZ) * 0.5f / kGroundCell) - kGroundMaxCells / 2;
  }
  for (int r = 0; r <= nz; r++) {
    for (int c = 0; c <= nx; c++) {
      float X = kGroundCell * (float)(gx + c), Z = kGroundCell * (float)(gz + r);
      float X1 = X + kGroundCell, Z1 = Z + kGroundCell;
      quad(piece(tex, 0), Vec3{X, 0, Z}, Vec3{X, 0, Z1}, Vec3{X1, 0, Z1}, Vec3{X1, 0, Z}, X / tile, Z / tile,
           X1 / tile, Z1 / tile);
    }
  }
}

static void build_start_line(const Sample& s) {
  const TrackData* t = &g_track;
  float hw = s.halfWidth;
  if (t->startlineTex[0]) {
    Mesh* m = piece(tex_get(t->startlineTex), 0);
    if (!m) return;
    float h = t->startlineLength * 0.5f;
    Vec3 l = beside(s, -hw, kStartY), r = beside(s, hw, kStartY);
    int a = mesh_add_vertex(m, l.x - h * s.dirX, kStartY, l.z - h * s.dirZ, 0, 1, 0, 0xFFFFFFFFu, 0, 1);
    int b = mesh_add_vertex(m, l.x + h * s.dirX, kStartY, l.z + h * s.dirZ, 0, 1, 0, 0xFFFFFFFFu, 0, 0);
    int c = mesh_add_vertex(m, r.x + h * s.dirX, kStartY, r.z + h * s.dirZ, 0, 1, 0, 0xFFFFFFFFu, 1, 0);
    int d = mesh_add_vertex(m, r.x - h * s.dirX, kStartY, r.z - h * s.dirZ, 0, 1, 0, 0xFFFFFFFFu, 1, 1);
    mesh_add_quad(m, a, b, c, d);
  } else {
    // Generated checker: from the line 1.6 m forward, one square every 1.6 m across.
    Vec3 a = beside(s, -hw, kStartY), d = beside(s, hw, kStartY);
    Vec3 b = Vec3{a.x + 1.6f * s.dirX, kStartY, a.z + 1.6f * s.dirZ};
    Vec3 c = Vec3{d.x + 1.6f * s.dirX, kStartY, d.z + 1.6f * s.dirZ};
    quad(piece(tex_procedural("checker"), 0), a, b, c, d, 0, 0, 2.0f * hw / 1.6f, 1);
  }
}

void build_geometry() {
  TrackData* t = &g_track;
  int M = t->sampleCount;
  if (M <= 0) return;
  const Sample* s = t->samples;

  for (int j = 0; j < M; j++) {
    const Sample& a = s[(j - 4 + M) % M];
    const Sample& b = s[(j + 4) % M];
    kerbOn[j] = f_abs(a.dirX * b.dirZ - a.dirZ * b.dirX) > 0.1f;
  }

  Texture* road = tex_get(t->roadTex);
  Texture* ground = tex_get(t->groundTex);
  Texture* kerb = str_ieq(t->kerbTex, "none") ? nullptr : tex_get(t->kerbTex);
  int walls = t->wallHeight > 0.0f && !str_ieq(t->wallTex, "none");
  Texture* wall = walls ? tex_get(t->wallTex) : nullptr;

  for (int i = 0; i < M; i++) {
    int n = (i + 1) % M;
    const Sample& si = s[i];
    const Sample& sn = s[n];
    float di = si.dist, dn = n == 0 ? t->length : sn.dist;
    float hi = si.halfWidth, hn = sn.halfWidth;

    float T = t->roadTile > 0.0f ? t->roadTile : 2.0f * hi;
    quad(piece(road, 0), beside(si, -hi, kRoadY), beside(sn, -hn, kRoadY), beside(sn, hn, kRoadY),
         beside(si, hi, kRoadY), 0, di / T, 1, dn / T);

    if (kerb && (kerbOn[i] || kerbOn[n])) {
      for (int side = -1; side <= 1; side += 2) {
        float sd = (float)side;
        quad(piece(kerb, 0), beside(si, sd * hi, kKerbY), beside(sn, sd * hn, kKerbY),
             beside(sn, sd * (hn + kKerbWidth), kKerbY), beside(si, sd * (hi + kKerbWidth), kKerbY), 0,
             di / 2.4f, 1, dn / 2.4f);
      }
    }

    if (walls) {
      float h = t->wallHeight, vi = di / (2.0f * h), vn = dn / (2.0f * h);
      for (int side = -1; side <= 1; side += 2) {
        float sd = (float)side;
        Mesh* m = piece(wall, 1);
        if (!m) continue;
        Vec3 pi = beside(si, sd * (hi + t->wallOffset), 0), pn = beside(sn, sd * (hn + t->wallOffset), 0);
        float nx = -sd * si.dirZ, nz = sd * si.dirX;  // towards the road
        int a = mesh_add_vertex(m, pi.x, 0, pi.z, nx, 0, nz, 0xFFFFFFFFu, vi, 1);
        int b = mesh_add_vertex(m, pn.x, 0, pn.z, nx, 0, nz, 0xFFFFFFFFu, vn, 1);
        int c = mesh_add_vertex(m, pn.x, h, pn.z, nx, 0, nz, 0xFFFFFFFFu, vn, 0);
        int d = mesh_add_vertex(m, pi.x, h, pi.z, nx, 0, nz, 0xFFFFFFFFu, vi, 0);
        mesh_add_quad(m, a, b, c, d);
      }
    }
  }

  build_start_line(s[0]);
  build_ground(ground);
}
