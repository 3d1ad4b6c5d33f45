// artpack: writes the art pack, DIR/data/textures/*.bmp and
// DIR/data/models/*.skm, the same bytes on every run.
//
//   artpack DIR
//   artpack --hash     prints the hash of the whole pack (tests/artpack/pack.hash)
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "pack.h"
#include "rt/rt.h"

static bool make_dir(const std::string& d) { return mkdir(d.c_str(), 0755) == 0 || errno == EEXIST; }

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: artpack DIR | artpack --hash\n");
    return 2;
  }
  std::string dir = argv[1];
  log_open("/dev/null");  // the loads' log lines are not the tool's output
  if (!pack_device_open()) {
    fprintf(stderr, "artpack: no device\n");
    return 1;
  }
  std::vector<PackFile> files = pack_build();
  pack_device_close();
  if (files.empty()) return 1;
  if (dir == "--hash") {
    printf("%016llx\n", (unsigned long long)pack_hash(files));
    return 0;
  }
  for (const char* d : {"", "/data", "/data/textures", "/data/models"})
    if (!make_dir(dir + d)) {
      fprintf(stderr, "artpack: cannot make the folder %s%s: %s\n", dir.c_str(), d, strerror(errno));
      return 1;
    }
  size_t bytes = 0;
  for (const PackFile& f : files) {
    std::string path = dir + "/" + f.path;
    FILE* out = fopen(path.c_str(), "wb");
    bool ok = out && fwrite(f.bytes.data(), 1, f.bytes.size(), out) == f.bytes.size();
    if (out && fclose(out) != 0) ok = false;
    if (!ok) {
      fprintf(stderr, "artpack: cannot write %s\n", path.c_str());
      return 1;
    }
    bytes += f.bytes.size();
  }
  printf("artpack: %zu files, %zu bytes in %s/data\n", files.size(), bytes, dir.c_str());
  return 0;
}
