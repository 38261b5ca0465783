// Pieces shared by the set decoders of the boundary, load and construction
// history groups: the walk over a data group's cards, set cards and their
// identifiers, the expansion of stepped ranges, the data block a decoder
// writes and the work lists in the decoders' work area.
//
// Data blocks: opens the block a decoder writes (buffer at BUFOUT).
// Messages: decoder messages 2000 (a member card where a set card belongs,
// columns 1-8), 2081 (set identifier given twice), 2082 (set identifier
// below 1) and 2876-2879 (IFPMSG); fatal 201 through MSGPUT when the
// block to write is not a defined, closed data block.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>

#include "zephsol/exec/words.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/fldcard.h"
#include "zephsol/input/ifpmsg.h"

namespace zephsol {

// Whether data group i (1-18) holds data: a card beyond its header.
bool group_has_data(word i);

// The cards of one data group, one card at hand at a time.
class GroupCards {
 public:
  // Opens group i and reads its first card.
  explicit GroupCards(word i);
  // A card is at hand (the group's record has not ended).
  bool more() const noexcept { return status_ == kCardRead; }
  // The card at hand has a non-blank field 1: it opens a set or an interval.
  bool set_card() const;
  // Reads the next card.
  void next();
  // The number of the group's header card.
  word header_card() const noexcept { return header_card_; }

 private:
  word status_ = kGroupEnded;
  word header_card_ = 0;
};

// Reads field 1 of the set card at hand as a set identifier. True when it
// opens a new set, whose identifier is then appended to work list `ids`;
// false after 2082 (identifier below 1, unless the field was faulty) or 2081
// (identifier already in the list).
bool read_set_id(word ids, word& id);

// Walks a group of set cards, each followed by its member cards. Every
// member card at hand goes to member(cards), which takes it and any
// continuation cards and leaves the next card at hand; end_set(id) closes
// each set that opened, its messages naming the set card. The member cards
// of a set card in error are passed over silently; member cards where a set
// card belongs give 2000 once per run of such cards and are passed over.
template <class Member, class EndSet>
void walk_sets(GroupCards& cards, word ids, Member&& member, EndSet&& end_set) {
  bool open = false;
  bool skipping = false;
  word id = 0;
  word set_card = 0;
  auto close = [&] {
    const AboutCard about(set_card);
    end_set(id);
  };
  while (cards.more()) {
    if (cards.set_card()) {
      if (open) close();
      set_card = crdcom().CARDNO;
      open = read_set_id(ids, id);
      skipping = !open;
      cards.next();
    } else if (open) {
      member(cards);
    } else {
      if (!skipping) IFPMSG(2000, word{1}, word{8});
      skipping = true;
      cards.next();
    }
  }
  if (open) close();
}

// Walks the member cards of a group without set cards, which form the one
// set 0, up to the first card with a non-blank field 1; the cards after it
// are not read. The set's messages name the group's header card.
template <class Member, class EndSet>
void walk_single_set(GroupCards& cards, Member&& member, EndSet&& end_set) {
  while (cards.more() && !cards.set_card()) member(cards);
  const AboutCard about(cards.header_card());
  end_set(word{0});
}

// Calls f for every term of the stepped range first, first + step, ...:
// the first range_terms - 1 of them and then last itself, so that the last
// term is always included (10, 22, 5 gives 10 15 20 22). The caller has
// refused a zero step or one whose sign disagrees with last - first.
template <class F>
void for_each_in_range(word first, word last, word step, F&& f) {
  const std::int64_t n = range_terms(first, last, step);
  for (std::int64_t i = 0; i + 1 < n; ++i)
    f(static_cast<word>(std::int64_t{first} + i * std::int64_t{step}));
  if (n > 0) f(last);
}

// The step check of a range: 2024 (p1 = step) for a zero step or one whose
// sign differs from that of last - first (a zero difference counts as
// positive). True when the step is good.
bool range_step_ok(word first, word last, word step);


// Reads a range from fields k (first), k + 1 (last, default the first) and
// k + 2 (step, default 1). False after a faulty field (already reported),
// after id_message (2021 for nodes, 2022 for elements) when first or last is
// below 1, or after the step check.
bool read_range(word k, word id_message, StepRange& r);

// Terms of the range (its RNGCNT), in 64 bits.
inline std::int64_t range_size(const StepRange& r) noexcept {
  return range_terms(r.first, r.last, r.step);
}

template <class F>
void for_each_in_range(const StepRange& r, F&& f) {
  for_each_in_range(r.first, r.last, r.step, static_cast<F&&>(f));
}

// Looks the data block up by its name (fatal 201 through MSGPUT, p1 the
// name, unless it is defined and closed), opens it for writing with the
// buffer at BUFOUT and returns its number.
word open_output_block(std::string_view name);

// Lays out one work list per entry of `sizes` in the decoders' work area
// (IFREE to BUFOUT - 1), list k with an initial slot of sizes[k - 1] words,
// each growing by at least `grow` words.
void init_work_lists(std::initializer_list<word> sizes, word grow);
// Empties work list k; its storage stays in place.
void clear_work_list(word k);
// Appends words to work list k.
void append_words(word k, std::initializer_list<word> words);
// Number of entries of `width` words in work list k.
word work_entries(word k, word width);

// Writes words to the current record of file; end_record ends it.
void write_words(word file, std::span<const word> words);
void write_words(word file, std::initializer_list<word> words);
void end_record(word file);

// The record head of the decoded blocks: an eight-character name and a word.
void write_head(word file, std::string_view name8, word third);

// Fatal decoder messages of the boundary, load and history decoders that
// the IFPMSG catalogue does not hold. Counted, located and printed as IFPMSG
// prints the others.
inline constexpr word kTempAndPrestress = 2876;  // "TEMPERAT" and "PRESTRES" in one deck
inline constexpr word kTooManyReleases = 2877;   // more than 10 "RELS" cards in an interval
inline constexpr word kIntervalListFull = 2878;  // more than 500 listed intervals
inline constexpr word kChangesUnpaired = 2879;   // material and property changes not paired

}  // namespace zephsol
