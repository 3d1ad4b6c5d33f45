// Lane types of the software device's vector code: four and eight 32-bit
// lanes (GCC vector extensions; the compiler picks the instructions).
#pragma once

#include <stdint.h>

namespace soft {

typedef float f4 __attribute__((vector_size(16)));
typedef int32_t i4 __attribute__((vector_size(16)));
typedef uint32_t u4 __attribute__((vector_size(16)));
typedef float f8 __attribute__((vector_size(32)));
typedef int32_t i8 __attribute__((vector_size(32)));
typedef uint32_t u8 __attribute__((vector_size(32)));

// Four pixels at any address; the element type keeps float data out of the
// aliasing question, so per-triangle constants stay in registers.
typedef uint32_t u4a __attribute__((vector_size(16), aligned(4)));

}  // namespace soft
