#include "pipeline.hpp"

#include "byte_builder.hpp"
#include "fixed_text.hpp"
#include "os_random.hpp"

namespace plinx {
namespace detail {

Digest seed_digest(std::int64_t destiny, const Nonce& nonce) {
  ByteBuilder<20 + std::tuple_size_v<Nonce>> input;
  input.append_decimal(destiny);
  input.append(nonce);
  return sha256(input.view());
}

Slices cut_slices(const Digest& seed) {
  constexpr std::size_t kCovered = 30;  // bytes 30 and 31 belong to no slice
  const std::size_t split = seed[31];
  const std::size_t k = split % 28;
  const std::size_t l = (split >> 4) % (28 - k);
  const ByteSpan covered = ByteSpan(seed).first(kCovered);
  return Slices{
      .ops = covered.subspan(0, k + 1),
      .constants = covered.subspan(k + 1, l + 1),
      .leaves = covered.subspan(k + l + 2),
  };
}

Digest result_digest(std::string_view fixed_text, const Digest& seed) {
  ByteBuilder<FixedText::kMaxLength + 8> input;
  input.append(fixed_text);
  input.append(ByteSpan(seed).first(8));
  return sha256(input.view());
}

}  // namespace detail

double Engine::pull(std::int64_t destiny) const {
  Nonce nonce;
  detail::process_random_source().fill(nonce);
  return pull(destiny, nonce);
}

double Engine::pull(std::int64_t destiny, const Nonce& nonce) const {
  const detail::Digest seed = detail::seed_digest(destiny, nonce);
  const detail::Slices slices = detail::cut_slices(seed);
  const double value = tree_value(slices.ops, slices.constants, slices.leaves, destiny);
  const detail::Digest result = detail::result_digest(detail::FixedText(value).view(), seed);
  return detail::unit_interval(detail::leading_word(result));
}

}  // namespace plinx
