/* Loaded into a test process with ctypes, this wraps the handler Python installed for a
 * signal with one that first counts, then calls Python's. It runs at C level, so it counts
 * every delivery, also those that arrive while the interpreter sits inside a blocked system
 * call, and it tells which deliveries cut a system call short: when a handler without
 * SA_RESTART interrupts one, the kernel has already put -EINTR into the saved return
 * register by the time the handler runs, with the saved program counter just past the
 * system call instruction. */
#define _GNU_SOURCE
#include <errno.h>
#include <signal.h>
#include <stdint.h>
#include <string.h>
#include <ucontext.h>

static struct sigaction wrapped;
static volatile sig_atomic_t installed_signal = 0;
static volatile long delivered = 0;
static volatile long interrupted = 0;

/* Whether the saved context is a system call that a signal cut short. The code before the
 * program counter is read only once the return register says a system call returned: it
 * then lies inside the mapping that holds the system call instruction. */
#if defined(__x86_64__)
static int cut_short(const ucontext_t* state) {
  if (state->uc_mcontext.gregs[REG_RAX] != -EINTR) return 0;
  const unsigned char* rip = (const unsigned char*)state->uc_mcontext.gregs[REG_RIP];
  return rip[-2] == 0x0f && rip[-1] == 0x05; /* syscall */
}
#elif defined(__aarch64__)
static int cut_short(const ucontext_t* state) {
  if ((long long)state->uc_mcontext.regs[0] != -EINTR) return 0;
  uint32_t instruction;
  memcpy(&instruction, (const void*)(uintptr_t)(state->uc_mcontext.pc - 4), sizeof instruction);
  return instruction == 0xd4000001u; /* svc #0 */
}
#else
#error "signal_probe.c: no way to read a cut-short system call on this architecture"
#endif

static void count_then_forward(int signal_number, siginfo_t* info, void* context) {
  ++delivered;
  if (cut_short(context)) ++interrupted;
  if (wrapped.sa_flags & SA_SIGINFO) {
    wrapped.sa_sigaction(signal_number, info, context);
  } else if (wrapped.sa_handler != SIG_DFL && wrapped.sa_handler != SIG_IGN) {
    wrapped.sa_handler(signal_number);
  }
}

/* Wraps the current handler of signal_number, keeping its flags (Python's lack
 * SA_RESTART). Returns those flags, or -1 when sigaction fails. */
int signal_probe_install(int signal_number) {
  struct sigaction current;
  if (sigaction(signal_number, NULL, &current) != 0) return -1;
  wrapped = current;
  struct sigaction probe;
  memset(&probe, 0, sizeof probe);
  probe.sa_sigaction = count_then_forward;
  probe.sa_mask = current.sa_mask;
  probe.sa_flags = (current.sa_flags & ~SA_RESETHAND) | SA_SIGINFO;
  if (sigaction(signal_number, &probe, NULL) != 0) return -1;
  installed_signal = signal_number;
  return current.sa_flags;
}

/* Puts the wrapped handler back. */
int signal_probe_remove(void) {
  if (installed_signal == 0) return 0;
  const int signal_number = installed_signal;
  installed_signal = 0;
  return sigaction(signal_number, &wrapped, NULL);
}

long signal_probe_delivered(void) { return delivered; }

long signal_probe_interrupted(void) { return interrupted; }

int signal_probe_restart_flag(void) { return SA_RESTART; }
