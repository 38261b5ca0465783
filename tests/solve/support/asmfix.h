// Fixtures of the assembly tests: a small model given by its nodes and
// element matrices, written as the tables the assembly reads (ECT and ADIC
// in their model layouts, ESK as the element matrix generation writes it,
// ROTB with the rotation records of chosen nodes), and the dense references
// built straight from the same description.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "solvefix.h"
#include "zephsol/exec/words.h"

namespace zephsol::test {

struct AsmElement {
  std::vector<word> nodes;  // internal node numbers (1-based)
  std::vector<word> dofs;   // the element's DOF count at each node (0: none)
  std::vector<double> k;    // upper triangle by rows; empty: the record [0]
  word block = 9;           // ROTB block size of its type: 9 (3-D) or 4 (2-D)
};

// Nodes in internal order with their DOF counts; equations follow that order.
struct AsmModel {
  std::vector<word> node_dofs;
  std::vector<AsmElement> elements;

  word first_equation(word node) const;  // of an internal node number
  word equations() const;
};

// Rotations R (local = R basic, row-major) of internal node numbers.
using Rotations = std::map<word, std::array<double, 9>>;

// ECT, ADIC and ESK (data blocks 215, 213, 224) of the model.
void write_assembly_tables(const AsmModel& model);
// ROTB (223): the node rotations in file 1, then a record per element with a
// rotated node at which it has DOFs, and the end record.
void write_rotations(const AsmModel& model, const Rotations& rotations);

// The global stiffness as a dense matrix: every element term added at the
// equations of its two DOFs, in element order.
Dense dense_stiffness(const AsmModel& model);
// T K T^T with T block-diagonal: at a rotated node, R on each whole triple
// of the DOFs an element of block size 9 has there, or the upper-left 2 x 2
// of R on each whole pair for block size 4; the identity elsewhere. The
// block size is that of the first element at the node.
Dense rotated(const AsmModel& model, const Rotations& rotations, const Dense& k);

// A block of nx x ny x nz HEX8 elements; node (i, j, k) has the identifier
// 1 + i + (nx + 1)(j + (ny + 1) k) and lies at position(i, j, k), whose
// coordinates must print exactly in eight characters.
struct HexGrid {
  int nx = 1, ny = 1, nz = 1;
  std::array<double, 3> (*position)(int i, int j, int k) = nullptr;
  int node(int i, int j, int k) const { return 1 + i + (nx + 1) * (j + (ny + 1) * k); }
};
// The deck of the block: one elastic material (E = 1.0E+4, nu = 0.3).
std::string hex_block_deck(const HexGrid& grid);

// ESK of the model tables in the data blocks, from the element matrix
// generation as in the first pass of a run (fresh element states).
void first_pass_stiffness();

// The stored terms of every column of a matrix data block: (row, value).
std::vector<std::vector<std::pair<word, double>>> stored_terms(word file);
// The full matrix of a square data block.
Dense read_dense(word file);

// The largest |a - b|, relative to the largest |a|.
double relative_difference(const Dense& a, const Dense& b);

}  // namespace zephsol::test
