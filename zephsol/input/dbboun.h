// DBBOUN: the boundary decoder.
//
// Reads the data groups "CONST" (fixed freedoms: one set, identifier 0,
// without a set card), "DISP" (prescribed displacement sets) and "MPC"
// (multipoint-constraint sets) into BOUN. Node and component ranges are
// expanded into one entry per node and component; a wide node range only
// over the nodes the deck defines (zephsol/input/idrange.h).
//
// BOUN (data block 203): record "BOUNDARY" [name, 1], then per set (the
// "CONST" set first, then the "DISP" sets) [identifier, n] and n entries
// [node, component, coordinate system, value (REAL)]; record "FASTENIN"
// [name, 1], then per "MPC" set [identifier, q, 0] and q equations [system,
// node, component, coefficient (REAL), t] each followed by t terms [node,
// component, coefficient (REAL)]. Each record only when it has a set.
// Header: [boundary sets, MPC sets, largest q, 1 when "CONST" holds data,
// flags (1: a boundary entry names a coordinate system, 2: an equation
// does), 0]. With no set at all BOUN is released.
//
// Messages (decoder, fatal unless said): 2000, 2081, 2082 (set cards); 2021
// node, 2023 component, 2024 step, 2027 components reversed, 2106 coordinate
// system, 2181 terms below 1, 2440 set without data, 2518 term cards
// missing, 2120 a range that cannot be expanded in its set; warning 2026 component above 6 (lowered to 6
// in "CONST" and "DISP", kept in "MPC"); fatal 201 through MSGPUT when BOUN
// is not a closed data block.
#pragma once

namespace zephsol {

void DBBOUN();

}  // namespace zephsol
