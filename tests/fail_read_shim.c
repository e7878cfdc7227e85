/* Preloaded into lorvex by the tests: read() on descriptors from 3 up
   fails with EIO once LORVEX_TEST_FAIL_READ_AFTER bytes have been read
   from them, so that a read error in the middle of the input can be
   provoked on an ordinary file. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <unistd.h>

ssize_t read(int fd, void* buf, size_t n) {
  static ssize_t (*real_read)(int, void*, size_t);
  static long long budget = -2;
  if (real_read == NULL) real_read = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
  if (budget == -2) {
    const char* s = getenv("LORVEX_TEST_FAIL_READ_AFTER");
    budget = s != NULL ? atoll(s) : -1;
  }
  if (fd < 3 || budget < 0) return real_read(fd, buf, n);
  if (budget == 0) {
    errno = EIO;
    return -1;
  }
  if ((long long)n > budget) n = (size_t)budget;
  ssize_t got = real_read(fd, buf, n);
  if (got > 0) budget -= got;
  return got;
}
