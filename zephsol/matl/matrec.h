// Records of the material library.
//
// - MATCOM: the current material, copied from its MATTAB entry by MATSEL; the
//   soil-model updates overwrite its E and NU words in place.
// - MATTAB: the words of the MATD record, a sequence of entries
//   [L, w1 .. wL]; w1 material ID, w2 kind, w3 yield criterion, w4
//   orthotropy flag, w5 hardening pairs, w6 parameter mask, w7.. REAL.
// - MTCGRP / MTCMID: the material-change lists of the interval, keyed by
//   material group and by material ID (the interval set-up fills them).
// - SIGCOM: the shared record of the stress update: the point laws' flags
//   and trial state, and the cached elastic matrix that STPMTX shares.
// - MatElem / MatPoint: views through which the material routines read the
//   current element record and the integration point held in the state
//   store's work record. The element library binds them to its own records;
//   the material library never owns the element's data.
//
// Everything lives in one aggregate (matl_state) so that a test starts from a
// fresh state with reset_matl_state().
#pragma once

#include <array>
#include <cassert>
#include <cstddef>
#include <vector>

#include "zephsol/exec/words.h"

namespace zephsol {

// Entry word numbers of a material (w1 is the material ID).
namespace mw {
inline constexpr int ID = 1, KIND = 2, IYIELD = 3, ORTHO = 4, NF5 = 5, MASK = 6;
// Kinds 0 and 1 (and the words the other kinds share).
inline constexpr int E = 7, NU = 8, GAMM = 9, C = 10, PHAI = 11, ALPHA = 12, SIGY = 13,
                     SIGT = 14, HDASH = 15, SIG0 = 16, ENT = 17, NUNT = 18, TABLE = 19, K = 26,
                     SFSIGT = 27, SSRSTA = 28, SSRINC = 29;
// Kind 5: failure with reduced moduli.
inline constexpr int EMIN = 13, NUMAX = 15;
// Kind 2: "ZUZUZERUR".
inline constexpr int DZER = 13, DFAI = 14, DTOK = 15, POZE = 16, POFA = 17, YURU = 18, POTO = 19,
                     TAUR = 20, ZSIGT = 21, HORA = 22;
// Kind 3: hyperbolic ("DUNCAN").
inline constexpr int DCK = 13, DCN = 14, DCRF = 15, DCKU = 16, DCG = 17, DCF = 18, DCD = 19,
                     DCPA = 20, DCDE = 21, DCNU = 22;
// Kind 7: stress-ratio degradation.
inline constexpr int U = 19, V = 20, W = 21, U1 = 22, V1 = 23, W1 = 24, U2 = 25, V2 = 26, W2 = 27,
                     EPS = 28, EMAX = 29;
// Orthotropic kind 0.
inline constexpr int E1 = 7, NU12 = 8, E2 = 19, E3 = 20, NU23 = 21, NU31 = 22, G12 = 23, G23 = 24,
                     G31 = 25;
}  // namespace mw

// Material kinds (MATKND).
namespace mkind {
inline constexpr word ELASTIC = 0, PLASTIC = 1, ZUZU = 2, DUNCAN = 3, FAILURE = 5, RATIO = 7;
}

// The current material: 37 words.
struct MATCOM {
  word MTBFST = 0;             // 1 first word of MATTAB (open-core index)
  word MTBEND = 0;             // 2 one past the last word of MATTAB
  word MTBCUR = 0;             // 3 index of the current entry (its L word)
  std::array<word, 5> rsv4{};  // 4-8
  word MATID = 0;              // 9  w1
  word MATKND = 0;             // 10 w2
  word IYIELD = 0;             // 11 w3
  word IORTHO = 0;             // 12 w4
  word NF5 = 0;                // 13 w5
  word MASK = 0;               // 14 w6
  std::array<float, 23> PARM{};  // 15-37 w7-w29 (REAL); w28 of IYIELD 4: strength-reduction factor

