#pragma once

#include <map>
#include <string>
#include <string_view>

#include "ui/form_description.h"

class QWidget;

namespace tobrisk {

// The widgets made from a form description, by control name. The window owns them.
using BuiltControls = std::map<std::string, QWidget*, std::less<>>;

// Turns a form description into Qt widgets on `window`: a drawing area becomes
// a DrawingArea, a push button a QPushButton that is neither default nor
// autoDefault, a label a QLabel, a field a QLineEdit, a frame a QGroupBox, and
// the option buttons of each parent one exclusive group of QRadioButtons.
// Every widget carries its control's name as object name; the focus order
// follows the tab indices and starts at tab index 0. Geometry is exactly the
// table's; the form's font is the desktop's, made smaller where needed so that
// every caption shows whole in the room the table gives it.
BuiltControls BuildForm(const FormDescription& form, QWidget& window);

}  // namespace tobrisk
