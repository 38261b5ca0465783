#include "zephsol/iter/zuzu.h"

#include <algorithm>
#include <cmath>

#include "zephsol/elem/elem_records.h"
#include "zephsol/exec/diag.h"
#include "zephsol/exec/fortfmt.h"
#include "zephsol/exec/records.h"
#include "zephsol/exec/runend.h"
#include "zephsol/exec/units.h"
#include "zephsol/matl/matrec.h"

namespace zephsol {

namespace {

constexpr double kPi = 3.14159265359;

// HORA band limits and the foot-point factors B / A of the bands.
constexpr double kParabolaBelow = 0.8999999761581421;
constexpr double kLineUpTo = 1.100000023841858;
constexpr double kSixFifthsUpTo = 1.2669999599456787;
constexpr double kFourThirdsUpTo = 1.4170000553131104;
constexpr double kThreeHalvesUpTo = 1.75;

double wr(int k) { return static_cast<double>(matcom().w(k)); }

// Both units, each line whole.
void print_both(std::string_view format, std::initializer_list<FmtArg> args) {
  fwrite_unit(kListing, format, args);
  fwrite_unit(kErrorLog, format, args);
}

[[noreturn]] void no_foot_point() {
  print_both("('0*** SYSTEM FATAL MESSAGE 8203,',' ERROR OCCURED IN ZUZUZERUR'/10X,"
             "'SIGMA0 < SIGMA-T or SIGMA0 > SIGMA-M')",
             {});
  sysw().NLINE += 3;
  sysw().IERFLG = 1;
  RUNEND();
}

// The foot point of a cubic band: the one real root, or the smallest of the
// three roots, that lies strictly between SIGT and pm.
double cubic_foot(double a, double b, double c, double sigt, double pm) {
  double x1 = 0.0, x2 = 0.0, x3 = 0.0;
  word one = 0;
  CUBRTS(a, b, c, x1, x2, x3, one);
  double foot = pm + 9.999999747378752e-05;
  for (double x : {x1, x2, x3}) {
    if (sigt < x && x < pm && x < foot) foot = x;
    if (one == 1) break;
  }
  if (!(foot < pm)) no_foot_point();
  return foot;
}

// n = 4/3: (sigma - pm)^2 = B^2 (1 - sigma/SIGT) with sigma < pm, the smaller root.
double quadratic_foot(double b, double sigt, double pm) {
  const double bq = 2.0 * pm - b * b / sigt;
  const double disc = bq * bq - 4.0 * (pm * pm - b * b);
  if (disc < 0.0) no_foot_point();
  const double foot = (bq - std::sqrt(disc)) / 2.0;
  if (!(sigt < foot && foot < pm)) no_foot_point();
  return foot;
}

// Distance rho from (pm, 0) to the envelope; none when the parabola's foot
// point lies beyond its vertex.
struct Distance {
  double rho = 0.0;
  bool beyond_vertex = false;
};

Distance envelope_distance(double pm) {
  const double hora = wr(mw::HORA), taur = wr(mw::TAUR), sigt = wr(mw::ZSIGT);
  if (hora <= kParabolaBelow || hora > kThreeHalvesUpTo) {
    if (taur * taur / (2.0 * sigt) + pm <= sigt) return {0.0, true};
    return {taur * std::sqrt(std::max(0.0, 1.0 - pm / sigt - taur * taur / (4.0 * sigt * sigt))), false};
  }
  if (hora <= kLineUpTo) {
    // sin phi (TAUR / tan phi + pm), written so that phi = 0 stays finite.
    const double phi = wr(mw::PHAI) * kPi / 180.0;
    return {taur * std::cos(phi) + pm * std::sin(phi), false};
  }
  const double a = taur * taur / sigt;
  double foot = 0.0;
  if (hora <= kSixFifthsUpTo) {
    const double b3 = std::pow(0.8333333134651184 * a, 3);
    foot = cubic_foot(-(b3 / (sigt * sigt) + 3.0 * pm), 3.0 * pm * pm + 2.0 * b3 / sigt, -(pm * pm * pm + b3),
                      sigt, pm);
  } else if (hora <= kFourThirdsUpTo) {
    foot = quadratic_foot(0.75 * a, sigt, pm);
  } else {
    const double b3 = std::pow(0.6666666865348816 * a, 3);
    foot = cubic_foot(-3.0 * pm, 3.0 * pm * pm + b3 / sigt, -(pm * pm * pm + b3), sigt, pm);
  }
  const double d = pm - foot;
  return {std::sqrt(d * d + taur * taur * std::pow(1.0 - foot / sigt, 2.0 / hora)), false};
}

double cube_root(double u) { return std::copysign(std::pow(std::fabs(u), 0.3333333432674408), u); }

}  // namespace

void CUBRTS(double A, double B, double C, double& X1, double& X2, double& X3, word& IFLAG) {
  const double p = B / 3.0 - A * A / 9.0;
  const double q = C - A * B / 3.0 + 2.0 * A * A * A / 27.0;
  const double d = q * q + 4.0 * p * p * p;
  if (d >= 0.0) {
    IFLAG = 1;
    const double s = std::sqrt(d);
    X1 = cube_root(-(q + s) / 2.0) + cube_root((s - q) / 2.0) - A / 3.0;
    X2 = X3 = 0.0;
    return;
  }
  IFLAG = 0;
  const double theta = std::atan2(std::sqrt(-d), -q);
  const double m = 2.0 * std::sqrt(-p);
  X1 = m * std::sin(1.5707964897155762 - theta / 3.0) - A / 3.0;
  X2 = -(m * std::sin(theta / 3.0 + 0.523598829905192) + A / 3.0);
  X3 = -(m * std::sin(0.523598829905192 - theta / 3.0) + A / 3.0);
}

void CDENDE() {
  EIVWK& pt = eivwka();
  double& ratio = pt.blk.b1.v[3];
  const word level = DIAGLV(17);
  const double s1 = pt.blk.b1.v[0], s3 = pt.blk.b1.v[1];
  const double radius = (s1 - s3) / 2.0, pm = (s1 + s3) / 2.0;
  const double sigt = wr(mw::ZSIGT);
  const double x = pm - sigt;
  if (x <= 0.0) {
    print_both("('0*** USER WARNING MESSAGE 8201,',' TENSILE FAILURE OCCURED (ZUZUZERUR MATERIAL)',"
               "' (SGM-ST)=',1PE10.3,'  ELEM NO =',I8)",
               {x, pt.head[0]});
    sysw().NLINE += 2;
    sysw().IWRNFL = 1;
    ratio = 0.0;
    return;
  }
  const Distance dist = envelope_distance(pm);
  const double e0 = dist.rho - radius, e8 = dist.rho;
  double shear = 0.0;
  if (dist.beyond_vertex)
    shear = 10000.0;
  else if (level != 0)
    shear = e0 / x;
  else if (e8 > 0.0)
    shear = e0 / e8;
  const double r = level != 0 ? shear : std::min(shear, (s3 - sigt) / x);
  ratio = std::clamp(wr(mw::YURU) * r, 0.0, 1.0);
}

}  // namespace zephsol
