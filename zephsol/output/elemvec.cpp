// The element vectors of a step in the result file, from the records that
// the element walk left in open core.
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

#include "zephsol/exec/records.h"
#include "zephsol/exec/util.h"
#include "zephsol/matl/matrec.h"
#include "zephsol/output/elemwalk.h"
#include "zephsol/output/postfile.h"

namespace zephsol {

namespace {

constexpr std::string_view kZeros = "0,0,0,0,0,0,0,0,0,0,";
constexpr std::string_view kComponentFlags = "0,0,1,", kValueFlags = "1,0,1,";
constexpr int kTitle = 25;

struct Titled {
  word id;
  std::string_view title;
};
// One vector of each variant: plain, solid, lower surface (id 0: none).
struct Variants {
  Titled plain, solid, lower;
};

constexpr std::array<Variants, 25> kBlock{{
    {{7033, "Von Mises Stress"}, {60031, "Solid Von Mises Stress"}, {7433, "Lower Von Mises Stress"}},
    {{7026, "Major Principal Stress"}, {60016, "Solid Major Prin. Stress"}, {7426, "Lower Major Prin. Stress"}},
    {{7027, "Minor Principal Stress"}, {60017, "Solid Minor Prin. Stress"}, {7427, "Lower Minor Prin. Stress"}},
    {{7031, "Maximum Shear Stress"}, {60028, "Solid Max. Shear Stress"}, {7431, "Lower Max. Shear Stress"}},
    {{7020, "Normal X Stress"}, {60010, "Solid Normal X Stress"}, {7420, "Lower Normal X Stress"}},
    {{7021, "Normal Y Stress"}, {60011, "Solid Normal Y Stress"}, {7421, "Lower Normal Y Stress"}},
    {{7022, "Normal Z Stress"}, {60012, "Solid Normal Z Stress"}, {7422, "Lower Normal Z Stress"}},
    {{7023, "Shear XY Stress"}, {60013, "Solid Shear XY Stress"}, {7423, "Lower Shear XY Stress"}},
    {{7024, "Shear YZ Stress"}, {60014, "Solid Shear YZ Stress"}, {7424, "Lower Shear YZ Stress"}},
    {{7025, "Shear ZX Stress"}, {60015, "Solid Shear ZX Stress"}, {7425, "Lower Shear ZX Stress"}},
    {{7065, "Normal X Elastic Strain"}, {60050, "Solid N.X Elastic Strain"}, {7465, "Lower N.X Elastic Strain"}},
    {{7066, "Normal Y Elastic Strain"}, {60051, "Solid N.Y Elastic Strain"}, {7466, "Lower N.Y Elastic Strain"}},
    {{7067, "Normal Z Elastic Strain"}, {60052, "Solid N.Z Elastic Strain"}, {7467, "Lower N.Z Elastic Strain"}},
    {{7068, "Shear XY Elastic Strain"}, {60053, "Solid S.XY Elastic Strain"}, {7468, "Lower S.XY Elastic Strain"}},
    {{7069, "Shear YZ Elastic Strain"}, {60054, "Solid S.YZ Elastic Strain"}, {7469, "Lower S.YZ Elastic Strain"}},
    {{7070, "Shear ZX Elastic Strain"}, {60055, "Solid S.ZX Elastic Strain"}, {7470, "Lower S.ZX Elastic Strain"}},
    {{81001, "Safety Factor"}, {81001, "Safety Factor"}, {0, ""}},
    {{7029, "Principal Stress Angle"}, {60148, "Solid Prin. Stress Angle"}, {7429, "Lower Prin. Stress Angle"}},
    {{7071, "Major Principal Strain"}, {60056, "Solid Major Prin. Strain"}, {7471, "Lower Major Prin. Strain"}},
    {{7072, "Minor Principal Strain"}, {60057, "Solid Minor Prin. Strain"}, {7472, "Lower Minor Prin. Strain"}},
    {{7076, "Maximum Shear Strain"}, {60059, "Solid Max. Shear Strain"}, {7476, "Lower Max. Shear Strain"}},
    {{7126, "Abs Major Prin. Stress"}, {60116, "Solid Abs MajorPrinStress"}, {7526, "Lower Abs MajorPrinStress"}},
    {{7127, "Abs Minor Prin. Stress"}, {60117, "Solid Abs MinorPrinStress"}, {7527, "Lower Abs MinorPrinStress"}},
    {{81002, "Relaxation Factor"}, {100002, "Relaxation Factor"}, {0, ""}},
    // The solid variant has no Poisson ratio vector of its own: the plain one serves.
    {{81007, "Poisson  Ratio (DUNCAN)"}, {81007, "Poisson  Ratio (DUNCAN)"}, {0, ""}},
}};
constexpr Titled kDeformation{81006, "Deformation Factor"};

constexpr std::array<Variants, 7> kPlastic{{
    {{7164, "Equivalent Plastic Strain"}, {60149, "Solid Eqiv Plastic Strain"}, {7564, "Lower Eqiv Plastic Strain"}},
    {{7165, "Normal X Plastic Strain"}, {60150, "Solid N. X Plastic Strain"}, {7565, "Lower N. X Plastic Strain"}},
    {{7166, "Normal Y Plastic Strain"}, {60151, "Solid N. Y Plastic Strain"}, {7566, "Lower N. Y Plastic Strain"}},
    {{7167, "Normal Z Plastic Strain"}, {60152, "Solid N. Z Plastic Strain"}, {7567, "Lower N. Z Plastic Strain"}},
    {{7168, "Shear XY Plastic Strain"}, {60153, "Solid S.XY Plastic Strain"}, {7568, "Lower S.XY Plastic Strain"}},
    {{7169, "Shear YZ Plastic Strain"}, {60154, "Solid S.YZ Plastic Strain"}, {7569, "Lower S.YZ Plastic Strain"}},
    {{7170, "Shear ZX Plastic Strain"}, {60155, "Solid S.ZX Plastic Strain"}, {7570, "Lower S.ZX Plastic Strain"}},
}};

constexpr std::array<Variants, 6> kThermal{{
    {{7202, "Normal X Thermal Strain"}, {60202, "Solid N. X Thermal Strain"}, {7602, "Lower N. X Thermal Strain"}},
    {{7203, "Normal Y Thermal Strain"}, {60203, "Solid N. Y Thermal Strain"}, {7603, "Lower N. Y Thermal Strain"}},
    {{7204, "Normal Z Thermal Strain"}, {60204, "Solid N. Z Thermal Strain"}, {7604, "Lower N. Z Thermal Strain"}},
    {{7205, "Shear XY Thermal Strain"}, {60205, "Solid S.XY Thermal Strain"}, {7605, "Lower S.XY Thermal Strain"}},
    {{7206, "Shear YZ Thermal Strain"}, {60206, "Solid S.YZ Thermal Strain"}, {7606, "Lower S.YZ Thermal Strain"}},
    {{7207, "Shear ZX Thermal Strain"}, {60207, "Solid S.ZX Thermal Strain"}, {7607, "Lower S.ZX Thermal Strain"}},
}};

constexpr std::array<Titled, 6> kJoint{{{5301, "Joint X Stress"},
                                        {5302, "Joint Y Stress"},
                                        {5303, "Joint Z Stress"},
                                        {5401, "Joint X Disp."},
                                        {5402, "Joint Y Disp."},
                                        {5403, "Joint Z Disp."}}};
constexpr std::array<word, 6> kJointWords{4, 5, 6, 10, 11, 12};

enum class Variant { plain, solid, lower };

const Titled& pick(const Variants& v, Variant which) {
  return which == Variant::plain ? v.plain : which == Variant::solid ? v.solid : v.lower;
}

VectorHead head(const Titled& t, word out_type, std::string_view flags) {
  return {t.id, t.title, kTitle, kZeros, out_type, kElementEntity, flags, false};
}

// The output type and flags line of the vector of block word b.
word block_type(word b) { return b <= 9 || b == kAngleWord ? 4 : 5; }
std::string_view block_flags(word b) { return b >= 4 && b <= 16 ? kComponentFlags : kValueFlags; }

// One real vector over a list of elements (positions j): extremes over those
// `scanned` accepts, value lines for those `listed` accepts.
template <class Value, class Scanned, class Listed>
void element_vector(const ElementWalk& walk, const std::vector<word>& list, const VectorHead& h, Value value,
                    Scanned scanned, Listed listed) {
  const auto n = static_cast<word>(list.size());
  const auto at = [&](word i) { return list[static_cast<std::size_t>(i)]; };
  post_vector(h, n, [&](word i) { return walk.id(at(i)); }, [&](word i) { return value(at(i)); },
              [&](word i) { return scanned(at(i)); }, [&](word i) { return listed(at(i)); });
}

// A vector whose header carries zero extremes, no entities, output type 0
// and flags "0,0,1,"; its value lines from `line` for the listed elements.
template <class Listed, class Line>
void fixed_head_vector(const ElementWalk& walk, const Titled& t, Listed listed, Line line) {
  Extremes zero;
  zero.min = zero.max = 0.0f;
  post_vector_head(head(t, 0, kComponentFlags), zero);
  for (word j = 1; j <= walk.count; ++j)
    if (listed(j)) line(j);
  post_vector_end();
}

class VectorWriter {
 public:
  explicit VectorWriter(const ElementWalk& walk) : w_(walk), shell_(static_cast<std::size_t>(walk.count) + 1, false) {
    for (word j = 1; j <= walk.count; ++j) all_.push_back(j);
    for (word s = 1; s <= walk.shells; ++s) {
      shells_.push_back(walk.shell(s));
      shell_[static_cast<std::size_t>(walk.shell(s))] = true;
    }
  }

