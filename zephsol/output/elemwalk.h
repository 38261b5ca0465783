// What the element walk of OFP1C shares with its stress and strain table and
// with the element vectors of the result file: the open-core areas of the
// walk, its counts and flags, and the element result records in them.
//
// OFPELR (75 REAL words per element, three blocks of 25: the output point,
// the upper surface point 45 and the lower surface point 5 of a shell):
//   0 von Mises, 1 major and 2 minor principal stress, 3 maximum shear,
//   4-9 stresses and 10-15 elastic strains in the slots X Y Z XY YZ ZX,
//   16 safety factor (-1.0 absent), 17 principal stress angle (-1.0 absent),
//   18 major and 19 minor principal strain, 20 maximum shear strain,
//   21/22 larger/smaller absolute principal stress, 23 relaxation or
//   deformation factor (-1.0 absent), 24 Poisson ratio of the hyperbolic
//   model; record words 73 (joint state of the last printed point) and 74
//   (1.0: thermal strains captured) serve every element.
// OFPPLR (21 words, three blocks of 7): equivalent plastic strain, then the
//   plastic strains in the slots. OFPTHR (7 words): words 1-6 the thermal
//   strains of the last printed point in the slots.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "zephsol/dbio/core.h"
#include "zephsol/exec/words.h"

namespace zephsol {

inline constexpr word kElrWords = 75, kElrBlock = 25, kPlrWords = 21, kPlrBlock = 7, kThrWords = 7;
inline constexpr word kJointStateWord = 73, kThermalWord = 74;
// Block words of OFPELR with an absent marker.
inline constexpr word kSafetyWord = 16, kAngleWord = 17, kFactorWord = 23, kPoissonWord = 24;

// Element type codes the output treats apart.
inline constexpr word kTypeBeam2 = 5, kTypeQfla4 = 7, kTypeSbeam2 = 26;

struct ElementWalk {
  // Open-core positions of the areas (OFP1C's arguments).
  word group = 0, shell_list = 0, conditions = 0, results = 0, plastic_records = 0, thermal = 0;
  bool plastic = false;  // the model carries plastic state

  word count = 0;   // elements placed (N)
  word solids = 0;  // class-3 records, of any status
  word shells = 0;  // S
  bool joint_printed = false;
  bool safety_present = false;
  bool principal_present = false;
  bool factor_present = false;

  static std::int64_t at(word base, word stride, word j) {
    return static_cast<std::int64_t>(base) + static_cast<std::int64_t>(stride) * (j - 1);
  }
  // Records of element j (1..count).
  std::span<float> elr(word j) const { return core().floats(at(results, kElrWords, j), kElrWords); }
  std::span<float> plr(word j) const { return core().floats(at(plastic_records, kPlrWords, j), kPlrWords); }
  std::span<float> thr(word j) const { return core().floats(at(thermal, kThrWords, j), kThrWords); }
  word& id(word j) const { return core().w(at(group, 1, j)); }
  word& condition(word j) const { return core().w(at(conditions, 1, j)); }
  // Position j of shell s (1..shells).
  word& shell(word s) const { return core().w(at(shell_list, 1, s)); }
};

// n' of the element on channel A: 3 for BEAM2 and SBEAM2, else the number
// of components of its class.
word print_components();
// The first n' of the components c of the element on channel A into the six
// slots X Y Z XY YZ ZX (single precision); slots it lacks stay as they are.
void put_slots(std::span<float> slots, std::span<const double> c);
// A principal-value scratch record ($301) of point `point` held in EIVWKA:
// element, point, class, the six stresses and the six total strains.
void write_principal_record(word point);

// Whether the selection list of an element request at open-core position
// `list` is the single-ALL case: exactly one selection, naming every element.
inline bool selects_every_element(word list) {
  const WordSpace& c = core();
  return list > 0 && c.w(list) == 1 && c.w(static_cast<std::int64_t>(list) + 1) == 0;
}

// The 24-character text of a joint or contact state code (blanks for a
// code without a text: 0, or outside 1-4).
std::string_view state_text(word state);
// The status code of a joint or contact state in the result file: 3 open
// (state 1), 1 stick (2), 2 slip (3); other states keep their number.
word status_code(word state);

// The stress and strain table of one output step.
struct StressTable {
  word request = -1;       // OFPREQ word 3: -1 not printed, else its selection list
  bool single_all = false;  // one selection of every element
  word single_ipse = 0;
  word last_class = 0;      // class of the last printed element
  bool headings_due = false;
};

// Starts the table of the step (a new page and its title) when it is printed.
void stress_table_begin(StressTable& table);
// Prints the selected points of element j, held on channel A, read as
// record `record` of the state block; fills its joint and thermal words.
void print_element(StressTable& table, ElementWalk& walk, word j, word record);

// The element vectors of the step (the result file's DISP request is on).
void write_element_vectors(const ElementWalk& walk);

}  // namespace zephsol
