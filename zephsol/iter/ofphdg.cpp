// Result table headings: title lines, column titles and the class titles.
#include "zephsol/iter/ofphdg.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/units.h"
#include "zephsol/iter/sjis_headings.h"

namespace zephsol {

namespace {

constexpr std::size_t kClassTitleWidth = 62;

// The blanks that end the stress and contact column lines are written as
// text: an X descriptor at the end of a record writes nothing.

// Column titles of the stresses by element class 1-11 (blank-padded to 62 bytes).
constexpr std::array<std::string_view, 11> kClassTitles{
    " X",
    " X           Y          XY",
    " X           Y           Z          XY          YZ          ZX",
    " R           Z         THETA        RZ",
    " X           Y           Z          XY",
    " X          XY          ZX",
    " X           Y          XY          YZ          ZX",
    "PHI        THETA",
    " X           Y          YZ",
    kSjisJointClassTitle,
    "PHI        THETA       TAU",
};

word element_class() { return eivwka().head[2]; }

void nodal_columns() {
  fwrite_unit(kListing, "('0',6X,A,13X,'D1',14X,'D2',14X,'D3',14X,'D4',14X,'D5',14X,'D6'/' ')", {kSjisNodeNumber});
}

void stress_columns() {
  const word iclass = element_class();
  const std::string title = class_title(iclass);
  if (iclass == 10) {
    fwrite_unit(kListing, "(/,'0',A,11X,A62,'         ')", {kSjisElementPoint, title});
    return;
  }
  const std::string_view factors = ifpflg().IFPDUN != 0 ? kSjisMisesColumnsDeform : kSjisMisesColumns;
  fwrite_unit(kListing, "('0',A,11X,A62,9X,A)", {kSjisElementPoint, title, factors});
}

// Element number and six columns: beam section forces, spring reactions.
constexpr const char* kSixForceColumns = "('0',5X,A,15X,A,9X,A,6X,A,6X,A,8X,A,6X,A)";

void beam_columns() {
  fwrite_unit(kListing, kSixForceColumns,
              {kSjisElementNumber, kSjisAxialForce, kSjisShearXY, kSjisShearZX, kSjisTorque, kSjisMomentY,
               kSjisMomentZ});
}

void spring_columns() {
  fwrite_unit(kListing, kSixForceColumns,
              {kSjisElementNumber, kSjisSpringX, kSjisSpringY, kSjisSpringZ, kSjisSpringRX, kSjisSpringRY,
               kSjisSpringRZ});
}

// Principal values: a banner line, then the columns by element class.
void principal_columns(std::string_view banner, std::string_view direction_banner, std::string_view label) {
  fwrite_unit(kListing, "('0',17X,A,5X,A,6X,A)", {banner, kSjisMaxShear, direction_banner});
  switch (element_class()) {
    case 2:
      fwrite_unit(kListing, "(1X,A,5X,'1',11X,'2',21X,A,15X,'1-X    1-Y      2-X    2-Y')",
                  {kSjisElementPoint, label});
      break;
    case 4:
      fwrite_unit(kListing,
                  "(1X,A,5X,'1',11X,'2',11X,'3',9X,A,8X,"
                  "'1-R    1-Z 1-THET      2-R    2-Z 2-THET      3-R    3-Z 3-THET')",
                  {kSjisElementPoint, label});
      break;
    default:
      fwrite_unit(kListing,
                  "(1X,A,5X,'1',11X,'2',11X,'3',9X,A,8X,"
                  "'1-X    1-Y    1-Z      2-X    2-Y    2-Z      3-X    3-Y    3-Z')",
                  {kSjisElementPoint, label});
      break;
  }
}

void principal_stress_columns() {
  principal_columns(kSjisPrincipalStressBanner, kSjisStressDirectionBanner, kSjisStressLabel);
}

void principal_strain_columns() {
  principal_columns(kSjisPrincipalStrainBanner, kSjisStrainDirectionBanner, kSjisStrainLabel);
}

void contact_columns() { fwrite_unit(kListing, "('0',A,11X,A,'         ')", {kSjisElementPoint, kSjisContactColumns}); }

void shell_columns() {
  fwrite_unit(kListing, "('0 ',A,8X,A,10X,A,8X,A,10X,A,10X,A,8X,A,8X,A,8X,A)",
              {kSjisElementNumber, kSjisShellFX, kSjisShellFY, kSjisShellFXY, kSjisShellMX, kSjisShellMY,
               kSjisShellMXY, kSjisShellQYZ, kSjisShellQZX});
}

void moment_curvature_columns() {
  fwrite_unit(kListing, "('0',5X,A,15X,A,9X,A,7X,A,7X,A,9X,A)",
              {kSjisElementNumber, kSjisMoment, kSjisCurvature, kSjisPlasticRatio1, kSjisPlasticRatio2,
               kSjisState});
}

void nodal_force3_columns() {
  fwrite_unit(kListing, "(10X,A,8X,'1',12X,'2',12X,'3'/' ')", {kSjisElementNode});
}

void nodal_force6_columns() {
  fwrite_unit(kListing, "(10X,A,8X,'1',12X,'2',12X,'3',12X,'4',12X,'5',12X,'6'/' ')", {kSjisElementNode});
}

// A heading kind: the title line's format (leading blanks, title, blanks,
// then the interval and step labels with their numbers), its title and the
// writer of its column titles.
struct HeadingKind {
  word kind;
  const char* title_format;
  std::string_view title;
  void (*columns)();
};

constexpr std::array<HeadingKind, 12> kHeadings{{
    {1, "(32X,A,31X,A,I4,A,I4)", kSjisTitleDisplacement, nodal_columns},
    {2, "(42X,A,25X,A,I4,A,I4)", kSjisTitleStressStrain, stress_columns},
    {3, "(40X,A,47X,A,I4,A,I4)", kSjisTitleSectionForce, beam_columns},
    {4, "(30X,A,7X,A,I4,A,I4)", kSjisTitlePrincipalStress, principal_stress_columns},
    {5, "(40X,A,35X,A,I4,A,I4)", kSjisTitleReaction, nodal_columns},
    {6, "(18X,A,7X,A,I4,A,I4)", kSjisTitlePrincipalStrain, principal_strain_columns},
    {8, "(40X,A,35X,A,I4,A,I4)", kSjisTitleSpringReaction, spring_columns},
    {9, "(40X,A,35X,A,I4,A,I4)", kSjisTitleNonlinearSpring, contact_columns},
    {10, "(40X,A,35X,A,I4,A,I4)", kSjisTitleShellForce, shell_columns},
    {11, "(40X,A,35X,A,I4,A,I4)", kSjisTitleBeamMphi, moment_curvature_columns},
    {12, "(40X,A,35X,A,I4,A,I4)", kSjisTitleNodalForce, nodal_force3_columns},
    {13, "(40X,A,35X,A,I4,A,I4)", kSjisTitleNodalForce, nodal_force6_columns},
}};

}  // namespace

std::string class_title(word iclass) {
  if (iclass < 1 || iclass > static_cast<word>(kClassTitles.size())) elem_fatal(-3523, iclass, 0);
  std::string t(kClassTitles[static_cast<std::size_t>(iclass - 1)]);
  t.resize(kClassTitleWidth, ' ');
  return t;
}

void OFPHDG(word kind, word part) {
  const auto* h = std::find_if(kHeadings.begin(), kHeadings.end(), [&](const HeadingKind& k) { return k.kind == kind; });
  if (h == kHeadings.end()) elem_fatal(-8015, name_word("KIND"), kind);
  if (part != 2) {
    sysw().NLINE += 1;
    const STPCTR& s = stpctr();
    fwrite_unit(kListing, h->title_format, {h->title, kSjisInterval, s.NINTVL, kSjisStepLabel, s.NSTEP});
  }
  if (part >= 2) h->columns();
}

}  // namespace zephsol
