// The pixel rules FINDINGS.md states, as checks on the pictures of the
// scenes. They hold for Wine's pictures (so the document stays true) and
// must hold for the software device's (so it follows the real rules).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "cf_image.h"

typedef const CfPic* (*CfPicFn)(const char* scene);  // a scene's picture, or null

struct CfFactCtx {
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

// Checks fact i on the pictures get gives: "" when it holds, else the
// violations, one a line ("no picture" when its scene has none).
std::string cf_fact_check(int i, CfPicFn get);
