// Shared records of the element library: the element type descriptor ETYCOM,
// the current element ESTCOM, the element-class component table NSCOMP, the
// integration-point work records EIVWKA and EIVWKB with the channel state of
// the state store, and the tables of other subsystems that the library reads.
// They live in one aggregate (elem_state()); tests start afresh with
// reset_elem_state().
#pragma once

#include <array>
#include <cstddef>
#include <span>

#include "zephsol/elem/model_tables.h"
#include "zephsol/elem/sbeam.h"
#include "zephsol/exec/words.h"
#include "zephsol/matl/nscomp.h"

namespace zephsol {

// Element type descriptor, 113 words.
struct ETYCOM {
  word IECOD = 0;                 // 1  element type code
  std::array<word, 2> NAME{};     // 2-3 type name, 8 characters
  word ICLASS = 0;                // 4  element class
  std::array<word, 2> rsv5{};     // 5-6
  word NN = 0;                    // 7  nodes
  std::array<word, 3> rsv8{};     // 8-10
  word NPTS = 0;                  // 11 integration (state) points
  word IOUTPT = 0;                // 12 output point
  word NDOF = 0;                  // 13 element DOF count
  word NC = 0;                    // 14 coordinate words
  word NP = 0;                    // 15 property words
  word IDIM = 0;                  // 16 dimension code: 9 in space, 4 in the plane
  word NLDTYP = 0;                // 17 load types described in LDWORD
  std::array<word, 11> rsv18{};   // 18-28
  word IUTYPE = 0;                // 29 user element type number
  std::array<word, 4> rsv30{};    // 30-33 (word 31: section switch, never set)
  std::array<word, 8> LDWORD{};   // 34-41 data words of a load entry per load type, 0 = not accepted
  std::array<word, 12> rsv42{};   // 42-53
  std::array<word, 20> DOFMSK{};  // 54-73 per node: DOF mask (bits 0-2 x y z, 3-5 rotations)
  std::array<word, 20> CRDMSK{};  // 74-93 per node: coordinate mask (bit 0 x, 1 y, 2 z)
  std::array<word, 20> TMPFLG{};  // 94-113 per node: 1 when the node takes temperatures

  std::span<word, 113> words() noexcept { return std::span<word, 113>(reinterpret_cast<word*>(this), 113); }
};
static_assert(sizeof(ETYCOM) == 113 * 4);
static_assert(offsetof(ETYCOM, NN) == 6 * 4);
static_assert(offsetof(ETYCOM, NPTS) == 10 * 4);
static_assert(offsetof(ETYCOM, IUTYPE) == 28 * 4);
static_assert(offsetof(ETYCOM, LDWORD) == 33 * 4);
static_assert(offsetof(ETYCOM, DOFMSK) == 53 * 4);
static_assert(offsetof(ETYCOM, TMPFLG) == 93 * 4);

// The current element, 174 words.
struct ESTCOM {
  static constexpr int kMaxProp = 20, kMaxCoord = 60, kMaxNode = 20, kMaxDof = 60;
  word IEXN = 0;                        // 1  element identifier
  word IECOD = 0;                       // 2  element type code
  word MATID = 0;                       // 3  material ID
  word ISEQ = 0;                        // 4  element type sequence number
  word ICLASS = 0;                      // 5  element class
  word NPTS = 0;                        // 6  integration points
  word IOUTPT = 0;                      // 7  output point
  word NP = 0;                          // 8  property words
  word NC = 0;                          // 9  coordinate words
  word NN = 0;                          // 10 nodes
  word NS = 0;                          // 11 stress components
  std::array<word, 2> rsv12{};          // 12-13 zero
  word MGROUP = 0;                      // 14 material group
  std::array<float, kMaxProp> PROP{};   // 15-34 property values
  std::array<float, kMaxCoord> XYZ{};   // 35-94 node coordinates by the coordinate masks
  std::array<word, kMaxNode> EQIX{};    // 95-114 first equation x 1024 + DOFs at the node
  std::array<word, kMaxDof> IDOF{};     // 115-174 global equation of each element DOF

