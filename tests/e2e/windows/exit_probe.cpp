// A Windows program whose end the Wine runner's tests choose:
//   exit_probe CODE [MS]   waits MS milliseconds, then exits with CODE
//   exit_probe crash       writes through a null pointer
#include <windows.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "crash") == 0) {
    *(volatile int*)nullptr = 1;
    return 0;
  }
  if (argc > 2) Sleep((DWORD)std::atoi(argv[2]));
  return argc > 1 ? std::atoi(argv[1]) : 0;
}
