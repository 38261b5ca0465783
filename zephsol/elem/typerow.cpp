// The installed element type rows and their lookup by code.
#include "zephsol/elem/typerow.h"

#include <cstddef>

namespace zephsol {
namespace {

// The rows the program installed: a view of its constant table, set once at
// start-up and never reset with the element records.
std::span<const ElementType>& installed() {
  static std::span<const ElementType> rows;
  return rows;
}

}  // namespace

void install_element_types(std::span<const ElementType> rows) { installed() = rows; }

const ElementType* element_type(word iecod) {
  const auto rows = installed();
  if (iecod < 1 || iecod > kMaxTypeCode || static_cast<std::size_t>(iecod) > rows.size()) return nullptr;
  return &rows[static_cast<std::size_t>(iecod - 1)];
}

}  // namespace zephsol
