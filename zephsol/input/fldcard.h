// Fixed-field card access of the data-group decoders.
//
// A card is 80 columns in ten fields of eight: field k covers columns 8k-7 to
// 8k. GRPOPN positions INP1 at a data group and reads its header card;
// NXTCRD hands the decoder the next card of the group and classifies its
// columns once (blank, digit, other); the field routines then convert one
// field into eight characters, an integer or a REAL, with the caller's
// default for a blank field and a status: 0 blank, 1 read, -1 faulty.
//
// Data blocks: reads INP1 (open, file number INPFIL of CRDCOM) at the
// positions of GRPTAB.
// Messages (fatal decoder messages, counted in NFATAL, setting IERFLG,
// printed while NFATAL is within MSGLIM): 2100 integer out of range, 2101
// illegal character in an integer (both on units 6 and 999); 2102 illegal
// character in a REAL, 2103 REAL exponent out of range (unit 6 only).
#pragma once

#include <array>

#include "zephsol/exec/words.h"

namespace zephsol {

// Statuses of the field routines and of NXTCRD.
inline constexpr word kFieldBlank = 0;
inline constexpr word kFieldRead = 1;
inline constexpr word kFieldError = -1;
inline constexpr word kCardRead = 0;
inline constexpr word kGroupEnded = 1;
inline constexpr word kFileEnded = 2;

// Opens data group i (1-18) of GRPTAB: INP1 at its record, the header card
// in CARDIM, GRPNAM its columns 1-24, CARDNO its card number.
void GRPOPN(word i);
// The next card of the group: status 0 read (CARDNO + 1, columns
// classified), 1 the group's record has ended, 2 end of file.
void NXTCRD(word& status);
// The characters of field k from its first non-blank column, left-justified
// and blank-filled; eight blanks for a blank field.
void ALFFLD(word k, std::array<word, 2>& name);
// Integer of field k: optional sign, digits, then only blanks.
void INTFLD(word k, word& value, word dflt, word& status);
// REAL of field k: sign, digits with at most one point, and an exponent
// written with "E", "D" or a bare sign, blanks allowed around it.
void RELFLD(word k, float& value, float dflt, word& status);
// -1 when the first non-blank character of field k is not a digit, "+",
// "-" or "."; 0 when the field is blank or begins like a number.
word ALFTST(word k);
// -1 when field k is blank, else 0.
word BLKTST(word k);

}  // namespace zephsol
