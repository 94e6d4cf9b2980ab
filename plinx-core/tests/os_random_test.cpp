#include "os_random.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "plinx/bytes.hpp"

namespace plinx::detail {
namespace {

// What one scripted call returns: a result and, when the result is -1, an errno value.
// A positive result from getrandom or read writes that many bytes of a running counter.
struct Reply {
  long result;
  int error = 0;
};

Reply fails(int error) { return Reply{-1, error}; }

constexpr int kRandomFd = 100;
constexpr int kUrandomFd = 101;

// A kernel that answers from scripts and logs every call. Calls beyond a script succeed.
class ScriptedCalls : public SystemCalls {
 public:
  mutable std::deque<Reply> getrandom_replies, open_replies, poll_replies, read_replies;
  bool getrandom_missing = false;  // every getrandom fails with ENOSYS, as on an old kernel

  // The system call and the C library's function play the same script; the log tells them
  // apart.
  ssize_t getrandom_system_call(void* buffer, std::size_t length, unsigned flags) const override {
    log("syscall getrandom " + std::to_string(length) + " " + std::to_string(flags));
    return play_getrandom(buffer, length);
  }
  ssize_t getrandom(void* buffer, std::size_t length, unsigned flags) const override {
    log("getrandom " + std::to_string(length) + " " + std::to_string(flags));
    return play_getrandom(buffer, length);
  }
  int open(const char* path, int flags) const override {
    log(std::string("open ") + path + (flags == (O_RDONLY | O_CLOEXEC) ? " ro,cloexec" : " ?"));
    const std::string_view name(path);
    return static_cast<int>(play(open_replies, name == "/dev/random" ? kRandomFd : kUrandomFd));
  }
  int poll(pollfd* fds, nfds_t count, int timeout) const override {
    log("poll " + std::to_string(fds[0].fd) + " " + std::to_string(count) + " " +
        std::to_string(timeout) + (fds[0].events == POLLIN ? " in" : " ?"));
    return static_cast<int>(play(poll_replies, 1));
  }
  ssize_t read(int fd, void* buffer, std::size_t length) const override {
    log("read " + std::to_string(fd) + " " + std::to_string(length));
    return produce(read_replies, buffer, length);
  }
  int close(int fd) const override {
    log("close " + std::to_string(fd));
    return 0;
  }

  std::vector<std::string> calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
  }
  void forget_calls() const {
    const std::lock_guard lock(mutex_);
    calls_.clear();
  }

 private:
  void log(std::string call) const {
    const std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }

  long play(std::deque<Reply>& script, long success) const {
    const std::lock_guard lock(mutex_);
    if (script.empty()) return success;
    const Reply reply = script.front();
    script.pop_front();
    errno = reply.error;
    return reply.result;
  }

  ssize_t play_getrandom(void* buffer, std::size_t length) const {
    if (getrandom_missing) {
      errno = ENOSYS;
      return -1;
    }
    return produce(getrandom_replies, buffer, length);
  }

  ssize_t produce(std::deque<Reply>& script, void* buffer, std::size_t length) const {
    const long result = play(script, static_cast<long>(length));
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    for (long i = 0; i < std::min(result, static_cast<long>(length)); ++i) {
      const std::lock_guard lock(mutex_);
      bytes[i] = ++counter_;
    }
    return result;
  }

