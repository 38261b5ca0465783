// Work areas shared by the routines of GP2: the EQIX pairs at the bottom of
// the open core, the node vector and the node records of sets that name
// coordinate systems.
#pragma once

#include <functional>
#include <span>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/util.h"
#include "zephsol/exec/words.h"
#include "zephsol/model/model_records.h"

namespace zephsol::gp2 {

// EQIX record 2 at open-core words 1 to 2NN: per node position k (1..NN)
// [node identifier, first equation x 1024 + DOF count].
struct NodePairs {
  std::span<word> words = core().words(1, 2 * std::int64_t{bndcom().NN});

  word nn() const { return static_cast<word>(words.size() / 2); }
  // The node position of identifier id, 0 when the node is not defined.
  word find(word id) const {
    const word at = BSRCH1(id, words, 2, nn());
    return at == 0 ? 0 : (at + 1) / 2;
  }
  word id(word k) const { return words[static_cast<std::size_t>(2 * k - 2)]; }
  word eqword(word k) const { return words[static_cast<std::size_t>(2 * k - 1)]; }
  word first(word k) const { return BITSHR(eqword(k), 10); }
  word dofs(word k) const { return BITAND(eqword(k), 255); }
};

// The node vector: one word per node position, -1 while the set has not
// named the node, else the coordinate-system identifier it was used with.
std::span<word> node_vector(word work);
void clear_node_vector(word work);

// Checks system s for node position k against the node vector: the first
// use stores it (and a non-zero s marks the set as naming systems); a
// different one returns false.
bool same_system(std::span<word> nodes, word k, word s, bool& local);

// The nodes of a set that name coordinate systems (node-vector word > 0) as
// rows [EQIX word, node position, position of the system in the CSTM list,
// node identifier] at open-core word `rows`, ascending by EQIX word; a
// system not in the list keeps its identifier and is reported through
// `undefined`(node, system). Returns the row count j; needed for the check
// of the room: 4j words, tested by the caller.
word node_system_count(std::span<const word> nodes);
void node_system_rows(word ids, std::span<const word> nodes, word rows, word j,
                      const std::function<void(word node, word system)>& undefined);

// Copies the rest of the current record of `from` onto `to` through the
// entry area at `area`, in pieces of at most its free words (BNDCOM).
void copy_record(word from, word to, word area);

// The automatic step: reads CONE and NODC into the work areas from `base`
// (below the buffer at b2), and calls GP2AMP with $301 open at b1.
void automatic_step(word base, word b1, word b2);

}  // namespace zephsol::gp2
