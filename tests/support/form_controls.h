#pragma once

// Finds a window's control by its name, as the window tests address them.

#include <QString>
#include <QWidget>
#include <string_view>

#include <gtest/gtest.h>

namespace tobrisk {

template <typename Widget = QWidget>
Widget* FindControl(const QWidget& form, std::string_view name) {
  auto* widget = form.findChild<Widget*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  EXPECT_NE(widget, nullptr) << name;
  return widget;
}

}  // namespace tobrisk
