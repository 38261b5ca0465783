// The stress routine of each element type code, from the type rows.
#include "zephsol/iter/stress_table.h"

#include "zephsol/elem/elem_msg.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/typerow.h"

namespace zephsol {
namespace {

// The one routine of the refused codes: it ends the run.
void reject_type(word, std::span<const float>, std::span<const double>, std::span<double>) {
  elem_fatal(-5000, estcom().IECOD, estcom().IEXN);
}

}  // namespace

StressRoutine stress_routine(word IECOD) {
  if (IECOD < 1 || IECOD > 30) return element_type(1)->stress;
  const ElementType* row = element_type(IECOD);
  return row != nullptr && row->stress != nullptr ? row->stress : reject_type;
}

}  // namespace zephsol
