#include "tree.hpp"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "byte_builder.hpp"
#include "decimal_text.hpp"
#include "scaling.hpp"
#include "sha256.hpp"

namespace plinx::detail {
namespace {

// One walk over the tree. The cursors are shared by the whole walk, so the order in which
// nodes are visited decides which byte serves which node.
class Walk {
 public:
  Walk(ByteSpan ops, ByteSpan constants, ByteSpan leaves, double variable,
       const OperatorTables& operators, TreeObserver* observer)
      : ops_(ops),
        constants_(constants),
        leaves_(leaves),
        x_(variable),
        operators_(operators),
        observer_(observer),
        op_position_(wrapped(1, ops.size())) {}

  double node(int depth) {
    if (depth == 0) return leaf();
    // The operator byte is taken before either child is walked (pre-order).
    const std::uint8_t op = ops_[op_position_];
    op_position_ = wrapped(op_position_ + 1, ops_.size());
    const auto index = static_cast<std::size_t>((op >> 1) % kOperatorCount);
    if (op % 2 == 0) {
      const double left = node(depth - 1);
      const double right = node(depth - 1);
      return report(TreeNode::Kind::kBinary, static_cast<int>(index),
                    finite_or_x(operators_.binary[index](left, right)));
    }
    const double child = node(depth - 1);
    return report(TreeNode::Kind::kUnary, static_cast<int>(index),
                  finite_or_x(operators_.unary[index](child)));
  }

 private:
  double leaf() {
    // The leaf slice is read once and never wraps; leaves past its end are the variable.
    if (leaf_cursor_ == leaves_.size()) return report(TreeNode::Kind::kExhausted, -1, x_);
    if (leaves_[leaf_cursor_++] % 2 == 0) return report(TreeNode::Kind::kVariable, -1, x_);
    return report(TreeNode::Kind::kConstant, -1, next_constant());
  }

  // Two bytes of the constant slice, read cyclically, scaled onto [0.0, 100.0].
  double next_constant() {
    const std::size_t lo_position = wrapped(constant_position_ + 1, constants_.size());
    const double hi = constants_[constant_position_];
    const double lo = constants_[lo_position];
    constant_position_ = wrapped(lo_position + 1, constants_.size());
    return ((hi * 256.0 + lo) / 65535.0) * 100.0;
  }

  // `position` reduced into [0, length) for a position at most one length past the end.
  // Cheaper than %: a 64-bit division per byte would cost more than the operators.
  static std::size_t wrapped(std::size_t position, std::size_t length) {
    return position >= length ? position - length : position;
  }

  double finite_or_x(double value) const { return std::isfinite(value) ? value : x_; }

  double report(TreeNode::Kind kind, int op_index, double value) {
    if (observer_ != nullptr) observer_->visit(TreeNode{kind, op_index, value});
    return value;
  }

  ByteSpan ops_;
  ByteSpan constants_;
  ByteSpan leaves_;
  double x_;
  const OperatorTables& operators_;
  TreeObserver* observer_;
  // The cyclic cursors are kept as positions in their slices. The op slice's first byte
  // chose the depth, so operators start at the second (which is the first again when the
  // slice has one byte).
  std::size_t op_position_;
  std::size_t constant_position_ = 0;
  std::size_t leaf_cursor_ = 0;
};

}  // namespace

double tree_variable(ByteSpan ops, std::string_view destiny_text) {
  ByteBuilder<24> input;
  input.append(destiny_text);
  input.append(ops.first(std::min<std::size_t>(4, ops.size())));
  const std::uint32_t word = leading_word(sha256(input.view()));
  // Divide first, then multiply: the order is part of the value.
  return unit_interval(word) * 100.0;
}

double tree_variable(ByteSpan ops, std::int64_t destiny) {
  return tree_variable(ops, DecimalText(destiny).view());
}

double tree_value(ByteSpan ops, ByteSpan constants, ByteSpan leaves, std::int64_t destiny,
                  TreeObserver* observer) {
  return evaluate_tree(ops, constants, leaves, destiny, OperatorTables{}, observer);
}

double evaluate_tree(ByteSpan ops, ByteSpan constants, ByteSpan leaves, std::int64_t destiny,
                     const OperatorTables& operators, TreeObserver* observer) {
  if (ops.empty() || constants.empty() || leaves.empty()) {
    throw std::invalid_argument("tree slices must not be empty");
  }
  return walk_tree(ops, constants, leaves, tree_variable(ops, destiny), operators, observer);
}

double walk_tree(ByteSpan ops, ByteSpan constants, ByteSpan leaves, double variable,
                 const OperatorTables& operators, TreeObserver* observer) {
  const int depth = ops[0] % 3 + 2;
  return Walk(ops, constants, leaves, variable, operators, observer).node(depth);
}

}  // namespace plinx::detail
