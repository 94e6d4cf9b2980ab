/* Preloaded into a test process (LD_PRELOAD), this getrandom hands out the bytes given in
 * hexadecimal by PLINX_TEST_NONCE, repeated, instead of randomness: draws become
 * reproducible, so the tests can tell which destiny a draw really used. */
#include <stddef.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>

static int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
  (void)flags;
  const char* hex = getenv("PLINX_TEST_NONCE");
  const size_t pattern = hex != NULL ? strlen(hex) / 2 : 0;
  unsigned char* out = buffer;
  for (size_t i = 0; i < length; ++i) {
    const size_t at = pattern > 0 ? 2 * (i % pattern) : 0;
    out[i] = pattern > 0 ? (unsigned char)(hex_digit(hex[at]) << 4 | hex_digit(hex[at + 1])) : 0;
  }
  return (ssize_t)length;
}
