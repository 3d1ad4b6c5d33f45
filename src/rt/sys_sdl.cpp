// The OS layer on Linux: POSIX for files, time and threads, and a table of
// built-in replacements for the Windows libraries the game loads by name.
#include "rt/sys.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <limits.h>

#include <SDL.h>

void sys_fpu_init() {
  uint16_t cw = 0x027F;
  __asm__ volatile("fldcw %0" : : "m"(cw));
}

uint16_t sys_fpu_control() {
  uint16_t cw;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  return cw;
}

// ---- heap ---------------------------------------------------------------------
// Each block carries its size in front, so a grown block's new bytes can be
// zeroed as the Windows heap does.
static const size_t kHeader = 16;

void* sys_alloc(size_t n) {
  if (n > (size_t)-1 - kHeader) return nullptr;
  char* p = (char*)calloc(1, n + kHeader);
  if (!p) return nullptr;
  *(size_t*)p = n;
  return p + kHeader;
}

void* sys_realloc(void* p, size_t n) {
  if (!p) return sys_alloc(n);
  if (n > (size_t)-1 - kHeader) return nullptr;
  char* block = (char*)p - kHeader;
  size_t old = *(size_t*)block;
  char* q = (char*)realloc(block, n + kHeader);
  if (!q) return nullptr;
  if (n > old) memset(q + kHeader + old, 0, n - old);
  *(size_t*)q = n;
  return q + kHeader;
}

void sys_free(void* p) {
  if (p) free((char*)p - kHeader);
}

// ---- files ---------------------------------------------------------------------
// The game writes Windows paths ("data\tracks\1.trk"); map the separators.
static int native_path(const char* path, char* out, size_t cap) {
  size_t i = 0;
  for (; path[i]; i++) {
    if (i + 1 >= cap) return 0;
    out[i] = path[i] == '\\' ? '/' : path[i];
  }
  out[i] = 0;
  return 1;
}

static SysFile fd_file(int fd) { return (SysFile)(intptr_t)(fd + 1); }
static int file_fd(SysFile f) { return (int)(intptr_t)f - 1; }

SysFile sys_open_read(const char* path) {
  char p[PATH_MAX];
  if (!native_path(path, p, sizeof p)) return nullptr;
  // Non-blocking, so a named pipe cannot hold the caller up; only regular
  // files are read (O_NONBLOCK changes nothing for them).
  int fd = open(p, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return nullptr;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return nullptr;
  }
  return fd_file(fd);
}

SysFile sys_create(const char* path, int shareRead) {
  (void)shareRead;  // POSIX has no share modes
  char p[PATH_MAX];
  if (!native_path(path, p, sizeof p)) return nullptr;
  int fd = open(p, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd < 0 ? nullptr : fd_file(fd);
}

int64_t sys_file_size(SysFile f) {
  struct stat st;
  if (fstat(file_fd(f), &st) != 0) return -1;
  return (int64_t)st.st_size;
}

int sys_read(SysFile f, void* buf, uint32_t n, uint32_t* got) {
  uint32_t total = 0;
  while (total < n) {
    ssize_t r = read(file_fd(f), (char*)buf + total, n - total);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) {
      *got = total;
      return 0;
    }
    if (r == 0) break;
    total += (uint32_t)r;
  }
  *got = total;
  return 1;
}

int sys_write(SysFile f, const void* buf, uint32_t n, uint32_t* put) {
  uint32_t total = 0;
  while (total < n) {
    ssize_t r = write(file_fd(f), (const char*)buf + total, n - total);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      *put = total;
      return 0;
    }
    total += (uint32_t)r;
  }
  *put = total;
  return 1;
}

// Writes go straight to the kernel (nothing is buffered in the process), so a
// crash loses no line; syncing each log line to the disk would only slow the
// game down.
void sys_flush(SysFile f) { (void)f; }

void sys_close(SysFile f) {
  if (f) close(file_fd(f));
}

int sys_is_file(const char* path) {
  char p[PATH_MAX];
  struct stat st;
  if (!native_path(path, p, sizeof p) || stat(p, &st) != 0) return 0;
  return !S_ISDIR(st.st_mode);
}

// ---- process ----------------------------------------------------------------------
void sys_debug_out(const char* s) {
  ssize_t r = write(2, s, strlen(s));
  (void)r;
}

static char g_cmdLine[4096];