  mutable std::mutex mutex_;
  mutable std::vector<std::string> calls_;
  mutable std::uint8_t counter_ = 0;
};

using Calls = std::vector<std::string>;
const Calls kOpenFallback = {"open /dev/random ro,cloexec", "poll 100 1 -1 in", "close 100",
                             "open /dev/urandom ro,cloexec"};

Calls concat(Calls a, const Calls& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Nonce filled(OsRandom& source) {
  Nonce nonce{};
  if (const auto failure = source.fill(nonce)) ADD_FAILURE() << describe(*failure);
  return nonce;
}

// The message a draw fails with when the source reports this failure.
std::string failure_message(OsRandom& source) {
  Nonce nonce{};
  const auto failure = source.fill(nonce);
  return failure ? "Error: " + describe(*failure) : "no failure";
}

constexpr Nonce kCounted = {1, 2, 3, 4, 5, 6, 7, 8};

TEST(OsRandom, ProbesOnceThenCallsGetrandomWithFlagsZero) {
  ScriptedCalls kernel;
  OsRandom source(kernel);
  EXPECT_EQ(filled(source), kCounted);
  filled(source);
  EXPECT_EQ(kernel.calls(), (Calls{"syscall getrandom 0 0", "getrandom 8 0", "getrandom 8 0"}));
  EXPECT_EQ(source.fallback_descriptor(), -1);
}

class ProbeError : public ::testing::TestWithParam<int> {};

TEST_P(ProbeError, ThatIsNotEnosysOrEpermKeepsTheSystemCall) {
  ScriptedCalls kernel;
  kernel.getrandom_replies = {fails(GetParam())};
  OsRandom source(kernel);
  EXPECT_EQ(filled(source), kCounted);
  EXPECT_EQ(kernel.calls(), (Calls{"syscall getrandom 0 0", "getrandom 8 0"}));
}

INSTANTIATE_TEST_SUITE_P(Errnos, ProbeError,
                         ::testing::Values(EINVAL, EFAULT, EINTR, EAGAIN, EIO, 0));

class ProbeUnavailable : public ::testing::TestWithParam<int> {};

TEST_P(ProbeUnavailable, SwitchesToDevUrandomForTheRestOfTheSource) {
  ScriptedCalls kernel;
  kernel.getrandom_replies = {fails(GetParam())};
  OsRandom source(kernel);
  EXPECT_EQ(filled(source), kCounted);
  filled(source);
  EXPECT_EQ(kernel.calls(),
            concat(concat({"syscall getrandom 0 0"}, kOpenFallback), {"read 101 8", "read 101 8"}));
  EXPECT_EQ(source.fallback_descriptor(), kUrandomFd);
}

INSTANTIATE_TEST_SUITE_P(Errnos, ProbeUnavailable, ::testing::Values(ENOSYS, EPERM));

TEST(OsRandom, RetriesInterruptedCallsAndCompletesShortReads) {
  ScriptedCalls kernel;
  kernel.getrandom_replies = {Reply{0}, fails(EINTR), Reply{3}, fails(EINTR), Reply{1}, Reply{4}};
  OsRandom source(kernel);
  EXPECT_EQ(filled(source), kCounted);  // bytes land in order, nothing skipped or repeated
  EXPECT_EQ(kernel.calls(), (Calls{"syscall getrandom 0 0", "getrandom 8 0", "getrandom 8 0",
                                   "getrandom 5 0", "getrandom 5 0", "getrandom 4 0"}));
}

TEST(OsRandom, FillingNothingReadsNothing) {
  ScriptedCalls kernel;
  OsRandom source(kernel);
  EXPECT_EQ(source.fill({}), std::nullopt);
  EXPECT_EQ(kernel.calls(), (Calls{"syscall getrandom 0 0"}));
}

struct FailureCase {
  Reply reply;
  const char* message;
};

const auto kFailureCases =
    ::testing::Values(FailureCase{fails(EIO), "Error: Input/output error"},
                      FailureCase{fails(EAGAIN), "Error: Resource temporarily unavailable"},
                      FailureCase{fails(EFAULT), "Error: Bad address"},
                      FailureCase{fails(ENOSYS), "Error: Function not implemented"},
                      FailureCase{fails(4095), "Error: OS Error: 4095"},
                      FailureCase{fails(0), "Error: errno: did not return a positive value"},
                      FailureCase{fails(-5), "Error: errno: did not return a positive value"},
                      FailureCase{Reply{0}, "Error: unexpected situation"},
                      FailureCase{Reply{-2, EIO}, "Error: unexpected situation"},
                      FailureCase{Reply{9}, "Error: unexpected situation"});

class SystemCallFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SystemCallFailure, FailsTheFillWithItsMessage) {
  ScriptedCalls kernel;
  kernel.getrandom_replies = {Reply{0}, Reply{2}, GetParam().reply};
  OsRandom source(kernel);
  EXPECT_EQ(failure_message(source), GetParam().message);
  // A failure after the probe never switches to the file fallback.
  EXPECT_EQ(kernel.calls(), (Calls{"syscall getrandom 0 0", "getrandom 8 0", "getrandom 6 0"}));
}

INSTANTIATE_TEST_SUITE_P(Replies, SystemCallFailure, kFailureCases);

class FileReadFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FileReadFailure, FailsTheFillWithItsMessage) {
  ScriptedCalls kernel;
  kernel.getrandom_replies = {fails(ENOSYS)};
  kernel.read_replies = {Reply{2}, fails(EINTR), GetParam().reply};
  OsRandom source(kernel);
  EXPECT_EQ(failure_message(source), GetParam().message);
  EXPECT_EQ(kernel.calls(), concat(concat({"syscall getrandom 0 0"}, kOpenFallback),
                                   {"read 101 8", "read 101 6", "read 101 6"}));
  // The descriptor stays open for the next draw.
  EXPECT_EQ(source.fallback_descriptor(), kUrandomFd);
}

INSTANTIATE_TEST_SUITE_P(Replies, FileReadFailure, kFailureCases);

