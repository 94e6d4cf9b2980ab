#include "os_random.hpp"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "utf8.hpp"

// glibc declares only the GNU strerror_r under _GNU_SOURCE, which g++ always defines. The
// XSI variant reports unknown error numbers and truncation as failures instead of quietly
// writing "Unknown error N", and the messages rely on that.
extern "C" int __xpg_strerror_r(  // NOLINT(bugprone-reserved-identifier): glibc's own name
    int error_number, char* buffer, std::size_t length);

// getrandom() is glibc 2.25+, and release builds target glibc 2.17: the weak reference is
// null where the C library lacks the function, and the raw system call serves instead.
extern "C" ssize_t getrandom(void* buffer, std::size_t length, unsigned int flags)
    __attribute__((weak));

namespace plinx::detail {
namespace {

class HostSystemCalls final : public SystemCalls {
 public:
  ssize_t getrandom_system_call(void* buffer, std::size_t length, unsigned flags) const override {
    return ::syscall(SYS_getrandom, buffer, length, flags);
  }
  ssize_t getrandom(void* buffer, std::size_t length, unsigned flags) const override {
    if (::getrandom == nullptr) return getrandom_system_call(buffer, length, flags);
    return ::getrandom(buffer, length, flags);
  }
  int open(const char* path, int flags) const override { return ::open(path, flags); }
  int poll(pollfd* fds, nfds_t count, int timeout) const override {
    return ::poll(fds, count, timeout);
  }
  ssize_t read(int fd, void* buffer, std::size_t length) const override {
    return ::read(fd, buffer, length);
  }
  int close(int fd) const override { return ::close(fd); }
};

// Owns a descriptor and closes it through the same calls that opened it.
class ScopedDescriptor {
 public:
  ScopedDescriptor(const SystemCalls& calls, int fd) : calls_(calls), fd_(fd) {}
  ~ScopedDescriptor() {
    // Nothing useful can be done about a failing close of a read-only descriptor; Linux
    // releases the descriptor even then.
    calls_.close(fd_);
  }
  ScopedDescriptor(const ScopedDescriptor&) = delete;
  ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
  ScopedDescriptor(ScopedDescriptor&&) = delete;
  ScopedDescriptor& operator=(ScopedDescriptor&&) = delete;
  int get() const { return fd_; }

