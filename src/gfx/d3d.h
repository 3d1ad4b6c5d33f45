// The Direct3D 9 interface the graphics layer draws through: the system's
// header on Windows, the software device's own declarations elsewhere.
#pragma once

#if SK_WIN32
#include <d3d9.h>
#else
#include "soft/d3d9.h"
#endif
