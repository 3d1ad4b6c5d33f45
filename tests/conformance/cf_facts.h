// The pixel rules FINDINGS.md states, as checks on the pictures of the
// scenes. They hold for Wine's pictures (so the document stays true) and
// must hold for the software device's (so it follows the real rules).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct CfPic {
  int w = 0, h = 0;
  std::vector<uint32_t> px;  // 0x00RRGGBB, rows top to bottom
  uint32_t at(int x, int y) const { return px[(size_t)y * (size_t)w + (size_t)x]; }
};

struct CfFactCtx {
  const CfPic* (*get)(const char* scene, void* user);  // another scene's picture, or null
  void* user;
  std::vector<std::string> errors;  // the first few violations
  int violations = 0;
  void fail(const char* format, ...) __attribute__((format(printf, 2, 3)));
};

struct CfFact {
  const char* name;   // identifier-like, for test names
  const char* scene;  // the picture it checks
  void (*check)(const CfPic& p, CfFactCtx& k);
};

extern const CfFact g_cfFacts[];
extern const int g_cfFactCount;

// 8-bit product as the blender computes it.
static inline int cf_mul8(int x, int y) {
  int t = x * y;
  return (t + (t >> 8) + 128) >> 8;
}
