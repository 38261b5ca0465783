// The work array of the sparse library and its control block.
//
// Everything one problem needs between the entries lives in one array of
// double words, `work`, numbered from 1. Words 1-200 are the control block
// `dslctl`: control word k (0-199) is work(k+1), a number held as a double
// and truncated toward zero when it is used as an integer. Integer arrays
// share the same storage, two 4-byte integers to a double word (the first in
// the low-addressed half), and are located by the position of their first
// double word, so one stretch serves as integers in one phase and as doubles
// in another.
//
// Access goes through `Work` and the 1-based views `IVec` and `DVec`. While
// assertions are on (every build but one defining NDEBUG) each access is
// checked: a view against its own length, a view's creation against lwork.
// Kernels take a view of their stretch once and then work on its raw pointer
// (`data()`), so the checks cost nothing inside their loops.
#pragma once

#include <cstdint>
#include <cstring>

namespace zephsol::sparse {

using i32 = std::int32_t;
using i64 = std::int64_t;

// An integer of the work array. Integers and doubles share the storage, so
// integer accesses are declared as aliasing anything: the compiler may not
// reorder them across double accesses of the same words.
using iword = std::int32_t __attribute__((__may_alias__));

#ifdef NDEBUG
inline constexpr bool kChecked = false;
#else
inline constexpr bool kChecked = true;
#endif

// An access outside its array: one line on unit 6 and an abort (a fault of
// the library, never of the caller's data).
[[noreturn]] void range_fault(const char* what, i64 pos, i64 n, i64 limit);

// A double truncated toward zero; values beyond the 64-bit range (and NaN)
// are clamped, never undefined.
constexpr i64 trunc_int(double v) noexcept {
  if (!(v > -9.2e18)) return v != v ? 0 : INT64_MIN;
  if (v >= 9.2e18) return INT64_MAX;
  return static_cast<i64>(v);
}

// Double words that hold m integers, and integers that k double words hold.
constexpr i64 xisl2d(i64 m) noexcept { return (m + 1) / 2; }
constexpr i64 xdsl2i(i64 k) noexcept { return 2 * k; }

// Element types of the views. An attribute is lost when its type is passed
// as a template argument, so the views take these holders instead.
struct IntElem {
  using type = iword;
};
struct DoubleElem {
  using type = double;
};

// A 1-based view of n elements: v(1) ... v(n).
template <class Elem>
class Vec1 {
 public:
  using T = typename Elem::type;
  Vec1() = default;
  Vec1(T* p, i64 n) noexcept : p_(p), n_(n) {}

  T& operator()(i64 k) const noexcept {
    if constexpr (kChecked)
      if (k < 1 || k > n_) range_fault("element", k, 1, n_);
    return p_[k - 1];
  }
  // Pointer to element k; k = n+1 gives the end.
  T* at(i64 k) const noexcept {
    if constexpr (kChecked)
      if (k < 1 || k > n_ + 1) range_fault("element", k, 0, n_);
    return p_ + (k - 1);
  }
  // Elements k ... k+len-1 as a view of their own.
  Vec1 sub(i64 k, i64 len) const noexcept {
    if constexpr (kChecked)
      if (len < 0 || k < 1 || k - 1 + len > n_) range_fault("stretch", k, len, n_);
    return {p_ + (k - 1), len};
  }
  T* data() const noexcept { return p_; }
  i64 size() const noexcept { return n_; }

 private:
  T* p_ = nullptr;
  i64 n_ = 0;
};

using IVec = Vec1<IntElem>;
using DVec = Vec1<DoubleElem>;

// The work array of `lwork` double words.
class Work {
 public:
  Work(double* base, i64 lwork) noexcept : base_(base), lwork_(lwork) {}

  i64 lwork() const noexcept { return lwork_; }
  double* base() const noexcept { return base_; }

  // Control word k of `dslctl` (0-199), and its value truncated toward zero.
  double& ctl(int k) const noexcept { return d(k + 1); }
  i64 ictl(int k) const noexcept { return trunc_int(ctl(k)); }
  void set(int k, double v) const noexcept { ctl(k) = v; }

