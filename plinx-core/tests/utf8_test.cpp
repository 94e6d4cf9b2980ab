#include "utf8.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace plinx::detail {
namespace {

struct Utf8Case {
  std::string_view text;
  bool valid;
};

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, Validates) { EXPECT_EQ(is_valid_utf8(GetParam().text), GetParam().valid); }

INSTANTIATE_TEST_SUITE_P(Cases, Utf8,
                         ::testing::Values(Utf8Case{"", true},
                                           Utf8Case{"Operation not permitted", true},
                                           Utf8Case{"Op\xc3\xa9ration", true},          // U+00E9
                                           Utf8Case{"\xe6\x93\x8d\xe4\xbd\x9c", true},  // CJK
                                           Utf8Case{"\xf0\x9f\x98\x80", true},          // U+1F600
                                           Utf8Case{"\xf4\x8f\xbf\xbf", true},          // U+10FFFF
                                           Utf8Case{"\x80", false},          // stray continuation
                                           Utf8Case{"\xc3", false},          // truncated
                                           Utf8Case{"\xe6\x93", false},      // truncated
                                           Utf8Case{"\xc3\x28", false},      // bad continuation
                                           Utf8Case{"\xe6\x93\x28", false},  // bad third byte
                                           Utf8Case{"\xc0\xaf", false},      // overlong '/'
                                           Utf8Case{"\xe0\x80\xaf", false},  // overlong
                                           Utf8Case{"\xf0\x80\x80\xaf", false},  // overlong
                                           Utf8Case{"\xed\xa0\x80", false},      // surrogate U+D800
                                           Utf8Case{"\xf4\x90\x80\x80", false},  // U+110000
                                           Utf8Case{"\xff", false}));

}  // namespace
}  // namespace plinx::detail
