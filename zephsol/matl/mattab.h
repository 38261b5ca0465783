// Material table and selection.
//
// The decoded material data (data block MATD, one record) is loaded once per
// module run as the material table MATTAB. Before an element is processed the
// caller selects its material with MATSEL: the material-change lists of the
// interval may replace the element's material ID (the later change wins, the
// ID list on equal orders), and the entry's words are copied into MATCOM. A
// material with the fourth yield criterion (Mohr-Coulomb with strength
// reduction) gets the factor F = SSRSTA + (cumulative step - 1) SSRINC in its
// MATCOM copy of w28, printed when stress recovery selects it. HRDSLP and
// HRDINT give the hardening slope of the current material and its integral,
// from the constant HDASH or from the step-function table of "F5" pairs.
//
// Reads: MATD (through the record layer), MTCGRP, MTCMID, step counter 4.
// Messages: -4 the table does not fit; 2332 (printed directly), -780
// material ID not in the table;
// -4353 HRDSLP/HRDINT argument not 1; -4085 table of fewer than 2 pairs
// (TABVAL; TABINT with no pair); -4084 no table interval holds X.
#pragma once

#include <span>

#include "zephsol/exec/words.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {

// Loads the single record of data block MATD (length: header word 2) into the
// top of the caller's free open-core area: Z is the area's first word (Z(1..6)
// receive the header as scratch), FREE its free words, reduced by the table
// length; BUF a file buffer. Too little room: message -4 "MATD", shortfall.
void MATLOD(word MATD, word Z, word& FREE, word BUF);
// Loads MATTAB from the words of the MATD record; first is the open-core
// index at which the record was placed (MATCOM words 1 and 2).
void mattab_load(std::span<const word> record, word first);

// Selects the material of an element (ID and group of the element record).
// FLAG: 1 element matrix generation, 2 stress recovery (prints the safety
// factor of a strength-reduction material), 3 the material-change report.
void MATSEL(word ID, word GROUP, word FLAG);

// The current entry [L, w1 .. wL] of MATTAB.
std::span<const word> mattab_entry();
// The hardening table of the current entry: NF5 (x, y) REAL pairs from w19.
std::span<const word> hardening_pairs();

// Hardening slope H at equivalent plastic strain EPS; ISW must be 1.
void HRDSLP(word ISW, double EPS, double& H);
// Accumulated hardening R = integral of the slope from 0 to EPS; ISW must be 1.
void HRDINT(word ISW, double EPS, double& R);

// Value Y at X of the step function of N REAL pairs (x ascending): y1 below
// x2, yN from xN on, yj on [xj, xj+1).
void TABVAL(std::span<const word> T, word N, double X, double& Y);
// Integral R from X1 to X2 (X1 <= X2) of the step function of T, taken as y1
// up to x1, yk on (xk, xk+1] and yN beyond xN.
void TABINT(std::span<const word> T, word N, double X1, double X2, double& R);

}  // namespace zephsol
