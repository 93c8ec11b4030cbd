#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace tobrisk {

// The form designer's unit: a twentieth of a point, so 15 twips make one pixel at 96 dots per inch.
inline constexpr int kTwipsPerPixel = 15;

// Width of the sunken border that a drawing area keeps inside its outer size.
inline constexpr int kDrawingAreaBorderPixels = 2;

enum class ControlKind : std::uint8_t { DrawingArea, PushButton, Label, Field, OptionButton, Frame };

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

// One control of a form as the designer saved it. Geometry is in twips,
// relative to the parent's top-left corner (the form's client area or a frame).
struct ControlDescription {
  std::string_view name;
  ControlKind kind;
  std::string_view caption;  // a field's initial text; empty for a drawing area
  Rect twips;
  int tabIndex;
  std::string_view parent = {};  // a frame's name; empty for the form itself
  bool on = false;               // an option button that is selected at start

  [[nodiscard]] constexpr Rect Pixels() const {
    return {twips.left / kTwipsPerPixel, twips.top / kTwipsPerPixel, twips.width / kTwipsPerPixel,
            twips.height / kTwipsPerPixel};
  }
  // The drawing area's picture inside its border, in pixels relative to the control.
  [[nodiscard]] constexpr Rect InnerPixels() const {
    const int border = kind == ControlKind::DrawingArea ? kDrawingAreaBorderPixels : 0;
    const Rect outer = Pixels();
    return {border, border, outer.width - 2 * border, outer.height - 2 * border};
  }
};

struct FormDescription {
  std::string_view name;
  std::string_view caption;
  int clientWidthTwips;
  int clientHeightTwips;
  std::span<const ControlDescription> controls;

  [[nodiscard]] constexpr int ClientWidthPixels() const { return clientWidthTwips / kTwipsPerPixel; }
  [[nodiscard]] constexpr int ClientHeightPixels() const { return clientHeightTwips / kTwipsPerPixel; }
};

// Whether the kind can hold the focus; labels and frames never do.
[[nodiscard]] constexpr bool TakesFocus(ControlKind kind) {
  return kind != ControlKind::Label && kind != ControlKind::Frame;
}

// The first reason why a form could not be built as described, or an empty
// text when it can: every layout value a whole number of pixels, names unique,
// tab indices 0 ... n-1 once each, parents being frames listed before their
// children, and exactly one option button on among the option buttons of each parent.
[[nodiscard]] constexpr std::string_view FirstLayoutProblem(const FormDescription& form) {
  const auto wholePixels = [](int twips) { return twips % kTwipsPerPixel == 0; };
  if (!wholePixels(form.clientWidthTwips) || !wholePixels(form.clientHeightTwips)) {
    return "the client area is not a whole number of pixels";
  }
  const auto controls = form.controls;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const ControlDescription& control = controls[i];
    const Rect& r = control.twips;
    if (!wholePixels(r.left) || !wholePixels(r.top) || !wholePixels(r.width) || !wholePixels(r.height)) {
      return "a control's geometry is not a whole number of pixels";
    }
    if (control.name.empty()) return "a control has no name";
    if (control.tabIndex < 0 || static_cast<std::size_t>(control.tabIndex) >= controls.size()) {
      return "a tab index lies outside 0 ... n-1";
    }
    if (control.on && control.kind != ControlKind::OptionButton) return "only option buttons can be on";
    bool parentSeen = control.parent.empty();
    for (std::size_t j = 0; j < i; ++j) {
      if (controls[j].name == control.name) return "two controls share a name";
      if (controls[j].tabIndex == control.tabIndex) return "two controls share a tab index";
      if (controls[j].name == control.parent) {
        if (controls[j].kind != ControlKind::Frame) return "a parent is not a frame";
        parentSeen = true;
      }
    }
    if (!parentSeen) return "a parent is not listed before its children";
    if (control.kind == ControlKind::OptionButton) {
      int onInGroup = 0;
      for (const ControlDescription& other : controls) {
        if (other.kind == ControlKind::OptionButton && other.parent == control.parent && other.on) ++onInGroup;
      }
      if (onInGroup != 1) return "an option group does not have exactly one button on";
    }
    if (control.kind == ControlKind::DrawingArea) {
      const Rect inner = control.InnerPixels();
      if (inner.width <= 0 || inner.height <= 0) return "a drawing area has no room inside its border";
    }
  }
  return {};
}

// The control of that name, or nullptr.
[[nodiscard]] constexpr const ControlDescription* FindControl(const FormDescription& form, std::string_view name) {
  for (const ControlDescription& control : form.controls) {
    if (control.name == name) return &control;
  }
  return nullptr;
}

// Every control of the form by rising tab index: the order in which focus
// moves among those that take it, and in which a window system that orders
// its tab stops by creation creates them.
[[nodiscard]] inline std::vector<const ControlDescription*> ControlsInTabOrder(const FormDescription& form) {
  std::vector<const ControlDescription*> ordered;
  for (const ControlDescription& control : form.controls) ordered.push_back(&control);
  std::sort(ordered.begin(), ordered.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
  return ordered;
}

}  // namespace tobrisk
