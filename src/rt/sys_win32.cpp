// The OS layer on Windows: kernel32 and winmm only, no C runtime.
#include "rt/sys.h"
#include "rt/rt.h"

#include <windows.h>
#include <mmsystem.h>

// ---- heap ---------------------------------------------------------------------
static HANDLE g_heap;  // the process heap, fetched by the first allocation

void* sys_alloc(size_t n) {
  if (!g_heap) g_heap = GetProcessHeap();
  return HeapAlloc(g_heap, HEAP_ZERO_MEMORY, n);
}

void* sys_realloc(void* p, size_t n) {
  if (!g_heap) g_heap = GetProcessHeap();
  if (!p) return HeapAlloc(g_heap, HEAP_ZERO_MEMORY, n);
  return HeapReAlloc(g_heap, HEAP_ZERO_MEMORY, p, n);
}

void sys_free(void* p) {
  if (p) HeapFree(g_heap ? g_heap : GetProcessHeap(), 0, p);
}

// ---- files ---------------------------------------------------------------------
static SysFile as_file(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : (SysFile)h; }

SysFile sys_open_read(const char* path) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened.
  return as_file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
}

SysFile sys_create(const char* path, int shareRead) {
  return as_file(CreateFileA(path, GENERIC_WRITE, shareRead ? FILE_SHARE_READ : 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

int64_t sys_file_size(SysFile f) {
  DWORD high = 0;
  DWORD low = GetFileSize((HANDLE)f, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return -1;
  return ((int64_t)high << 32) | low;
}

int sys_read(SysFile f, void* buf, uint32_t n, uint32_t* got) {
  DWORD r = 0;
  BOOL ok = ReadFile((HANDLE)f, buf, n, &r, nullptr);
  *got = r;
  return ok != 0;
}

int sys_write(SysFile f, const void* buf, uint32_t n, uint32_t* put) {
  DWORD w = 0;
  BOOL ok = WriteFile((HANDLE)f, buf, n, &w, nullptr);
  *put = w;
  return ok != 0;
}

void sys_flush(SysFile f) { FlushFileBuffers((HANDLE)f); }

void sys_close(SysFile f) {
  if (f) CloseHandle((HANDLE)f);
}

int sys_replace(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

int sys_is_file(const char* path) {
  DWORD a = GetFileAttributesA(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// ---- process ----------------------------------------------------------------------
void sys_debug_out(const char* s) { OutputDebugStringA(s); }

const char* sys_command_line() { return GetCommandLineA(); }

int sys_program_path(char* buf, int cap) {
  if (cap <= 1) return 0;
  DWORD n = GetModuleFileNameA(nullptr, buf, (DWORD)cap);
  if (n == 0 || n >= (DWORD)cap) return 0;  // failed or cut short
  return (int)n;
}

int sys_set_cwd(const char* dir) { return SetCurrentDirectoryA(dir) != 0; }

void sys_exit(int code) {
  ExitProcess((UINT)code);
}

// ---- window -----------------------------------------------------------------------------
int sys_window_register(const char* className, SysWndProc proc) {
  HINSTANCE inst = GetModuleHandleA(nullptr);
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.style = CS_OWNDC;
  wc.lpfnWndProc = (WNDPROC)(void*)proc;
  wc.hInstance = inst;
  wc.hIcon = LoadIconA(inst, MAKEINTRESOURCEA(1));
  if (!wc.hIcon) wc.hIcon = LoadIconA(nullptr, (LPCSTR)IDI_APPLICATION);
  wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
  wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
  wc.lpszClassName = className;
  return RegisterClassA(&wc) != 0;
}

SysWindow sys_window_create(const char* className, const char* title, int fullscreen, int w, int h) {
  DWORD style = fullscreen ? WS_POPUP : (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX);
  RECT r = {0, 0, w, h};
  AdjustWindowRect(&r, style, FALSE);
  HWND hwnd = CreateWindowExA(0, className, title, style | WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                              nullptr);
  if (!hwnd) return nullptr;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  return (SysWindow)hwnd;
}

intptr_t sys_window_default(SysWindow win, uint32_t msg, uintptr_t wp, intptr_t lp) {
  return DefWindowProcA((HWND)win, msg, wp, lp);
}

int sys_pump_messages() {
  MSG m;
  int running = 1;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) running = 0;
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return running;
}

int sys_error_box(const char* text, const char* caption) {
  return MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONERROR) != 0;
}

void sys_screen_size(int* w, int* h) {
  *w = GetSystemMetrics(SM_CXSCREEN);
  *h = GetSystemMetrics(SM_CYSCREEN);
}

void sys_window_set_mode(SysWindow win, int fullscreen, int w, int h) {
  HWND hwnd = (HWND)win;
  if (fullscreen) {
    SetWindowLongA(hwnd, GWL_STYLE, (LONG)(WS_POPUP | WS_VISIBLE));
    SetWindowPos(hwnd, HWND_TOP, 0, 0, w, h, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    return;
  }
  DWORD style = WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT r = {0, 0, w, h};
  AdjustWindowRect(&r, style, FALSE);
  SetWindowLongA(hwnd, GWL_STYLE, (LONG)style);
  SetWindowPos(hwnd, HWND_NOTOPMOST, 40, 40, r.right - r.left, r.bottom - r.top, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

int sys_window_client_size(SysWindow win, int* w, int* h) {
  RECT r;
  if (!win || !GetClientRect((HWND)win, &r)) return 0;
  *w = r.right - r.left;
  *h = r.bottom - r.top;
  return 1;
}

// ---- time -----------------------------------------------------------------------------
int64_t sys_counter() {
  LARGE_INTEGER v;
  QueryPerformanceCounter(&v);
  return v.QuadPart;
}

int64_t sys_counter_freq() {
  LARGE_INTEGER v;
  QueryPerformanceFrequency(&v);
  return v.QuadPart;
}

void sys_sleep(uint32_t ms) { Sleep(ms); }

void sys_timer_period(uint32_t ms) { timeBeginPeriod(ms); }

// ---- threads --------------------------------------------------------------------------
struct ThreadStart {
  SysThreadFn fn;
  void* arg;
};

static DWORD WINAPI thread_main(LPVOID p) {
  sys_fpu_init();
  ThreadStart s = *(ThreadStart*)p;
  sys_free(p);
  return s.fn(s.arg);
}

SysThread sys_thread_start(SysThreadFn fn, void* arg, uint32_t stackBytes) {
  ThreadStart* s = (ThreadStart*)sys_alloc(sizeof *s);
  if (!s) return nullptr;
  s->fn = fn;
  s->arg = arg;
  HANDLE h = CreateThread(nullptr, stackBytes, thread_main, s, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (!h) {
    sys_free(s);
    return nullptr;
  }
  return (SysThread)h;
}

void sys_thread_priority_max(SysThread t) { SetThreadPriority((HANDLE)t, THREAD_PRIORITY_TIME_CRITICAL); }

int sys_thread_wait(SysThread t, uint32_t ms) {
  return !t || WaitForSingleObject((HANDLE)t, ms) == WAIT_OBJECT_0;
}

void sys_thread_close(SysThread t) {
  if (t) CloseHandle((HANDLE)t);
}

int64_t sys_thread_cpu_100ns() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return -1;
  int64_t k = ((int64_t)kernel.dwHighDateTime << 32) | kernel.dwLowDateTime;
  int64_t u = ((int64_t)user.dwHighDateTime << 32) | user.dwLowDateTime;
  return k + u;
}

// ---- events ---------------------------------------------------------------------------------
SysEvent sys_event_create() { return (SysEvent)CreateEventA(nullptr, FALSE, FALSE, nullptr); }

void sys_event_set(SysEvent e) { SetEvent((HANDLE)e); }

int sys_event_wait(SysEvent e, uint32_t ms) { return WaitForSingleObject((HANDLE)e, ms) == WAIT_OBJECT_0; }

void sys_event_close(SysEvent e) {
  if (e) CloseHandle((HANDLE)e);
}

// ---- libraries ------------------------------------------------------------------------------
SysLib sys_lib_load(const char* name) { return (SysLib)LoadLibraryA(name); }

void* sys_lib_proc(SysLib lib, const char* name) {
  return lib ? (void*)GetProcAddress((HMODULE)lib, name) : nullptr;
}

void sys_lib_provide(const char* name, SysProcLookup lookup) {
  (void)name;
  (void)lookup;
}

void sys_lib_block(const char* name, int blocked) {
  (void)name;
  (void)blocked;
}
