// IFP1: the data-group decoders of the bulk data.
//
// Lays out the open core for the decoders (their work area from word 1,
// then three buffers of NBUFSZ words at the top: the decoders' scratch file,
// the data block a decoder writes, INP1), opens INP1 and runs the eight
// decoders of bulk_state().decoders in their fixed order: DBETYP, DBMATD,
// DBSTRC(301), then (the work area free again from word 1) DBEGED, DBBOUN,
// DBLOAD, DBELST, DBINCD. Each reports its input errors through IFPMSG and
// goes on; IFP1 never ends the run for them: IERFLG stays set, and the
// preface ends the run afterwards. At the end INP1 is released and the
// totals of fatal and warning messages are printed (IWRNFL set when there
// were warnings).
//
// Data blocks: reads and releases INP1; the decoders write STRC, BOUN, LOAD,
// INCD, MATD, ELST, EGED.
// Messages: fatal 201 (INP1 not a closed data block, p1 "INP1"); fatal 3
// (the open core holds fewer than three buffers: words required, words
// available).
#pragma once

namespace zephsol {

void IFP1();

}  // namespace zephsol
