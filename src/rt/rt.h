// The game's own runtime: heap, memory and string primitives, the formatter,
// whole files, the log, single-precision maths, the xorshift generator and the
// clock. Nothing here calls game code; everything platform-specific goes
// through sys.h.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#if SK_FREESTANDING
// No C runtime: the runtime defines these under their standard names, since
// the compiler also emits calls to them for structure copies and clears.
extern "C" {
void* memset(void* dst, int byte, size_t n);
void* memcpy(void* dst, const void* src, size_t n);
void* memmove(void* dst, const void* src, size_t n);
int memcmp(const void* a, const void* b, size_t n);
}
#else
// Hosted builds use the C library's versions for the game and keep ours under
// rt_ names, so the tests exercise the same code the Windows program runs.
// Game code only relies on the sign of memcmp.
#include <string.h>
extern "C" {
void* rt_memset(void* dst, int byte, size_t n);
void* rt_memcpy(void* dst, const void* src, size_t n);
void* rt_memmove(void* dst, const void* src, size_t n);
int rt_memcmp(const void* a, const void* b, size_t n);
}
#endif

// The bits of a value as another type of the same size (float <-> uint32_t).
template <typename To, typename From>
inline To rt_bit_cast(const From& from) {
  static_assert(sizeof(To) == sizeof(From), "same size only");
  To to;
  __builtin_memcpy(&to, &from, sizeof to);
  return to;
}

// ---- memory ---------------------------------------------------------------
void* mem_alloc(size_t size);               // zero-filled; size 0 asks for 1 byte; null on failure
void* mem_realloc(void* ptr, size_t size);  // bytes added at the end are zero; null ptr = mem_alloc
void mem_free(void* ptr);                   // null does nothing

// ---- strings (capacities include the terminating zero) --------------------
int str_len(const char* s);
int str_eq(const char* a, const char* b);
int str_ieq(const char* a, const char* b);  // folds A-Z only
void str_cpy(char* dst, const char* src, int cap);
void str_cat(char* dst, const char* src, int cap);
int32_t str_to_int(const char* s);
float str_to_float(const char* s);

// ---- formatter ------------------------------------------------------------
// Directives: %[0][width][.prec]{% c d u x s f}. Stores at most cap-1
// characters plus a zero; returns the length the full output has.
int vfmt(char* buf, int cap, const char* format, va_list args);
int fmt(char* buf, int cap, const char* format, ...) __attribute__((format(printf, 3, 4)));

// ---- files (paths relative to the program's folder; '\' works everywhere) --
void* file_read(const char* path, int* out_size);  // zero byte appended; free with mem_free
int file_write(const char* path, const void* data, int n);
int file_exists(const char* path);  // exists and is not a directory

// ---- log --------------------------------------------------------------------
void log_open(const char* path);
// One line: cut to 509 characters, CR LF appended, flushed, copied to the
// debugger output. Safe from both threads.
void log_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- maths (single precision, radians) ---------------------------------------
float f_sin(float x);
float f_cos(float x);
float f_sqrt(float x);           // 0 for x <= 0
float f_atan2(float y, float x);
float f_abs(float x);
int32_t f_to_int(float x);       // toward zero; NaN and out-of-range give INT32_MIN
float f_floor(float x);
int32_t f_round(float x);        // halves go up
float f_exp(float x);
float f_pow(float b, float e);
float f_wrap_angle(float a);     // into [-pi, pi]

// ---- random numbers (each user owns its state word) --------------------------
uint32_t rng_next(uint32_t* state);
float rng_float(uint32_t* state);  // [0, 1)
float rng_range(uint32_t* state, float lo, float hi);

// ---- clock ---------------------------------------------------------------------
double time_now();  // seconds since the first call; first call on the game thread

// ---- shared types ---------------------------------------------------------------
// Metres and seconds; the ground is the x-z plane, y is up. A heading h faces
// (sin h, cos h) in (x, z).
struct Vec3 {
  float x, y, z;
};

// Row-major, row vectors (p' = p x M, translation in the fourth row; A x B
// applies A first), left-handed: Direct3D's own layout.
struct Mat4 {
  float m[4][4];
};