 private:
  const SystemCalls& calls_;
  int fd_;
};

// Repeats `call` on the unfilled rest of `buffer` until it is full. `call` has the shape of
// read(2): a byte count, or -1 with errno set.
template <typename Call>
std::optional<SourceFailure> fill_with(std::span<std::uint8_t> buffer, Call call) {
  while (!buffer.empty()) {
    const ssize_t got = call(buffer.data(), buffer.size());
    if (got == -1) {
      const int error_number = errno;
      if (error_number == EINTR) continue;
      return SourceFailure::from_errno(error_number);
    }
    if (got <= 0 || static_cast<std::size_t>(got) > buffer.size()) {
      return SourceFailure{SourceFailure::Kind::kUnexpected};
    }
    buffer = buffer.subspan(static_cast<std::size_t>(got));
  }
  return std::nullopt;
}

std::string system_error_text(int error_number) {
  std::array<char, 128> text{};
  if (__xpg_strerror_r(error_number, text.data(), text.size()) == 0) {
    const std::string_view message(text.data(), ::strnlen(text.data(), text.size()));
    if (is_valid_utf8(message)) return std::string(message);
  }
  return "OS Error: " + std::to_string(error_number);
}

}  // namespace

const SystemCalls& host_system_calls() {
  // Never destroyed, like the process's random source that holds it: a static object would
  // be destroyed at exit while other threads may still be drawing.
  static const SystemCalls* const calls = new HostSystemCalls;
  return *calls;
}

SourceFailure SourceFailure::from_errno(int error_number) {
  if (error_number <= 0) return SourceFailure{Kind::kNonPositiveErrno};
  return SourceFailure{Kind::kErrno, error_number};
}

std::string describe(const SourceFailure& failure) {
  switch (failure.kind) {
    case SourceFailure::Kind::kErrno: return system_error_text(failure.error_number);
    case SourceFailure::Kind::kNonPositiveErrno: return "errno: did not return a positive value";
    case SourceFailure::Kind::kUnexpected: break;
  }
  return "unexpected situation";
}

OsRandom::~OsRandom() {
  if (const int fd = fallback_descriptor(); fd >= 0) calls_.close(fd);
}

std::optional<SourceFailure> OsRandom::fill(std::span<std::uint8_t> buffer) {
  return system_call_available() ? fill_from_system_call(buffer) : fill_from_file(buffer);
}

bool OsRandom::system_call_available() {
  Availability availability = availability_.load(std::memory_order_relaxed);
  if (availability == Availability::kUndecided) {
    // A zero-byte request answers whether the kernel has the call (ENOSYS) and whether a
    // seccomp policy forbids it (EPERM) without consuming entropy. Any other error still
    // means the call exists, and later calls report their own errors. It must be the system
    // call itself: glibc 2.41+ answers a zero-length getrandom() without asking the kernel.
    std::uint8_t unused;
    const bool missing =
        calls_.getrandom_system_call(&unused, 0, 0) == -1 && (errno == ENOSYS || errno == EPERM);
    availability = missing ? Availability::kFile : Availability::kSystemCall;
    availability_.store(availability, std::memory_order_relaxed);
  }
  return availability == Availability::kSystemCall;
}

std::optional<SourceFailure> OsRandom::fill_from_system_call(std::span<std::uint8_t> buffer) const {
  // Through the C library: the same generator as the system call, reseeded by the kernel
  // and wiped for a forked child, at a fraction of the cost where glibc serves it from the
  // vDSO.
  return fill_with(buffer, [this](std::uint8_t* data, std::size_t length) {
    return calls_.getrandom(data, length, 0);
  });
}

std::optional<SourceFailure> OsRandom::fill_from_file(std::span<std::uint8_t> buffer) {
  if (fallback_descriptor() < 0) {
    if (auto failure = open_fallback()) return failure;
  }
  const int fd = fallback_descriptor();
  return fill_with(buffer, [this, fd](std::uint8_t* data, std::size_t length) {
    return calls_.read(fd, data, length);
  });
}

std::optional<SourceFailure> OsRandom::open_fallback() {
  const std::lock_guard lock(fallback_mutex_);
  if (fallback_descriptor() >= 0) return std::nullopt;  // another thread got here first
  // /dev/urandom never blocks, even before the kernel's pool is seeded; /dev/random becomes
  // readable once it is, so waiting on it once makes every later urandom read safe.
  if (auto failure = wait_for_entropy()) return failure;
  int fd = -1;
  if (auto failure = open_read_only("/dev/urandom", fd)) return failure;
  fallback_fd_.store(fd, std::memory_order_release);
  return std::nullopt;
}

std::optional<SourceFailure> OsRandom::wait_for_entropy() const {
  int fd = -1;
  if (auto failure = open_read_only("/dev/random", fd)) return failure;
  const ScopedDescriptor random_device(calls_, fd);
  pollfd request{.fd = random_device.get(), .events = POLLIN, .revents = 0};
  // Any poll that returns ends the wait: whatever it reports, a read of urandom will not
  // be any safer for waiting longer.
  while (calls_.poll(&request, 1, -1) < 0) {
    const int error_number = errno;
    if (error_number != EINTR && error_number != EAGAIN) {
      return SourceFailure::from_errno(error_number);
    }
  }
  return std::nullopt;
}

std::optional<SourceFailure> OsRandom::open_read_only(const char* path, int& fd) const {
  while ((fd = calls_.open(path, O_RDONLY | O_CLOEXEC)) < 0) {
    const int error_number = errno;
    if (error_number != EINTR) return SourceFailure::from_errno(error_number);
  }
  return std::nullopt;
}

OsRandom& process_random_source() {
  // Never destroyed: other threads may still draw while the process exits.
  static OsRandom* const source = new OsRandom(host_system_calls());
  return *source;
}

}  // namespace plinx::detail
