// Helpers shared by the unit tests.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <string>

// A fresh temporary folder that is the current directory for the test's
// lifetime; removed afterwards.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/skidline-test-XXXXXX";
    path_ = mkdtemp(tmpl);
    char* old = getcwd(nullptr, 0);
    old_ = old;
    free(old);
    if (chdir(path_.c_str()) != 0) abort();
  }
  ~TempDir() {
    if (chdir(old_.c_str()) != 0) abort();
    std::string rm = "rm -rf '" + path_ + "'";
    if (system(rm.c_str()) != 0) abort();
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_, old_;
};

// Reads a whole file with the C library (independent of the code under test).
inline std::string slurp(const std::string& path) {
  std::string s;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
  fclose(f);
  return s;
}

inline void spit(const std::string& path, const std::string& data) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  fwrite(data.data(), 1, data.size(), f);
  fclose(f);
}
