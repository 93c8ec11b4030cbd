#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "ui/form1_window.h"

namespace tobrisk {

// Form1's event handlers, named after the event they answer. Each may raise
// RunTimeError; RunEventHandler is the one place that catches it.

// "Draw": reads Text1 ... Text7 and Option1 and draws into Picture1.
void Command1Click(Form1Window& form);
// "Mandelbrot" selected: writes the Mandelbrot preset into Text1 ... Text4.
void Option1Click(Form1Window& form);
// "Julia" selected: writes the Julia preset into Text1 ... Text4.
void Option2Click(Form1Window& form);

using EventHandler = void (*)(Form1Window&);

// Click means pressed for a push button and selected for an option button.
enum class ControlEvent : std::uint8_t { Click };

struct EventBinding {
  std::string_view control;
  ControlEvent event;
  EventHandler handler;
};

// Which handler answers which event; no other event of Form1 has one.
inline constexpr std::array<EventBinding, 3> kForm1Events{{
    {"Command1", ControlEvent::Click, &Command1Click},
    {"Option1", ControlEvent::Click, &Option1Click},
    {"Option2", ControlEvent::Click, &Option2Click},
}};

// Runs a handler as the forms run-time does: a RunTimeError that escapes it
// ends the handler and goes to the window's report, then events flow again.
void RunEventHandler(EventHandler handler, Form1Window& form);

}  // namespace tobrisk
