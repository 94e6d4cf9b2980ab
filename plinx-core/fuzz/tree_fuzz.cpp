// Input: destiny (8 bytes, host order), op slice length (1 byte), constant slice length
// (1 byte), then the op slice, the constant slice and, from the rest, the leaf slice. Lengths
// are cut short by the end of the input, so any slice may come out empty. They may exceed
// what the pipeline ever cuts (28 op bytes, 16 constant bytes): the walk must not rely on that.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tree.hpp"

namespace {

void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "tree_fuzz: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeader = sizeof(std::int64_t) + 2;
  if (size < kHeader) return 0;
  std::int64_t destiny = 0;
  std::memcpy(&destiny, data, sizeof destiny);
  plinx::ByteSpan rest(data + kHeader, size - kHeader);
  const auto take = [&rest](std::size_t length) {
    const plinx::ByteSpan slice = rest.first(std::min(length, rest.size()));
    rest = rest.subspan(slice.size());
    return slice;
  };
  const plinx::ByteSpan ops = take(data[8]);
  const plinx::ByteSpan constants = take(data[9]);
  const plinx::ByteSpan leaves = rest;

  // The variable needs no more than the destiny, so even an empty op slice has one.
  const double x = plinx::detail::tree_variable(ops, destiny);
  check(x >= 0.0 && x <= 100.0, "tree variable outside [0, 100]");

  if (ops.empty() || constants.empty() || leaves.empty()) {
    try {
      plinx::detail::tree_value(ops, constants, leaves, destiny);
    } catch (const std::invalid_argument&) {
      return 0;
    }
    check(false, "an empty slice did not throw std::invalid_argument");
  }
  check(std::isfinite(plinx::detail::tree_value(ops, constants, leaves, destiny)),
        "tree value is not finite");
  return 0;
}
