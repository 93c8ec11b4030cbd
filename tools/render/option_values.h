#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tools/render/centred_view.h"
#include "tools/render/render_options.h"

// The values the renderer's options take, each read whole or refused.

namespace tobrisk {

// A number in its entirety, as the window's fields read it, without leading blanks.
[[nodiscard]] bool IsPlainNumber(std::string_view text);

// A whole decimal number from `least` to `most`, digits only.
[[nodiscard]] std::optional<int> WholeNumber(std::string_view text, int least, int most);

// "WxH", 1 ... 32767 pixels per side (the pass counts columns and rows in 16 bits).
[[nodiscard]] std::optional<std::pair<int, int>> ParseSize(std::string_view text);

// "X,Y": two plain numbers, as typed.
[[nodiscard]] std::optional<std::pair<std::string, std::string>> ParseCentre(std::string_view text);

// "X,Y,WIDTH": a point and a width above 0, all finite.
[[nodiscard]] std::optional<PlaneView> ParseZoomEnd(std::string_view text);

// "A:B", first and last frame, both counted.
[[nodiscard]] std::optional<FrameRange> ParseFrameRange(std::string_view text);

// Names a picture in another format would have: the file would hold PNG bytes under a misleading name.
[[nodiscard]] bool NamesAnotherImageFormat(std::string_view name);

// Whether Windows takes the name for a device whatever its folder and
// extension: CON, PRN, AUX, NUL, COM1 ... COM9, LPT1 ... LPT9 ("aux.png", "C:\\out\\nul").
[[nodiscard]] bool NamesWindowsDevice(std::string_view name);
// Such names are refused where they are devices; elsewhere they are ordinary files.
#ifdef _WIN32
inline constexpr bool kDeviceNamesReserved = true;
#else
inline constexpr bool kDeviceNamesReserved = false;
#endif

}  // namespace tobrisk
