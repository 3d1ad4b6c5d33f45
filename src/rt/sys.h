// The OS layer: the only place where the game meets the platform. One
// implementation per platform: sys_win32.cpp (kernel32, freestanding) and
// sys_sdl.cpp (POSIX + SDL2). Everything above it is shared.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef struct SysFileT* SysFile;      // null = no file
typedef struct SysThreadT* SysThread;  // null = no thread
typedef struct SysEventT* SysEvent;    // null = no event
typedef struct SysLibT* SysLib;        // null = not loaded
typedef struct SysWindowT* SysWindow;  // HWND on Windows, SDL_Window* on Linux; null = none

// ---- floating point -----------------------------------------------------------
// x87 control word 0x027F: 53-bit precision, round to nearest, exceptions
// masked. Called first thing on every thread (the thread starter does it).
void sys_fpu_init();
uint16_t sys_fpu_control();

// ---- heap ---------------------------------------------------------------------------
void* sys_alloc(size_t n);               // zero-filled, null on failure
void* sys_realloc(void* p, size_t n);    // grown part zero-filled, null on failure (p kept)
void sys_free(void* p);

// ---- files ----------------------------------------------------------------------------
SysFile sys_open_read(const char* path);               // shared for reading; never a directory
SysFile sys_create(const char* path, int shareRead);   // create or replace, for writing
int64_t sys_file_size(SysFile f);                      // -1 when unknown
int sys_read(SysFile f, void* buf, uint32_t n, uint32_t* got);        // 1 = call succeeded
int sys_write(SysFile f, const void* buf, uint32_t n, uint32_t* put);  // 1 = call succeeded
void sys_flush(SysFile f);
void sys_close(SysFile f);
int sys_is_file(const char* path);  // exists and is not a directory
int sys_replace(const char* from, const char* to);  // rename over an existing file; 1 = done

// ---- process ----------------------------------------------------------------------------
void sys_debug_out(const char* s);  // debugger output (stderr on Linux)
const char* sys_command_line();     // as the system gives it, program path first
#if SK_SDL
void sys_set_args(int argc, char** argv);  // Linux entry: builds the command line
void sys_test_fail_threads(int fail);      // tests: sys_thread_start fails while set
#endif
int sys_program_path(char* buf, int cap);  // full path of the program file; length or 0
int sys_set_cwd(const char* dir);
[[noreturn]] void sys_exit(int code);

// ---- the game window (created by the shell) ------------------------------------------
// Window messages and key codes are the Win32 ones on every platform: the SDL
// layer turns its events into these, with bit 30 of the long parameter set
// on auto-repeated key messages, exactly as Windows delivers them.
enum {
  SYS_WM_DESTROY = 0x0002,
  SYS_WM_KILLFOCUS = 0x0008,
  SYS_WM_CLOSE = 0x0010,
  SYS_WM_QUIT = 0x0012,
  SYS_WM_KEYDOWN = 0x0100,
  SYS_WM_KEYUP = 0x0101,
  SYS_WM_SYSKEYDOWN = 0x0104,
  SYS_WM_SYSKEYUP = 0x0105,
  SYS_WM_MOUSEMOVE = 0x0200,
  SYS_WM_LBUTTONDOWN = 0x0201,
};
enum {
  SYS_VK_BACK = 0x08, SYS_VK_TAB = 0x09, SYS_VK_RETURN = 0x0D, SYS_VK_SHIFT = 0x10, SYS_VK_CONTROL = 0x11,
  SYS_VK_MENU = 0x12, SYS_VK_PAUSE = 0x13, SYS_VK_ESCAPE = 0x1B, SYS_VK_SPACE = 0x20, SYS_VK_PRIOR = 0x21,
  SYS_VK_NEXT = 0x22, SYS_VK_END = 0x23, SYS_VK_HOME = 0x24, SYS_VK_LEFT = 0x25, SYS_VK_UP = 0x26,
  SYS_VK_RIGHT = 0x27, SYS_VK_DOWN = 0x28, SYS_VK_INSERT = 0x2D, SYS_VK_DELETE = 0x2E, SYS_VK_F1 = 0x70,
  SYS_VK_F4 = 0x73, SYS_VK_F10 = 0x79, SYS_VK_F12 = 0x7B,
};

