#include "sha256.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "hex.hpp"

namespace plinx::detail {
namespace {

std::string sha256_hex(std::string_view text) {
  return testing::to_hex(sha256(testing::bytes_of(text)));
}

// Known answers from FIPS 180-4's examples (NIST CSRC, "SHA256.pdf") and the empty input.
TEST(Sha256, KnownAnswers) {
  EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(sha256_hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(Sha256, HashesEmbeddedZeroBytes) {
  // Inputs carry raw nonce bytes: a NUL must not end the input.
  EXPECT_NE(sha256_hex(std::string_view("4290\0\0", 6)), sha256_hex("4290"));
  EXPECT_NE(sha256_hex(std::string_view("4290\0\0", 6)), sha256_hex(std::string_view("4290\0", 5)));
}

}  // namespace
}  // namespace plinx::detail
