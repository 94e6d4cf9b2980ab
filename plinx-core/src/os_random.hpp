#pragma once

#include <poll.h>
#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

namespace plinx::detail {

// The system calls behind the random source. Each returns what the call returns and leaves
// its error in errno; tests substitute a scripted implementation to force every failure.
class SystemCalls {
 public:
  virtual ~SystemCalls() = default;
  // The getrandom system call itself.
  virtual ssize_t getrandom_system_call(void* buffer, std::size_t length, unsigned flags) const = 0;
  // The C library's getrandom(): the same kernel generator, which glibc 2.41+ serves from the
  // vDSO without entering the kernel.
  virtual ssize_t getrandom(void* buffer, std::size_t length, unsigned flags) const = 0;
  virtual int open(const char* path, int flags) const = 0;
  virtual int poll(pollfd* fds, nfds_t count, int timeout) const = 0;
  virtual ssize_t read(int fd, void* buffer, std::size_t length) const = 0;
  virtual int close(int fd) const = 0;
};

// The calls of the running kernel, through the C library.
const SystemCalls& host_system_calls();

// Why the random source failed.
struct SourceFailure {
  enum class Kind {
    kErrno,             // a positive errno value, in `error_number`
    kNonPositiveErrno,  // a call failed but left no positive errno to explain why
    kUnexpected,        // a call returned something its contract rules out
  };
  Kind kind;
  int error_number = 0;

  // The failure a call reported through errno.
  static SourceFailure from_errno(int error_number);
};

// The text after "Error: " in a draw's failure message.
std::string describe(const SourceFailure& failure);

// The operating system's random number generator: getrandom when the kernel has it,
// otherwise a /dev/urandom descriptor opened once, after /dev/random has signalled that
// the pool is initialised.
class OsRandom {
 public:
  explicit OsRandom(const SystemCalls& calls) : calls_(calls) {}
  ~OsRandom();
  OsRandom(const OsRandom&) = delete;
  OsRandom& operator=(const OsRandom&) = delete;
  OsRandom(OsRandom&&) = delete;
  OsRandom& operator=(OsRandom&&) = delete;

  // Fills `buffer` completely, or says why it could not; the bytes of a failed fill are not
  // randomness and must not be used.
  [[nodiscard]] std::optional<SourceFailure> fill(std::span<std::uint8_t> buffer);

  // The descriptor the fallback holds, or -1 while it holds none.
  int fallback_descriptor() const { return fallback_fd_.load(std::memory_order_acquire); }

 private:
  enum class Availability : std::uint8_t { kUndecided, kSystemCall, kFile };

  bool system_call_available();
  std::optional<SourceFailure> fill_from_system_call(std::span<std::uint8_t> buffer) const;
  std::optional<SourceFailure> fill_from_file(std::span<std::uint8_t> buffer);
  std::optional<SourceFailure> open_fallback();
  std::optional<SourceFailure> wait_for_entropy() const;
  std::optional<SourceFailure> open_read_only(const char* path, int& fd) const;

  const SystemCalls& calls_;
  // Decided on first use without a lock: every thread that decides stores the same answer.
  std::atomic<Availability> availability_{Availability::kUndecided};
  std::mutex fallback_mutex_;
  std::atomic<int> fallback_fd_{-1};
};

// The source every draw of the process reads, created on first use and kept until exit.
OsRandom& process_random_source();

}  // namespace plinx::detail
