// A synthetic race frame drawn with the game's states and device calls:
// about 21 000 lit, fogged, textured triangles (rolling ground, a bending
// road with kerbs, boxes and trees) into a 320 x 240 render-target texture
// with a D24X8 depth buffer, culling on, then magnified onto a larger
// target. Built from fixed seeds with the runtime's own maths, so the real
// Direct3D 9 and the software device get the very same calls and numbers.
// The benchmarks time it; the conformance check compares one frame of it.
#pragma once

#include <stdint.h>

#include <vector>

#include "d3d_util.h"

struct CfRaceMesh {
  IDirect3DVertexBuffer9* vb;
  IDirect3DIndexBuffer9* ib;
  int nv, ni;
};

enum { CF_RACE_W = 320, CF_RACE_H = 240 };

struct CfRace {
  IDirect3DDevice9* dev;
  IDirect3DTexture9* lowTex;  // the low-resolution frame and its depth buffer
  IDirect3DSurface9* low;
  IDirect3DSurface9* lowDepth;
  IDirect3DTexture9* tex[5];  // grass, road, kerb, prop, tree
  CfRaceMesh mesh[5];         // ground, road, kerbs, props, trees
  int triangles;
};

// The game's default render, stage and sampler states and material, with
// lighting, fog, alpha test and blending off.
void cf_game_states(IDirect3DDevice9* dev);
// Those with the race's ambient colour, fog range and sun.
void cf_race_states(IDirect3DDevice9* dev);
// A w x h X8R8G8B8 render-target texture, its surface and a depth buffer;
// 0 when one could not be made (what was is set, to release).
int cf_low_target(IDirect3DDevice9* d, int w, int h, IDirect3DTexture9** tex, IDirect3DSurface9** surf,
                  IDirect3DSurface9** depth, D3DFORMAT depthFormat = D3DFMT_D24X8);
// The frame end's magnification of low onto the current target: one clamped,
// point-sampled screen quad from (x0, y0) to (x1, y1), no depth test, no culling.
void cf_magnify(IDirect3DDevice9* d, IDirect3DTexture9* low, float x0, float y0, float x1, float y1);
// Makes the textures, meshes and low-resolution target; 0 when something
// could not be made (cf_race_close still releases what was).
int cf_race_open(CfRace* r, IDirect3DDevice9* dev);
void cf_race_close(CfRace* r);
// One frame with the camera t metres along the road: the world into the
// low-resolution target, then magnified onto target (w x h, full size) as
// the frame end does it. Call between BeginScene and EndScene; leaves the
// game's default states set.
void cf_race_frame(CfRace* r, float t, IDirect3DSurface9* target, int w, int h);

// Pieces of the scene, shared with the benchmarks. A w x w texture with a
// full mip chain of noisy colour from the sequence rng; null on failure.
IDirect3DTexture9* cf_noise_texture(IDirect3DDevice9* dev, int w, uint32_t base, uint32_t& rng);
// A managed vertex and 16-bit index buffer holding v and i; 0 on failure
// (what was made is in m, to release).
int cf_mesh_upload(IDirect3DDevice9* dev, CfRaceMesh* m, const std::vector<V152>& v, const std::vector<uint16_t>& i);
// A quad p[0..3] (x, y, z each) as two triangles, texture coordinates 0..su x 0..sv.
void cf_add_quad(std::vector<V152>& v, std::vector<uint16_t>& idx, const float* p, float nx, float ny, float nz,
                 uint32_t c, float su, float sv);
