#include "zephsol/dbio/core.h"

#include <sys/mman.h>

#include <string>

#include "zephsol/exec/msg.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

// The largest number of words the space may hold: its end index,
// words + 1, must still be a positive 32-bit word.
constexpr std::int64_t kMaxSpaceWords = kMaxSpaceMegabytes * kWordsPerMegabyte;

struct Space {
  WordSpace view;
  void* reserved = nullptr;          // the address range kept for the space
  std::int64_t reserved_words = 0;
  std::int64_t core_words = 0;       // words of the open core
  std::int64_t solver_words = 0;     // words of the solver array after it
};

Space g_space;

// A request past the word space ends the run with a line that names the
// limit, then message 3821 with the megabytes asked for.
void refuse_size(std::int64_t megabytes) {
  const std::string line = " **** SYSTEM FATAL MESSAGE: WORKING STORAGE OF " + std::to_string(megabytes) +
                           " MEGABYTES EXCEEDS THE LIMIT OF " + std::to_string(kMaxSpaceMegabytes) +
                           " MEGABYTES (32-BIT WORD INDEX) ****";
  unit_write_line(kConsole, line);
  for (int u : {kListing, kErrorLog})
    if (unit_is_open(u)) unit_write_line(u, line);
  const auto p1 = static_cast<word>(megabytes > 0x7FFFFFFF ? 0x7FFFFFFF : megabytes);
  MSGPUT(-3821, p1, kMaxSpaceMegabytes);
}

// Makes words [from, from + n) of the reserved range usable.
bool commit(std::int64_t from, std::int64_t n) {
  if (n == 0) return true;
  if (from + n > g_space.reserved_words) return false;
  char* p = static_cast<char*>(g_space.reserved) + from * 4;
  return ::mprotect(p, static_cast<std::size_t>(n) * 4, PROT_READ | PROT_WRITE) == 0;
}

// Keeps an address range for the whole word space so that the solver array
// can follow the open core; falls back to just the words asked for.
bool reserve(std::int64_t words) {
  for (std::int64_t n : {kMaxSpaceWords, words}) {
    void* p = ::mmap(nullptr, static_cast<std::size_t>(n) * 4, PROT_NONE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p != MAP_FAILED) {
      // Large pages where the system grants them: the solver array is
      // filled once, gigabytes of it for a large model, and a fault for
      // every small page costs more than the arithmetic that fills it.
      ::madvise(p, static_cast<std::size_t>(n) * 4, MADV_HUGEPAGE);
      g_space.reserved = p;
      g_space.reserved_words = n;
      return true;
    }
  }
  return false;
}

}  // namespace

std::span<double> WordSpace::doubles(std::int64_t i, std::int64_t n) const noexcept {
  check(i, 2 * n);
  assert(i % 2 == 1 && "a double view starts at an odd index");
  return {reinterpret_cast<double*>(base_ + (i - 1)), static_cast<std::size_t>(n)};
}

std::span<float> WordSpace::floats(std::int64_t i, std::int64_t n) const noexcept {
  check(i, n);
  static_assert(sizeof(float) == sizeof(word));
  return {reinterpret_cast<float*>(base_ + (i - 1)), static_cast<std::size_t>(n)};
}

word WordSpace::index_of(const word* p) const noexcept {
  if (base_ == nullptr || p < base_ || p >= base_ + size_) return 0;
  return static_cast<word>(p - base_ + 1);
}

const WordSpace& core() noexcept { return g_space.view; }

bool core_allocate(word memo) {
  if (memo > kMaxSpaceMegabytes) refuse_size(memo);
  if (memo < 1 || memo > kMaxSpaceMegabytes) return false;
  core_release();
  const std::int64_t words = memo * kWordsPerMegabyte;
  if (!reserve(words)) return false;
  if (!commit(0, words)) {
    core_release();
    return false;
  }
  g_space.core_words = words;
  g_space.view.base_ = static_cast<word*>(g_space.reserved);
  g_space.view.size_ = words;
  return true;
}

word solver_array_allocate(word mb) {
  if (g_space.solver_words > 0) return solver_array_index();
  if (mb < 1 || g_space.view.base_ == nullptr) return 0;
  const std::int64_t total_mb = g_space.core_words / kWordsPerMegabyte + mb;
  if (total_mb > kMaxSpaceMegabytes) {
    refuse_size(total_mb);
    return 0;
  }
  const std::int64_t words = mb * kWordsPerMegabyte;
  if (!commit(g_space.core_words, words)) return 0;
  g_space.solver_words = words;
  g_space.view.size_ = g_space.core_words + words;
  return solver_array_index();
}

word solver_array_index() noexcept {
  return g_space.solver_words > 0 ? static_cast<word>(g_space.core_words + 1) : 0;
}

void core_release() {
  if (g_space.reserved != nullptr)
    ::munmap(g_space.reserved, static_cast<std::size_t>(g_space.reserved_words) * 4);
  g_space = Space{};
}

void CORINI() {
  const word memo = sysw().MEMO;
  if (memo > kMaxSpaceMegabytes) refuse_size(memo);
  sysw().COREND = static_cast<word>(1 + memo * kWordsPerMegabyte);
}

word CORLFT(word x) { return sysw().COREND - x; }

void CORLIM(word x) { sysw().COREND = x - 2; }

}  // namespace zephsol
