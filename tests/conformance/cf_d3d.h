// The Direct3D 9 interface the conformance scenes are written against: the
// real one (MinGW's <d3d9.h>) in the Windows program, the software device's
// header in the Linux comparison test. Same names, same signatures.
#pragma once

#include <stdint.h>

#if defined(_WIN32)
#include <windows.h>
#include <d3d9.h>
#else
#include "soft/d3d9.h"
#endif
