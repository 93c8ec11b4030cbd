#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <utility>
#include <vector>

#include "engine/types.h"

namespace tobrisk {

// Rows of a Mandelbrot picture that take the counts of an earlier row.
//
// Why they may: rounding to nearest is symmetric, round(-v) = -round(v), and
// every statement of the kernel is a sum or product whose result changes
// sign with cy, Y or x*y and keeps it otherwise (Y2 = Y*Y, X2 and X do not
// change; z1's and each step's Y do). Not bit for bit where a Y is zero: an
// exact zero sum such as a + (-a) is +0 whichever term is negative, so both
// orbits may hold +0. What holds, statement by statement, is that X, X2 and
// Y2 are the same bit for bit and each Y is the other orbit's negated, or
// zero in both (of either sign): a step reads Y only through Y*Y and x*Y,
// and a sum whose nonzero terms are the other orbit's negated and whose zero
// terms are zero there too has the negated result, or a zero in both. The
// magnitudes agree, which is all the counts need: the same squared moduli
// are tested, and a store that overflows or an invalid operation (inf - inf,
// 0 * inf: decided by magnitudes and by which terms share a sign, which the
// negation keeps) happens in the same statement of the same iteration. The
// counts, and the marks for the exact kernel, are therefore equal. Plane
// rows are paired only where the singles are exactly negatives (+0 and -0
// pair): the mapping of rows to
// the plane rounds, so a view symmetric in its bounds need not be in its rows.
//
// Counts are kept run-length coded from the time their row is counted until
// the last row that takes them, within a byte budget; rows whose source is
// not kept are counted again.
class MirrorRows {
 public:
  // ys: the plane y of each row that will be counted; mirror: whether rows may pair.
  MirrorRows(std::span<const float> ys, bool mirror, std::size_t budgetBytes);

  // For each row, the latest earlier row whose y is exactly its negative, or -1.
  [[nodiscard]] static std::vector<int> Sources(std::span<const float> ys);

  // Whether row r (in the band from `bandFirst`) must be counted: it has no
  // source, or its source lies before the band and is not kept.
  [[nodiscard]] bool MustCount(int row, int bandFirst) const;

  // After a band's rows that must be counted are: fills the others, in order
  // (a source in the band is filled before the rows that take it), then
  // keeps the band's rows that later bands take, and forgets rows no later
  // band takes. counts holds the band's rows of `cols` counts each.
  void CompleteBand(int bandFirst, int bandRows, std::span<EscapeCount> counts, std::size_t cols);

  // Bytes a kept row costs besides its runs (its entries in the two indexes),
  // counted against the budget so that the budget bounds the memory held.
  static constexpr std::size_t kRowOverhead = 128;

  [[nodiscard]] std::size_t KeptBytes() const { return keptBytes_; }

 private:
  void Keep(int row, std::span<const EscapeCount> counts);
  void Forget(int row);

  std::vector<int> source_;    // -1: counted
  std::vector<int> lastUser_;  // the last row taking this row's counts, -1: none
  std::map<int, std::vector<std::uint8_t>> kept_;  // run-length coded counts by row
  std::set<std::pair<int, int>> byLastUser_;       // (last user, row) of the kept rows
  std::vector<std::uint8_t> scratch_;               // a row being coded
  std::size_t keptBytes_ = 0;
  std::size_t budget_;
};

}  // namespace tobrisk