// The Linux entry point hands over its arguments: they are joined by single
// spaces, and an argument with a space or tab (or an empty one) is quoted,
// which is how the Windows command line would carry it.
void sys_set_args(int argc, char** argv) {
  size_t n = 0;
  g_cmdLine[0] = 0;
  for (int i = 0; i < argc; i++) {
    const char* a = argv[i];
    int quote = a[0] == 0 || strpbrk(a, " \t") != nullptr;
    size_t need = strlen(a) + (i ? 1 : 0) + (quote ? 2 : 0);
    if (n + need >= sizeof g_cmdLine) break;
    if (i) g_cmdLine[n++] = ' ';
    if (quote) g_cmdLine[n++] = '"';
    memcpy(g_cmdLine + n, a, strlen(a));
    n += strlen(a);
    if (quote) g_cmdLine[n++] = '"';
    g_cmdLine[n] = 0;
  }
}

const char* sys_command_line() { return g_cmdLine; }

int sys_program_path(char* buf, int cap) {
  if (cap <= 1) return 0;
  ssize_t n = readlink("/proc/self/exe", buf, (size_t)cap - 1);
  if (n <= 0 || n >= cap - 1) return 0;  // failed, or possibly cut short
  buf[n] = 0;
  return (int)n;
}

int sys_set_cwd(const char* dir) { return chdir(dir) == 0; }

void sys_exit(int code) {
  fflush(nullptr);
  exit(code);
}

// ---- window -----------------------------------------------------------------------------
void sys_screen_size(int* w, int* h) {
  SDL_DisplayMode mode;
  if (SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetDesktopDisplayMode(0, &mode) == 0) {
    *w = mode.w;
    *h = mode.h;
  } else {
    *w = 640;
    *h = 480;
  }
}

void sys_window_set_mode(SysWindow win, int fullscreen, int w, int h) {
  SDL_Window* sw = (SDL_Window*)win;
  if (!sw) return;
  if (fullscreen) {
    SDL_SetWindowSize(sw, w, h);
    SDL_SetWindowFullscreen(sw, SDL_WINDOW_FULLSCREEN_DESKTOP);
  } else {
    SDL_SetWindowFullscreen(sw, 0);
    SDL_SetWindowSize(sw, w, h);
    SDL_SetWindowPosition(sw, 40, 40);
  }
  SDL_ShowWindow(sw);
}

int sys_window_client_size(SysWindow win, int* w, int* h) {
  if (!win) return 0;
  SDL_GetWindowSize((SDL_Window*)win, w, h);
  return *w > 0 && *h > 0;
}

// ---- time -----------------------------------------------------------------------------
int64_t sys_counter() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (int64_t)ts.tv_sec * 1000000000 + ts.tv_nsec;
}

int64_t sys_counter_freq() { return 1000000000; }

void sys_sleep(uint32_t ms) {
  struct timespec ts = {(time_t)(ms / 1000), (long)(ms % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

void sys_timer_period(uint32_t ms) { (void)ms; }  // Linux sleeps are fine-grained already

// ---- threads --------------------------------------------------------------------------
struct SysThreadT {
  pthread_t id;
  SysThreadFn fn;
  void* arg;
  pthread_mutex_t lock;
  pthread_cond_t ended;
  int done;
  int orphan;  // handle closed before the thread ended: it frees itself
};

static void* thread_main(void* p) {
  SysThreadT* t = (SysThreadT*)p;
  sys_fpu_init();
  t->fn(t->arg);
  pthread_mutex_lock(&t->lock);
  t->done = 1;
  int orphan = t->orphan;
  pthread_cond_broadcast(&t->ended);
  pthread_mutex_unlock(&t->lock);
  if (orphan) {
    pthread_cond_destroy(&t->ended);
    pthread_mutex_destroy(&t->lock);
    free(t);
  }
  return nullptr;
}

static void monotonic_deadline(struct timespec* ts, uint32_t ms) {
  clock_gettime(CLOCK_MONOTONIC, ts);
  ts->tv_sec += ms / 1000;
  ts->tv_nsec += (long)(ms % 1000) * 1000000L;
  if (ts->tv_nsec >= 1000000000L) {
    ts->tv_sec++;
    ts->tv_nsec -= 1000000000L;
  }
}

static void init_monotonic_cond(pthread_cond_t* c) {
  pthread_condattr_t a;
  pthread_condattr_init(&a);
  pthread_condattr_setclock(&a, CLOCK_MONOTONIC);
  pthread_cond_init(c, &a);
  pthread_condattr_destroy(&a);
}

static int g_failThreads;

void sys_test_fail_threads(int fail) { g_failThreads = fail; }

SysThread sys_thread_start(SysThreadFn fn, void* arg, uint32_t stackBytes) {
  if (g_failThreads) return nullptr;
  SysThreadT* t = (SysThreadT*)calloc(1, sizeof *t);
  if (!t) return nullptr;
  t->fn = fn;
  t->arg = arg;
  pthread_mutex_init(&t->lock, nullptr);
  init_monotonic_cond(&t->ended);
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  // Linux stacks are only reserved address space; give sanitizer builds room.
  size_t stack = stackBytes < 262144 ? 262144 : stackBytes;
  pthread_attr_setstacksize(&attr, stack);
  int rc = pthread_create(&t->id, &attr, thread_main, t);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    pthread_cond_destroy(&t->ended);
    pthread_mutex_destroy(&t->lock);
    free(t);
    return nullptr;
  }
  return t;
}

// Real-time scheduling needs privileges and could starve the machine when a
// thread misbehaves; the audio thread is light enough at normal priority.
void sys_thread_priority_max(SysThread t) { (void)t; }

int sys_thread_wait(SysThread t, uint32_t ms) {
  if (!t) return 1;
  struct timespec deadline;
  monotonic_deadline(&deadline, ms);
  pthread_mutex_lock(&t->lock);
  while (!t->done) {
    if (pthread_cond_timedwait(&t->ended, &t->lock, &deadline) == ETIMEDOUT) break;
  }
  int done = t->done;
  pthread_mutex_unlock(&t->lock);
  return done;
}

void sys_thread_close(SysThread t) {
  if (!t) return;
  pthread_mutex_lock(&t->lock);
  int done = t->done;
  if (!done) t->orphan = 1;
  pthread_mutex_unlock(&t->lock);
  if (!done) {
    pthread_detach(t->id);
    return;
  }
  pthread_join(t->id, nullptr);
  pthread_cond_destroy(&t->ended);
  pthread_mutex_destroy(&t->lock);
  free(t);
}

int64_t sys_thread_cpu_100ns() {
  struct timespec ts;
  if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts) != 0) return -1;
  return (int64_t)ts.tv_sec * 10000000 + ts.tv_nsec / 100;
}

