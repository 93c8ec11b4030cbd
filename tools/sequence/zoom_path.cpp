#include "tools/sequence/zoom_path.h"

#include <cmath>

namespace tobrisk {
namespace {

constexpr double kLn2 = 0.6931471805599453094;

// ln(m) for m in [sqrt(1/2), sqrt(2)], by the series of atanh: ln m = 2 atanh((m - 1) / (m + 1)).
double LogNearOne(double m) {
  const double s = (m - 1) / (m + 1);
  const double s2 = s * s;
  double term = s;
  double sum = 0;
  for (int k = 1; k < 60; k += 2) {
    sum += term / k;
    term *= s2;
  }
  return 2 * sum;
}

// e^f for f in [0, ln 2), by its Taylor series.
double ExpBelowLn2(double f) {
  double term = 1;
  double sum = 1;
  for (int k = 1; k < 30; ++k) {
    term = term * f / k;
    sum += term;
  }
  return sum;
}

double PortableLog2(double x) {
  int exponent = 0;
  double m = std::frexp(x, &exponent);  // exact: x = m * 2^exponent, m in [1/2, 1)
  if (m < 0.70710678118654752440) {
    m *= 2;
    --exponent;
  }
  return exponent + LogNearOne(m) / kLn2;
}

double PortableExp2(double y) {
  const double whole = std::floor(y);
  return std::ldexp(ExpBelowLn2((y - whole) * kLn2), static_cast<int>(whole));  // ldexp is exact
}

}  // namespace

double PortablePower(double base, double exponent) { return PortableExp2(exponent * PortableLog2(base)); }

PlaneView FrameOfZoom(const PlaneView& start, const PlaneView& end, int frames, int index) {
  if (index <= 0 || frames <= 1) return start;
  if (index >= frames - 1) return end;
  const double t = static_cast<double>(index) / (frames - 1);
  const double width = start.width * PortablePower(end.width / start.width, t);
  // How far the zoom has come, 0 at the start and 1 at the end; a zoom
  // without a change of width moves its centre evenly instead.
  const double along = start.width == end.width ? t : (start.width - width) / (start.width - end.width);
  return {start.x + (end.x - start.x) * along, start.y + (end.y - start.y) * along, width};
}

}  // namespace tobrisk
