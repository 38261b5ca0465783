// Start banner.
#include "zephsol/input/banner.h"

#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/units.h"

namespace zephsol {

namespace {

void empty_lines(int n) {
  for (int i = 0; i < n; ++i) unit_write_line(kListing, "");
}

}  // namespace

void BANNER() {
  unit_write_line(kListing, fline("('1')"));
  empty_lines(6);
  // The product name spaced out and centred over the line below it.
  unit_write_line(kListing, fline("(48X,'Q U O R V A N E')"));
  empty_lines(3 + 5);
  unit_write_line(kListing, fline("(40X,'STATIC PROBLEM ANALYSIS SYSTEM ')"));
}

}  // namespace zephsol
