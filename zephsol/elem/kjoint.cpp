// Stiffness and internal forces of the joint elements, formed in the joint
// frame with the joint law of each point and turned to global DOFs.
#include "zephsol/elem/ekin.h"
#include "zephsol/elem/kelem.h"
#include "zephsol/elem/kint.h"

namespace zephsol {

namespace {

// Joints receive no temperatures and form no thermal load.
template <class K>
void joint_stiffness(std::span<double> ke) {
  K k;
  std::array<double, K::kDof> none{};
  kint::stiffness(k, 0, {}, ke, none);
}

template <class K>
void joint_force(std::span<double> fe) {
  K k;
  kint::internal_force(k, fe);
}

}  // namespace

void KJOINT4(std::span<double> KE) { joint_stiffness<ekin::Joint4>(KE); }
void KJOINT6(std::span<double> KE) { joint_stiffness<ekin::Joint6>(KE); }
void KJOINT8(std::span<double> KE) { joint_stiffness<ekin::JointQuad<4>>(KE); }
void KJOINT12(std::span<double> KE) { joint_stiffness<ekin::Joint12>(KE); }
void KJOINT16(std::span<double> KE) { joint_stiffness<ekin::JointQuad<8>>(KE); }

void FJOINT4(std::span<double> FE) { joint_force<ekin::Joint4>(FE); }
void FJOINT6(std::span<double> FE) { joint_force<ekin::Joint6>(FE); }
void FJOINT8(std::span<double> FE) { joint_force<ekin::JointQuad<4>>(FE); }
void FJOINT12(std::span<double> FE) { joint_force<ekin::Joint12>(FE); }
void FJOINT16(std::span<double> FE) { joint_force<ekin::JointQuad<8>>(FE); }

}  // namespace zephsol
