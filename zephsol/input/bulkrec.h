// Records of the bulk data: the group table GRPTAB that the grouping fills,
// the card reader record CRDCOM of the data-group decoders, the current card
// of the fixed-field card access, and the table of decoders that IFP1 runs.
//
// Everything is gathered in one aggregate so that a test starts from the load
// values with reset_bulk_state().
//
// The changed-groups bits of a restart (GRPCHG) live in the executive's
// records (ExecState::GRPCHG), where DGCHNG reads them: group i of the table
// below is bit 2^(31-i) of their first word.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "zephsol/dbio/recio.h"
#include "zephsol/exec/words.h"
#include "zephsol/input/inrec.h"
#include "zephsol/input/leftout.h"

namespace zephsol {

inline constexpr int kGroups = 18;
inline constexpr int kCardColumns = 80;
inline constexpr int kFieldColumns = 8;
inline constexpr int kFields = 10;

// The header names of the eighteen data groups, in group-table order.
inline constexpr std::array<std::string_view, kGroups> kGroupNames = {
    "NODE    ", "COORDINA", "ELEMENT ", "CONNECTI", "PROPERTY", "MATERIAL",
    "DISP    ", "MPC     ", "NLOAD   ", "DLOAD   ", "BODY    ", "INIT STR",
    "TEMPERAT", "EGROUP  ", "HISTORY ", "CONST   ", "MGROUP  ", "PRESTRES"};

// Group numbers of the group table (1-18), in the order of kGroupNames.
enum DataGroup : word {
  GRP_NODE = 1,
  GRP_COORDINA,
  GRP_ELEMENT,
  GRP_CONNECTI,
  GRP_PROPERTY,
  GRP_MATERIAL,
  GRP_DISP,
  GRP_MPC,
  GRP_NLOAD,
  GRP_DLOAD,
  GRP_BODY,
  GRP_INITSTR,
  GRP_TEMPERAT,
  GRP_EGROUP,
  GRP_HISTORY,
  GRP_CONST,
  GRP_MGROUP,
  GRP_PRESTRES,
};
static_assert(GRP_PRESTRES == kGroups);

// The group whose header name equals the eight characters, 1 to 18; 0 for none.
word group_number(std::string_view columns8) noexcept;

// The 80 columns of a card image as text.
std::string card_columns(const std::array<word, kCardWords>& card);

// The group table: where each data group lies in INP1.
struct GRPTAB {
  struct Group {
    dbpos POS = 0;   // position of the group's record in INP1 (DBLPOS)
    word NCARD = 0;  // cards including the header: 0 absent, 1 header only
    word HDRCRD = 0; // card number of the header card; sign bit: from the old tape
  };
  word NGROUP = kGroups;
  std::array<std::array<word, 2>, kGroups> NAME;
  std::array<Group, kGroups> group{};
  GRPTAB();
  // Group i, 1 to 18.
  Group& at(word i) noexcept { return group[static_cast<std::size_t>(i - 1)]; }
  const Group& at(word i) const noexcept { return group[static_cast<std::size_t>(i - 1)]; }
};

// The card reader record of the data-group decoders.
struct CRDCOM {
  word INPFIL = 0;               // file number of INP1 while IFP1 runs
  word CARDNO = 0;               // number of the current card; sign bit: from the old tape
  std::array<char, 24> GRPNAM;   // columns 1-24 of the current group's header card
  word NFATAL = 0;               // fatal decoder messages so far
  word NWARN = 0;                // warning decoder messages so far
  word MSGLIM = 100;             // print limit per kind
  std::array<char, 24> FATHDR;   // "*** USER FATAL MESSAGE  "
  std::array<char, 24> WRNHDR;   // "*** USER WARNING MESSAGE"
  word CORLEF = 0;               // open-core words from the first core word to the end
  word BUFINP = 0;               // first core word of the INP1 buffer
  word BUFOUT = 0;               // first core word of the buffer of the block a decoder writes
  word BUFSCR = 0;               // first core word of the third buffer
  word IFREE = 1;                // first core word of the decoders' work area
  word MATLST = 0;               // material identifier list left by the material decoder
  word NMATL = 0;
  word MGRLST = 0;               // "MGROUP" identifier list left by the group decoder
  word NMGRP = 0;
  CRDCOM();
};
static_assert(sizeof(CRDCOM) == 32 * 4);
static_assert(offsetof(CRDCOM, NFATAL) == 8 * 4);
static_assert(offsetof(CRDCOM, CORLEF) == 23 * 4);
static_assert(offsetof(CRDCOM, NMGRP) == 31 * 4);

// The current card of the fixed-field card access: its 20 words, and the
// character code and class (0 blank, +1 digit, -1 other) of every column.
struct FLDCOM {
  std::array<word, kCardWords> CARDIM{};
  std::array<word, kCardColumns> COLCHR{};
  std::array<word, kCardColumns> COLCLS{};
};
inline constexpr word kClassBlank = 0;
inline constexpr word kClassDigit = 1;
inline constexpr word kClassOther = -1;

// The decoders of IFP1, in their fixed order. A null entry is a decoder that
// is not available: IFP1 passes over it.
using DecoderFn = void (*)();
using StrcDecoderFn = void (*)(word scratch);
struct IfpDecoders {
  DecoderFn DBETYP = nullptr;     // "ELEMENT" -> ETYP
  DecoderFn DBMATD = nullptr;     // "MATERIAL" -> MATD
  StrcDecoderFn DBSTRC = nullptr; // "CONNECTI", "COORDINA", "NODE" -> STRC
  DecoderFn DBEGED = nullptr;     // "PROPERTY" -> EGED, PRPTAB
  DecoderFn DBBOUN = nullptr;     // "CONST", "DISP", "MPC" -> BOUN
  DecoderFn DBLOAD = nullptr;     // load groups -> LOAD
  DecoderFn DBELST = nullptr;     // "EGROUP", "MGROUP" -> ELST
  DecoderFn DBINCD = nullptr;     // "HISTORY" -> INCD
};
// The decoders the program runs.
IfpDecoders default_decoders() noexcept;

struct BulkState {
  GRPTAB grptab;
  CRDCOM crd;
  FLDCOM fld;
  word NBCARD = 0;  // cards of the bulk data counted so far by the grouping
  IfpDecoders decoders = default_decoders();
  // The node and element identifiers written into STRC, ascending, and the
  // terms of wide ranges left out of the decoded blocks, by block, kind and
  // set (zephsol/input/idrange.h, leftout.h).
  std::vector<word> defined_nodes, defined_elements;
  std::map<std::array<word, 3>, LeftOutSet> left_out;
};

BulkState& bulk_state() noexcept;
void reset_bulk_state();

inline GRPTAB& grptab() noexcept { return bulk_state().grptab; }
inline CRDCOM& crdcom() noexcept { return bulk_state().crd; }

}  // namespace zephsol
