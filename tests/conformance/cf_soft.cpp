#include "cf_soft.h"

#include "soft/soft.h"

namespace {

struct CfSoft {
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* dev = nullptr;
};

void cf_soft_close(CfSoft* s);

bool cf_soft_open(CfSoft* s, std::string* err) {
  typedef IDirect3D9* (*Create9)(UINT);
  Create9 create = (Create9)soft_d3d9_proc("Direct3DCreate9");
  s->d3d = create ? create(D3D_SDK_VERSION) : nullptr;
  if (!s->d3d) return *err = "no Direct3DCreate9 in the software device", false;
  D3DPRESENT_PARAMETERS pp = windowed_pp(64, 64);
  HRESULT hr = s->d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr,
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_FPU_PRESERVE, &pp, &s->dev);
  if (FAILED(hr) || !s->dev) {
    *err = "CreateDevice failed";
    cf_soft_close(s);
    return false;
  }
  return true;
}

void cf_soft_close(CfSoft* s) {
  if (s->dev) s->dev->Release();
  if (s->d3d) s->d3d->Release();
  s->dev = nullptr;
  s->d3d = nullptr;
}

bool cf_soft_render(CfSoft* s, const CfScene* scene, CfPic* out, std::string* err) {
  out->w = scene->w;
  out->h = scene->h;
  out->px.assign((size_t)scene->w * (size_t)scene->h, 0);
  char e[200] = "";
  if (!cf_render(s->dev, scene, out->px.data(), e, sizeof e)) return *err = e, false;
  return true;
}

}  // namespace

void cf_soft_render_all(CfSoftPictures* out) {
  CfSoft dev;
  std::string err;
  if (!cf_soft_open(&dev, &err)) {
    for (int i = 0; i < cf_scene_count(); i++) out->errors[cf_scene(i)->name] = err;
    return;
  }
  for (int i = 0; i < cf_scene_count(); i++) {
    CfPic p;
    if (cf_soft_render(&dev, cf_scene(i), &p, &err)) out->pics[cf_scene(i)->name] = p;
    else out->errors[cf_scene(i)->name] = err;
  }
  cf_soft_close(&dev);
}
