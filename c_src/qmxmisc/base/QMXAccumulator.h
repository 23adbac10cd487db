// QMXAccumulator: the fitting contract of every chunked algorithm.
//
// An accumulator is a plain value type that holds everything a fit needs to remember about
// the rows seen so far, and nothing about where they came from:
//   update(chunk)   folds one chunk of rows in (any number of rows, zero included);
//   merge(other)    folds in the rows another accumulator of the same configuration has
//                   seen; `other` is left unchanged;
//   finalize()      gives the result for the rows seen so far. It is const: it consumes no
//                   further chunk and leaves the accumulator able to merge or update again.
// The promise is merge(fit(A), fit(B)) == fit(A u B) up to rounding, whatever the split of
// the rows and the chunk sizes used on either side, and an empty side is the identity. Only
// speed may depend on the chunk size. A later distributed run fits parts on separate
// workers and merges the accumulators.
//
// A single-pass proc owns one accumulator and only drives it: init configures it, execute
// turns the ready rows into a Chunk and calls update, the end of input calls finalize and
// keeps the result for the properties. Nothing else of the fit lives in the proc.
//
// A multi-pass proc (an iteration that rereads its input) runs one accumulator per pass:
// its header states, pass by pass, what the accumulator of that pass gathers and how the
// pass's finalize feeds the next pass.
#pragma once

#include <concepts>
#include <utility>

template <class Acc>
concept QMXAccumulator = std::copy_constructible<Acc> &&
    requires(Acc acc, const Acc& other, const typename Acc::Chunk& chunk) {
  typename Acc::Result;
  acc.update(chunk);
  acc.merge(other);
  { std::as_const(acc).finalize() } -> std::convertible_to<typename Acc::Result>;
};
