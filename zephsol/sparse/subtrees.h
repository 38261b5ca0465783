// The loop of the multifrontal L D L^T driver front by front, and the
// subtrees at the bottom of the assembly tree that threads factorise at
// once ahead of it: each subtree on one thread in storage of its own, then
// placed into the factor, the index lists and the stack exactly where the
// loop would have left it, so the factor does not depend on the threads.
#pragma once

#include <memory>
#include <vector>

#include "zephsol/sparse/fronts.h"

namespace zephsol::sparse {

// Where the driver's loop stands between supernodes: the first free
// stack-area word, the stack's depth, the peak of the stack area, the next
// pivot position and index-list place, and the fill of delayed columns.
struct DriverState {
  i64 top = 1, depth = 0, peak = 0, np = 1, glnext = 1;
  double fill = 0.0;
};

// The loop's sizes for one front in the stack area it ran in: what the
// same decisions depend on in another stack area.
struct FrontTrace {
  i64 need = 0, start = 0, fend = 0;  // region words, its first word, last word of the packed front
  i64 depth = 0;                      // stack depth after the push
  i64 ndel = 0, nrow = 0;             // delayed columns and index rows of its update
  double fill = 0.0;                  // fill added
  double fwords = 0.0, fadd = 0.0;    // factor words before, and the front's prediction
};

// Factor words held in storage of a subtree's own: words at..at+len-1 of
// its factor (counted from 0) are at src. A subtree factorised on its own
// keeps the factor of its own fronts in its work array and passes on those
// of the subtrees it placed, so that each word is copied once, into the
// factor area at the end.
// Storage of a subtree's own, released with free.
struct FreeWords {
  void operator()(double* p) const;
};
using OwnWords = std::unique_ptr<double[], FreeWords>;

struct FactorPiece {
  i64 at = 0, len = 0;
  const double* src = nullptr;
};
struct FactorPieces {
  std::vector<FactorPiece> list;                  // in order
  std::vector<OwnWords> keep;                     // the storage they lie in
  void add(i64 at, i64 len, const double* src);   // merged with the last when they join
};

// Steps 1-13 of the loop for supernode s; the trace, when asked for, is
// set once the front is pushed. drv::ok or the driver's code.
i32 factor_supernode(const Work& w, FactorArgs& a, const Stack& stk, FirstPivots& first, i64 s, DriverState& d,
                     FrontTrace* trace);

// The loop over supernodes 1..nsuper from state d: the subtrees
// factorised ahead placed, every other front factorised on the calling
// thread's team; the fronts' traces appended when asked for. drv::ok or
// the driver's code. With pieces the factor placed by subtrees stays in
// their storage, and the pieces of the factor, own fronts' and placed,
// are listed there.
i32 factor_loop(const Work& w, FactorArgs& a, const Stack& stk, DriverState& d, std::vector<FrontTrace>* trace,
                FactorPieces* pieces);

// The subtrees factorised ahead of the loop (none with one thread, with a
// factor not kept in work, or with the matrix entries on their file): the
// tree is cut below its roots into subtrees that share the threads by
// their work, a team of threads for a large one (which cuts its own tree
// again), one thread for each of the small ones.
class SubtreeRuns {
 public:
  SubtreeRuns(const Work& w, const FactorArgs& a, i32 threads);
  ~SubtreeRuns();
  SubtreeRuns(const SubtreeRuns&) = delete;
  SubtreeRuns& operator=(const SubtreeRuns&) = delete;
  // When a subtree starts at supernode s and the loop would have
  // factorised it all in work, places it and returns its last supernode;
  // 0 otherwise (nothing changed: the loop factorises it itself). Its
  // fronts' traces are appended to trace when asked for.
  // With pieces its factor stays where it is and its pieces are listed.
  i64 splice(const Work& w, FactorArgs& a, const Stack& stk, i64 s, DriverState& d, std::vector<FrontTrace>* trace,
             FactorPieces* pieces);

  struct Run;

 private:
  std::vector<std::unique_ptr<Run>> runs_;  // by first supernode
  std::size_t next_ = 0;                    // the next run to place
};

}  // namespace zephsol::sparse