// ---- events ---------------------------------------------------------------------------------
struct SysEventT {
  pthread_mutex_t lock;
  pthread_cond_t cond;
  int signalled;
};

SysEvent sys_event_create() {
  SysEventT* e = (SysEventT*)calloc(1, sizeof *e);
  if (!e) return nullptr;
  pthread_mutex_init(&e->lock, nullptr);
  init_monotonic_cond(&e->cond);
  return e;
}

void sys_event_set(SysEvent e) {
  pthread_mutex_lock(&e->lock);
  e->signalled = 1;
  pthread_cond_signal(&e->cond);
  pthread_mutex_unlock(&e->lock);
}

int sys_event_wait(SysEvent e, uint32_t ms) {
  struct timespec deadline;
  monotonic_deadline(&deadline, ms);
  pthread_mutex_lock(&e->lock);
  while (!e->signalled) {
    if (pthread_cond_timedwait(&e->cond, &e->lock, &deadline) == ETIMEDOUT) break;
  }
  int got = e->signalled;
  e->signalled = 0;  // auto-reset: one waiter takes the signal
  pthread_mutex_unlock(&e->lock);
  return got;
}

void sys_event_close(SysEvent e) {
  if (!e) return;
  pthread_cond_destroy(&e->cond);
  pthread_mutex_destroy(&e->lock);
  free(e);
}

// ---- built-in libraries ------------------------------------------------------------------------
struct SysLibT {
  const char* name;
  SysProcLookup lookup;  // filled by the module that implements the library
  int blocked;           // tests make a library "missing"
};

static SysLibT g_libs[] = {
    {"d3d9.dll", nullptr, 0},      {"winmm.dll", nullptr, 0},     {"xinput1_4.dll", nullptr, 0},
    {"xinput1_3.dll", nullptr, 0}, {"xinput9_1_0.dll", nullptr, 0},
};

static SysLibT* find_lib(const char* name) {
  for (SysLibT& l : g_libs) {
    if (strcasecmp(l.name, name) == 0) return &l;  // Windows library names ignore case
  }
  return nullptr;
}

SysLib sys_lib_load(const char* name) {
  SysLibT* l = find_lib(name);
  return (l && l->lookup && !l->blocked) ? l : nullptr;
}

void* sys_lib_proc(SysLib lib, const char* name) {
  return lib ? lib->lookup(name) : nullptr;
}

void sys_lib_provide(const char* name, SysProcLookup lookup) {
  if (SysLibT* l = find_lib(name)) l->lookup = lookup;
}

void sys_lib_block(const char* name, int blocked) {
  if (SysLibT* l = find_lib(name)) l->blocked = blocked;
}
