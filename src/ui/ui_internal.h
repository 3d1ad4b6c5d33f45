// State shared by the 2D and effect layers' code and its tests. Not for
// other modules.
#pragma once

#include "ui/ui.h"

enum { UI_MAX = 6144, FX_MAX = 4096, FVF_FX = 0x142 };

struct FxVertex {
  float x, y, z;
  uint32_t colour;
  float u, v;
};

extern UiVertex g_ui[UI_MAX];
extern int g_uiN;
extern Texture* g_uiTex;
extern float g_uiOX, g_uiOY;
extern FxVertex g_fx[FX_MAX];
extern int g_fxN;
extern Texture* g_fxTex;
extern int g_fxBlend;
