#include "fixed_text.hpp"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace plinx::detail {

// std::to_chars rather than snprintf: it is exact in the same way, but it never consults
// the locale (a caller's LC_NUMERIC would otherwise turn the point into a comma) and it is
// several times faster for the huge values a tree can produce.
FixedText::FixedText(double value) {
  if (!std::isfinite(value)) throw std::invalid_argument("fixed text needs a finite value");
  const auto result = std::to_chars(chars_.data(), chars_.data() + chars_.size(), value,
                                    std::chars_format::fixed, 10);
  size_ = static_cast<std::size_t>(result.ptr - chars_.data());
}

}  // namespace plinx::detail
