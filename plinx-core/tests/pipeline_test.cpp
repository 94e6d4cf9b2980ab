#include "pipeline.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "fixed_text.hpp"
#include "hex.hpp"
#include "plinx/engine.hpp"
#include "scaling.hpp"
#include "tree.hpp"

namespace plinx::detail {
namespace {

using testing::bytes_of;
using testing::to_hex;

constexpr Nonce kZeroNonce{};

// Destiny 4290 with an all-zero nonce, every intermediate value known in advance.
TEST(Pipeline, WorkedExampleStepByStep) {
  const Digest seed = seed_digest(4290, kZeroNonce);
  EXPECT_EQ(to_hex(seed), "9eae5c90853aa4a80632638e498d2c1f1c581b67959c920473b36216f19abf79");

  const Slices slices = cut_slices(seed);
  EXPECT_EQ(to_hex(slices.ops), "9eae5c90853aa4a80632");
  EXPECT_EQ(to_hex(slices.constants), "638e498d2c1f1c58");
  EXPECT_EQ(to_hex(slices.leaves), "1b67959c920473b36216f19a");

  const double value = tree_value(slices.ops, slices.constants, slices.leaves, 4290);
  EXPECT_EQ(value, 638.0);

  const FixedText text(value);
  EXPECT_EQ(text.view(), "638.0000000000");

  const Digest result = result_digest(text.view(), seed);
  EXPECT_EQ(to_hex(result), "0f016a9f8145735f3c37f60fa55d0545a817ef0af5224b7ecd4db472cad67a67");
  EXPECT_EQ(leading_word(result), 251751071u);
}

TEST(Pipeline, WorkedExampleEndToEnd) {
  // Compared bit for bit: any rounding difference in the last place is a different draw.
  EXPECT_EQ(Engine{}.pull(4290, kZeroNonce), 0.058615363915128484);
}

// The seed input is the decimal text and the nonce bytes, back to back, nothing else.
class SeedInput : public ::testing::TestWithParam<std::pair<std::int64_t, std::string>> {};

TEST_P(SeedInput, IsDecimalTextThenRawNonce) {
  const auto& [destiny, text] = GetParam();
  const Nonce nonce{0x00, 0x01, 0x7f, 0x80, 0xfe, 0xff, 0x0a, 0x30};
  std::string expected_input = text;
  expected_input.append(reinterpret_cast<const char*>(nonce.data()), nonce.size());
  EXPECT_EQ(to_hex(seed_digest(destiny, nonce)), to_hex(sha256(bytes_of(expected_input))));
}

INSTANTIATE_TEST_SUITE_P(
    Destinies, SeedInput,
    ::testing::Values(std::pair<std::int64_t, std::string>{0, "0"},
                      std::pair<std::int64_t, std::string>{-1, "-1"},
                      std::pair<std::int64_t, std::string>{4290, "4290"},
                      std::pair<std::int64_t, std::string>{INT64_MAX, "9223372036854775807"},
                      std::pair<std::int64_t, std::string>{INT64_MIN, "-9223372036854775808"}));

TEST(Pipeline, ResultInputIsFixedTextThenFirstEightSeedBytes) {
  const Digest seed = seed_digest(4290, kZeroNonce);
  std::string expected_input = "-0.0000000000";
  expected_input.append(reinterpret_cast<const char*>(seed.data()), 8);
  EXPECT_EQ(to_hex(result_digest("-0.0000000000", seed)), to_hex(sha256(bytes_of(expected_input))));
}

Digest digest_with_split_byte(std::uint8_t split) {
  Digest digest{};
  for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(i);
  digest[31] = split;
  return digest;
}

TEST(Pipeline, EverySplitByteCutsThreeContiguousSlicesCoveringBytes0To29) {
  for (int split = 0; split < 256; ++split) {
    SCOPED_TRACE(split);
    const Digest digest = digest_with_split_byte(static_cast<std::uint8_t>(split));
    const Slices slices = cut_slices(digest);
    ASSERT_FALSE(slices.ops.empty());
    ASSERT_FALSE(slices.constants.empty());
    ASSERT_FALSE(slices.leaves.empty());
    EXPECT_LE(slices.ops.size(), 28u);
    EXPECT_LE(slices.constants.size(), 16u);
    EXPECT_EQ(slices.ops.data(), digest.data());
    EXPECT_EQ(slices.constants.data(), slices.ops.data() + slices.ops.size());
    EXPECT_EQ(slices.leaves.data(), slices.constants.data() + slices.constants.size());
    EXPECT_EQ(slices.leaves.data() + slices.leaves.size(), digest.data() + 30);
  }
}

struct CutRow {
  std::uint8_t split;
  std::size_t op_last, constant_last;  // inclusive ends; the leaves always end at 29
};

class SliceCut : public ::testing::TestWithParam<CutRow> {};

TEST_P(SliceCut, MatchesTable) {
  const CutRow row = GetParam();
  const Digest digest = digest_with_split_byte(row.split);
  const Slices slices = cut_slices(digest);
  EXPECT_EQ(slices.ops.size(), row.op_last + 1);
  EXPECT_EQ(slices.constants.front(), row.op_last + 1);
  EXPECT_EQ(slices.constants.back(), row.constant_last);
  EXPECT_EQ(slices.leaves.front(), row.constant_last + 1);
  EXPECT_EQ(slices.leaves.back(), 29);
}

INSTANTIATE_TEST_SUITE_P(Rows, SliceCut,
                         ::testing::Values(CutRow{0, 0, 1}, CutRow{27, 27, 28}, CutRow{28, 0, 2},
                                           CutRow{100, 16, 23}, CutRow{255, 3, 19}));

TEST(Pipeline, FixedNonceMakesTheDrawAPureFunction) {
  const Nonce nonce{1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(Engine{}.pull(-7, nonce), Engine{}.pull(-7, nonce));
  EXPECT_NE(Engine{}.pull(-7, nonce), Engine{}.pull(-8, nonce));
}

TEST(Pipeline, DrawsFromTheKernelAreFreshAndInTheUnitInterval) {
  std::set<double> seen;
  for (int i = 0; i < 200; ++i) {
    const double drawn = Engine{}.pull(4290);
    ASSERT_GE(drawn, 0.0);
    ASSERT_LE(drawn, 1.0);
    seen.insert(drawn);
  }
  // 200 draws of one destiny colliding would take a broken nonce, not bad luck.
  EXPECT_GT(seen.size(), 190u);
}

TEST(Pipeline, UnitIntervalReachesBothEnds) {
  EXPECT_EQ(unit_interval(0), 0.0);
  EXPECT_EQ(unit_interval(0xFFFFFFFFu), 1.0);
  EXPECT_EQ(unit_interval(0x80000000u), 2147483648.0 / 4294967295.0);
}

TEST(Pipeline, LeadingWordIsBigEndian) {
  Digest digest{};
  digest[0] = 0x12;
  digest[1] = 0x34;
  digest[2] = 0x56;
  digest[3] = 0x78;
  digest[4] = 0xff;
  EXPECT_EQ(leading_word(digest), 0x12345678u);
}

}  // namespace
}  // namespace plinx::detail
