#include "tree.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <vector>

#include "hex.hpp"

namespace plinx::detail {
namespace {

using testing::from_hex;
using Kind = TreeNode::Kind;

class Recorder : public TreeObserver {
 public:
  void visit(const TreeNode& node) override { nodes.push_back(node); }
  std::vector<TreeNode> nodes;
};

struct Walked {
  double value;
  std::vector<TreeNode> nodes;
};

Walked walk(const std::vector<std::uint8_t>& ops, const std::vector<std::uint8_t>& constants,
            const std::vector<std::uint8_t>& leaves, std::int64_t destiny) {
  Recorder recorder;
  const double value = tree_value(ops, constants, leaves, destiny, &recorder);
  return Walked{value, recorder.nodes};
}

double constant_from(std::uint8_t hi, std::uint8_t lo) {
  return ((hi * 256.0 + lo) / 65535.0) * 100.0;
}

const std::vector<std::uint8_t> kOps = from_hex("9eae5c90853aa4a80632");
const std::vector<std::uint8_t> kConstants = from_hex("638e498d2c1f1c58");
const std::vector<std::uint8_t> kLeaves = from_hex("1b67959c920473b36216f19a");
constexpr double kX = 72.23359571589008;

TEST(Tree, WorkedExampleVariable) { EXPECT_EQ(tree_variable(kOps, 4290), kX); }

// Every node of the worked example, in evaluation order (children before parents).
TEST(Tree, WorkedExampleNodeByNode) {
  struct Step {
    Kind kind;
    int op_index;
    double value;
  };
  const std::vector<Step> expected = {
      {Kind::kConstant, -1, 38.889143205920504},
      {Kind::kUnary, 16, 0.025714117554735932},
      {Kind::kConstant, -1, 28.73121232928969},
      {Kind::kConstant, -1, 17.235065232318608},
      {Kind::kBinary, 4, 23717.114760383145},
      {Kind::kBinary, 22, 594.182545010599},
      {Kind::kVariable, -1, kX},
      {Kind::kVariable, -1, kX},
      {Kind::kBinary, 9, 0.0},
      {Kind::kVariable, -1, kX},
      {Kind::kConstant, -1, 11.071946288242923},
      {Kind::kBinary, 3, 6.524019701269096},
      {Kind::kBinary, 7, 0.0},
      {Kind::kBinary, 21, 594.182545010599},
      {Kind::kConstant, -1, 38.889143205920504},
      {Kind::kVariable, -1, kX},
      {Kind::kBinary, 12, 110.0},
      {Kind::kVariable, -1, kX},
      {Kind::kConstant, -1, 28.73121232928969},
      {Kind::kBinary, 21, kX},
      {Kind::kBinary, 4, 110.0},
      {Kind::kVariable, -1, kX},
      {Kind::kUnary, 16, 0.01384397370903714},
      {Kind::kExhausted, -1, kX},
      {Kind::kExhausted, -1, kX},
      {Kind::kBinary, 4, kX},
      {Kind::kBinary, 22, 0.9861560262909629},
      {Kind::kBinary, 0, 110.98615602629096},
      {Kind::kBinary, 12, 638.0},
  };
  const Walked walked = walk(kOps, kConstants, kLeaves, 4290);
  ASSERT_EQ(walked.nodes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("step " + std::to_string(i + 1));
    EXPECT_EQ(walked.nodes[i].kind, expected[i].kind);
    EXPECT_EQ(walked.nodes[i].op_index, expected[i].op_index);
    EXPECT_EQ(walked.nodes[i].value, expected[i].value);
  }
  EXPECT_EQ(walked.value, 638.0);
}

TEST(Tree, DepthComesFromTheFirstOpByte) {
  // A one-byte op slice of an even byte makes every node binary, so a walk of depth d
  // reports 2^(d+1) - 1 nodes: 0x00 and 0x06 give depth 2, 0x04 depth 3, 0x02 and 0xfe 4.
  const std::vector<std::uint8_t> leaves(28, 0x00);
  for (const int first : {0x00, 0x06, 0x04, 0x02, 0xfe}) {
    SCOPED_TRACE(first);
    const auto depth = static_cast<std::size_t>(first % 3 + 2);
    const Walked walked = walk({static_cast<std::uint8_t>(first)}, {0x00}, leaves, 1);
    EXPECT_EQ(walked.nodes.size(), (2u << depth) - 1);
  }
}

TEST(Tree, SingleOpByteSetsDepthAndServesEveryOperator) {
  // 0x03: depth 3 % 3 + 2 = 2, and every operator is unary 1 (cosine) over one leaf.
  const std::vector<std::uint8_t> even_leaf = {0x00};
  const Walked walked = walk({0x03}, {0x00}, even_leaf, 9);
  const double x = tree_variable(std::vector<std::uint8_t>{0x03}, 9);
  ASSERT_EQ(walked.nodes.size(), 3u);
  EXPECT_EQ(walked.nodes[1].kind, Kind::kUnary);
  EXPECT_EQ(walked.nodes[1].op_index, 1);
  EXPECT_EQ(walked.value, std::cos(std::cos(x)));
}

TEST(Tree, OperatorBytesAreTakenInPreOrder) {
  // Depth 2 (first byte 0x00). Root: binary 1 (subtract, 0x02); left child binary 0 (add,
  // 0x00); right child binary 2 (multiply, 0x04). Leaves are constants 1, 2, 3, 4 in
  // left-to-right order, so the walk order is visible in the result.
  const std::vector<std::uint8_t> ops = {0x00, 0x02, 0x00, 0x04};
  const std::vector<std::uint8_t> constants = {0, 1, 0, 2, 0, 3, 0, 4};
  const std::vector<std::uint8_t> odd_leaves = {1, 1, 1, 1};
  const double c1 = constant_from(0, 1), c2 = constant_from(0, 2);
  const double c3 = constant_from(0, 3), c4 = constant_from(0, 4);
  EXPECT_EQ(walk(ops, constants, odd_leaves, 0).value, (c1 + c2) - (c3 * c4));
}

TEST(Tree, OpCursorWrapsToTheFirstByte) {
  // Depth 4 from 0x01 would need 15 operator bytes; with a two-byte slice {0x01, 0x00},
  // operators read cursor 1, 2 (wraps to 0x01: unary 0, sine), 3 (0x00: add), ...
  const std::vector<std::uint8_t> ops = {0x01, 0x00};
  const Walked walked = walk(ops, {0x00}, std::vector<std::uint8_t>(28, 0), 5);
  ASSERT_FALSE(walked.nodes.empty());
  EXPECT_EQ(walked.nodes.back().kind, Kind::kBinary);  // root: cursor 1 -> 0x00
  EXPECT_EQ(walked.nodes.back().op_index, 0);
  EXPECT_EQ(walked.nodes[walked.nodes.size() - 2].kind, Kind::kUnary);  // cursor 2 -> 0x01
}

TEST(Tree, EvenLeavesAreAllTheVariable) {
  const std::vector<std::uint8_t> even = {0x00, 0x02, 0xfe, 0x10};
  const Walked walked = walk({0x00, 0x00}, {0xff}, even, 77);
  const double x = tree_variable(std::vector<std::uint8_t>{0x00, 0x00}, 77);
  // Depth 2 with binary operators only: four leaves, one per leaf byte.
  int leaves = 0;
  for (const TreeNode& node : walked.nodes) {
    if (node.op_index >= 0) continue;
    ++leaves;
    EXPECT_EQ(node.kind, Kind::kVariable);
    EXPECT_EQ(node.value, x);
  }
  EXPECT_EQ(leaves, 4);
}

TEST(Tree, LeavesPastTheSliceAreTheVariableAndConsumeNoConstant) {
  // Depth 2, all additions: four leaves, but only one leaf byte (odd: constant 1).
  // The next three leaves are exhausted and must not advance the constant cursor.
  const Walked walked = walk({0x00, 0x00}, {0, 1, 0, 2}, {0x01}, 3);
  const double x = tree_variable(std::vector<std::uint8_t>{0x00, 0x00}, 3);
  std::vector<Kind> leaf_kinds;
  for (const TreeNode& node : walked.nodes) {
    if (node.op_index < 0) leaf_kinds.push_back(node.kind);
  }
  EXPECT_EQ(leaf_kinds, (std::vector<Kind>{Kind::kConstant, Kind::kExhausted, Kind::kExhausted,
                                           Kind::kExhausted}));
  EXPECT_EQ(walked.value, (constant_from(0, 1) + x) + (x + x));
}

TEST(Tree, ConstantsReadTheConstantSliceCyclically) {
  // Depth 2, all additions, four odd leaves, one constant byte: every constant is c c.
  const Walked walked = walk({0x00, 0x00}, {0x80}, {1, 3, 5, 7}, 0);
  const double c = constant_from(0x80, 0x80);
  EXPECT_EQ(walked.value, (c + c) + (c + c));
  // Three bytes: pairs (0,1), (2,0), (1,2), (0,1).
  const Walked three = walk({0x00, 0x00}, {0x10, 0x20, 0x30}, {1, 3, 5, 7}, 0);
  EXPECT_EQ(three.value, (constant_from(0x10, 0x20) + constant_from(0x30, 0x10)) +
                             (constant_from(0x20, 0x30) + constant_from(0x10, 0x20)));
}

TEST(Tree, ConstantEndsAreZeroAndOneHundred) {
  EXPECT_EQ(walk({0x00, 0x00}, {0x00}, {1, 1, 1, 1}, 0).value, 0.0);
  // 0x0c alone: depth 2, every operator binary 6 (maximum), every constant FF FF.
  EXPECT_EQ(walk({0x0c}, {0xff}, {1, 1, 1, 1}, 0).value, 100.0);
}

// The real operators cannot overflow within four levels of leaves in [0, 100], so the
// guard is exercised with substitute tables.
template <typename Table, typename Operator>
Table table_of(Operator op) {
  Table table{};
  table.fill(op);
  return table;
}

const auto kInfiniteUnary = table_of<std::array<UnaryOperator, 25>>(
    [](double) { return std::numeric_limits<double>::infinity(); });
const auto kNanBinary = table_of<std::array<BinaryOperator, 25>>(
    [](double, double) { return std::numeric_limits<double>::quiet_NaN(); });
const auto kAddBinary =
    table_of<std::array<BinaryOperator, 25>>([](double a, double b) { return a + b; });

std::vector<TreeNode> walk_with(const OperatorTables& tables, const std::vector<std::uint8_t>& ops,
                                std::int64_t destiny) {
  Recorder recorder;
  evaluate_tree(ops, std::vector<std::uint8_t>{0}, std::vector<std::uint8_t>(16, 0), destiny,
                tables, &recorder);
  return recorder.nodes;
}

TEST(Tree, NonFiniteResultsBecomeTheVariableAtEveryDepth) {
  const std::vector<std::uint8_t> unary_chain = {0x89};  // depth 4, all unary
  const std::vector<std::uint8_t> binary_tree = {0x00};  // depth 2, all binary
  const double x_unary = tree_variable(unary_chain, 8);
  const double x_binary = tree_variable(binary_tree, 8);
  for (const TreeNode& node : walk_with({kInfiniteUnary, kAddBinary}, unary_chain, 8)) {
    EXPECT_EQ(node.value, x_unary);
  }
  for (const TreeNode& node : walk_with({kInfiniteUnary, kNanBinary}, binary_tree, 8)) {
    EXPECT_EQ(node.value, x_binary);
  }
}

TEST(Tree, ParentSeesTheVariableInPlaceOfANonFiniteChild) {
  // Depth 2: root binary (0x00), left child unary (0x01) returning infinity, right child
  // binary (0x00, the cursor wrapped) over two variable leaves.
  const std::vector<std::uint8_t> ops = {0x00, 0x00, 0x01};
  const double x = tree_variable(ops, 8);
  const std::vector<TreeNode> nodes = walk_with({kInfiniteUnary, kAddBinary}, ops, 8);
  ASSERT_FALSE(nodes.empty());
  EXPECT_EQ(nodes.back().value, x + (x + x));
}

TEST(Tree, VariableUsesAtMostFourOpBytes) {
  const std::vector<std::uint8_t> four = {1, 2, 3, 4};
  const std::vector<std::uint8_t> longer = {1, 2, 3, 4, 5, 6, 7};
  const std::vector<std::uint8_t> shorter = {1, 2, 3};
  EXPECT_EQ(tree_variable(four, 11), tree_variable(longer, 11));
  EXPECT_NE(tree_variable(four, 11), tree_variable(shorter, 11));
  EXPECT_NE(tree_variable(four, 11), tree_variable(four, 12));
}

TEST(Tree, VariableLiesInZeroToOneHundred) {
  for (std::int64_t destiny = -500; destiny < 500; ++destiny) {
    const double x = tree_variable(std::vector<std::uint8_t>{0xaa}, destiny);
    ASSERT_GE(x, 0.0);
    ASSERT_LE(x, 100.0);
  }
}

TEST(Tree, EmptySlicesAreRejected) {
  const std::vector<std::uint8_t> one = {1};
  const std::vector<std::uint8_t> none;
  EXPECT_THROW(tree_value(none, one, one, 0), std::invalid_argument);
  EXPECT_THROW(tree_value(one, none, one, 0), std::invalid_argument);
  EXPECT_THROW(tree_value(one, one, none, 0), std::invalid_argument);
}

}  // namespace
}  // namespace plinx::detail
