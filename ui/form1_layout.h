#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "ui/fields.h"
#include "ui/form_description.h"

namespace tobrisk {

// Form1 as the designer saved it: controls in the order of
// their numbers, geometry in twips, children of Frame1 relative to the frame.
inline constexpr std::array<ControlDescription, 19> kForm1Controls{{
    // name        kind                        caption or text     left  top   width height  tab  parent  on
    {"Picture1", ControlKind::DrawingArea, "", {120, 120, 4860, 3060}, 0},
    {"Command1", ControlKind::PushButton, "Draw", {1560, 5400, 1575, 495}, 1},
    {"Label1", ControlKind::Label, "X Min", {120, 3480, 855, 255}, 2},
    {"Label2", ControlKind::Label, "X Max", {120, 3840, 855, 255}, 3},
    {"Label3", ControlKind::Label, "Y Min", {120, 4200, 855, 255}, 4},
    {"Label4", ControlKind::Label, "Y Max", {120, 4560, 855, 255}, 5},
    {"Text1", ControlKind::Field, "-2.5", {1200, 3480, 735, 285}, 6},
    {"Text2", ControlKind::Field, "1.5", {1200, 3840, 735, 285}, 7},
    {"Text3", ControlKind::Field, "-1.5", {1200, 4200, 735, 285}, 8},
    {"Text4", ControlKind::Field, "1.5", {1200, 4560, 735, 285}, 9},
    {"Label5", ControlKind::Label, "Iterations", {120, 4920, 735, 255}, 10},
    {"Text5", ControlKind::Field, "100", {1200, 4920, 735, 285}, 11},
    {"Option1", ControlKind::OptionButton, "Mandelbrot", {2280, 4680, 1215, 255}, 12, {}, true},
    {"Option2", ControlKind::OptionButton, "Julia", {2280, 5040, 855, 255}, 13},
    {"Frame1", ControlKind::Frame, "Julia Parameters", {2280, 3360, 2175, 1215}, 14},
    {"Label6", ControlKind::Label, "Real", {120, 360, 615, 255}, 15, "Frame1"},
    {"Text6", ControlKind::Field, "0.3", {960, 360, 855, 285}, 16, "Frame1"},
    {"Label7", ControlKind::Label, "Imaginary", {120, 720, 735, 255}, 17, "Frame1"},
    {"Text7", ControlKind::Field, "0.6", {960, 720, 855, 285}, 18, "Frame1"},
}};

inline constexpr FormDescription kForm1{"Form1", "Tobrisk", 5250, 6105, kForm1Controls};

static_assert(FirstLayoutProblem(kForm1).empty(), "Form1 cannot be built as described");

// The field control that holds each member of a Draw: Text1 ... Text7 in reading order.
inline constexpr ByField<std::string_view> kFieldControls{"Text1", "Text2", "Text3", "Text4",
                                                          "Text5", "Text6", "Text7"};

[[nodiscard]] constexpr std::string_view FieldControlName(Field field) {
  return kFieldControls[field];
}

// The label beside each field, whose caption names the field in error messages.
inline constexpr ByField<std::string_view> kFieldLabels{"Label1", "Label2", "Label3", "Label4",
                                                        "Label5", "Label6", "Label7"};

// The caption of a field's label ("X Min"); it lives as long as the program.
[[nodiscard]] constexpr std::string_view FieldCaption(Field field) {
  const ControlDescription* label = FindControl(kForm1, kFieldLabels[field]);
  return label != nullptr ? label->caption : std::string_view{};
}

// The option button that chooses the Mandelbrot set; Julia is chosen when it is off.
inline constexpr std::string_view kMandelbrotOption = "Option1";
// The drawing area that a Draw plots into.
inline constexpr std::string_view kDrawingArea = "Picture1";

[[nodiscard]] constexpr bool Form1NamesTheRightKinds() {
  for (const std::string_view name : kFieldControls) {
    const ControlDescription* field = FindControl(kForm1, name);
    if (field == nullptr || field->kind != ControlKind::Field) return false;
  }
  for (const std::string_view name : kFieldLabels) {
    const ControlDescription* label = FindControl(kForm1, name);
    if (label == nullptr || label->kind != ControlKind::Label || label->caption.empty()) return false;
  }
  const ControlDescription* option = FindControl(kForm1, kMandelbrotOption);
  const ControlDescription* picture = FindControl(kForm1, kDrawingArea);
  return option != nullptr && option->kind == ControlKind::OptionButton && picture != nullptr &&
         picture->kind == ControlKind::DrawingArea;
}
static_assert(Form1NamesTheRightKinds(), "the handlers name a control that Form1 lacks");

}  // namespace tobrisk
