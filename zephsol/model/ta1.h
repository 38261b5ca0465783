// TA1: node adjacency, renumbering, equation index and element tables.
//
// TA1(CONE, EGED, NODC, IELS, EQIX, ADIC, EST, ECT) runs in two halves.
// TA1A builds the node adjacency from the element connections (only node
// positions where the element type has degrees of freedom connect nodes)
// and renumbers the nodes to reduce the profile (TA1ASQ; IRNFLG 0 when the
// new numbering is used, -1 when the input order stays). TA1B then writes,
// with the internal node numbering:
//   EQIX  record 1: per node in NODC order (identifier, internal number);
//         record 2: (identifier, equation word); header [N, NEQ, largest
//         node DOF count, 0, 0, 0];
//   EST   per element in CONE order: [identifier, ISEQ x 2^24 + IECOD,
//         material, MGROUP, class, state points, output points, NP, NC, NN],
//         NP property values, NC coordinates (REAL), NN equation words;
//         header [NE, bit IECOD-1 of every type, largest NN, largest element
//         DOF count, largest state points, largest NP + NC + NN + 9];
//   ECT   per element: [identifier, ISEQ, NN, element DOF count, lowest and
//         highest first equation of its nodes], NN equation words; header
//         [NE, type bits, largest NN, largest element DOF count, 0, 0];
//   ADIC  per node in internal order: [equation word, m connected nodes
//         (itself included), their DOF total, k elements], the k element
//         sequence numbers, the m equation words in internal order; header
//         [N, NEQ, 0, 0, 0, largest m + k + 4].
// Equation word: first equation x 1024 + DOF count (the node's in EQIX and
// ADIC, the element's at that node in EST and ECT). A node's DOF count is
// the bit length of the OR of the DOF masks of the element positions on
// it; node number 0 (the blank orientation node of a beam) has no equation
// word (0), takes the coordinates of the element's first node and is left
// out of the equation range of ECT.
//
// Renumbering (Sloan's priority numbering from a pseudo-peripheral start of
// each separate structure, at most ten structures; nodes without neighbours
// last in input order) is kept only when its profile is not larger than the
// input order's. Under DIAG 11: the profile statistics and matrix pictures of
// both numberings (level 1), the refusal, the start and end node trace and
// the queue statistics (level 2).
//
// Messages: 2331 undefined property (user error; the total line past 100);
// warning "TOO MANY SEPARATE STRUCTURES" (the input order stays).
// Fatal: -3 short of core; -4 ("CONN", "ADJL", "AJDL", "EGED") list or
// table overflow; -3825 ("CONE", 100), -2 ("CONE") and -3828 (element, NN)
// malformed CONE records; -901 an element that disagrees with its type;
// -711 ("EGED", n) and -2 ("EGED") malformed property records; -921 (row,
// node) a numbering that leaves a row without a node; -932 (structure, queue
// length) a queue whose best priority is below 1; -3821
// (equations, 2097151) more equations than an equation word can number,
// after a line that names the limit.
//
// The routines below take open-core word positions of their arrays.
// Pointer arrays hold 1-based starts into their list and one entry past the
// end; `avail` is the free words in and the words used out.
#pragma once

#include <cstdint>

#include "zephsol/exec/words.h"

namespace zephsol {

// The largest first equation an equation word holds.
inline constexpr word kMaxFirstEquation = 2097151;

void TA1(word CONE, word EGED, word NODC, word IELS, word EQIX, word ADIC, word EST, word ECT);

// First half: adjacency and renumbering; leaves the new numbers in the first
// N words of core and IRNFLG set.
void TA1A();
void TA1ACN(word elemptr, word elemnodes, word& avail);
void TA1ATR(word elemptr, word elemnodes, word nodeptr, word nodeelems, word work, word& avail);
void TA1AAD(word elemptr, word elemnodes, word nodeptr, word nodeelems, word work, word& avail);
void TA1ASQ(word adjptr, word adjlist, word newnum, word deg, word status, word work);
// Starting nodes of the separate structures and the level array of the
// renumbering (structure table in model_state().structures).
void TA1ADM(word adjptr, word adjlist, word mark, word list, word deg, word level);
// Profile of a numbering: option 0 the input order, 1 the numbering newnum
// (row newnum(i) is node i). mark takes N words; inverse and picture may be
// one area of max(N, 640) words. Under DIAG 11 it prints the largest
// wavefront, the bandwidth, the profile and a picture of the pattern.
void TA1APF(word adjptr, word adjlist, word newnum, word mark, word inverse, word picture, word option,
            std::int64_t& profile);

// Second half: equation index and element tables.
void TA1B();
void TA1BEQ(word newnum, word coords, word eqw, word pairs);
void TA1BEL(word newnum, word coords, word eqw);
void TA1BCN(word newnum, word elemptr, word elemnodes, word& avail);
void TA1BAD(word eqw, word elemptr, word elemnodes, word nodeptr, word nodeelems, word work, word& avail);

}  // namespace zephsol