  void write() {
    const bool solids = w_.solids > 0, shells = w_.shells > 0;
    const Variant variant = solids ? Variant::solid : Variant::plain;
    if ((solids || !shells) && w_.shells != w_.count) block_one(variant);
    if (shells) {
      surface(1, Variant::plain);
      surface(2, Variant::lower);
    }
    if (w_.joint_printed) joints();
    if (w_.plastic) block_one_plastic(variant);
    thermal(variant);
    const bool shpflg = BITAND(sigcom().KPLSHL, 1) != 0;
    if (shpflg && shells && w_.plastic) {
      surface_plastic(1, Variant::plain);
      surface_plastic(2, Variant::lower);
    }
    if (w_.plastic) conditions();
    if (shpflg && shells) thermal(Variant::lower);
  }

 private:
  const ElementWalk& w_;
  std::vector<bool> shell_;
  std::vector<word> all_, shells_;

  float elr(word j, word block, word b) const {
    return w_.elr(j)[static_cast<std::size_t>(block * kElrBlock + b)];
  }
  // Present in the vector of word b of a block: its safety factor word (the
  // angle word for the angle vector) is 0.0 or more.
  bool present(word j, word block, word b) const {
    return elr(j, block, b == kAngleWord ? kAngleWord : kSafetyWord) >= 0.0f;
  }

