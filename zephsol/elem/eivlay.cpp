// Layout of the state sub-records: block sizes per element class, and the
// conversion of one point between its packed single-precision form and the
// double-precision work record.
#include <algorithm>
#include <type_traits>

#include "zephsol/elem/eiv.h"
#include "zephsol/elem/elem_msg.h"

namespace zephsol {
namespace {

constexpr int kBlocks = 12;

// Blocks whose switch carries a value, and the flag-word bits that keep it.
struct ValuedSwitch {
  int block;
  int shift;
};
constexpr std::array<ValuedSwitch, 2> kValued{{{6, 16}, {12, 20}}};
constexpr word kValueMask = 0xF;

// Calls f on every word of optional block k of the work record in packed
// order, with a double for a REAL word and a word for an integer.
template <class Work, class F>
void for_each_block_word(int k, Work& w, int ns, F&& f) {
  auto& b = w.blk;
  auto each = [&](auto& array, int n) {
    for (int i = 0; i < n; ++i) f(array[static_cast<std::size_t>(i)]);
  };
  switch (k) {
    case 1: each(b.b1.v, 5); break;
    case 2: f(b.b2.epeq); each(b.b2.v, ns); each(b.b2.iv, 2); break;
    case 3: f(b.b3.s); each(b.b3.v, ns); break;
    case 7: each(b.b7, ns); break;
    case 8: each(b.b8.iv, 2); each(b.b8.v, 13); break;
    case 9: f(b.b9); break;
    case 10: f(b.b10.s); each(b.b10.v, ns); break;
    case 11: each(b.b11.iv, 2); f(b.b11.v); break;
    case 12: each(b.b12, 84); break;
    default: break;  // blocks 4-6: the flag bit alone
  }
}

bool present(word flag, int k) { return (flag >> (k - 1)) & 1; }

// Switch of block k as the flag word records it.
word switch_value(word flag, int k) {
  if (!present(flag, k)) return 0;
  for (const auto& v : kValued)
    if (v.block == k) {
      const word value = (flag >> v.shift) & kValueMask;
      return value != 0 ? value : 1;
    }
  return 1;
}

}  // namespace

void EIVLAY(word iclass) {
  if (iclass < 1 || iclass > NSCOMP.count) record_fatal(-3523, iclass, 0);
  EivLayout& l = elem_state().layout;
  const word ns = NSCOMP.ns[static_cast<std::size_t>(iclass - 1)];
  l.iclass = iclass;
  l.ns = ns;
  l.base = 3 * ns + 3;
  l.size = {5, ns + 3, ns + 1, 0, 0, 0, ns, 15, 1, ns + 1, 3, 84};
}

void EIVSZF(word flag, word& size) {
  const EivLayout& l = elem_state().layout;
  size = l.base;
  for (int k = 1; k <= kBlocks; ++k)
    if (present(flag, k)) size += l.size[static_cast<std::size_t>(k - 1)];
}

void EIVSZW(const EIVWK& work, word& size, word& flag) {
  flag = 0;
  for (int k = 1; k <= kBlocks; ++k)
    if (work.sw[static_cast<std::size_t>(k - 1)] != 0) flag |= word{1} << (k - 1);
  for (const auto& v : kValued) {
    const word value = work.sw[static_cast<std::size_t>(v.block - 1)];
    if (value >= 1 && value <= kValueMask) flag |= value << v.shift;
  }
  EIVSZF(flag, size);
}

word EIVUNP(std::span<const word> sub, EIVWK& work) {
  const word ns = elem_state().layout.ns;
  const word flag = sub[1];
  work.point = sub[0];
  for (int k = 1; k <= kBlocks; ++k) work.sw[static_cast<std::size_t>(k - 1)] = switch_value(flag, k);
  work.blk = EivBlocks{};
  std::size_t at = 2;  // after the point number and the flag word
  auto next = [&]() { return sub[at++]; };
  work.scalar = word_real(next());
  for (auto& v : work.vec)
    for (word i = 0; i < ns; ++i) v[static_cast<std::size_t>(i)] = word_real(next());
  for (int k = 1; k <= kBlocks; ++k) {
    if (!present(flag, k)) continue;
    for_each_block_word(k, work, ns, [&](auto& value) {
      if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, double>)
        value = word_real(next());
      else
        value = next();
    });
  }
  return static_cast<word>(at);
}

void EIVPAK(const EIVWK& work, std::span<word> sub, word flag) {
  const word ns = elem_state().layout.ns;
  std::size_t at = 0;
  auto put = [&](word w) { sub[at++] = w; };
  put(work.point);
  put(flag);
  put(real_word(static_cast<float>(work.scalar)));
  for (const auto& v : work.vec)
    for (word i = 0; i < ns; ++i) put(real_word(static_cast<float>(v[static_cast<std::size_t>(i)])));
  for (int k = 1; k <= kBlocks; ++k) {
    if (!present(flag, k)) continue;
    for_each_block_word(k, work, ns, [&](const auto& value) {
      if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, double>)
        put(real_word(static_cast<float>(value)));
      else
        put(value);
    });
  }
}

}  // namespace zephsol
