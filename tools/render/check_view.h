#pragma once

#include <ostream>

#include "tools/render/render_options.h"

namespace tobrisk {

// --check: draws the view a picture or count map holds and compares every
// pixel (the colour a viewer shows) or count with the file's. Says
// "identical" (status 0) or where the first difference lies and both values
// (status 1) on `out`; status 2 with a message on `err` when the file holds no
// view. A file damaged after its view, or a view that fails to draw, differs.
[[nodiscard]] int CheckViewFile(const CheckRequested& request, std::ostream& out, std::ostream& err);

}  // namespace tobrisk
