// Fuzz target: the SKM1 model reader. A file it accepts must give exactly
// its vertices, only whole in-range triangles, and bounds over them.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "assets/assets_internal.h"
#include "rt/rt.h"

static uint32_t rd32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Model model;
  memset(&model, 0, sizeof model);
  char tex[SKM_MAX_NAME + 1];
  int valid = skm_valid(data, size);
  if (skm_load(&model.mesh, data, size, tex) != valid) abort();
  if (!valid) {
    if (model.mesh.nverts || model.mesh.nindices) abort();
    return 0;
  }
  uint32_t nv = rd32(data + 4), ni = rd32(data + 8), nn = rd32(data + 12);
  if ((uint32_t)model.mesh.nverts != nv || (uint32_t)model.mesh.nindices > ni / 3 * 3) abort();
  if (model.mesh.nindices % 3 || strlen(tex) > nn) abort();
  for (int i = 0; i < model.mesh.nindices; i++)
    if (model.mesh.indices[i] >= nv) abort();
  model_bounds(&model);
  mesh_free(&model.mesh);
  return 0;
}
