// TransOp: which operands of a product or back-solve are used transposed.
// Bit 0: this matrix is used transposed; bit 1: the argument is used transposed.
#pragma once

enum class TransOp : int {
  kNone = 0,
  kThis = 1,
  kArg = 2,
  kBoth = 3,
};

constexpr bool transposesThis(TransOp t) {
  return (static_cast<int>(t) & 1) != 0;
}
constexpr bool transposesArg(TransOp t) {
  return (static_cast<int>(t) & 2) != 0;
}
