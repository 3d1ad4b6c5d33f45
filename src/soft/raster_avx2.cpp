// The rasterizer built for AVX2, chosen at run time when the processor has
// it: the same kernels as raster.cpp, the same pixels.
#define SOFT_RASTER_FN raster_triangle_avx2
#include "soft/raster_kernels.inl"
