// Element type table and current element.
//
// The attributes come from the installed type rows (zephsol/elem/typerow.h).
// ETYPCD and ETYPNM map type names to type codes 1-29 and back. ETYPDS loads
// the fixed attributes of an element type definition of the ETYP table into
// ETYCOM (option 1 also the load word counts and the per-node masks).
// ESTRD reads the next record of the element summary table EST and
// estrd_words decodes it into ESTCOM: it applies the interval's property
// changes (PRCGRP, PRCMID, PRPTAB) and builds the element's list of global
// equation numbers; the words of ESTCOM that the record does not fill are
// cleared.
//
// EST record: IEXN, ISEQ x 2^24 + IECOD, material ID, material group, ICLASS,
// points, output point, NP, NC, NN, NP REAL property words, NC REAL
// coordinates, NN EQIX words (first equation x 1024 + DOF count below 256).
//
// Messages: -8015 ("ISEQ", ISEQ) for a definition outside the ETYP table;
// -5000 (IECOD, 0) for a code without descriptor or outside 1-29; -3523
// (ICLASS, 0) for a class outside 1-11; -8063 (count, limit) for property,
// coordinate, node or DOF counts beyond ESTCOM's room; -1 ("EST ", words)
// for a record shorter than its counts; 8067, printed whole with the element
// and both counts, for equation words whose DOF count is not the type's (the
// run ends).
#pragma once

#include <array>
#include <span>

#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/typerow.h"
#include "zephsol/exec/words.h"

namespace zephsol {

// Code of the type whose 8-character name equals name, or 0.
void ETYPCD(const std::array<word, 2>& name, word& iecod);
// 8-character name of code iecod, "????" for a code outside 1-29.
void ETYPNM(word iecod, std::array<word, 2>& name);
// True when code iecod has an element descriptor (ETYPDS can load it).
bool ETYPHD(word iecod);
// Loads ETYCOM for definition iseq of the ETYP table; option 1 also the option part.
void ETYPDS(word iseq, word option);

// Decodes one EST record into ESTCOM (the record's words as read).
void estrd_words(std::span<const word> record);
// Reads the next record of the data block EST (open for reading) and decodes
// it into ESTCOM. A record shorter than its counts ends the run through the
// file system's read failure.
void ESTRD(word EST);

}  // namespace zephsol
