// One row per material kind: what the element and point routines ask of a
// kind, and the routine that brings its moduli up to date from the point.
//
// Kinds: 0 linear elastic (orthotropic with the orthotropy flag), 1
// elasto-plastic by the yield criterion, 2 "ZUZUZERUR", 3 the hyperbolic
// model, 5 failure with reduced moduli, 7 stress-ratio degradation. Any other
// kind takes the general row: elastic, no update, as kind 0 is read.
#pragma once

#include <span>
#include <string_view>

#include "zephsol/exec/words.h"

namespace zephsol {

struct MaterialKind {
  word kind;
  std::string_view name;
  bool moduli_follow_point;  // De is formed at every point, from its state
  bool on_beams;             // a BEAM2 may take it (else message 8204)
  bool plastic;              // the point law runs the yield check and keeps plastic strains
  bool tension_cut;          // the no-tension correction may cut the trial stress
  bool short_entry;          // its table entry ends at w27
  // Updates E and nu of MATCOM from the bound point; true when the point has
  // failed (kind 5). Null: the moduli stay as given.
  bool (*update)();
};

// Every kind with a row of its own, in kind order.
std::span<const MaterialKind> material_kinds();
// The row of a kind; the general row for a kind without one.
const MaterialKind& material_kind(word kind);

}  // namespace zephsol
