#include "zephsol/matl/elamat.h"
#include "zephsol/matl/nscomp.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>

#include "zephsol/exec/packed.h"
#include "zephsol/matl/matfatal.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mkinds.h"
#include "zephsol/matl/plastic.h"
#include "zephsol/matl/soilmod.h"

namespace zephsol {

namespace {

double wr(int k) { return static_cast<double>(matcom().w(k)); }

bool orthotropic() { return matcom().MATKND == mkind::ELASTIC && matcom().IORTHO == 1; }

// Brings the moduli of the current material up to date from the bound point
// (the kind's update); true when a kind-5 point has failed.
bool update_moduli() {
  const MaterialKind& k = material_kind(matcom().MATKND);
  return k.update != nullptr && k.update();
}

// The moduli a class is built from.
struct Elastic {
  double E, nu;
  double g() const { return E / (2.0 * (1.0 + nu)); }
};

// Packed matrix of order n being filled, zero elsewhere.
class Packed {
 public:
  Packed(std::span<double> d, int n) : d_(d), n_(n) {
    assert(d_.size() >= static_cast<std::size_t>(n * (n + 1) / 2));
    std::fill_n(d_.begin(), n * (n + 1) / 2, 0.0);
  }
  void set(int i, int j, double v) { d_[packed_index(i, j, n_)] = v; }

