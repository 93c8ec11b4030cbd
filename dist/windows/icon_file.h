#pragma once

#include <span>
#include <string>

#include "ui/app_icon.h"

namespace tobrisk {

// The bytes of a Windows icon file holding the pictures in the order given,
// each stored as a PNG image with its transparency, as icons may since Windows Vista.
[[nodiscard]] std::string IconFileBytes(std::span<const IconPicture> pictures);

}  // namespace tobrisk
