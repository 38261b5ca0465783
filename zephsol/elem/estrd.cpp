// ESTRD: the next record of the element summary table, read through the
// logical records and decoded into the current element.
#include <array>

#include "zephsol/dbio/recio.h"
#include "zephsol/elem/elem_records.h"
#include "zephsol/elem/etype.h"

namespace zephsol {

void ESTRD(word EST) {
  constexpr word kHead = 10;
  std::array<word, kHead + ESTCOM::kMaxProp + ESTCOM::kMaxCoord + ESTCOM::kMaxNode> rec{};
  DBREAD(EST, rec.data(), kHead, 0);
  const word np = rec[7], nc = rec[8], nn = rec[9];
  const bool fits = np >= 0 && np <= ESTCOM::kMaxProp && nc >= 0 && nc <= ESTCOM::kMaxCoord && nn >= 0 &&
                    nn <= ESTCOM::kMaxNode;
  if (!fits) {
    // Counts beyond the current element's room: the decoder rejects the head.
    estrd_words(std::span<const word>(rec.data(), kHead));
    return;
  }
  const word rest = np + nc + nn;
  DBREAD(EST, rec.data() + kHead, rest, 1);
  estrd_words(std::span<const word>(rec.data(), static_cast<std::size_t>(kHead + rest)));
}

}  // namespace zephsol
