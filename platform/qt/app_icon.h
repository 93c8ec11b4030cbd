#pragma once

#include <QIcon>
#include <QImage>

namespace tobrisk {

// Tobrisk's icon at `size` x `size` pixels, drawn by the exact engine: the
// Mandelbrot set in the palette's colours on a transparent ground.
[[nodiscard]] QImage RenderAppIcon(int size);

// The window's icon, in the sizes a title bar and a task bar ask for.
[[nodiscard]] QIcon AppIcon();

}  // namespace tobrisk
