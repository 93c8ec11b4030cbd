#pragma once

#include <array>
#include <cstddef>

namespace tobrisk {

// What the vector kernels keep of each orbit between rounds of steps, one
// single per field. A lane table holds each field as an aligned array of
// lanes, and an orbit moved between tables is one array of fields, so a new
// field is one entry here (and its starting value where orbits start).
namespace lane {
enum Field : std::size_t {
  kX,
  kY,
  kX2,
  kY2,
  kCount,     // the next iteration to test; 0 for "the exact kernel decides"
  kActive,    // 1 while the orbit runs, else 0
  kSavedX,    // Brent's saved state
  kSavedY,
  kNextSave,  // the count at which the state is saved next
  kStrideX,   // the state at the previous check
  kStrideY,
  kCentreX,   // the settling disc, found once per orbit
  kCentreY,
  kRadius2,   // < 0: none
  kPointX,    // the point, which is c for Mandelbrot
  kPointY,
  kFields
};
}  // namespace lane

// An orbit still running when most of its block had ended, moved on so that
// it does not hold the block's lanes.
struct Straggler {
  std::array<float, lane::kFields> fields;
  std::size_t index;  // of its count in the grid
};

}  // namespace tobrisk
