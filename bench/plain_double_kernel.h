#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tobrisk {

// A view for the plain double kernel: pixel (col, row) is the point
// (xMin + col * (xMax - xMin) / width, yMin + row * (yMax - yMin) / height).
struct PlainDoubleView {
  double xMin, xMax, yMin, yMax;
  int width, height;
  int iterations;
};

// Bytes of a 1-bit-per-pixel PBM picture of the view: rows of (width + 7) / 8.
[[nodiscard]] std::size_t PlainDoubleBytes(const PlainDoubleView& view);

// The set in plain double arithmetic, on every core, as the well-known
// fastest programs draw it: the widest double vectors the processor has,
// several side by side, every iteration up to the limit unless all of their
// pixels have escaped (checked every five), one bit per pixel (1: inside
// after `iterations` iterations), the leftmost pixel in the high bit,
// padding bits 0. Nothing is checked; it is the yardstick the exact pass is
// measured against. bits.size() == PlainDoubleBytes(view).
void PlainDoubleBits(const PlainDoubleView& view, std::span<std::uint8_t> bits);

}  // namespace tobrisk
