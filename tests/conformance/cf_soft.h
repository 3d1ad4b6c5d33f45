// The software device, opened the way the game opens a device, for
// rendering the scenes natively.
#pragma once

#include <string>

#include "cf_facts.h"
#include "cf_scene.h"

struct CfSoft {
  IDirect3D9* d3d = nullptr;
  IDirect3DDevice9* dev = nullptr;
};

bool cf_soft_open(CfSoft* s, std::string* err);
void cf_soft_close(CfSoft* s);
// Renders one scene; false with the reason in err.
bool cf_soft_render(CfSoft* s, const CfScene* scene, CfPic* out, std::string* err);
