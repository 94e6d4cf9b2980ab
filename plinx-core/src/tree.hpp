#pragma once

// The expression tree: generated from the seed digest's slices and evaluated in one walk.

#include <cstdint>
#include <string_view>

#include "operators.hpp"
#include "plinx/bytes.hpp"

namespace plinx::detail {

// One evaluated node of the expression tree, reported after its children.
struct TreeNode {
  enum class Kind {
    kVariable,   // a leaf whose byte was even: the tree variable
    kConstant,   // a leaf whose byte was odd: a constant from the constant slice
    kExhausted,  // a leaf reached after the leaf slice ran out: the tree variable
    kUnary,      // a unary operator applied to one child
    kBinary,     // a binary operator applied to two children
  };
  Kind kind;
  int op_index;  // operator table index for kUnary and kBinary, otherwise -1
  double value;  // the node's value after the finite guard
};

// Receives every node of a walk in evaluation order; lets tests check a walk step by step.
class TreeObserver {
 public:
  virtual ~TreeObserver() = default;
  virtual void visit(const TreeNode& node) = 0;
};

// The tree variable, in [0.0, 100.0], derived from the destiny (or its decimal text, which
// a draw has at hand already) and the op slice's first bytes.
double tree_variable(ByteSpan ops, std::int64_t destiny);
double tree_variable(ByteSpan ops, std::string_view destiny_text);

// Generates and evaluates the expression tree the slices describe; the result is always
// finite. Throws std::invalid_argument if any slice is empty.
double tree_value(ByteSpan ops, ByteSpan constants, ByteSpan leaves, std::int64_t destiny,
                  TreeObserver* observer = nullptr);

// tree_value with the operator tables as a parameter.
double evaluate_tree(ByteSpan ops, ByteSpan constants, ByteSpan leaves, std::int64_t destiny,
                     const OperatorTables& operators, TreeObserver* observer);

// The walk alone, for a tree variable worked out already. The slices must not be empty.
double walk_tree(ByteSpan ops, ByteSpan constants, ByteSpan leaves, double variable,
                 const OperatorTables& operators = {}, TreeObserver* observer = nullptr);

}  // namespace plinx::detail
