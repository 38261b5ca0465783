// Internals of TA1 shared by its two halves: the reading of CONE records
// with their checks, the element node lists and the gathering of a node's
// neighbours.
#pragma once

#include <array>
#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// Which disagreement between a CONE record and its type descriptor is fatal
// -901: the node count (the adjacency pass) or the type code (the table
// passes).
enum class TypeCheck { NodeCount, TypeCode };

// CONE read element by element from its first record; the type descriptor
// (option 1) is loaded whenever ISEQ changes.
class ConeElements {
 public:
  ConeElements(word CONE, word buffer, TypeCheck check);
  // Reads element e (1-based, in order); true when its type definition
  // differs from the previous element's (the descriptor was reloaded).
  bool next(word e);
  void close();

  word id() const { return rec_[0]; }
  word iseq() const;
  word iecod() const;
  word property() const { return rec_[2]; }
  word material() const { return rec_[3]; }
  word nn() const { return rec_[4]; }
  std::span<const word> nodes() const { return {rec_.data() + 5, static_cast<std::size_t>(rec_[4])}; }

 private:
  word cone_;
  TypeCheck check_;
  word iseq_ = -1;
  std::array<word, 100> rec_{};
};

// Element node lists: per element the node numbers at positions where its
// type has DOF, sorted, without repeats (node 0 left out), then mapped
// through newnum when newnum is not 0 (not sorted again). `avail` in: free
// words at elemnodes; out: words used. Overflow: fatal -4 ("CONN", avail).
void element_node_lists(word newnum, word elemptr, word elemnodes, word& avail);

// The nodes of the elements of node i (node pointer and element lists),
// gathered into `into` sorted without repeats; returns their count. More
// words than `into` holds: fatal -4 (label, reported).
word gather_neighbours(word i, std::span<const word> elemptr, std::span<const word> elemnodes,
                       std::span<const word> nodeptr, std::span<const word> nodeelems, std::span<word> into,
                       const char* label, word reported);

}  // namespace zephsol
