// GP2: the module driver, the work areas shared by its routines and the
// translation of an equation number back to its node and component.
#include "zephsol/model/gp2.h"

#include <algorithm>
#include <array>

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/model/gp2_work.h"
#include "zephsol/model/model_util.h"

namespace zephsol {

namespace gp2 {

std::span<word> node_vector(word work) { return core().words(work, bndcom().NN); }

void clear_node_vector(word work) { std::ranges::fill(node_vector(work), -1); }

bool same_system(std::span<word> nodes, word k, word s, bool& local) {
  word& used = nodes[static_cast<std::size_t>(k - 1)];
  if (used == -1) {
    used = s;
    if (s != 0) local = true;
    return true;
  }
  return used == s;
}

word node_system_count(std::span<const word> nodes) {
  return static_cast<word>(std::ranges::count_if(nodes, [](word s) { return s > 0; }));
}

void node_system_rows(word ids, std::span<const word> nodes, word rows, word j,
                      const std::function<void(word node, word system)>& undefined) {
  const NodePairs pairs;
  const std::span<word> out = core().words(rows, 4 * std::int64_t{j});
  std::size_t r = 0;
  for (word k = 1; k <= static_cast<word>(nodes.size()); ++k) {
    const word s = nodes[static_cast<std::size_t>(k - 1)];
    if (s <= 0) continue;
    out[r++] = pairs.eqword(k);
    out[r++] = k;
    out[r++] = s;
    out[r++] = pairs.id(k);
  }
  SORTIR(4, 1, out, j);
  const std::span<const word> list = core().words(ids, bndcom().NCSYS);
  word last_system = 0, last_position = 0;
  for (std::size_t i = 0; i < out.size(); i += 4) {
    const word s = out[i + 2];
    if (last_position == 0 || s != last_system) {
      const auto at = std::ranges::find(list, s);
      last_system = s;
      last_position = at == list.end() ? 0 : static_cast<word>(at - list.begin()) + 1;
    }
    if (last_position == 0) {
      undefined(out[i + 3], s);
      continue;
    }
    out[i + 2] = last_position;
  }
}

void copy_record(word from, word to, word area) {
  const word room = bndcom().NFREE;
  for (;;) {
    word nread = 0, status = 0;
    DBRDST(from, &core().w(area), room, 0, nread, status);
    if (status == 2) return;
    DBWRIT(to, &core().w(area), status == 1 ? nread : room, status == 1 ? 1 : 0);
    if (status == 1) return;
  }
}

}  // namespace gp2

namespace {

// Fatal 2621 unless the next BOUN record begins with `name`.
void expect_record(word BOUN, const char* name) {
  std::array<word, 3> head{};
  DBREAD(BOUN, head.data(), 3, 0);
  if (head[0] != name_word(name)) {
    word boun = 0;
    DBNAME(BOUN, boun);
    model_fatal(-2621, name_word(name), boun);
  }
}

// The first word of each CSTM record (the system identifiers) at `ids`.
word read_system_list(word CSTM, word ids, word buffer, word room) {
  word name = 0;
  DBNAME(CSTM, name);
  if (name == name_word("****")) return 0;
  const word n = std::max(header_of(CSTM)[0], 0);
  if (n > room) short_of_core(std::int64_t{ids} + n, CORLFT(1));
  if (n == 0) return 0;
  DBOPEN(CSTM, buffer, kRead);
  for (word k = 0; k < n; ++k) DBREAD(CSTM, &core().w(ids + k), 1, 1);
  DBCLOS(CSTM, kCloseRewind);
  return n;
}

// The free words of the entry area from `area` up to `top`; fatal 3 when
// the areas below it already pass it.
word entry_room(word area, word top) {
  const word room = top - area;
  if (room < 0) short_of_core(std::int64_t{CORLFT(1)} - room, CORLFT(1));
  return room;
}

}  // namespace

void GP2DOF(word eq, word& node, word& comp) {
  const gp2::NodePairs pairs;
  for (word k = 1; k <= pairs.nn(); ++k) {
    const word f = pairs.first(k), d = pairs.dofs(k);
    if (f <= eq && eq < f + d) {
      node = pairs.id(k);
      comp = eq - f + 1;
      return;
    }
  }
  model_fatal(-903, eq, bndcom().NEQ);
}

void GP2(word BOUN, word EQIX, word CSTM, word NODC, word CONE, word BCDT) {
  MODBGN("GP2     ");
  BNDCOM& b = bndcom();
  b = BNDCOM{BOUN, EQIX, CSTM, NODC, CONE, BCDT};
  b.SCRTCH = S301;
  word name = 0;
  DBNAME(BOUN, name);
  if (name == name_word("****")) return;
  const Header h = header_of(BOUN);
  if (h[0] <= 0 && h[1] <= 0) return;

  const word nbuf = sysw().NBUFSZ;
  const word b1 = sysw().COREND - nbuf, b2 = b1 - nbuf;
  const Header eh = header_of(EQIX);
  b.NN = std::max(eh[0], 0);
  b.NEQ = std::max(eh[1], 0);
  const word base = 2 * b.NN + 1;
  entry_room(base, b2);

  DBOPEN(EQIX, b1, kRead);
  DBREAD(EQIX, nullptr, 0, 1);
  if (b.NN > 0) DBREAD(EQIX, &core().w(1), 2 * b.NN, 1);
  DBCLOS(EQIX, kCloseRewind);

  if (h[4] > 0) b.NCSYS = read_system_list(CSTM, base, b1, b2 - base);
  word work = base + b.NCSYS;
  b.NFREE = entry_room(work + b.NN, b2);

  DBOPEN(BOUN, b1, kRead);
  DBOPEN(BCDT, b2, kWrite);
  word written = 0;
  if (h[0] >= 1) {
    expect_record(BOUN, "BOUN");
    written = h[0];
    GP2BND(base, work, work + b.NN, written);
  }
  if (h[1] > 0) {
    if (h[4] < 2) {
      b.SCRTCH = 0;
      work = base;
      b.NFREE = entry_room(work + b.NN, b2);
    } else {
      b.NFREE = entry_room(work + b.NN, b2 - nbuf);
      DBOPEN(S301, b2 - nbuf, kWrite);
    }
    expect_record(BOUN, "FAST");
    GP2MPC(base, work, work + b.NN, h[1]);
    if (b.SCRTCH != 0) DBCLOS(S301, kCloseUnload);
  }
  DBCLOS(BOUN, kCloseRewind);

  if (sysw().IAMPC != 0) {
    gp2::automatic_step(base, b1, b2);
  }
  if (h[1] != 0) {
    b.NFREE = entry_room(base + b.NEQ, b2);
    DBREWD(BCDT);
    GP2FST(base, base + b.NEQ);
  }
  if (written < 1 && h[1] < 1 && sysw().IAMPC == 0) {
    DBCLOS(BCDT, kCloseUnload);
  } else {
    DBCLOS(BCDT, kCloseRewind);
    HDRPUT(BCDT, Header{written, h[1], sysw().IAMPC, h[3], b.NEQ, h[4]});
  }
  error_total();
}

}  // namespace zephsol
