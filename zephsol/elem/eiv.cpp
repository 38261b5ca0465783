// Channels A and B of the integration-point state store: reading an element
// record into the caller's area, fetching and storing points, and writing
// the record.
#include "zephsol/elem/eiv.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/typerow.h"

namespace zephsol {
namespace {

struct Channel {
  EivChannel& ch;
  EIVWK& wk;
};

Channel channel_a() { return {elem_state().chan_a, elem_state().eivwka}; }
Channel channel_b() { return {elem_state().chan_b, elem_state().eivwkb}; }

std::size_t at(word position) { return static_cast<std::size_t>(position); }

[[noreturn]] void short_of_space() { elem_fatal(-3, -999, 0); }

// A point count that no element record can hold: negative, or, for a
// record read back, above the most points any installed element type keeps.
bool impossible_points(word npts, bool read_back) {
  if (npts < 0) return true;
  if (!read_back) return false;
  word most = 0;
  for (word code = 1; code <= kMaxTypeCode; ++code)
    if (const ElementType* t = element_type(code)) most = std::max(most, t->attr.npts);
  return most > 0 && npts > most;
}

// Fresh record of P points: base-size sub-records, zero but for their point numbers.
void lay_out_fresh(std::span<word> area, word npts, std::int64_t room) {
  const word base = elem_state().layout.base;
  if (std::int64_t{base} * npts > room) short_of_space();
  const word first = npts + 1;
  std::fill(area.begin() + first, area.begin() + first + base * npts, 0);
  for (word p = 1; p <= npts; ++p) {
    const word start = first + (p - 1) * base;
    area[at(p - 1)] = start;
    area[at(start)] = p;
  }
  area[at(npts)] = first + base * npts;
}

// Reads the rest of the record of file behind its header and builds the
// directory; returns the union of the point flag words' block bits.
word read_points(word file, std::span<word> area, word npts, std::int64_t room) {
  const EivIo& io = elem_state().eivio;
  const word first = npts + 1;
  word moved = 0;
  if (!io.read_rest(file, area.subspan(at(first), static_cast<std::size_t>(room)), moved)) short_of_space();
  const word stop = first + moved;
  word flags = 0, pos = first;
  for (word p = 1; p <= npts; ++p) {
    if (pos + 2 > stop) record_fatal(-1, io.name(file), moved);
    if (area[at(pos)] != p) record_fatal(-999, p, area[at(pos)]);
    const word flag = area[at(pos) + 1];
    word size = 0;
    EIVSZF(flag, size);
    if (pos + size > stop) record_fatal(-1, io.name(file), moved);
    area[at(p - 1)] = pos;
    flags |= flag & kEivBlockBits;
    pos += size;
  }
  area[at(npts)] = pos;
  return flags;
}

// Reads the next element record of file (0: a fresh record of the current
// element) into area; set_layout: lay out the sizes for the record's class.
void read_record(Channel c, word file, std::span<word> area, bool set_layout) {
  c.ch.fetched = false;
  c.ch.input = file;
  auto& head = c.wk.head;
  if (file == 0) {
    const ESTCOM& e = estcom();
    head = {e.IEXN, e.IECOD, e.ICLASS, e.NPTS, e.IOUTPT, 0};
  } else if (elem_state().eivio.read_head(file, head) == 2) {
    record_fatal(-2, elem_state().eivio.name(file), 0);
  }
  const word iclass = head[2] == 0 ? 1 : head[2];
  if (set_layout && iclass != elem_state().layout.iclass) EIVLAY(iclass);
  const word npts = head[3];
  if (impossible_points(npts, file != 0)) record_fatal(-999, 0, npts);
  const auto space = static_cast<std::int64_t>(std::min<std::size_t>(area.size(), std::numeric_limits<word>::max()));
  const std::int64_t room = space - npts - 1;
  if (room <= 0) short_of_space();
  c.ch.area = area.first(static_cast<std::size_t>(space));
  if (file == 0) {
    lay_out_fresh(c.ch.area, npts, room);
    c.wk.flags = 0;
  } else {
    c.wk.flags = read_points(file, c.ch.area, npts, room);
  }
}

void attach_output(EivChannel& ch, word file) {
  if (ch.output != -1) elem_fatal(-3051, elem_state().eivio.name(file), file);
  if (ch.input == -1) elem_fatal(-3061, 0, 0);
  ch.output = file;
}

void fetch_point(Channel c, word point) {
  if (c.ch.input == -1) elem_fatal(-3541, 0, 0);
  const word npts = c.wk.head[3];
  if (point < 1 || point > npts) record_fatal(-3541, point, npts);
  EIVUNP(c.ch.area.subspan(at(c.ch.area[at(point - 1)])), c.wk);
  c.ch.fetched = true;
}

// Whether every component vector of the work record fits a REAL word.
bool finite_as_real(const EIVWK& wk) {
  constexpr double kLargest = std::numeric_limits<float>::max();
  for (const auto& v : wk.vec)
    for (double x : v)
      if (!(std::abs(x) <= kLargest)) return false;
  return true;
}

// Packs the work record back as its point; a point that changes size moves
// the sub-records after it (down: ascending copy; up: descending copy).
void store_point(Channel c) {
  if (c.ch.output == -1) elem_fatal(-3541, 0, 0);
  if (!c.ch.fetched) elem_fatal(-3061, 0, 0);
  const word npts = c.wk.head[3], p = c.wk.point;
  if (p < 1 || p > npts) record_fatal(-3541, p, npts);
  auto area = c.ch.area;
  const word start = area[at(p - 1)], next = area[at(p)], end = area[at(npts)];
  word size = 0, flag = 0;
  EIVSZW(c.wk, size, flag);
  const word d = size - (next - start);
  if (d < 0) {
    std::copy(area.begin() + next, area.begin() + end, area.begin() + next + d);
  } else if (d > 0) {
    if (std::int64_t{end} + d >= static_cast<std::int64_t>(area.size())) short_of_space();
    std::copy_backward(area.begin() + next, area.begin() + end, area.begin() + end + d);
  }
  for (word q = p; q <= npts; ++q) area[at(q)] += d;
  EIVPAK(c.wk, area.subspan(at(start), at(size)), flag);
  c.ch.fetched = false;
  word& nonfinite = elem_state().nonfinite_element;
  if (nonfinite == 0 && !finite_as_real(c.wk)) nonfinite = c.wk.head[0];
}

// Writes the record to the output and detaches the channel; trailer word 2
// keeps the largest (words + P + 7), word 5 the union of the block bits.
void write_record(Channel c, std::span<word, 6> trailer) {
  if (c.ch.output == -1) elem_fatal(-3541, 0, 0);
  const auto area = c.ch.area;
  const word npts = c.wk.head[3];
  const word first = area[0], n = area[at(npts)] - first;
  elem_state().eivio.write(c.ch.output, c.wk.head, area.subspan(at(first), at(n)));
  c.ch.input = -1;
  c.ch.output = -1;
  for (word p = 1; p <= npts; ++p) trailer[4] |= area[at(area[at(p - 1)]) + 1] & kEivBlockBits;
  trailer[1] = std::max(trailer[1], n + npts + 7);
}

}  // namespace

void EIVRDA(word file, std::span<word> area) {
  elem_state().chan_b.input = -1;
  read_record(channel_a(), file, area, true);
}
void EIVOPA(word file) { attach_output(elem_state().chan_a, file); }
void EIVGTA(word point) { fetch_point(channel_a(), point); }
void EIVPTA() { store_point(channel_a()); }
void EIVWRA(std::span<word, 6> trailer) { write_record(channel_a(), trailer); }

void EIVRDB(word file, std::span<word> area) {
  read_record(channel_b(), file, area, elem_state().chan_a.input == -1);
}
void EIVOPB(word file) { attach_output(elem_state().chan_b, file); }
void EIVGTB(word point) { fetch_point(channel_b(), point); }
void EIVPTB() { store_point(channel_b()); }
void EIVWRB(std::span<word, 6> trailer) { write_record(channel_b(), trailer); }

}  // namespace zephsol
