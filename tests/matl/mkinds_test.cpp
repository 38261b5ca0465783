// The material kind rows: every kind the deck may give has its row or takes
// the general one, and each row is whole.
#include <gtest/gtest.h>

#include <set>

#include "zephsol/matl/matrec.h"
#include "zephsol/matl/mkinds.h"

namespace zephsol {
namespace {

// Kinds 0..9: the six with a row of their own (once each, by their own kind,
// named, a kind whose moduli follow the point with its update routine, never
// both plastic and point-following); every other kind the general row
// (elastic as given, no update, allowed on beams, cut by no-tension).
TEST(MaterialKinds, EveryKindHasAWholeRowOrTheGeneralOne) {
  const std::set<word> own{mkind::ELASTIC, mkind::PLASTIC, mkind::ZUZU, mkind::DUNCAN, mkind::FAILURE, mkind::RATIO};
  EXPECT_EQ(material_kinds().size(), own.size());
  for (word kind = 0; kind <= 9; ++kind) {
    const MaterialKind& row = material_kind(kind);
    SCOPED_TRACE(kind);
    EXPECT_FALSE(row.name.empty());
    if (!own.contains(kind)) {
      EXPECT_EQ(row.kind, -1);
      EXPECT_EQ(row.update, nullptr);
      EXPECT_FALSE(row.moduli_follow_point || row.plastic || row.short_entry);
      EXPECT_TRUE(row.on_beams && row.tension_cut);
      continue;
    }
    EXPECT_EQ(row.kind, kind);
    if (row.moduli_follow_point) {
      EXPECT_NE(row.update, nullptr);
      EXPECT_FALSE(row.plastic);
      EXPECT_FALSE(row.on_beams);
    }
  }
}

}  // namespace
}  // namespace zephsol
