#pragma once

#include <cstdint>

#include "operators.hpp"
#include "plinx/tree.hpp"

namespace plinx::detail {

// tree_value with the operator tables as a parameter.
double evaluate_tree(ByteSpan ops, ByteSpan constants, ByteSpan leaves, std::int64_t destiny,
                     const OperatorTables& operators, TreeObserver* observer);

}  // namespace plinx::detail
