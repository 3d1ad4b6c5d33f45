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

// As long as the longest Windows command line, so the game cuts an over-long
// line itself, at the same place as on Windows.
static char g_cmdLine[32768];

// The Linux entry point hands over its arguments: they are joined by single
// spaces, and an argument with a space or tab (or an empty one) is quoted,
// which is how the Windows command line would carry it. A line that does not
// fit is cut mid-argument, never by dropping whole arguments.
void sys_set_args(int argc, char** argv) {
  size_t n = 0, cap = sizeof g_cmdLine - 1;
  auto put = [&](char c) {
    if (n < cap) g_cmdLine[n++] = c;
  };
  for (int i = 0; i < argc; i++) {
    const char* a = argv[i];
    int quote = a[0] == 0 || strpbrk(a, " \t") != nullptr;
    if (i) put(' ');
    if (quote) put('"');
    for (const char* c = a; *c; c++) put(*c);
    if (quote) put('"');
  }
  g_cmdLine[n] = 0;
}

const char* sys_command_line() { return g_cmdLine; }

int sys_program_path(char* buf, int cap) {
  if (cap <= 1) return 0;
  // readlink does not terminate: a result that fills the whole buffer may have
  // been cut short; cap - 1 characters and the terminator fit.
  ssize_t n = readlink("/proc/self/exe", buf, (size_t)cap);
  if (n <= 0 || n >= cap) return 0;
  buf[n] = 0;
  return (int)n;
}

int sys_set_cwd(const char* dir) { return chdir(dir) == 0; }

void sys_exit(int code) {
  fflush(nullptr);
  exit(code);
}

// ---- window -----------------------------------------------------------------------------
// One game window. Its SDL events become the Win32 messages the window
// procedure expects; mouse positions are reported in the client pixels the
// game asked for, also when full screen stretches the window.
static SysWndProc g_wndProc;
static SDL_Window* g_window;
static int g_clientW, g_clientH;  // the size the game asked for
static void (*g_pumpHook)();

void sys_test_pump_hook(void (*hook)()) { g_pumpHook = hook; }

int sys_window_register(const char* className, SysWndProc proc) {
  (void)className;
  g_wndProc = proc;
  return proc != nullptr;
}

SysWindow sys_window_create(const char* className, const char* title, int fullscreen, int w, int h) {
  (void)className;
  if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
  Uint32 flags = SDL_WINDOW_SHOWN | (fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
  SDL_Window* win = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, flags);
  if (!win) return nullptr;
  g_window = win;
  g_clientW = w;
  g_clientH = h;
  return (SysWindow)win;
}

intptr_t sys_window_default(SysWindow win, uint32_t msg, uintptr_t wp, intptr_t lp) {
  (void)lp;
  if (msg == SYS_WM_SYSKEYDOWN && wp == SYS_VK_F4 && g_wndProc) g_wndProc(win, SYS_WM_CLOSE, 0, 0);
  return 0;
}

// Virtual-key code of an SDL key; 0 for keys the game has no code for.
static int vk_of(SDL_Keycode k) {
  if (k >= SDLK_a && k <= SDLK_z) return 'A' + (int)(k - SDLK_a);
  if (k >= SDLK_0 && k <= SDLK_9) return '0' + (int)(k - SDLK_0);
  if (k >= SDLK_F1 && k <= SDLK_F12) return SYS_VK_F1 + (int)(k - SDLK_F1);
  if (k >= SDLK_KP_1 && k <= SDLK_KP_9) return 0x61 + (int)(k - SDLK_KP_1);
  switch (k) {
    case SDLK_KP_0: return 0x60;
    case SDLK_RETURN: case SDLK_KP_ENTER: return SYS_VK_RETURN;
    case SDLK_ESCAPE: return SYS_VK_ESCAPE;
    case SDLK_BACKSPACE: return SYS_VK_BACK;
    case SDLK_TAB: return SYS_VK_TAB;
    case SDLK_SPACE: return SYS_VK_SPACE;
    case SDLK_LEFT: return SYS_VK_LEFT;
    case SDLK_RIGHT: return SYS_VK_RIGHT;
    case SDLK_UP: return SYS_VK_UP;
    case SDLK_DOWN: return SYS_VK_DOWN;
    case SDLK_LSHIFT: case SDLK_RSHIFT: return SYS_VK_SHIFT;
    case SDLK_LCTRL: case SDLK_RCTRL: return SYS_VK_CONTROL;
    case SDLK_LALT: case SDLK_RALT: return SYS_VK_MENU;
    case SDLK_PAUSE: return SYS_VK_PAUSE;
    case SDLK_PAGEUP: return SYS_VK_PRIOR;
    case SDLK_PAGEDOWN: return SYS_VK_NEXT;
    case SDLK_HOME: return SYS_VK_HOME;
    case SDLK_END: return SYS_VK_END;
    case SDLK_INSERT: return SYS_VK_INSERT;
    case SDLK_DELETE: return SYS_VK_DELETE;
    default: return 0;
  }
}

