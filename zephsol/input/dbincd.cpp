// Construction history decoder: intervals, their events and the records of
// INCD, the excavation regions and their release, the interval list.
#include "zephsol/input/dbincd.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>
#include <utility>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/input/bulkrec.h"
#include "zephsol/input/decsup.h"
#include "zephsol/input/lststo.h"

namespace zephsol {

namespace {

constexpr word kHeaderWords = 40;
constexpr word kMaxRegions = 8;
constexpr word kMaxReleases = (kHeaderWords - 20) / 2;
constexpr float kReleasedLeft = 0.001f;  // a region with no more than this left is released

// Work lists: the seven lists of an interval record, the two change tables
// by card rank, the displacement and constraint entries of the last load
// interval (factors 0) that later intervals repeat, and the "CDIS" sets read
// so far and those carried into later intervals.
enum WorkList : word {
  kDisp = 1,
  kMpc,
  kTemp,
  kForce,
  kRemoved,
  kAdded,
  kChanges,
  kMaterialTable,
  kPropertyTable,
  kRepeatDisp,
  kRepeatMpc,
  kCdisRead,
  kCdisCarried,
};

// Kind bits of the events.
constexpr word kLoadBit = 1;
constexpr word kRemovalBit = 2;
constexpr word kChangeBit = 4;

// Interval header words (1-based).
constexpr word HW_INTERVAL = 1;
constexpr word HW_STEPS = 2;
constexpr word HW_KIND = 3;
constexpr word HW_MATFORM = 4;
constexpr word HW_REGIONS = 5;
constexpr word HW_RELEASES = 6;
constexpr word HW_COUNTS = 11;  // 11-17: the entries of lists 1-6 and of the change list
constexpr word HW_TOTAL = 18;
constexpr word HW_PROPFORM = 19;
constexpr word HW_PAIRS = 21;

constexpr word kNoChange = -1;

using Key = std::array<word, 2>;

// An excavation region: the interval that removed it and the fraction of
// its release forces not yet released.
struct Region {
  word interval = 0;
  float remaining = 1.0f;
};

// One family of change cards ("MATC"/"MGCH" or "PROC"/"PGCH"): the form the
// first card fixed and its table.
struct ChangeFamily {
  word form = kNoChange;
  word table = 0;
};

class History;
struct Keyword;
using Handler = void (History::*)(const Keyword&, const Key&);

// An event keyword: its handler, the list that receives it and the code
// or form it stands for.
struct Keyword {
  std::string_view name;
  Handler handle;
  word list;
  word code;  // force kind of the set, or change form
};

class History {
 public:
  explicit History(word file) : file_(file) {}
  void initial_groups(GroupCards& cards);
  void intervals(GroupCards& cards);
  void finish();

  void set_event(const Keyword& k, const Key& key);
  void cdis_event(const Keyword& k, const Key& key);
  void force_event(const Keyword& k, const Key& key);
  void inactivate(const Keyword& k, const Key& key);
  void activate(const Keyword& k, const Key& key);
  void material_change(const Keyword& k, const Key& key);
  void property_change(const Keyword& k, const Key& key);
  void release(const Keyword& k, const Key& key);

 private:
  word& hw(word n) { return hdr_[static_cast<std::size_t>(n - 1)]; }
  word identifier(const Key& key);
  void append_set(word list, word id);
  void change(ChangeFamily& family, const Keyword& k, const Key& key);
  void begin_interval();
  void event();
  void end_interval();
  void build_change_list();
  void compose_repeated_lists(word kind);
  void carry_cdis();
  void keep_repeats();
  void list_interval();
  void write_interval(word kind);
  void drop_released_regions();
  Region* region_of(word interval);

