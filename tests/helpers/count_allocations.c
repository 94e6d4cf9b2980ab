/* Preloaded into a test process (LD_PRELOAD), this counts every allocation made through
 * malloc, calloc and realloc in allocation_count, which the test reads through ctypes. With
 * PYTHONMALLOC=malloc, Python's own objects are counted too. */
#include <stddef.h>

extern void* __libc_malloc(size_t size);
extern void* __libc_calloc(size_t count, size_t size);
extern void* __libc_realloc(void* pointer, size_t size);

unsigned long long allocation_count = 0;

void* malloc(size_t size) {
  __atomic_add_fetch(&allocation_count, 1, __ATOMIC_RELAXED);
  return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
  __atomic_add_fetch(&allocation_count, 1, __ATOMIC_RELAXED);
  return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
  __atomic_add_fetch(&allocation_count, 1, __ATOMIC_RELAXED);
  return __libc_realloc(pointer, size);
}
