#include "engine/fault_test.h"

namespace tobrisk {

void RaiseFault(int raisedFlags, const ErrorSite& site) {
  DiscardPendingFaults();
  // One statement raises at most one of these; the order only settles the impossible case.
  if ((raisedFlags & FE_INVALID) != 0) throw RunTimeError(ErrorCause::FloatingPointInvalid, site);
  if ((raisedFlags & FE_DIVBYZERO) != 0) throw RunTimeError(ErrorCause::FloatingPointDivisionByZero, site);
  throw RunTimeError(ErrorCause::FloatingPointOverflow, site);
}

}  // namespace tobrisk