  // The double word at position pos.
  double& d(i64 pos) const noexcept {
    check(pos, 1);
    return base_[pos - 1];
  }
  // n doubles from position pos.
  DVec dbl(i64 pos, i64 n) const noexcept {
    check(pos, n);
    return {base_ + (pos - 1), n};
  }
  // n integers of the array whose first double word is pos.
  IVec ints(i64 pos, i64 n) const noexcept {
    check(pos, xisl2d(n));
    return {reinterpret_cast<iword*>(base_ + (pos - 1)), n};
  }

 private:
  void check([[maybe_unused]] i64 pos, [[maybe_unused]] i64 words) const noexcept {
    if constexpr (kChecked)
      if (words < 0 || pos < 1 || pos - 1 + words > lwork_) range_fault("work", pos, words, lwork_);
  }
  double* base_;
  i64 lwork_;
};

// Word positions of arrays placed back to back from a first word.
class WordLayout {
 public:
  explicit WordLayout(i64 start) noexcept : next_(start) {}
  // The position of an array of `words` double words.
  i64 take(i64 words) noexcept {
    const i64 at = next_;
    next_ += words;
    return at;
  }
  // The last word taken so far.
  i64 end() const noexcept { return next_ - 1; }

 private:
  i64 next_;
};

// Moves count integers of the work array from position `from` to `to`
// (double-word positions; the ranges may overlap).
inline void move_ints(const Work& w, i64 from, i64 to, i64 count) {
  if (count > 0 && from != to)
    std::memmove(w.ints(to, count).data(), w.ints(from, count).data(), static_cast<std::size_t>(count) * 4);
}

// Control words with a fixed role for the whole library (`dslctl`).
namespace cw {
inline constexpr int stage = 0;
inline constexpr int mtype = 1;   // 1.0 symmetric, 2.0 unsymmetric
inline constexpr int last = 3;    // last word of the arrays later phases need
inline constexpr int need = 4;    // work-space figure of the latest phase
inline constexpr int peak = 5;    // largest number of words used so far
inline constexpr int msglvl = 6;
inline constexpr int msgunit = 7;
inline constexpr int lunit1 = 10;
inline constexpr int lunit2 = 11;
inline constexpr int lunit3 = 15;
inline constexpr int lunit4 = 16;
inline constexpr int lunit5 = 18;
inline constexpr int lunit6 = 19;
inline constexpr int neqns = 20;
inline constexpr int cpu0 = 100;   // processor seconds of the six phases: 100 ... 105
inline constexpr int wall0 = 107;  // elapsed seconds of the six phases: 107 ... 112
// Option words `dslopt`.
inline constexpr int bform = 121;   // form of a second matrix (4 none)
inline constexpr int vstore = 170;  // value-storage code
inline constexpr int pvttol = 171;
inline constexpr int orient = 172;  // panel orientation (0 row-oriented)
inline constexpr int panel = 173;   // largest number of pivots in one panel
inline constexpr int condest = 174;
inline constexpr int keeprow = 175;
inline constexpr int fillmax = 176;
inline constexpr int perturb = 177;  // words 177 ... 181
inline constexpr int maxzer = 182;   // amalgamation limit
inline constexpr int updblk = 183;   // block width of the trailing update
inline constexpr int monitor = 189;  // words 189 ... 193
inline constexpr int rhsblk = 194;   // right-hand sides handled together
}  // namespace cw

// Stages of the problem held in `work` (control word 0).
namespace stage {
inline constexpr int failed = -1;
inline constexpr int initialised = 1;
inline constexpr int structure = 2;
inline constexpr int compressed = 10;
inline constexpr int ordered = 20;
inline constexpr int symbolic = 30;
inline constexpr int values = 31;
inline constexpr int distributed = 40;
inline constexpr int factorised = 50;
}  // namespace stage

// Option words a phase reads as a count (block widths, chunk sizes): a value
// below 1 is taken as the default, so that no loop can fail to advance.
inline i64 count_option(const Work& w, int k, i64 dflt) noexcept {
  const i64 v = w.ictl(k);
  return v >= 1 ? v : dflt;
}

}  // namespace zephsol::sparse
