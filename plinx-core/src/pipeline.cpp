#include "pipeline.hpp"

#include "byte_builder.hpp"
#include "decimal_text.hpp"
#include "fixed_text.hpp"
#include "scaling.hpp"
#include "tree.hpp"

namespace plinx::detail {

Digest seed_digest(std::string_view destiny_text, const Nonce& nonce) {
  ByteBuilder<20 + std::tuple_size_v<Nonce>> input;
  input.append(destiny_text);
  input.append(nonce);
  return sha256(input.view());
}

Digest seed_digest(std::int64_t destiny, const Nonce& nonce) {
  return seed_digest(DecimalText(destiny).view(), nonce);
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

double draw(std::int64_t destiny, const Nonce& nonce) {
  const DecimalText destiny_text(destiny);
  const Digest seed = seed_digest(destiny_text.view(), nonce);
  const Slices slices = cut_slices(seed);
  const double variable = tree_variable(slices.ops, destiny_text.view());
  const double value = walk_tree(slices.ops, slices.constants, slices.leaves, variable);
  const Digest result = result_digest(FixedText(value).view(), seed);
  return unit_interval(leading_word(result));
}

}  // namespace plinx::detail