 private:
  std::span<double> d_;
  int n_;
};

// Normal block of the isotropic solid: (1 - nu) a on the diagonal, nu a off it,
// a = E/((1 + nu)(1 - 2 nu)).
void isotropic_normals(Packed& d, const Elastic& m) {
  const double a = m.E / ((1.0 + m.nu) * (1.0 - 2.0 * m.nu));
  for (int i = 1; i <= 3; ++i)
    for (int j = i; j <= 3; ++j) d.set(i, j, i == j ? (1.0 - m.nu) * a : m.nu * a);
}

// Normal block of the orthotropic solid, inverse of the compliance with
// S12 = -nu12/E1, S23 = -nu23/E2, S13 = -nu31/E3.
void orthotropic_normals(Packed& d) {
  const double e1 = wr(mw::E1), e2 = wr(mw::E2), e3 = wr(mw::E3);
  const double n12 = wr(mw::NU12), n23 = wr(mw::NU23), n31 = wr(mw::NU31);
  const double n21 = n12 * e2 / e1, n32 = n23 * e3 / e2, n13 = n31 * e1 / e3;
  const double delta = (1.0 - n12 * n21 - n23 * n32 - n31 * n13 - 2.0 * n12 * n23 * n31) / (e1 * e2 * e3);
  d.set(1, 1, (1.0 - n23 * n32) / (e2 * e3 * delta));
  d.set(1, 2, (n21 + n31 * n23) / (e2 * e3 * delta));
  d.set(1, 3, (n13 + n12 * n23) / (e1 * e2 * delta));
  d.set(2, 2, (1.0 - n31 * n13) / (e1 * e3 * delta));
  d.set(2, 3, (n32 + n12 * n31) / (e1 * e3 * delta));
  d.set(3, 3, (1.0 - n12 * n21) / (e1 * e2 * delta));
}

// Plane stress with in-plane shear factor k on c (1 - nu)/2, c = E/(1 - nu^2).
void plane_stress(std::span<double> D, const Elastic& m, double k) {
  Packed d(D, 3);
  const double c = m.E / (1.0 - m.nu * m.nu);
  d.set(1, 1, c);
  d.set(2, 2, c);
  d.set(1, 2, m.nu * c);
  d.set(3, 3, c * (1.0 - m.nu) / 2.0 * k);
}

void rod(std::span<double> D, const Elastic& m) { Packed(D, 1).set(1, 1, m.E); }

void membrane(std::span<double> D, const Elastic& m) { plane_stress(D, m, 1.0); }

// The single-precision 5/6 of the shear-corrected membrane.
void membrane_shear_corrected(std::span<double> D, const Elastic& m) {
  plane_stress(D, m, static_cast<double>(0.8333333f));
}

void solid(std::span<double> D, const Elastic& m) {
  Packed d(D, 6);
  if (orthotropic()) {
    orthotropic_normals(d);
    d.set(4, 4, wr(mw::G12));
    d.set(5, 5, wr(mw::G23));
    d.set(6, 6, wr(mw::G31));
    return;
  }
  isotropic_normals(d, m);
  for (int i = 4; i <= 6; ++i) d.set(i, i, m.g());
}

// Axisymmetric and plane strain: the solid's normal block and one shear.
void axisymmetric(std::span<double> D, const Elastic& m) {
  Packed d(D, 4);
  if (orthotropic()) {
    orthotropic_normals(d);
    d.set(4, 4, wr(mw::G12));
    return;
  }
  isotropic_normals(d, m);
  d.set(4, 4, m.g());
}

void beam(std::span<double> D, const Elastic& m) {
  Packed d(D, 3);
  d.set(1, 1, m.E);
  d.set(2, 2, m.g());
  d.set(3, 3, m.g());
}

// Shell layer: plane stress, in-plane shear g, transverse shears 5/6 g.
void shell(std::span<double> D, const Elastic& m) {
  Packed d(D, 5);
  const double c = m.E / (1.0 - m.nu * m.nu);
  d.set(1, 1, c);
  d.set(2, 2, c);
  d.set(1, 2, m.nu * c);
  d.set(3, 3, m.g());
  d.set(4, 4, 0.8333333333333334 * m.g());
  d.set(5, 5, 0.8333333333333334 * m.g());
}

void plane_biaxial(std::span<double> D, const Elastic& m) {
  Packed d(D, 2);
  const double c = m.E / (1.0 - m.nu * m.nu);
  d.set(1, 1, c);
  d.set(1, 2, m.nu * c);
  d.set(2, 2, c);
}

// Matrix builder of each class; substitute moduli apply to the solid classes.
struct ClassRule {
  word iclass;
  void (*build)(std::span<double>, const Elastic&);
  bool substitute;
};
constexpr ClassRule kClassRules[] = {
    {1, rod, false},          {2, membrane, false},     {3, solid, true},
    {4, axisymmetric, true},  {5, axisymmetric, true},  {6, beam, false},
    {7, shell, false},        {8, plane_biaxial, false}, {9, membrane, false},
    {11, membrane_shear_corrected, false},
};

const ClassRule& class_rule(word iclass) {
  if (iclass == 10) matl_fatal(-8015, name_word("KFLD"), iclass);
  for (const ClassRule& r : kClassRules)
    if (r.iclass == iclass) return r;
  matl_fatal(-4040, iclass, 0);
}

// E and nu of an isotropic solid point: ENT and NUNT at a point cut by the
// no-tension correction, EMIN and NUMAX at a failed kind-5 point.
Elastic solid_moduli(bool failed) {
  if (wr(mw::NUNT) > 0.0 && wr(mw::ENT) > 0.0 && mat_point().B1[3] < 0.0) return {wr(mw::ENT), wr(mw::NUNT)};
  if (matcom().MATKND == mkind::FAILURE && failed) return {wr(mw::EMIN), wr(mw::NUMAX)};
  return {wr(mw::E), wr(mw::NU)};
}

}  // namespace

bool moduli_follow_point(word kind) { return material_kind(kind).moduli_follow_point; }

word class_components(word iclass) {
  if (iclass < 1 || iclass > 11) matl_fatal(-4040, iclass, 0);
  return NSCOMP.ns[static_cast<std::size_t>(iclass - 1)];
}

word class_normal_components(word iclass) {
  if (iclass < 1 || iclass > 11) matl_fatal(-4040, iclass, 0);
  return NSCOMP.normal[static_cast<std::size_t>(iclass - 1)];
}

ClassPlacement class_placement(word iclass, word ns) {
  const word normals = class_normal_components(iclass);
  // Places of the shear components in order; npos ends the list.
  constexpr std::size_t npos = 6;
  const std::array<std::size_t, 3> shear = iclass == 6   ? std::array<std::size_t, 3>{3, 5, npos}
                                           : iclass == 9 ? std::array<std::size_t, 3>{4, npos, npos}
                                                         : std::array<std::size_t, 3>{3, 4, 5};
  ClassPlacement at;
  for (word i = 0; i < std::min<word>(ns, 6); ++i) {
    const std::size_t p = i < normals ? static_cast<std::size_t>(i)
                          : i - normals < 3 ? shear[static_cast<std::size_t>(i - normals)]
                                            : npos;
    if (p == npos) break;
    at.pos[at.n++] = p;
  }
  return at;
}

std::array<double, 6> class_tensor(const ClassPlacement& at, std::span<const double> c) {
  std::array<double, 6> t{};
  for (std::size_t i = 0; i < at.n; ++i) t[at.pos[i]] = c[i];
  return t;
}

void ELAMAT(std::span<double> D) {
  const bool failed = update_moduli();
  const ClassRule& rule = class_rule(*mat_elem().ICLASS);
  const Elastic m = rule.substitute && !orthotropic() ? solid_moduli(failed) : Elastic{wr(mw::E), wr(mw::NU)};
  rule.build(D, m);
}

void STPMTX(std::span<double> D) {
  if (moduli_follow_point(matcom().MATKND)) {
    ELAMAT(D);
    return;
  }
  const word ns = *mat_elem().NS;
  const auto m = std::min<std::size_t>(static_cast<std::size_t>(ns * (ns + 1) / 2), 21);
  SIGCOM& s = sigcom();
  if (s.KDECHE < 0) {
    ELAMAT(s.DE);
    s.KDECHE = 0;
  }
  std::copy_n(s.DE.begin(), m, D.begin());
  const MatPoint& p = mat_point();
  if (p.B2I[0] == 0) return;
  std::array<double, 21> dp{};
  PLSMTX(std::span<const double>(s.DE).first(m), std::span<const double>(p.SIG, static_cast<std::size_t>(ns)),
         p.B2[0], dp);
  for (std::size_t i = 0; i < m; ++i) D[i] += dp[i];
}

}  // namespace zephsol
