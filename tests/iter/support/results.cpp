#include "support/results.h"

#include "zephsol/dbio/dbops.h"
#include "zephsol/dbio/directory.h"
#include "zephsol/dbio/recio.h"
#include "zephsol/elem/eiv.h"

namespace zephsol::test {

std::vector<EIVWK> output_points(int elements) {
  std::vector<EIVWK> out;
  std::vector<word> area(20000);
  DBOPEN(EIV0, 2, kRead);
  for (int e = 0; e < elements; ++e) {
    EIVRDA(EIV0, area);
    EIVGTA(eivwka().head[4]);
    out.push_back(eivwka());
  }
  DBCLOS(EIV0, kCloseRewind);
  return out;
}

}  // namespace zephsol::test
