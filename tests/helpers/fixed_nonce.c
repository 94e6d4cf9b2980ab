/* Preloaded into a test process (LD_PRELOAD), this answers getrandom, whether made through
 * syscall(3) or the C library's getrandom(3), with the bytes given in hexadecimal by
 * PLINX_TEST_NONCE, repeated, instead of randomness: draws become reproducible, so the tests
 * can tell which destiny a draw really used. Every other system call goes through to the C
 * library's syscall. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/types.h>

static int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

static long fixed_bytes(unsigned char* out, size_t length) {
  const char* hex = getenv("PLINX_TEST_NONCE");
  const size_t pattern = hex != NULL ? strlen(hex) / 2 : 0;
  for (size_t i = 0; i < length; ++i) {
    const size_t at = pattern > 0 ? 2 * (i % pattern) : 0;
    out[i] = pattern > 0 ? (unsigned char)(hex_digit(hex[at]) << 4 | hex_digit(hex[at + 1])) : 0;
  }
  return (long)length;
}

long syscall(long number, ...) {
  /* The kernel takes at most six arguments in registers; reading six is what glibc's own
   * syscall does, whatever the call needs. */
  va_list arguments;
  va_start(arguments, number);
  long a[6];
  for (int i = 0; i < 6; ++i) a[i] = va_arg(arguments, long);
  va_end(arguments);
  if (number == SYS_getrandom) return fixed_bytes((unsigned char*)a[0], (size_t)a[1]);
  static long (*next)(long, ...) = NULL;
  if (next == NULL) next = (long (*)(long, ...))dlsym(RTLD_NEXT, "syscall");
  return next(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
  (void)flags;
  return fixed_bytes((unsigned char*)buffer, length);
}
