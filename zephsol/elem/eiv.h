// Integration-point state store.
//
// Per element, a state data block (EIV0 current, EIV1 after stress recovery,
// EIV2 adjusted for a re-execution) holds one record in EST order:
//   header [IEXN, IECOD, ICLASS, points P, output point, inactive flag],
//   then P sub-records [point number, flag word, REAL scalar, three vectors
//   of NS REAL words, the present optional blocks in block order].
// Bit k-1 of a flag word marks optional block k (k = 1..12) present; bits
// 16-19 and 20-23 keep the values of the switches of blocks 6 (material
// kind) and 12 (state of the stress-ratio model) when they are 1..15.
// Block words: 1: 5; 2: NS + 3; 3: NS + 1; 4-6: none; 7: NS; 8: 15; 9: 1;
// 10: NS + 1; 11: 3; 12: 84 (NS = NSCOMP of the record's class).
//
// Two channels, A (EIVRDA ... EIVWRA, work record EIVWKA) and B (EIVRDB ...,
// EIVWKB), each hold one element record packed in single precision in the
// caller's area and expand one point at a time into their work record in
// double precision. The area holds the directory (word p-1: start of point
// p), the end position (word P) and the sub-records from word P + 1; a point
// that grows or shrinks moves the later sub-records.
//
// Data block header kept by the writer: [records, largest (sub-record words +
// P + 7), IECOD bit set, largest P, union of the flag words' block bits, 1];
// EIVWRA updates words 2 and 5 of the caller's copy.
//
// Messages (all end the run): -3541 (0, 0) fetch without a record, store or
// write without an output; -3541 (point, P) a point outside 1..P; -3061
// (0, 0) store without a fetch, output attached before a read; -3051 (name,
// block) output attached twice; -3 (-999, 0) area too small; -2 (name, 0)
// end of the state block; -999 (expected, found) sub-record out of sequence;
// -1 (name, words) a record shorter than its flag words say; -3523 (class, 0)
// class outside 1-11.
#pragma once

#include <span>

#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// Bits of a flag word that mark the optional blocks present.
inline constexpr word kEivBlockBits = 0xFFF;

// Channel A. file 0 in EIVRDA creates a fresh record from ESTCOM; the size of
// area is the space available. EIVRDA also detaches channel B's input.
void EIVRDA(word file, std::span<word> area);
void EIVOPA(word file);
void EIVGTA(word point);
void EIVPTA();
void EIVWRA(std::span<word, 6> trailer);

// Channel B: the same on EIVWKB. EIVRDB leaves channel A alone and keeps the
// layout of channel A's record while A holds one.
void EIVRDB(word file, std::span<word> area);
void EIVOPB(word file);
void EIVGTB(word point);
void EIVPTB();
void EIVWRB(std::span<word, 6> trailer);

// Layout routine: block sizes of class iclass; a sub-record into a work
// record (returns the words consumed) and back; size and flag word of a work
// record's point; size of a sub-record from its flag word.
void EIVLAY(word iclass);
word EIVUNP(std::span<const word> sub, EIVWK& work);
void EIVPAK(const EIVWK& work, std::span<word> sub, word flag);
void EIVSZW(const EIVWK& work, word& size, word& flag);
void EIVSZF(word flag, word& size);

}  // namespace zephsol
