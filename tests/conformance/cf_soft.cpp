#include "cf_soft.h"

#include "soft/soft.h"

void cf_soft_render_all(CfSoftPictures* out) {
  typedef IDirect3D9* (*Create9)(UINT);
  Create9 create = (Create9)soft_d3d9_proc("Direct3DCreate9");
  IDirect3D9* d3d = create ? create(D3D_SDK_VERSION) : nullptr;
  IDirect3DDevice9* dev = nullptr;
  D3DPRESENT_PARAMETERS pp = windowed_pp(64, 64);
  if (d3d && FAILED(d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                      D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, &pp, &dev)))
    dev = nullptr;
  for (int i = 0; i < cf_scene_count(); i++) {
    const CfScene* s = cf_scene(i);
    CfPic p;
    p.w = s->w;
    p.h = s->h;
    p.px.assign((size_t)s->w * (size_t)s->h, 0);
    char e[200] = "the software device would not open";
    if (dev && cf_render(dev, s, p.px.data(), e, sizeof e)) out->pics[s->name] = p;
    else out->errors[s->name] = e;
  }
  if (dev) dev->Release();
  if (d3d) d3d->Release();
}