TEST(OsRandomFallback, RetriesInterruptedOpensAndPolls) {
  ScriptedCalls kernel;
  kernel.getrandom_replies = {fails(EPERM)};
  kernel.open_replies = {fails(EINTR), Reply{kRandomFd}, fails(EINTR), Reply{kUrandomFd}};
  kernel.poll_replies = {fails(EINTR), fails(EAGAIN), Reply{0}};  // any return ends the wait
  OsRandom source(kernel);
  EXPECT_EQ(filled(source), kCounted);
  EXPECT_EQ(
      kernel.calls(),
      (Calls{"syscall getrandom 0 0", "open /dev/random ro,cloexec", "open /dev/random ro,cloexec",
             "poll 100 1 -1 in", "poll 100 1 -1 in", "poll 100 1 -1 in", "close 100",
             "open /dev/urandom ro,cloexec", "open /dev/urandom ro,cloexec", "read 101 8"}));
}

struct FallbackFailure {
  std::vector<Reply> open_replies;
  std::vector<Reply> poll_replies;
  const char* message;
  Calls calls;  // after the probe
};

class FallbackOpenFailure : public ::testing::TestWithParam<FallbackFailure> {};

TEST_P(FallbackOpenFailure, HoldsNoDescriptorAndTriesAgainNextTime) {
  const FallbackFailure& c = GetParam();
  ScriptedCalls kernel;
  kernel.getrandom_replies = {fails(ENOSYS)};
  kernel.open_replies.assign(c.open_replies.begin(), c.open_replies.end());
  kernel.poll_replies.assign(c.poll_replies.begin(), c.poll_replies.end());
  OsRandom source(kernel);
  EXPECT_EQ(failure_message(source), c.message);
  EXPECT_EQ(kernel.calls(), concat({"syscall getrandom 0 0"}, c.calls));
  EXPECT_EQ(source.fallback_descriptor(), -1);

  kernel.forget_calls();
  EXPECT_EQ(filled(source).size(), 8u);
  EXPECT_EQ(kernel.calls(), concat(kOpenFallback, {"read 101 8"}));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, FallbackOpenFailure,
    ::testing::Values(
        FallbackFailure{{fails(ENOENT)},
                        {},
                        "Error: No such file or directory",
                        {"open /dev/random ro,cloexec"}},
        FallbackFailure{{fails(0)},
                        {},
                        "Error: errno: did not return a positive value",
                        {"open /dev/random ro,cloexec"}},
        FallbackFailure{{},
                        {fails(EINVAL)},
                        "Error: Invalid argument",
                        {"open /dev/random ro,cloexec", "poll 100 1 -1 in", "close 100"}},
        FallbackFailure{{},
                        {fails(ENOMEM)},
                        "Error: Cannot allocate memory",
                        {"open /dev/random ro,cloexec", "poll 100 1 -1 in", "close 100"}},
        FallbackFailure{{Reply{kRandomFd}, fails(EACCES)},
                        {},
                        "Error: Permission denied",
                        {"open /dev/random ro,cloexec", "poll 100 1 -1 in", "close 100",
                         "open /dev/urandom ro,cloexec"}}));

TEST(OsRandomFallback, OpensOneDescriptorForManyThreads) {
  ScriptedCalls kernel;
  kernel.getrandom_missing = true;
  OsRandom source(kernel);
  std::vector<std::thread> threads;
  threads.reserve(8);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&source] {
      for (int i = 0; i < 200; ++i) filled(source);
    });
  }
  for (std::thread& thread : threads) thread.join();
  const Calls calls = kernel.calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "open /dev/urandom ro,cloexec"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "read 101 8"), 8 * 200);
}

TEST(OsRandomFallback, SourceClosesItsDescriptorWhenDestroyed) {
  ScriptedCalls kernel;
  kernel.getrandom_replies = {fails(ENOSYS)};
  {
    OsRandom source(kernel);
    filled(source);
    kernel.forget_calls();
  }
  EXPECT_EQ(kernel.calls(), (Calls{"close 101"}));
}

TEST(OsRandomDescription, NamesEachKindOfFailure) {
  EXPECT_EQ(describe(SourceFailure::from_errno(EPERM)), "Operation not permitted");
  EXPECT_EQ(describe(SourceFailure::from_errno(100000)), "OS Error: 100000");
  EXPECT_EQ(describe(SourceFailure::from_errno(0)), "errno: did not return a positive value");
  EXPECT_EQ(describe(SourceFailure::from_errno(-1)), "errno: did not return a positive value");
  EXPECT_EQ(describe(SourceFailure{SourceFailure::Kind::kUnexpected}), "unexpected situation");
}

TEST(OsRandomKernel, FillsFreshBytesEveryTime) {
  // A sentinel fill shows the bytes were written; two fills equal by chance: 2^-64.
  Nonce sentinel;
  sentinel.fill(0xA5);
  Nonce first = sentinel;
  Nonce second = sentinel;
  EXPECT_EQ(process_random_source().fill(first), std::nullopt);
  EXPECT_EQ(process_random_source().fill(second), std::nullopt);
  EXPECT_NE(first, sentinel);
  EXPECT_NE(second, sentinel);
  EXPECT_NE(first, second);
}

}  // namespace
}  // namespace plinx::detail