  // REAL entry word k (7..29).
  float& w(int k) noexcept {
    assert(k >= 7 && k <= 29);
    return PARM[static_cast<std::size_t>(k - 7)];
  }
  float w(int k) const noexcept {
    assert(k >= 7 && k <= 29);
    return PARM[static_cast<std::size_t>(k - 7)];
  }
};
static_assert(sizeof(MATCOM) == 37 * 4);
static_assert(offsetof(MATCOM, MTBCUR) == 2 * 4);
static_assert(offsetof(MATCOM, MATID) == 8 * 4);
static_assert(offsetof(MATCOM, MASK) == 13 * 4);
static_assert(offsetof(MATCOM, PARM) == 14 * 4);

// A material-change list: a count, then up to 100 entries (key, new material
// ID, order); one entry per key; a larger order is a later change.
struct MTCENT {
  word key = 0;
  word mid = 0;
  word order = 0;
};
struct MTCLST {
  word count = 0;
  std::array<MTCENT, 100> entry{};
};
static_assert(sizeof(MTCLST) == 301 * 4);

// The shared record of the stress update. The element stiffness routines
// and the continuum stress routines set the cache flag to -1 when they start
// an element; STPMTX and the point law recompute De when it is negative.
// Stress recovery clears the flags KRERUN, KITER, KKIND2, KPLSHL and KNOTEN
// at the start of each pass; the point laws set them (-1) during it.
struct SIGCOM {
  word KRERUN = 0;                 // -1: a point's state reversed, the step is re-executed
  word KITER = 0;                  // -1: a point is in a non-linear state, the step is iterated
  std::array<double, 6> SIGTR{};   // trial stress (working array of the joint and contact laws)
  std::array<double, 6> EPSTR{};   // trial total strain
  std::array<double, 6> EPETR{};   // trial elastic strain (second working array of those laws)
  std::array<double, 6> EPPTR{};   // trial plastic strain
  double EFFTR = 0.0;              // trial effective stress f*
  double EPQTR = 0.0;              // trial equivalent plastic strain
  std::array<double, 21> DE{};     // elastic matrix De, packed (NS(NS+1)/2 terms used)
  std::array<double, 21> DEINV{};  // its inverse, packed
  std::array<double, 21> DP{};     // plastic correction Dp, packed
  std::array<double, 21> DEP{};    // elasto-plastic matrix De + Dp, packed
  word KDECHE = -1;                // -1 recompute De; 0 De valid; 1 De and its inverse valid
  word KKIND2 = 0;                 // -1 once a "ZUZUZERUR" point was updated in this pass
  word KPLSHL = 0;                 // -1 once a flat shell of kind 1 or 7 was met in this pass
  word KNOTEN = 0;                 // -1 once the no-tension correction cut a point in this pass
};
static_assert(offsetof(SIGCOM, SIGTR) == 2 * 4);
static_assert(offsetof(SIGCOM, EFFTR) == 2 * 4 + 24 * 8);
static_assert(offsetof(SIGCOM, DE) == 2 * 4 + 26 * 8);
static_assert(offsetof(SIGCOM, KDECHE) == 2 * 4 + 110 * 8);
static_assert(sizeof(SIGCOM) == 6 * 4 + 110 * 8);

// The current element as the material routines read it: pointers into the
// element library's current-element record.
struct MatElem {
  const word* IEXN = nullptr;    // element identifier
  const word* IECOD = nullptr;   // element type code
  const word* MATID = nullptr;   // material ID of the element record
  const word* ICLASS = nullptr;  // element class 1-11
  word* NS = nullptr;            // stress components (PLSMTX stores it)
  const float* PROP = nullptr;   // property values 1..20 (REAL)
};

// The integration point as the material routines read and update it:
// pointers into the state store's work record (channel A).
struct MatPoint {
  word* SW = nullptr;           // 12 block switches; switch 12 holds the kind-7 state
  word* SCR = nullptr;          // 4 scratch integers; the first keeps the kind-7 modulus (REAL)
  const double* SIG = nullptr;  // component vector 1: stresses (joint tractions)
  const double* CV3 = nullptr;  // component vector 3
  const double* B1 = nullptr;   // block 1: principal values; value 4 cut mark or strength ratio
  const double* B2 = nullptr;   // block 2: equivalent plastic strain first
  const word* B2I = nullptr;    // block 2 integers: plastic flag first
  double* B9 = nullptr;         // block 9: largest mean value p reached
  const word* B11I = nullptr;   // block 11 integers: joint state code, lock flag
};

// The material library's records.
struct MatlState {
  MATCOM matcom;
  std::vector<word> MATTAB;  // the loaded table, word MATCOM.MTBFST first
  MTCLST MTCGRP;             // changes keyed by material group
  MTCLST MTCMID;             // changes keyed by material ID
  SIGCOM sigcom;
  MatElem elem;
  MatPoint point;
};

MatlState& matl_state() noexcept;
void reset_matl_state();

inline MATCOM& matcom() noexcept { return matl_state().matcom; }
inline SIGCOM& sigcom() noexcept { return matl_state().sigcom; }

// The bound element and point views (bound before any material matrix is asked for).
inline const MatElem& mat_elem() noexcept {
  const MatElem& e = matl_state().elem;
  assert(e.IEXN && e.IECOD && e.MATID && e.ICLASS && e.NS && e.PROP);
  return e;
}
inline const MatPoint& mat_point() noexcept {
  const MatPoint& p = matl_state().point;
  assert(p.SW && p.SCR && p.SIG && p.CV3 && p.B1 && p.B2 && p.B2I && p.B9 && p.B11I);
  return p;
}

}  // namespace zephsol