  std::span<word, 174> words() noexcept { return std::span<word, 174>(reinterpret_cast<word*>(this), 174); }
};
static_assert(sizeof(ESTCOM) == 174 * 4);
static_assert(offsetof(ESTCOM, MGROUP) == 13 * 4);
static_assert(offsetof(ESTCOM, PROP) == 14 * 4);
static_assert(offsetof(ESTCOM, XYZ) == 34 * 4);
static_assert(offsetof(ESTCOM, EQIX) == 94 * 4);
static_assert(offsetof(ESTCOM, IDOF) == 114 * 4);

// Optional blocks of a point in the work record, each at a fixed place
// whether present or not (blocks 4-6 are one-bit states without a place).
struct EivScalarVec {
  double s;                  // a scalar
  std::array<double, 6> v;   // NS components
};
struct EivBlocks {
  struct {
    std::array<double, 5> v;  // principal stresses (largest, smallest, middle), mark, fifth value
    double spare;
  } b1;
  struct {
    double epeq;              // equivalent plastic strain
    std::array<double, 6> v;  // plastic strain components
    std::array<word, 2> iv;   // plastic flag, second integer
  } b2;
  EivScalarVec b3;
  std::array<double, 6> b7;
  struct {
    std::array<word, 2> iv;
    std::array<double, 13> v;  // section forces
  } b8;
  double b9;                   // largest mean stress reached
  EivScalarVec b10;
  struct {
    std::array<word, 2> iv;    // state code, lock flag
    double v;
  } b11;
  std::array<double, 84> b12;  // contact history, four sets of 21
};
static_assert(sizeof(EivBlocks) == 135 * 8);

// Integration-point work record (EIVWKA, EIVWKB): one point of the element
// record held by a channel, in double precision.
struct EIVWK {
  std::array<word, 6> head{};     // IEXN, IECOD, ICLASS, points, output point, inactive flag
  word flags = 0;                 // union of the flag words of the record's points
  word point = 0;                 // the point held
  std::array<word, 12> sw{};      // block switches, 0 absent
  std::array<word, 4> scratch{};  // outside the record
  double scalar = 0.0;
  std::array<std::array<double, 6>, 3> vec{};  // three component vectors; vec[0] the stresses
  EivBlocks blk{};
};
static_assert(offsetof(EIVWK, scalar) == 24 * 4);
static_assert(sizeof(EIVWK) == 24 * 4 + (1 + 18 + 135) * 8);

// Channel of the state store: attached blocks and the caller's area, which
// holds the directory of point positions (word p-1 for point p), the end
// position (word P) and the packed sub-records after it.
struct EivChannel {
  word input = -1;   // -1 none; 0 fresh record without input
  word output = -1;  // -1 none
  bool fetched = false;
  std::span<word> area;
};

// Sizes of a state sub-record for the class currently laid out.
struct EivLayout {
  word iclass = 0;
  word ns = 0;
  word base = 0;
  std::array<word, 12> size{};
};

// Record transfers of the state store with the data blocks.
struct EivIo {
  // Reads the first six words of the next record of file, leaving the record
  // open: 0 done, 2 end of data.
  word (*read_head)(word file, std::span<word, 6> head);
  // Reads the rest of the open record into area, at most area.size() words:
  // true when the record ended within them (n = words moved), false when it
  // is longer.
  bool (*read_rest)(word file, std::span<word> area, word& n);
  // Writes one record: the six header words, then body.
  void (*write)(word file, std::span<const word, 6> head, std::span<const word> body);
  // Four-character name of data block file.
  word (*name)(word file);
};
// Transfers through the data-block records of the file system.
EivIo eiv_data_block_io();

// The element library's process-wide records.
struct ElemState {
  ETYCOM etycom;
  ESTCOM estcom;
  EIVWK eivwka;
  EIVWK eivwkb;
  EivChannel chan_a;
  EivChannel chan_b;
  EivLayout layout;
  EivIo eivio = eiv_data_block_io();
  ModelTables tables;
  SBMCOM sbmcom;   // section-beam work record
  // The first element whose point was stored with a stress or strain that
  // a REAL word cannot hold (infinite or not a number); 0 when none. The
  // stress recovery clears it and reports it.
  word nonfinite_element = 0;
};

ElemState& elem_state() noexcept;
void reset_elem_state();

inline ETYCOM& etycom() noexcept { return elem_state().etycom; }
inline ESTCOM& estcom() noexcept { return elem_state().estcom; }
inline EIVWK& eivwka() noexcept { return elem_state().eivwka; }
inline EIVWK& eivwkb() noexcept { return elem_state().eivwkb; }

}  // namespace zephsol
