// Bounded byte strings and number parsing.
#include "rt/rt.h"

int str_len(const char* s) {
  int n = 0;
  while (s[n]) n++;
  return n;
}

int str_eq(const char* a, const char* b) {
  while (*a && *a == *b) a++, b++;
  return *a == *b;
}

static char lower_ascii(char c) {
  return (c >= 'A' && c <= 'Z') ? (char)(c + 32) : c;
}

int str_ieq(const char* a, const char* b) {
  while (*a && lower_ascii(*a) == lower_ascii(*b)) a++, b++;
  return lower_ascii(*a) == lower_ascii(*b);
}

void str_cpy(char* dst, const char* src, int cap) {
  if (cap <= 0) return;  // no room, not even for the zero
  int i = 0;
  for (; i < cap - 1 && src[i]; i++) dst[i] = src[i];
  dst[i] = 0;
}

void str_cat(char* dst, const char* src, int cap) {
  if (cap <= 0) return;
  int n = 0;
  while (n < cap && dst[n]) n++;
  if (n >= cap) {  // dst was not terminated within cap: keep what fits
    dst[cap - 1] = 0;
    return;
  }
  for (int i = 0; n < cap - 1 && src[i]; i++) dst[n++] = src[i];
  dst[n] = 0;
}

static const char* skip_blanks_and_sign(const char* s, int* negative) {
  while (*s == ' ' || *s == '\t') s++;
  *negative = 0;
  if (*s == '-' || *s == '+') *negative = (*s++ == '-');
  return s;
}

int32_t str_to_int(const char* s) {
  int negative;
  s = skip_blanks_and_sign(s, &negative);
  uint32_t v = 0;  // wraps like the 32-bit arithmetic it stands for
  while (*s >= '0' && *s <= '9') v = v * 10u + (uint32_t)(*s++ - '0');
  if (negative) v = 0u - v;
  return (int32_t)v;
}

float str_to_float(const char* s) {
  int negative;
  s = skip_blanks_and_sign(s, &negative);
  float v = 0.0f;
  while (*s >= '0' && *s <= '9') v = v * 10.0f + (float)(*s++ - '0');
  if (s[0] == '.' && s[1] >= '0' && s[1] <= '9') {
    s++;
    float weight = 1.0f;
    while (*s >= '0' && *s <= '9') {
      weight *= 0.1f;
      v += (float)(*s++ - '0') * weight;
    }
  }
  return negative ? v * -1.0f : v;
}