  word file_;
  std::array<word, kHeaderWords> hdr_{};
  word interval_ = 0;
  word steps_ = 1;
  word total_steps_ = 0;
  word kind_ = 0;
  word releases_ = 0;
  word initial_ = 0;          // groups removed before the first interval
  word largest_ = 0;          // largest word 18
  bool removes_ = false;      // the interval has an "INAC" card
  bool removed_before_ = false;
  ChangeFamily material_{kNoChange, kMaterialTable};
  ChangeFamily property_{kNoChange, kPropertyTable};
  std::array<Region, kMaxRegions> regions_{};
  word nregions_ = 0;
};

constexpr Keyword kKeywords[] = {
    {"DISP", &History::set_event, kDisp, 0},
    {"CDIS", &History::cdis_event, kDisp, 0},
    {"MPC ", &History::set_event, kMpc, 0},
    {"TEMP", &History::set_event, kTemp, 0},
    {"PRES", &History::set_event, kTemp, 0},
    {"NLOA", &History::force_event, kForce, 1},
    {"DLOA", &History::force_event, kForce, 2},
    {"BODY", &History::force_event, kForce, 7},
    {"INAC", &History::inactivate, kRemoved, 0},
    {"ACTI", &History::activate, kAdded, 0},
    {"MATC", &History::material_change, kMaterialTable, 0},
    {"MGCH", &History::material_change, kMaterialTable, 1},
    {"PROC", &History::property_change, kPropertyTable, 0},
    {"PGCH", &History::property_change, kPropertyTable, 1},
    {"RELS", &History::release, 0, 0},
};

const Keyword* find_keyword(word first4) {
  const auto* k = std::find_if(std::begin(kKeywords), std::end(kKeywords),
                               [first4](const Keyword& r) { return name_word(r.name) == first4; });
  return k == std::end(kKeywords) ? nullptr : k;
}

Key field_key(word k) {
  Key key{};
  ALFFLD(k, key);
  return key;
}

word pairs(word list) { return work_entries(list, 2); }

// Copies work list `from` onto the end of list `to`.
void append_list(word to, word from) { LSTAPP(to, lst_words(from), lst_length(from)); }

bool listed(word list, word id) {
  const auto w = lst_words(list);
  for (std::size_t i = 0; i < w.size(); i += 2)
    if (w[i] == id) return true;
  return false;
}

// ---- Events ---------------------------------------------------------------

// The identifier in field 3: below 1 is 2028, and the entry is kept anyway.
word History::identifier(const Key& key) {
  word id = 0, status = 0;
  INTFLD(3, id, 0, status);
  if (status != kFieldError && id < 1) IFPMSG(2028, id, key);
  return id;
}

void History::append_set(word list, word id) {
  float factor = 1.0f;
  word status = 0;
  RELFLD(4, factor, 1.0f, status);
  append_words(list, {id, real_word(factor)});
  kind_ |= kLoadBit;
}

void History::set_event(const Keyword& k, const Key& key) { append_set(k.list, identifier(key)); }

void History::cdis_event(const Keyword& k, const Key& key) {
  const word id = identifier(key);
  append_set(k.list, id);
  append_words(kCdisRead, {id});
}

void History::force_event(const Keyword& k, const Key& key) {
  append_set(k.list, 10 * identifier(key) + k.code);
}

void History::inactivate(const Keyword& k, const Key& key) {
  append_words(k.list, {identifier(key), 0});
  if (removes_) return;
  removes_ = true;
  kind_ |= kRemovalBit;
  if (nregions_ == kMaxRegions) return IFPMSG(2872);
  regions_[static_cast<std::size_t>(nregions_++)] = {interval_, 1.0f};
}

void History::activate(const Keyword& k, const Key& key) {
  append_words(k.list, {identifier(key), 0});
  kind_ |= kLoadBit;
}

// A change card: the first of its family fixes the form; a card of the
// family's other keyword is 2873 and dropped.
void History::change(ChangeFamily& family, const Keyword& k, const Key& key) {
  if (family.form == kNoChange) family.form = k.code;
  if (family.form != k.code) return IFPMSG(2873);
  const word id = identifier(key);
  word value = 0, status = 0;
  INTFLD(4, value, 0, status);
  if (status != kFieldError && value < 1) IFPMSG(2028, value, key);
  append_words(family.table, {id, value});
}

void History::material_change(const Keyword& k, const Key& key) { change(material_, k, key); }

void History::property_change(const Keyword& k, const Key& key) { change(property_, k, key); }

Region* History::region_of(word interval) {
  for (word i = 0; i < nregions_; ++i)
    if (regions_[static_cast<std::size_t>(i)].interval == interval) return &regions_[static_cast<std::size_t>(i)];
  return nullptr;
}

// Releases fraction f of the region removed at interval n; the pair goes to
// the header.
void History::release(const Keyword&, const Key&) {
  word n = 0, sn = 0, sf = 0;
  float f = 1.0f;
  INTFLD(3, n, 0, sn);
  if (sn == kFieldError) return;
  if (n > interval_ || n < 1) return IFPMSG(2874, n);
  RELFLD(4, f, 1.0f, sf);
  if (sf == kFieldError) return;
  if (f < 0.0f || f > 1.0f) return IFPMSG(2000, 25, 32);
  Region* region = region_of(n);
  if (region == nullptr) return IFPMSG(2875, n);
  // The release pairs fill header words 21-40.
  if (releases_ == kMaxReleases) return IFPMSG(kTooManyReleases, kMaxReleases);
  const float left = region->remaining;
  region->remaining = static_cast<float>(double{left} - f);
  if (region->remaining < -kReleasedLeft) {
    IFPMSG(2868);
    f = left;
    region->remaining = 0.0f;
  }
  hw(HW_PAIRS + 2 * releases_) = n;
  hw(HW_PAIRS + 2 * releases_ + 1) = real_word(f);
  ++releases_;
  kind_ |= kRemovalBit;
}

void History::event() {
  const Key key = field_key(2);
  const Keyword* k = find_keyword(key[0]);
  if (k == nullptr) return IFPMSG(2104, 0, key);
  (this->*(k->handle))(*k, key);
}

// ---- Groups removed before the first interval ----------------------------

void History::initial_groups(GroupCards& cards) {
  for (; cards.more() && !cards.set_card(); cards.next()) {
    const Key key = field_key(2);
    if (key[0] != name_word("INAC")) {
      IFPMSG(2104, 0, key);
      continue;
    }
    append_words(kRemoved, {identifier(key), 0});
  }
  initial_ = pairs(kRemoved);
  if (initial_ == 0) return;
  hw(15) = initial_;
  hw(HW_TOTAL) = initial_;
  write_words(file_, hdr_);
  write_words(file_, lst_words(kRemoved));
  end_record(file_);
  largest_ = initial_;
  clear_work_list(kRemoved);
  hw(15) = 0;
  hw(HW_TOTAL) = 0;
}

// ---- Intervals -------------------------------------------------------------

void History::begin_interval() {
  ++interval_;
  word status = 0;
  INTFLD(2, steps_, 1, status);
  if (status != kFieldError && steps_ < 1) {
    IFPMSG(2201, steps_);
    steps_ = 1;
  }
  // The total of the steps is one word of the progress file.
  if (total_steps_ > std::numeric_limits<word>::max() - steps_) {
    IFPMSG(2201, steps_);
    steps_ = 1;
  }
  total_steps_ += steps_;
  kind_ = 0;
  material_.form = kNoChange;
  property_.form = kNoChange;
  releases_ = 0;
  removes_ = false;
}

void History::intervals(GroupCards& cards) {
  while (cards.more()) {
    const Key f1 = field_key(1);
    const bool interval = f1 == name_words8("INTERVAL");
    const word interval_card = crdcom().CARDNO;
    if (interval)
      begin_interval();
    else
      IFPMSG(2104, 0, f1);
    // The event cards of an unknown card are passed over silently.
    for (cards.next(); cards.more() && !cards.set_card(); cards.next())
      if (interval) event();
    if (interval) {
      // What is wrong with the interval as a whole is told on its card.
      const AboutCard about(interval_card);
      end_interval();
    }
  }
}

// The change list: the pairs of the one family given, or, when both are,
// one 4-word entry per pair of cards of the same rank.
void History::build_change_list() {
  const word nm = pairs(material_.table);
  const word np = pairs(property_.table);
  if (nm > 0 && np > 0) {
    if (nm != np) IFPMSG(kChangesUnpaired, nm, np);
    // Indexes, not views: the change list growing moves the tables.
    for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(std::min(nm, np)); i += 2) {
      const auto m = lst_words(material_.table);
      const auto p = lst_words(property_.table);
      append_words(kChanges, {m[i], m[i + 1], p[i], p[i + 1]});
    }
  } else {
    append_list(kChanges, nm > 0 ? material_.table : property_.table);
  }
  if (lst_length(kChanges) > 0) kind_ |= kChangeBit;
}

// An interval without load events holds the displacement and constraint
// sets of the last load interval, with factor 0.
void History::compose_repeated_lists(word kind) {
  if (kind != 0 && kind != kRemovalBit && kind != kChangeBit) IFPMSG(2208);
  clear_work_list(kDisp);
  append_list(kDisp, kRepeatDisp);
  clear_work_list(kMpc);
  append_list(kMpc, kRepeatMpc);
}

// Every interval without "INAC" holds the "CDIS" sets of the earlier ones,
// with factor 0, after the sets it lists and each set once.
void History::carry_cdis() {
  if (removes_) return;
  // Indexes, not a view: list 1 growing moves the lists above it.
  for (word i = 0; i < lst_length(kCdisCarried); ++i) {
    const word id = lst_words(kCdisCarried)[static_cast<std::size_t>(i)];
    if (!listed(kDisp, id)) append_words(kDisp, {id, 0});
  }
  clear_work_list(kCdisCarried);
  append_list(kCdisCarried, kCdisRead);
}

// After a load interval: its displacement and constraint entries, factors 0,
// are what the following intervals repeat.
void History::keep_repeats() {
  for (const auto& [from, to] : {std::pair{kDisp, kRepeatDisp}, std::pair{kMpc, kRepeatMpc}}) {
    clear_work_list(to);
    append_list(to, from);
    const auto w = lst_words(to);
    for (std::size_t i = 1; i < w.size(); i += 2) w[i] = real_word(0.0f);
  }
}

// The interval list: an interval that only adds groups, right after one
// that removed some.
void History::list_interval() {
  if (removes_ || pairs(kAdded) == 0 || pairs(kForce) > 0 || !removed_before_) return;
  IFPFLG& flags = ifpflg();
  if (flags.IFPNIV == IFPFLG::kMaxIntervals) return IFPMSG(kIntervalListFull, IFPFLG::kMaxIntervals);
  flags.IFPIVL[static_cast<std::size_t>(flags.IFPNIV++)] = interval_;
}

void History::write_interval(word kind) {
  hw(HW_INTERVAL) = interval_;
  hw(HW_STEPS) = steps_;
  hw(HW_KIND) = kind;
  hw(HW_MATFORM) = material_.form;
  hw(HW_REGIONS) = nregions_;
  hw(HW_RELEASES) = releases_;
  word total = 0;
  const WorkList lists[] = {kDisp, kMpc, kTemp, kForce, kRemoved, kAdded, kChanges};
  for (std::size_t i = 0; i < std::size(lists); ++i) {
    hw(HW_COUNTS + static_cast<word>(i)) = pairs(lists[i]);
    total += pairs(lists[i]);
  }
  hw(HW_TOTAL) = total;
  hw(HW_PROPFORM) = property_.form;
  write_words(file_, hdr_);
  for (const WorkList l : lists) write_words(file_, lst_words(l));
  end_record(file_);
  largest_ = std::max(largest_, total);
}

void History::drop_released_regions() {
  const auto end = std::remove_if(regions_.begin(), regions_.begin() + nregions_,
                                  [](const Region& r) { return r.remaining <= kReleasedLeft; });
  nregions_ = static_cast<word>(end - regions_.begin());
}

void History::end_interval() {
  build_change_list();
  const word kind = kind_;
  if (kind != kLoadBit) compose_repeated_lists(kind);
  carry_cdis();
  list_interval();
  write_interval(kind);
  if (kind == kLoadBit) keep_repeats();
  if (kind == kRemovalBit) drop_released_regions();
  for (const WorkList l : {kDisp, kMpc, kTemp, kForce, kRemoved, kAdded, kChanges, kMaterialTable, kPropertyTable})
    clear_work_list(l);
  removed_before_ = removes_;
}

void History::finish() {
  if (interval_ == 0) {
    DBCLOS(file_, kCloseUnload);
    return;
  }
  const std::array<word, 6> h{interval_, total_steps_, initial_, 0, largest_, kHeaderWords + 2 * largest_};
  DBCLOS(file_, kCloseRewind);
  HDRPUT(file_, h);
  exec_state().NSTTOT = total_steps_;
}

}  // namespace

void DBINCD() {
  if (!group_has_data(GRP_HISTORY)) return;
  ifpflg().IFPNIV = 0;
  const word file = open_output_block("INCD");
  init_work_lists({40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40, 40}, 40);
  History history(file);
  GroupCards cards(GRP_HISTORY);
  history.initial_groups(cards);
  history.intervals(cards);
  history.finish();
}

}  // namespace zephsol
