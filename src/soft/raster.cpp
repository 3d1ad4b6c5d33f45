// The rasterizer for the baseline instruction set (the kernels are in
// raster_kernels.inl).
#define SOFT_RASTER_FN raster_triangle_base
#include "soft/raster_kernels.inl"
