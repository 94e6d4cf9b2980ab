#include "utf8.hpp"

#include <cstddef>
#include <cstdint>

namespace plinx::detail {
namespace {

// The length of the sequence a lead byte starts, or 0 for a byte that cannot lead one.
std::size_t sequence_length(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;  // a continuation byte, an overlong 2-byte lead (C0, C1) or beyond U+10FFFF
}

// The allowed range of the byte after the lead; the tighter bounds after E0, ED, F0 and
// F4 rule out overlong forms, surrogates and code points above U+10FFFF.
bool second_byte_fits(std::uint8_t lead, std::uint8_t next) {
  switch (lead) {
    case 0xE0: return next >= 0xA0 && next <= 0xBF;
    case 0xED: return next >= 0x80 && next <= 0x9F;
    case 0xF0: return next >= 0x90 && next <= 0xBF;
    case 0xF4: return next >= 0x80 && next <= 0x8F;
    default: return next >= 0x80 && next <= 0xBF;
  }
}

bool is_continuation(std::uint8_t byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

bool is_valid_utf8(std::string_view text) noexcept {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    const std::size_t length = sequence_length(lead);
    if (length == 0 || length > text.size() - i) return false;
    if (length > 1 && !second_byte_fits(lead, static_cast<std::uint8_t>(text[i + 1]))) {
      return false;
    }
    for (std::size_t j = 2; j < length; ++j) {
      if (!is_continuation(static_cast<std::uint8_t>(text[i + j]))) return false;
    }
    i += length;
  }
  return true;
}

}  // namespace plinx::detail