  void block_one(Variant variant) {
    const bool shells = w_.shells > 0;
    const bool deformation = BITAND(ifpflg().IFPDUN, 1) != 0;
    for (word b = 0; b < kElrBlock; ++b) {
      if ((b == kSafetyWord && !w_.safety_present) || (b == kAngleWord && !w_.principal_present) ||
          (b == kFactorWord && !w_.factor_present))
        continue;
      const Titled& t = b == kFactorWord && deformation ? kDeformation : pick(kBlock[static_cast<std::size_t>(b)], variant);
      const auto covered = [&](word j) {
        return present(j, 0, b) && (b == kSafetyWord || !shells || !shell_[static_cast<std::size_t>(j)]);
      };
      element_vector(w_, all_, head(t, block_type(b), block_flags(b)), [&](word j) { return elr(j, 0, b); }, covered,
                     covered);
    }
  }

  void surface(word block, Variant variant) {
    for (word b = 0; b <= 22; ++b) {
      if (b == kSafetyWord || (b == kAngleWord && !w_.principal_present)) continue;
      const Titled& t = pick(kBlock[static_cast<std::size_t>(b)], variant);
      element_vector(w_, shells_, head(t, block_type(b), block_flags(b)), [&](word j) { return elr(j, block, b); },
                     [&](word j) { return present(j, block, b); }, [](word) { return true; });
    }
  }

  void joints() {
    const auto state = [&](word j) { return w_.elr(j)[kJointStateWord]; };
    const auto covered = [&](word j) { return state(j) > 0.0f; };
    fixed_head_vector(w_, {81003, "Joint Status"}, covered,
                      [&](word j) { post_int_value(w_.id(j), status_code(static_cast<word>(state(j)))); });
    for (std::size_t k = 0; k < kJoint.size(); ++k)
      fixed_head_vector(w_, kJoint[k], covered, [&](word j) { post_value(w_.id(j), elr(j, 0, kJointWords[k])); });
  }

  void block_one_plastic(Variant variant) {
    const bool shells = w_.shells > 0;
    const auto covered = [&](word j) { return present(j, 0, 0) && (!shells || !shell_[static_cast<std::size_t>(j)]); };
    for (word b = 0; b < kPlrBlock; ++b)
      element_vector(w_, all_, head(pick(kPlastic[static_cast<std::size_t>(b)], variant), 5, kComponentFlags),
                     [&](word j) { return w_.plr(j)[static_cast<std::size_t>(b)]; }, covered, covered);
  }

  void thermal(Variant variant) {
    const auto covered = [&](word j) { return w_.elr(j)[kThermalWord] > 0.0f; };
    for (word b = 1; b <= 6; ++b)
      element_vector(w_, all_, head(pick(kThermal[static_cast<std::size_t>(b - 1)], variant), 5, kComponentFlags),
                     [&](word j) { return w_.thr(j)[static_cast<std::size_t>(b)]; }, covered, covered);
  }

  void surface_plastic(word block, Variant variant) {
    for (word b = 0; b < kPlrBlock; ++b)
      element_vector(w_, shells_, head(pick(kPlastic[static_cast<std::size_t>(b)], variant), 5, kComponentFlags),
                     [&](word j) { return w_.plr(j)[static_cast<std::size_t>(block * kPlrBlock + b)]; },
                     [&](word j) { return present(j, block, 0); }, [](word) { return true; });
  }

  void conditions() {
    fixed_head_vector(w_, {81005, "Plastic Condition"}, [&](word j) { return w_.condition(j) != -1; },
                      [&](word j) { post_int_value(w_.id(j), w_.condition(j)); });
  }
};

}  // namespace

void write_element_vectors(const ElementWalk& walk) { VectorWriter(walk).write(); }

}  // namespace zephsol
