#include "zephsol/input/inmsg.h"

#include "zephsol/exec/units.h"

namespace zephsol {

void write_listing_and_log(std::initializer_list<std::string_view> lines) {
  for (int unit : {kListing, kErrorLog})
    for (std::string_view l : lines) unit_write_line(unit, l);
}

std::string padded(std::string_view s, std::size_t n) {
  std::string r(s.substr(0, n));
  r.resize(n, ' ');
  return r;
}

}  // namespace zephsol