// The window procedure: the standard four arguments and result of a Win32
// window procedure (stdcall on 32-bit Windows).
#if SK_WIN32 && defined(__i386__)
#define SYS_CALLBACK __attribute__((stdcall))
#else
#define SYS_CALLBACK
#endif
typedef intptr_t(SYS_CALLBACK* SysWndProc)(SysWindow win, uint32_t msg, uintptr_t wp, intptr_t lp);

// Registers the window class: own device context, the given procedure, icon 1
// of the program (or the default one), arrow cursor, black background. 1 = ok.
int sys_window_register(const char* className, SysWndProc proc);
// Creates and shows the window with a client area of w x h (windowed: caption,
// system menu and minimise box, not resizable; full screen: a popup). Null on
// failure.
SysWindow sys_window_create(const char* className, const char* title, int fullscreen, int w, int h);
// What the system does with a message the game leaves alone (on Linux: Alt+F4
// closes the window, everything else is dropped).
intptr_t sys_window_default(SysWindow win, uint32_t msg, uintptr_t wp, intptr_t lp);
// Delivers every pending message to the window procedure; 0 once the quit
// message has been seen.
int sys_pump_messages();
// A modal error box with an OK button; 0 when it could not be shown.
int sys_error_box(const char* text, const char* caption);
#if SK_SDL
// Tests: called at the start of every pump, before the queue is read (to put
// scripted events into it).
void sys_test_pump_hook(void (*hook)());
#endif

void sys_screen_size(int* w, int* h);  // the primary display, in pixels
// Windowed: caption, system menu and minimise box, no sizing border, with a
// client area of w x h at (40, 40). Full screen: a borderless popup of w x h at
// (0, 0) on top.
void sys_window_set_mode(SysWindow win, int fullscreen, int w, int h);
int sys_window_client_size(SysWindow win, int* w, int* h);  // 1 = known

// ---- time --------------------------------------------------------------------------------
int64_t sys_counter();       // monotonic high-resolution counter
int64_t sys_counter_freq();  // its counts per second
void sys_sleep(uint32_t ms);
void sys_timer_period(uint32_t ms);  // system timer resolution (timeBeginPeriod)

// ---- threads, events, atomics ---------------------------------------------------------------
typedef uint32_t (*SysThreadFn)(void* arg);
SysThread sys_thread_start(SysThreadFn fn, void* arg, uint32_t stackBytes);
void sys_thread_priority_max(SysThread t);      // time-critical
int sys_thread_wait(SysThread t, uint32_t ms);  // 1 = ended within ms
void sys_thread_close(SysThread t);             // frees the handle (joins on Linux if ended)
int64_t sys_thread_cpu_100ns();                 // calling thread's user+kernel time, -1 if unknown

SysEvent sys_event_create();                  // auto-reset, not signalled
void sys_event_set(SysEvent e);
int sys_event_wait(SysEvent e, uint32_t ms);  // 1 = signalled (and reset), 0 = timed out
void sys_event_close(SysEvent e);

// Full-barrier exchange and acquire load of a 32-bit word shared by two threads.
static inline int32_t sys_xchg(volatile int32_t* p, int32_t v) {
  return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST);
}
static inline int32_t sys_load(const volatile int32_t* p) {
  return __atomic_load_n(p, __ATOMIC_ACQUIRE);
}

// ---- libraries loaded by name -------------------------------------------------------------------
SysLib sys_lib_load(const char* name);
void* sys_lib_proc(SysLib lib, const char* name);

// Linux answers "d3d9.dll", "winmm.dll", "xinput1_4.dll", "xinput1_3.dll" and
// "xinput9_1_0.dll" from a built-in table; each entry's lookup function is
// provided by the module that implements it. Tests block entries to exercise
// the "library missing" paths. No-ops on Windows.
typedef void* (*SysProcLookup)(const char* name);
void sys_lib_provide(const char* name, SysProcLookup lookup);
void sys_lib_block(const char* name, int blocked);
