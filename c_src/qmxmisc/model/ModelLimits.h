// The sizes a formula, a model document or a model matrix may reach. Each bound sits far
// above what a real model needs and far below what would exhaust the stack, the memory or
// the patience of the user: inputs beyond them are refused with a message naming the limit.
#pragma once

#include <cstddef>

// Parentheses and unary operators nested in a formula (the parser recurses once per level).
inline constexpr std::size_t kMaxFormulaDepth = 200;
// Names, numbers and operators in one formula (a chain of operators is walked recursively).
inline constexpr std::size_t kMaxFormulaNodes = 10000;
// The exponent of a numeric variable in a term: I(x^k) in a formula, a PPCell value.
inline constexpr long kMaxTermPower = 1000;
// Variables in one term (an interaction of more is refused).
inline constexpr long kMaxInteractionOrder = 16;
// Levels of one factor in a model document.
inline constexpr long kMaxFactorLevels = 10000;
// Columns of a model matrix (intercept, main effects and interactions expanded), which is
// also the number of parameters a model document may list.
inline constexpr long kMaxModelColumns = 10000;

// Distinct values of a numeric column x that factor(x) in a formula may turn into levels
// (as many as a data column may hold to be read as a factor).
inline constexpr long kMaxDerivedFactorLevels = 1024;
