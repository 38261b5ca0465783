// The material kind rows.
#include "zephsol/matl/mkinds.h"

#include <array>

#include "zephsol/matl/matrec.h"
#include "zephsol/matl/soilmod.h"

namespace zephsol {
namespace {

bool update_zuzu() {
  MATDEN();
  return false;
}
bool update_duncan() {
  MATDCH();
  return false;
}
bool update_failure() {
  bool failed = false;
  MATMCB(failed);
  return failed;
}
bool update_elastic() {
  if (matcom().IORTHO == 1) MATANI();
  return false;
}
bool update_ratio() {
  if (mat_point().SW[0] != 0) MATSRD();
  return false;
}

// clang-format off
constexpr std::array<MaterialKind, 6> kKinds{{
    // kind            name           follow beams  plastic cut    short  update
    {mkind::ELASTIC, "ELASTIC",     false, true,  false, true,  false, update_elastic},
    {mkind::PLASTIC, "PLASTIC",     false, true,  true,  true,  false, nullptr},
    {mkind::ZUZU,    "ZUZUZERUR",   true,  false, false, false, true,  update_zuzu},
    {mkind::DUNCAN,  "DUNCAN",      true,  false, false, false, true,  update_duncan},
    {mkind::FAILURE, "FAILURE",     true,  false, false, true,  true,  update_failure},
    {mkind::RATIO,   "RATIO",       false, false, true,  true,  false, update_ratio},
}};
// clang-format on

constexpr MaterialKind kGeneral{-1, "GENERAL", false, true, false, true, false, nullptr};

}  // namespace

std::span<const MaterialKind> material_kinds() { return kKinds; }

const MaterialKind& material_kind(word kind) {
  for (const MaterialKind& k : kKinds)
    if (k.kind == kind) return k;
  return kGeneral;
}

}  // namespace zephsol
