// Result-file requests and integration-point selection.
//
// OFPRQN resolves the requests of the "NOUTPUT" block (data block CTRN, laid
// out as CTRL) for the current cumulative step into OFPREQ words 8-13, by the
// same walk as the print requests (zephsol/iter/ofprqp.h). It loads CTRN into
// open core from word 1; OFPRQP, called right after, loads CTRL over it, so
// of these words only whether word 8 ("DISP") is positive is used later.
// OFPIPM turns the integration-point selection of an element request into a
// mask over the points of the element held in EIVWKA.
//
// Messages: -3 (words required, words available) CTRN does not fit below one
// buffer; -3834 (kind word, number) a set number without a definition.
#pragma once

#include <span>

#include "zephsol/exec/words.h"

namespace zephsol {

// next: the first free open-core word, L1 + L2 + 1, or 1 without requests.
void OFPRQN(word ctrn, word& next);

// ipse: the point word of an element selection (0 the default points,
// 2147483647 all points, else the open-core position of an "IPSE"
// definition). mask[i - 1] becomes 1 for each selected point i of the
// element (1..n, n = EIVWKA header word 4); the caller clears it over the n
// points before. count: the number of points selected. Default points: 5, 25
// and 45 of a QFLA4, 53, 61, 63, 65 and 73 of an SBEAM2, else the element's
// output point. Point numbers below 1 or above n select nothing.
void OFPIPM(word ipse, std::span<word> mask, word& count);

}  // namespace zephsol
