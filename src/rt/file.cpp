// Whole-file reading and writing, and the log.
#include "rt/rt.h"
#include "rt/sys.h"

static SysFile g_log;  // null until log_open succeeds

void* file_read(const char* path, int* out_size) {
  SysFile f = sys_open_read(path);
  if (!f) return nullptr;
  int64_t size = sys_file_size(f);
  // One read of the whole file into size + 1 bytes; sizes that cannot be
  // held in an int are refused rather than truncated.
  if (size < 0 || size > 0x7FFFFFFE) {
    sys_close(f);
    return nullptr;
  }
  char* buf = (char*)mem_alloc((size_t)size + 1);
  if (!buf) {
    sys_close(f);
    return nullptr;
  }
  uint32_t got = 0;
  int ok = sys_read(f, buf, (uint32_t)size, &got);
  sys_close(f);
  if (!ok || got != (uint32_t)size) {
    mem_free(buf);
    return nullptr;
  }
  buf[size] = 0;
  if (out_size) *out_size = (int)size;
  return buf;
}

int file_write(const char* path, const void* data, int n) {
  if (n < 0) return 0;
  SysFile f = sys_create(path, 0);
  if (!f) return 0;
  uint32_t put = 0;
  int ok = sys_write(f, data, (uint32_t)n, &put);
  sys_close(f);
  return ok && put == (uint32_t)n;
}

int file_exists(const char* path) {
  return sys_is_file(path);
}

void log_open(const char* path) {
  g_log = sys_create(path, 1);
}

void log_printf(const char* format, ...) {
  char line[512];  // 509 characters, CR, LF, zero
  va_list args;
  va_start(args, format);
  int n = vfmt(line, 510, format, args);
  va_end(args);
  if (n > 509) n = 509;
  line[n] = '\r';
  line[n + 1] = '\n';
  line[n + 2] = 0;
  if (g_log) {
    uint32_t put;
    sys_write(g_log, line, (uint32_t)n + 2, &put);
    sys_flush(g_log);
  }
  sys_debug_out(line);
}
