// Heap blocks and the four memory primitives. The primitives work a byte at a
// time; this file is compiled so GCC keeps the loops as loops.
#include "rt/rt.h"
#include "rt/sys.h"

#if SK_FREESTANDING
#define RT_MEMFN(name) name
#else
#define RT_MEMFN(name) rt_##name
#endif

extern "C" {

void* RT_MEMFN(memset)(void* dst, int byte, size_t n) {
  unsigned char* d = (unsigned char*)dst;
  for (size_t i = 0; i < n; i++) d[i] = (unsigned char)byte;
  return dst;
}

void* RT_MEMFN(memcpy)(void* dst, const void* src, size_t n) {
  unsigned char* d = (unsigned char*)dst;
  const unsigned char* s = (const unsigned char*)src;
  for (size_t i = 0; i < n; i++) d[i] = s[i];
  return dst;
}

void* RT_MEMFN(memmove)(void* dst, const void* src, size_t n) {
  unsigned char* d = (unsigned char*)dst;
  const unsigned char* s = (const unsigned char*)src;
  if (d == s || n == 0) return dst;
  // Backwards only when the destination starts inside the source range.
  if ((uintptr_t)d > (uintptr_t)s && (uintptr_t)d - (uintptr_t)s < n) {
    for (size_t i = n; i > 0; i--) d[i - 1] = s[i - 1];
  } else {
    for (size_t i = 0; i < n; i++) d[i] = s[i];
  }
  return dst;
}

int RT_MEMFN(memcmp)(const void* a, const void* b, size_t n) {
  const unsigned char* x = (const unsigned char*)a;
  const unsigned char* y = (const unsigned char*)b;
  for (size_t i = 0; i < n; i++) {
    if (x[i] != y[i]) return x[i] < y[i] ? -1 : 1;
  }
  return 0;
}

}  // extern "C"

void* mem_alloc(size_t size) {
  return sys_alloc(size ? size : 1);
}

void* mem_realloc(void* ptr, size_t size) {
  if (!ptr) return mem_alloc(size);
  return sys_realloc(ptr, size ? size : 1);
}

void mem_free(void* ptr) {
  if (ptr) sys_free(ptr);
}
