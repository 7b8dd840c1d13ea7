// A library the shell tests preload into the player (LD_PRELOAD), never
// linked into it: every open of a path whose last component is the name
// ORBA_FAIL_OPEN_NAME gives fails with the errno ORBA_FAIL_OPEN_ERRNO (a
// number). So a test gives the player a file that is there but cannot be
// opened for a reason root is never given (EACCES) or a test cannot bring
// about for one file alone (EMFILE). Every form of open the C library
// exports (64-bit, fortified, relative to a folder) is covered; each passes
// anything else to the next library's own. fopen opens inside the C library
// and is out of reach. In the sanitizer build the player's interceptors
// reach these through RTLD_NEXT.
#undef _FORTIFY_SOURCE  // these definitions replace the fortified inline ones
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>

typedef int (*TOpen)(const char*, int, ...);
typedef int (*TOpenAt)(int, const char*, int, ...);

// Whether Path is to fail; then errno is set.
static int Failing(const char* path) {
  const char* name = getenv("ORBA_FAIL_OPEN_NAME");
  const char* error = getenv("ORBA_FAIL_OPEN_ERRNO");
  if (path == NULL || name == NULL || error == NULL || *name == '\0') return 0;
  const size_t n = strlen(name), p = strlen(path);
  if (p < n || strcmp(path + p - n, name) != 0 || (p > n && path[p - n - 1] != '/')) return 0;
  errno = atoi(error);
  return 1;
}

// The mode argument, there only when a file may be created.
static mode_t ModeArgument(int flags, va_list args) {
  return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? (mode_t)va_arg(args, int) : 0;
}

#define ORBA_OPEN(symbol)                                    \
  int symbol(const char* path, int flags, ...) {             \
    va_list args;                                            \
    va_start(args, flags);                                   \
    const mode_t mode = ModeArgument(flags, args);           \
    va_end(args);                                            \
    if (Failing(path)) return -1;                            \
    return ((TOpen)dlsym(RTLD_NEXT, #symbol))(path, flags, mode); \
  }
#define ORBA_OPENAT(symbol)                                              \
  int symbol(int folder, const char* path, int flags, ...) {             \
    va_list args;                                                        \
    va_start(args, flags);                                               \
    const mode_t mode = ModeArgument(flags, args);                       \
    va_end(args);                                                        \
    if (Failing(path)) return -1;                                        \
    return ((TOpenAt)dlsym(RTLD_NEXT, #symbol))(folder, path, flags, mode); \
  }
// The fortified forms never create, so they take no mode.
#define ORBA_OPEN_2(symbol)                                                        \
  int symbol(const char* path, int flags) {                                        \
    if (Failing(path)) return -1;                                                  \
    return ((int (*)(const char*, int))dlsym(RTLD_NEXT, #symbol))(path, flags);    \
  }
#define ORBA_OPENAT_2(symbol)                                                               \
  int symbol(int folder, const char* path, int flags) {                                     \
    if (Failing(path)) return -1;                                                           \
    return ((int (*)(int, const char*, int))dlsym(RTLD_NEXT, #symbol))(folder, path, flags); \
  }

ORBA_OPEN(open)
ORBA_OPEN(open64)
ORBA_OPENAT(openat)
ORBA_OPENAT(openat64)
ORBA_OPEN_2(__open_2)
ORBA_OPEN_2(__open64_2)
ORBA_OPENAT_2(__openat_2)
ORBA_OPENAT_2(__openat64_2)