static intptr_t mouse_lparam(int x, int y) {
  int w, h;
  SDL_GetWindowSize(g_window, &w, &h);
  if (w > 0 && h > 0 && (w != g_clientW || h != g_clientH)) {
    x = (int)((int64_t)x * g_clientW / w);
    y = (int)((int64_t)y * g_clientH / h);
  }
  return (intptr_t)(uint32_t)(((uint32_t)y & 0xFFFF) << 16 | ((uint32_t)x & 0xFFFF));
}

// Key messages as Windows sends them: WM_SYSKEY* while Alt is held (and for
// Alt itself and F10), bit 30 = the key was already down (auto-repeat),
// bit 31 = released, bit 29 = Alt held.
static void key_event(const SDL_KeyboardEvent& e) {
  int vk = vk_of(e.keysym.sym);
  if (!vk) return;
  int down = e.type == SDL_KEYDOWN;
  int alt = (e.keysym.mod & KMOD_ALT) != 0 || vk == SYS_VK_MENU;
  int sys = alt || (down && vk == SYS_VK_F10);
  uint32_t lp = 1;
  if (alt) lp |= 1u << 29;
  if (!down || e.repeat) lp |= 1u << 30;
  if (!down) lp |= 1u << 31;
  uint32_t msg = down ? (sys ? SYS_WM_SYSKEYDOWN : SYS_WM_KEYDOWN) : (sys ? SYS_WM_SYSKEYUP : SYS_WM_KEYUP);
  g_wndProc((SysWindow)g_window, msg, (uintptr_t)vk, (intptr_t)lp);
}

int sys_pump_messages() {
  if (g_pumpHook) g_pumpHook();
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 1;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (!g_wndProc || !g_window) continue;
    SysWindow w = (SysWindow)g_window;
    switch (e.type) {
      case SDL_QUIT:  // the last window closed, or an interrupt signal
        g_wndProc(w, SYS_WM_CLOSE, 0, 0);
        break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) g_wndProc(w, SYS_WM_CLOSE, 0, 0);
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) g_wndProc(w, SYS_WM_KILLFOCUS, 0, 0);
        break;
      case SDL_KEYDOWN:
      case SDL_KEYUP:
        key_event(e.key);
        break;
      case SDL_MOUSEMOTION:
        g_wndProc(w, SYS_WM_MOUSEMOVE, 0, mouse_lparam(e.motion.x, e.motion.y));
        break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT)
          g_wndProc(w, SYS_WM_LBUTTONDOWN, 1, mouse_lparam(e.button.x, e.button.y));
        break;
      default:
        break;
    }
  }
  return 1;
}

int sys_error_box(const char* text, const char* caption) {
  // A headless run (dummy video driver) must never wait on a box nobody sees.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && strcmp(driver, "dummy") == 0) return 0;
  const char* hint = getenv("SDL_VIDEODRIVER");
  if (hint && strcmp(hint, "dummy") == 0) return 0;
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, caption, text, g_window) == 0;
}

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
  g_clientW = w;
  g_clientH = h;
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
