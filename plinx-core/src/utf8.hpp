#pragma once

#include <string_view>

namespace plinx::detail {

// Whether `text` is well-formed UTF-8: no stray continuation bytes, truncated sequences,
// overlong forms, surrogates or code points above U+10FFFF.
bool is_valid_utf8(std::string_view text) noexcept;

}  // namespace plinx::detail
