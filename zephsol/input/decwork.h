// Work tools of the model decoders (element types, materials, geometry,
// properties, groups), beside the set-decoder pieces of decsup.h: field
// values with their status, work lists with their own areas and growth, and
// the hash chains that find repeated node and element identifiers.
//
// Messages: the list store's fatal messages when the work area is too small.
#pragma once

#include <array>
#include <initializer_list>
#include <span>

#include "zephsol/exec/words.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/fldcard.h"

namespace zephsol {

// Whether field k of the current card is blank.
inline bool field_blank(word k) { return BLKTST(k) != 0; }
// Integer and REAL fields with their status; status kFieldError marks a
// conversion error, already reported.
struct IntField {
  word value;
  word status;
};
IntField int_field(word k, word dflt);
float real_field(word k, float dflt);
// The eight characters of field k.
std::array<word, 2> name_field(word k);

// The work lists of one decoder: list k of the list store (1-based) gets the
// initial slot and the minimum growth of entry k; the lists lie in the open
// core from word `first` up to word `end` - 1.
struct ListSpec {
  word initial;
  word grow;
};
void open_lists(std::span<const ListSpec> lists, word first, word end);
inline void open_lists(std::initializer_list<ListSpec> lists, word first, word end) {
  open_lists(std::span<const ListSpec>(lists.begin(), lists.size()), first, end);
}
// Appends words to list k. A list that must grow grows at least by its own
// length when the work area has room for that, so that filling a list costs
// time in proportion to its length.
void list_append(word k, std::span<const word> data);
// Appends n copies of value.
void list_fill(word k, word value, word n);
// Whether n more words can be appended to list k in one list_append.
bool list_fits(word k, std::int64_t n);

// Hash chains over a list of fixed-width entries whose word 1 is an
// identifier: the bucket words (list `buckets`) hold the core position of
// the first entry of a chain, and word `link` of each entry the position of
// the next one (0 at the end). bucket = ((id >> 9, logical) XOR id) AND
// (buckets - 1). There are 512 buckets, or as many as the group has cards
// (a power of two) when that is more, so that a chain stays short and the
// cost of a card does not grow with the cards before it. Positions stay
// valid because no list below the entry list grows once the buckets are in
// place.
class IdChains {
 public:
  static constexpr word kMinBuckets = 512;
  // The bucket count for a group of `cards` cards.
  static word buckets_for(word cards) noexcept;

  IdChains(word buckets, word entries, word link, word nbuckets) noexcept
      : buckets_(buckets), entries_(entries), link_(link), mask_(nbuckets - 1) {}
  // Appends the empty buckets.
  void init() const;
  // Core position of the entry of identifier id, 0 when there is none.
  word find(word id) const;
  // Appends an entry of a new identifier (its link word 0) at the end of the
  // entry list and links it at the end of its chain.
  void add(std::span<const word> entry) const;

 private:
  word bucket(word id) const noexcept;
  word buckets_, entries_, link_, mask_;
};

}  // namespace zephsol
