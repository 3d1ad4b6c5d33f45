// Fuzz target: a track text through the whole load on the software device:
// header and props passes, the centre line, road geometry, props, upload.
// A load must finish quickly, keep every limit, and put no value that is
// not finite into the centre line, the props or any vertex.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "assets/assets_internal.h"
#include "gfx/d3d.h"
#include "soft/soft.h"
#include "rt/rt.h"
#include "track/track.h"

// Processor time, so a busy machine does not count against the load.
static double cpu_seconds() {
  struct timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

static int finite(float x) { return x - x == 0.0f; }

static void check(int ok) {
  if (!ok) abort();
}

// Every vertex the device received for the track.
static void check_vertices() {
  for (Batch* b = g_track.batches; b; b = b->next) {
    check(b->layer >= 0 && b->layer <= 2);
    for (BatchChunk* c = b->chunks; c; c = c->next) {
      if (!c->gpu.vb) continue;
      void* p = nullptr;
      check(c->gpu.vb->Lock(0, 0, &p, D3DLOCK_READONLY) == D3D_OK && p);
      const Vertex* v = (const Vertex*)p;
      for (int i = 0; i < c->gpu.nverts; i++)
        check(finite(v[i].x) && finite(v[i].y) && finite(v[i].z) && finite(v[i].u) && finite(v[i].v) &&
              finite(v[i].nx) && finite(v[i].ny) && finite(v[i].nz));
      c->gpu.vb->Unlock();
    }
  }
}

static void check_track() {
  const TrackData& t = g_track;
  check(t.sampleCount >= 16 && t.sampleCount <= 2048 && finite(t.length) && t.length >= 1.0f);
  check(t.pointCount >= 4 && t.pointCount <= 64);
  check(t.wallOffset >= 1.0f && t.skyRepeat > 0.0f);
  for (int i = 0; i < t.sampleCount; i++) {
    const Sample& s = t.samples[i];
    check(finite(s.x) && finite(s.z) && finite(s.dist) && s.halfWidth >= 0.5f && finite(s.halfWidth));
    float d = s.dirX * s.dirX + s.dirZ * s.dirZ;
    check(d > 0.99f && d < 1.01f);
  }
  check(t.lampCount >= 0 && t.lampCount <= 256);
  check(t.colliderCount >= 0 && t.colliderCount <= 512);
  check(t.coneCount >= 0 && t.coneCount <= 96);
  for (int i = 0; i < t.lampCount; i++) check(finite(t.lamps[i].x) && finite(t.lamps[i].y) && finite(t.lamps[i].z));
  for (int i = 0; i < t.colliderCount; i++) {
    const Collider& c = t.colliders[i];
    check(finite(c.x) && finite(c.z) && finite(c.halfA) && finite(c.halfB) && c.halfA >= 0 && c.halfB >= 0);
  }
  for (int i = 0; i < t.coneCount; i++) check(finite(t.cones[i].x) && finite(t.cones[i].z));
  // The queries answer for any place, near or far.
  float side, dist, hw, x, z;
  int k = track_locate(t.cones[0].x + 3.0f, -1e7f, -1, &side, &dist);
  check(k >= 0 && k < t.sampleCount && dist >= 0.0f && dist < t.length);
  track_point_at(-dist * 7.0f, side, &x, &z, nullptr, nullptr);
  check(finite(x) && finite(z) && finite(dist_to_track(x, z, &hw)));
  check_vertices();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static int ready;
  if (!ready) {
    sys_lib_provide("d3d9.dll", soft_d3d9_proc);
    if (!gfx_init(nullptr, 0)) abort();
    assets_init();
    ready = 1;
  }
  char* text = (char*)malloc(size + 1);
  memcpy(text, data, size);
  text[size] = 0;
  double t0 = cpu_seconds();
  int ok = track_load_text(text, 0);
  free(text);
  if (ok) check_track();
  check(cpu_seconds() - t0 < 2.0);  // a load may never stall the game (sanitizers make it slower)
  // Every new name makes a texture or model that the game keeps for good;
  // start afresh now and then so memory stays bounded.
  int n = 0;
  for (Texture* t = g_textures; t; t = t->next) n++;
  for (Model* m = g_models; m; m = m->next) n++;
  if (n > 300) {
    track_free();
    assets_forget_all();
    assets_init();
  }
  return 0;
}
