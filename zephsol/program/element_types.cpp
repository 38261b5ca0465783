// The element type rows: one per type code, in code order, with the type's
// attributes, node order and routines. Adding a type is its routines and a
// row here.
#include <array>
#include <span>

#include "zephsol/elem/kelem.h"
#include "zephsol/elem/pelem.h"
#include "zephsol/elem/typerow.h"
#include "zephsol/iter/scont.h"
#include "zephsol/iter/sstruct.h"
#include "zephsol/model/locate.h"
#include "zephsol/program/program.h"

namespace zephsol {
namespace {

using Temps = std::span<const float>;
using Span = std::span<double>;
using Disp = std::span<const double>;

// The option flags (IBBAR, ISHEAR) of HEX8, QAX4 and QPLAN4: (0, 1) for the
// plain codes, (1, 0) for the R codes.
template <auto K, int Ibbar, int Ishear>
void k_flags(word l, Temps t, Span ke, Span th) { K(l, t, ke, th, Ibbar, Ishear); }
template <auto F, int Ibbar, int Ishear>
void f_flags(Span fe) { F(fe, Ibbar, Ishear); }
template <auto S, int Ibbar, int Ishear>
void s_flags(word t, Temps tp, Disp u, Span f) { S(t, tp, u, f, Ibbar, Ishear); }

// BEAM2: the closed-form stiffness in global DOFs and the thermal end forces.
void k_beam2(word ltherm, Temps temp, Span ke, Span th) {
  KBEAM2(ke, 0);
  if (ltherm & 1) BMTEMP(temp, th, 0);
}
void k_sbeam2(word l, Temps t, Span ke, Span th) { KSBEAM2(l, t, ke, th, 0); }

// Types that take no temperatures: the stiffness routine gets KE alone, the
// stress routine UE and FE.
template <void (*K)(Span)>
void k_plain(word, Temps, Span ke, Span) { K(ke); }
template <void (*S)(Disp, Span)>
void s_plain(word, Temps, Disp ue, Span fe) { S(ue, fe); }

// ---- Attributes ----

constexpr std::array<word, 8> kSolidLoads{4, 5, 0, 0, 0, 0, 4, 13};
constexpr std::array<word, 8> kQuadSolidLoads{4, 9, 0, 0, 0, 0, 4, 13};
constexpr std::array<word, 8> kPlaneLoads{4, 3, 0, 0, 0, 0, 3, 13};
constexpr std::array<word, 8> kLineLoads{4, 3, 0, 0, 0, 0, 4, 13};
constexpr std::array<word, 8> kBeamLoads{7, 3, 0, 0, 0, 0, 4, 13};
constexpr std::array<word, 8> kMembraneLoads{3, 3, 0, 0, 0, 0, 4, 13};
constexpr word kBeamProps = 0b1111, kFirstProp = 0b0001, kJointProps = 0b1001;

constexpr std::array<word, 8> joint_loads(word nodal) { return {nodal, 0, 0, 0, 0, 0, 0, 13}; }

// ---- Internal node orders (input position of internal position 1, 2, ...) ----

constexpr word kQuad4[] = {1, 2, 4, 3};
constexpr word kHexa8[] = {1, 2, 4, 3, 5, 6, 8, 7};
constexpr word kHexa20[] = {1, 2, 3, 8, 4, 7, 6, 5, 9, 10, 12, 11, 13, 14, 15, 20, 16, 19, 18, 17};
constexpr word kPenta15[] = {1, 2, 3, 6, 4, 5, 7, 8, 9, 10, 11, 12, 15, 13, 14};
constexpr word kTetra10[] = {1, 2, 3, 6, 4, 5, 7, 8, 9, 10};
constexpr word kJoint12[] = {1, 2, 3, 6, 4, 5, 7, 8, 9, 12, 10, 11};
constexpr word kJoint16[] = {1, 2, 3, 8, 4, 7, 6, 5, 9, 10, 11, 16, 12, 15, 14, 13};
constexpr std::span<const word> kAsGiven{};

constexpr auto kDirect = LoadRoute::Direct, kBeam = LoadRoute::Beam, kIgnore = LoadRoute::Ignore;

// A code without element routines: descriptor as given, every routine null.
constexpr ElementType refused(word code, std::string_view name, const TypeAttr& attr) {
  return {code, name, attr, kAsGiven, nullptr, nullptr, LoadRoute::Reject, nullptr, nullptr, nullptr, nullptr, true};
}
constexpr TypeAttr kNoDescriptor{false, 0, 0, 0, 0, 0, 0, 0, 0, 0, {}, 0, 0, 0, false, 0, 0};

// clang-format off
constexpr std::array<ElementType, kMaxTypeCode> kRows{{
    // code name   {desc cls NN pts out DOF NC NP dim nld load words  DOF crd tmp orient NS props}
    //      order, stiffness, forces, loads (route, distributed, body), stresses, locator
    {1, "HEX8",    {true, 3,  8,  9,  9, 24, 24,  0, 9, 8, kSolidLoads,     7, 7, 1, false, 0, 0},
        kHexa8, k_flags<KHEX8, 0, 1>, f_flags<FHEX8, 0, 1>, kDirect, PDHEX8, PBHEX8, s_flags<SHEX8, 0, 1>, LCHEX8, false},
    {2, "PENT6",   {true, 3,  6,  9,  9, 18, 18,  0, 9, 8, kSolidLoads,     7, 7, 1, false, 0, 0},
        kAsGiven, KPENT6, FPENT6, kDirect, PDPENT6, PBPENT6, SPENT6, LCPENT6, false},
    {3, "QAX4",    {true, 4,  4,  5,  5,  8,  8,  0, 4, 8, kPlaneLoads,     3, 3, 1, false, 0, 0},
        kQuad4, k_flags<KQAX4, 0, 1>, f_flags<FQAX4, 0, 1>, kDirect, PDQAX4, PBQAX4, s_flags<SQAX4, 0, 1>, LCQAX4, false},
    {4, "TAX3",    {true, 4,  3,  4,  1,  6,  6,  0, 4, 8, {3, 3, 0, 0, 0, 0, 3, 13}, 3, 3, 1, false, 0, 0},
        kAsGiven, KTAX3, FTAX3, kDirect, PDTAX3, PBTAX3, STAX3, LCTAX3, false},
    {5, "BEAM2",   {true, 6,  3,  1,  1, 12,  9, 20, 9, 8, kBeamLoads,     63, 7, 1, true,  0, kBeamProps},
        kAsGiven, k_beam2, FBEAM2, kBeam, PDROD2, PBROD2, SBEAM, nullptr, false},
    {6, "ROD2",    {true, 1,  2,  1,  1,  6,  6,  3, 9, 8, kLineLoads,      7, 7, 1, false, 0, kFirstProp},
        kAsGiven, KROD2, FROD2, kDirect, nullptr, PBROD2, SROD2, nullptr, false},
    {7, "QFLA4",   {true, 7,  4, 45, 25, 24, 12, 11, 9, 8, {7, 5, 0, 0, 0, 0, 4, 13}, 63, 7, 1, false, 0, kFirstProp},
        kQuad4, KQFLA4, FQFLA4, kDirect, PDQFLA4, PBQFLA4, SQFLA4, nullptr, false},
    refused(8, "TFLA3", {true, 7,  3, 36, 17, 18,  9,  6, 9, 8, {7, 4, 0, 0, 0, 0, 4, 13}, 63, 7, 1, false, 0, 0}),
    {9, "QMEM4",   {true, 2,  4,  5,  5, 12, 12,  4, 9, 8, kMembraneLoads,  7, 7, 1, false, 0, 0},
        kQuad4, KQMEM4, FQMEM4, kDirect, PDQMEM4, PBQMEM4, SQMEM4, nullptr, false},
    {10, "TMEM3",  {true, 2,  3,  4,  1,  9,  9,  3, 9, 8, kMembraneLoads,  7, 7, 1, false, 0, 0},
        kAsGiven, KTMEM3, FTMEM3, kDirect, PDTMEM3, PBTMEM3, STMEM3, nullptr, false},
    {11, "QPLAN4", {true, 5,  4,  5,  5,  8,  8,  0, 4, 8, kPlaneLoads,     3, 3, 1, false, 0, 0},
        kQuad4, k_flags<KQPLAN4, 0, 1>, f_flags<FQPLAN4, 0, 1>, kDirect, PDQPN4, PBQPLAN4, s_flags<SQPLAN4, 0, 1>, LCQPLAN4, false},
    {12, "TPLAN3", {true, 5,  3,  4,  1,  6,  6,  0, 4, 8, kPlaneLoads,     3, 3, 1, false, 0, 0},
        kAsGiven, KTPLAN3, FTPLAN3, kDirect, PDTPLAN3, PBTPLAN3, STPLAN3, LCTPLAN3, false},
    refused(13, "GAP2", {true, 10, 2,  1,  1,  6,  6,  6, 9, 1, {4, 0, 0, 0, 0, 0, 0, 0}, 7, 7, 0, false, 0, 0}),
    {14, "JOINT4", {true, 10, 4,  3,  2,  8,  8,  8, 4, 8, joint_loads(4),  3, 3, 0, false, 0, kJointProps},
        kAsGiven, k_plain<KJOINT4>, FJOINT4, kIgnore, nullptr, nullptr, s_plain<SJOINT4>, nullptr, false},
    {15, "HEX20",  {true, 3, 20, 27, 14, 60, 60,  0, 9, 8, kQuadSolidLoads, 7, 7, 1, false, 0, 0},
        kHexa20, KHEX20, FHEX20, kDirect, PDHEX20, PBHEX20, SHEX20, LCHEX20, false},
    {16, "PENT15", {true, 3, 15, 21,  8, 45, 45,  0, 9, 8, kQuadSolidLoads, 7, 7, 1, false, 0, 0},
        kPenta15, KPENT15, FPENT15, kDirect, PDPENT15, PBPENT15, SPENT15, LCPENT15, false},
    {17, "TET10",  {true, 3, 10,  5,  1, 30, 30,  0, 9, 8, {4, 7, 0, 0, 0, 0, 4, 13}, 7, 7, 1, false, 0, 0},
        kTetra10, KTET10, FTET10, kDirect, PDTET10, PBTET10, STET10, LCTET10, false},
    {18, "JOINT6", {true, 10, 6,  4,  1, 18, 18,  8, 9, 8, joint_loads(6),  7, 7, 0, false, 0, kJointProps},
        kAsGiven, k_plain<KJOINT6>, FJOINT6, kIgnore, nullptr, nullptr, s_plain<SJOINT6>, nullptr, false},
    {19, "JOINT8", {true, 10, 8,  5,  5, 24, 24,  8, 9, 8, joint_loads(8),  7, 7, 0, false, 0, kJointProps},
        kHexa8, k_plain<KJOINT8>, FJOINT8, kIgnore, nullptr, nullptr, s_plain<SJOINT8>, nullptr, false},
    {20, "JOINT12", {true, 10, 12, 7,  1, 36, 36,  8, 9, 8, joint_loads(12), 7, 7, 0, false, 0, kJointProps},
        kJoint12, k_plain<KJOINT12>, FJOINT12, kIgnore, nullptr, nullptr, s_plain<SJOINT12>, nullptr, false},
    {21, "JOINT16", {true, 10, 16, 9,  5, 48, 48,  8, 9, 8, joint_loads(16), 7, 7, 0, false, 0, kJointProps},
        kJoint16, k_plain<KJOINT16>, FJOINT16, kIgnore, nullptr, nullptr, s_plain<SJOINT16>, nullptr, false},
    {22, "SPG2",   {true, 6,  2,  1,  1, 12,  6,  6, 9, 8, kLineLoads,     63, 7, 1, false, 0, 0},
        kAsGiven, k_plain<KSPG2>, FSPG2, kIgnore, nullptr, nullptr, SSPG2, nullptr, false},
    {23, "CNT2",   {true, 6,  2,  1,  1, 12,  6, 20, 9, 8, kLineLoads,     63, 7, 1, false, 0, 0},
        kAsGiven, k_plain<KCNT2>, FCNT2, kIgnore, nullptr, nullptr, s_plain<SCNT2>, nullptr, false},
    refused(24, "QPLAIC4", kNoDescriptor),
    refused(25, "TPLAIC3", kNoDescriptor),
    {26, "SBEAM2", {true, 6,  3, 125, 63, 12, 9,  8, 9, 8, kBeamLoads,     63, 7, 1, true,  3, 0},
        kAsGiven, k_sbeam2, FSBEAM2, kBeam, nullptr, PBROD2, SSBEAM2, nullptr, false},
    {27, "HEX8R",  {true, 3,  8,  9,  9, 24, 24,  0, 9, 8, kSolidLoads,     7, 7, 1, false, 0, 0},
        kHexa8, k_flags<KHEX8, 1, 0>, f_flags<FHEX8, 1, 0>, kDirect, PDHEX8, PBHEX8, s_flags<SHEX8, 1, 0>, LCHEX8, false},
    {28, "QAX4R",  {true, 4,  4,  5,  5,  8,  8,  0, 4, 8, kPlaneLoads,     3, 3, 1, false, 0, 0},
        kQuad4, k_flags<KQAX4, 1, 0>, f_flags<FQAX4, 1, 0>, kDirect, PDQAX4, PBQAX4, s_flags<SQAX4, 1, 0>, LCQAX4, false},
    {29, "QPLAN4R", {true, 5, 4,  5,  5,  8,  8,  0, 4, 8, kPlaneLoads,     3, 3, 1, false, 0, 0},
        kQuad4, k_flags<KQPLAN4, 1, 0>, f_flags<FQPLAN4, 1, 0>, kDirect, PDQPN4, PBQPLAN4, s_flags<SQPLAN4, 1, 0>, LCQPLAN4, false},
}};
// clang-format on

}  // namespace

std::span<const ElementType> element_type_rows() { return kRows; }

}  // namespace zephsol
