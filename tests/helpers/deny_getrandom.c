/* deny_getrandom ERRNO PROGRAM [ARGUMENT...]
 *
 * Runs PROGRAM under a seccomp filter that makes every getrandom system call fail with
 * ERRNO (0 makes it return 0 bytes instead), so the tests can watch a real kernel refuse
 * randomness. Everything else is allowed.
 *
 * A filter installed by a program that runs under qemu-user does not reach the kernel, so
 * for an emulated machine this program is built for the host instead (statically) and run
 * around the emulator, whose own getrandom calls it then refuses. */
#include <errno.h>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

/* The architecture whose system call numbers this program was built with. */
#if defined(__x86_64__)
#define NATIVE_AUDIT_ARCH AUDIT_ARCH_X86_64
#elif defined(__aarch64__)
#define NATIVE_AUDIT_ARCH AUDIT_ARCH_AARCH64
#else
#error "deny_getrandom.c: no audit architecture known for this machine"
#endif

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: deny_getrandom ERRNO PROGRAM [ARGUMENT...]\n");
    return 2;
  }
  const unsigned error_number = (unsigned)strtoul(argv[1], NULL, 10);
  struct sock_filter filter[] = {
      /* A foreign architecture's system call numbers mean something else: allow them. */
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, NATIVE_AUDIT_ARCH, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_getrandom, 0, 1),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (error_number & SECCOMP_RET_DATA)),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  struct sock_fprog program = {sizeof filter / sizeof filter[0], filter};
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
    perror("deny_getrandom: seccomp");
    return 3;
  }
  execvp(argv[2], argv + 2);
  perror("deny_getrandom: exec");
  return 4;
}
