// Merge of sorted runs on the library's direct-access files, through
// windows in the work array: the pair runs of the structure (sorted by
// column and row, duplicates dropped) and the value segments (sorted by
// row and key, equal keys summed). Each input run is read through a window
// of L entries, the output goes through a window of 2L entries; a pass
// merges runs 1 and 2, 3 and 4, ... (an odd last run is copied) from one
// file to the other, until one run remains.
#pragma once

#include <algorithm>
#include <utility>

#include "zephsol/sparse/files.h"
#include "zephsol/sparse/work.h"

namespace zephsol::sparse {

// One window: the primary and secondary keys and, for value entries, the
// values.
struct Window {
  IVec k1, k2;
  DVec v;
};

// File access of the two kinds of runs.
struct PairRuns {
  static constexpr bool kValues = false;
  // The pair file holds the larger index (k2) before the smaller (k1).
  static i32 read(i32 unit, const Window& w, i64 pos, i64 n) {
    i32 e = 0;
    xislw1(unit, w.k2.data(), w.k1.data(), pos, n, e);
    return e;
  }
  static i32 write(i32 unit, const Window& w, i64 pos, i64 n) {
    i32 e = 0;
    xislw2(unit, w.k2.data(), w.k1.data(), pos, n, e);
    return e;
  }
};

struct ValueRuns {
  static constexpr bool kValues = true;
  static i32 read(i32 unit, const Window& w, i64 pos, i64 n) {
    i32 e = 0;
    xdslw1(unit, 3, w.k1.data(), w.k2.data(), w.v.data(), pos, n, e);
    return e;
  }
  static i32 write(i32 unit, const Window& w, i64 pos, i64 n) {
    i32 e = 0;
    xdslw2(unit, 3, w.k1.data(), w.k2.data(), w.v.data(), pos, n, e);
    return e;
  }
};

template <class Runs>
class RunMerger {
 public:
  // Windows of L entries (in1, in2) and 2L entries (out).
  RunMerger(Window in1, Window in2, Window out, i64 L) : in_{in1, in2}, out_(out), L_(L) {}

  // Merges runs (sa, la) and (sb, lb) of unit `in` (lb = 0: copies the
  // first) to unit `out` from position pos. on_emit(k1) is called for each
  // entry written. Returns the entries written, or -1 on a file error.
  template <class OnEmit>
  i64 merge(i32 in, i64 sa, i64 la, i64 sb, i64 lb, i32 out, i64 pos, OnEmit on_emit) {
    out_unit_ = out;
    out_pos_ = pos;
    out_n_ = written_ = 0;
    Stream s[2] = {{sa, la, 0, 0}, {sb, lb, 0, 0}};
    if (!fill(in, s[0], 0) || !fill(in, s[1], 1)) return -1;
    for (;;) {
      const bool a = s[0].at < s[0].avail, b = s[1].at < s[1].avail;
      if (!a && !b) break;
      int take = a ? 0 : 1;
      bool both = false;
      if (a && b) {
        const Window &wa = in_[0], &wb = in_[1];
        const i64 ia = s[0].at + 1, ib = s[1].at + 1;
        const std::pair<i32, i32> ka{wa.k1(ia), wa.k2(ia)}, kb{wb.k1(ib), wb.k2(ib)};
        take = kb < ka ? 1 : 0;
        both = ka == kb;
      }
      const Window& src = in_[take];
      const i64 i = s[take].at + 1;
      double v = 0.0;
      if constexpr (Runs::kValues) {
        v = src.v(i);
        if (both) v += in_[1].v(s[1].at + 1);
      }
      if (!emit(src.k1(i), src.k2(i), v, on_emit)) return -1;
      for (int k = 0; k < 2; ++k)
        if (k == take || both) {
          ++s[k].at;
          if (s[k].at == s[k].avail && !fill(in, s[k], k)) return -1;
        }
    }
    if (!flush()) return -1;
    return written_;
  }

  // The unit of the last failed transfer.
  i32 failed_unit() const { return failed_unit_; }

 private:
  struct Stream {
    i64 next, left;  // next file position of the run, entries left on file
    i64 avail, at;   // entries in the window, entries taken
  };
  bool fill(i32 unit, Stream& s, int w) {
    s.avail = std::min(L_, s.left);
    s.at = 0;
    if (s.avail == 0) return true;
    const i32 e = Runs::read(unit, in_[w], s.next, s.avail);
    s.next += s.avail;
    s.left -= s.avail;
    if (e != 0) failed_unit_ = unit;
    return e == 0;
  }
  template <class OnEmit>
  bool emit(i32 k1, i32 k2, double v, OnEmit& on_emit) {
    ++out_n_;
    out_.k1(out_n_) = k1;
    out_.k2(out_n_) = k2;
    if constexpr (Runs::kValues) out_.v(out_n_) = v;
    on_emit(k1);
    return out_n_ < 2 * L_ || flush();
  }
  bool flush() {
    const i32 e = out_n_ > 0 ? Runs::write(out_unit_, out_, out_pos_, out_n_) : 0;
    out_pos_ += out_n_;
    written_ += out_n_;
    out_n_ = 0;
    if (e != 0) failed_unit_ = out_unit_;
    return e == 0;
  }

  Window in_[2];
  Window out_;
  i64 L_;
  i32 out_unit_ = 0, failed_unit_ = 0;
  i64 out_pos_ = 0, out_n_ = 0, written_ = 0;
};

// Statistics of the two files of a merge, in entries.
struct MergeFiles {
  i32 unit[2];
  i64 largest[2]{};    // largest contents
  i64 moved[2]{};      // entries moved to and from
  i64 written[2]{};    // entries written
  int final_file = 0;  // the file holding the merged run
};

// Passes of pairwise merges until one run remains (at least `min_passes`),
// runs given by start/length tables (their places are used for the tables
// of the next pass: ostart/olength). on_last(k1) sees every entry written
// by the last pass. Returns the merged run's length (from position 1 of
// f.unit[f.final_file]) or -1 on a file error.
template <class Runs, class OnLast>
i64 merge_runs(RunMerger<Runs>& m, IVec start, IVec length, IVec ostart, IVec olength, i64 runs, int min_passes,
               MergeFiles& f, OnLast on_last) {
  i64 total = 0;
  for (i64 k = 1; k <= runs; ++k) total += length(k);
  f.largest[0] = f.moved[0] = total;
  f.final_file = 0;
  int in = 0, passes = 0;
  while (runs > 1 || passes < min_passes) {
    const int out = 1 - in;
    const bool last = runs <= 2;
    i64 pos = 1, nout = 0;
    for (i64 k = 1; k <= runs; k += 2) {
      const bool pair = k + 1 <= runs;
      const i64 len = last ? m.merge(f.unit[in], start(k), length(k), pair ? start(k + 1) : 1,
                                     pair ? length(k + 1) : 0, f.unit[out], pos, on_last)
                           : m.merge(f.unit[in], start(k), length(k), pair ? start(k + 1) : 1,
                                     pair ? length(k + 1) : 0, f.unit[out], pos, [](i32) {});
      if (len < 0) return -1;
      ++nout;
      ostart(nout) = static_cast<i32>(pos);
      olength(nout) = static_cast<i32>(len);
      pos += len;
    }
    f.moved[in] += total;
    total = pos - 1;
    f.moved[out] += total;
    f.written[out] += total;
    f.largest[out] = std::max(f.largest[out], total);
    std::swap(start, ostart);
    std::swap(length, olength);
    runs = nout;
    in = out;
    ++passes;
  }
  f.final_file = in;
  return total;
}

}  // namespace zephsol::sparse
