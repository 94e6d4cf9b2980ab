#pragma once

#include <array>
#include <cstddef>

namespace plinx::detail {

using UnaryOperator = double (*)(double x);
using BinaryOperator = double (*)(double a, double b);

inline constexpr std::size_t kOperatorCount = 25;

// The operator tables the expression tree draws from. An operator's index is part of every
// draw's definition: reordering the tables or regrouping a formula changes the numbers.
extern const std::array<UnaryOperator, kOperatorCount> kUnaryOperators;
extern const std::array<BinaryOperator, kOperatorCount> kBinaryOperators;

// The tables a walk applies; tests substitute their own to reach paths that the real
// operators cannot reach in a tree of depth four.
struct OperatorTables {
  const std::array<UnaryOperator, kOperatorCount>& unary = kUnaryOperators;
  const std::array<BinaryOperator, kOperatorCount>& binary = kBinaryOperators;
};

}  // namespace plinx::detail
