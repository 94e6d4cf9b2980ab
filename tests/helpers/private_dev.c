/* private_dev [--drop-dac] NAME=KIND... -- PROGRAM [ARGUMENT...]
 *
 * Runs PROGRAM in a mount namespace of its own whose /dev is a fresh, empty tmpfs holding
 * only the entries named on the command line, so the tests can take the random devices
 * away or put something else in their place without touching the machine's /dev:
 *
 *   char:MAJOR:MINOR    a character device node, mode 0666 (1:8 is random, 1:9 urandom,
 *                       1:3 null; a minor the driver lacks opens with ENXIO)
 *   locked:MAJOR:MINOR  the same node with mode 0000
 *   dir                 an empty directory
 *   file                an empty regular file
 *   fifo                a named pipe, mode 0666
 *
 * Anything not named is missing. --drop-dac removes CAP_DAC_OVERRIDE and
 * CAP_DAC_READ_SEARCH from the capability bounding set before the exec, so even root meets
 * file modes there, as any unprivileged process would.
 *
 * Exits with 77 when the machine does not let it build the namespace, so callers can skip. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <linux/capability.h>
#include <sched.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

enum { kCannotIsolate = 77, kUsage = 2, kFailed = 3 };

static int usage(void) {
  fprintf(stderr, "usage: private_dev [--drop-dac] NAME=KIND... -- PROGRAM [ARGUMENT...]\n");
  return kUsage;
}

static int make_node(const char* path, mode_t mode, const char* numbers) {
  unsigned major_number = 0, minor_number = 0;
  if (sscanf(numbers, "%u:%u", &major_number, &minor_number) != 2) return -1;
  if (mknod(path, S_IFCHR | 0666, makedev(major_number, minor_number)) != 0) return -1;
  /* chmod after mknod: the umask must not decide the mode. */
  return chmod(path, mode);
}

static int make_entry(const char* name, const char* kind) {
  char path[256];
  if (strchr(name, '/') != NULL ||
      snprintf(path, sizeof path, "/dev/%s", name) >= (int)sizeof path) {
    errno = EINVAL;
    return -1;
  }
  if (strncmp(kind, "char:", 5) == 0) return make_node(path, 0666, kind + 5);
  if (strncmp(kind, "locked:", 7) == 0) return make_node(path, 0, kind + 7);
  if (strcmp(kind, "dir") == 0) return mkdir(path, 0755);
  if (strcmp(kind, "fifo") == 0) return mkfifo(path, 0666) == 0 ? chmod(path, 0666) : -1;
  if (strcmp(kind, "file") == 0) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    close(fd);
    return chmod(path, 0666);
  }
  errno = EINVAL;
  return -1;
}

int main(int argc, char** argv) {
  int first = 1;
  int drop_dac = 0;
  if (first < argc && strcmp(argv[first], "--drop-dac") == 0) {
    drop_dac = 1;
    ++first;
  }
  int separator = first;
  while (separator < argc && strcmp(argv[separator], "--") != 0) ++separator;
  if (separator + 1 >= argc) return usage();

  if (unshare(CLONE_NEWNS) != 0) {
    perror("private_dev: unshare(CLONE_NEWNS)");
    return kCannotIsolate;
  }
  /* Without this, the tmpfs below would propagate back into the machine's namespace. */
  if (mount(NULL, "/", NULL, MS_REC | MS_PRIVATE, NULL) != 0) {
    perror("private_dev: making mounts private");
    return kCannotIsolate;
  }
  if (mount("private_dev", "/dev", "tmpfs", MS_NOSUID | MS_NOEXEC, "mode=0755") != 0) {
    perror("private_dev: mounting a tmpfs on /dev");
    return kCannotIsolate;
  }
  for (int i = first; i < separator; ++i) {
    char* equals = strchr(argv[i], '=');
    if (equals == NULL) return usage();
    *equals = '\0';
    if (make_entry(argv[i], equals + 1) != 0) {
      const int error_number = errno;
      fprintf(stderr, "private_dev: creating /dev/%s as %s: %s\n", argv[i], equals + 1,
              strerror(error_number));
      return error_number == EPERM ? kCannotIsolate : kFailed;
    }
  }
  if (drop_dac && (prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) != 0 ||
                   prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) != 0)) {
    perror("private_dev: dropping CAP_DAC_OVERRIDE");
    return kCannotIsolate;
  }
  execvp(argv[separator + 1], argv + separator + 1);
  perror("private_dev: exec");
  return kFailed;
}
