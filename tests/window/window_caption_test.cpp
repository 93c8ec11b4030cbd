// SPDX-License-Identifier: MIT
// Form1's captions on the desktop's fonts: each shows whole in the room the
// layout table gives its control, which the window test checks is exactly the table's.
#include <algorithm>
#include <string_view>

#include <QFontMetrics>
#include <QGroupBox>
#include <QStyle>
#include <QStyleOption>
#include <QTest>

#include <gtest/gtest.h>

#include "platform/qt/form1_widget.h"
#include "tests/support/form_controls.h"

namespace tobrisk {
namespace {

// Measured with the font metrics and the style's own parts, not with the size
// hints that choose the font, against the room the table gives each control.
// The window tests run again at QT_SCALE_FACTOR 1.5 and 2 (see CMakeLists.txt).
TEST(Form1Captions, EveryCaptionShowsWholeInTheRoomTheTableGivesIt) {
  Form1Widget shown;
  shown.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&shown));
  const QWidget* form = &shown;
  const auto control = [form](std::string_view name) { return FindControl(*form, name); };
  struct Case {
    const char* control;
    int chrome;  // what the control draws beside its caption, in pixels
  };
  const QStyle& style = *form->style();
  const int optionChrome = style.pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) +
                           style.pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
  const int buttonChrome =
      2 * (style.pixelMetric(QStyle::PM_ButtonMargin) + style.pixelMetric(QStyle::PM_DefaultFrameWidth));
  const Case cases[] = {
      {"Label1", 0}, {"Label2", 0}, {"Label3", 0}, {"Label4", 0}, {"Label5", 0},
      {"Label6", 0}, {"Label7", 0}, {"Option1", optionChrome}, {"Option2", optionChrome},
      {"Command1", buttonChrome},
  };
  for (const Case& c : cases) {
    const QWidget* widget = control(c.control);
    const QString caption = widget->property("text").toString();
    const QFontMetrics metrics = widget->fontMetrics();
    const int needed = std::max(metrics.horizontalAdvance(caption), metrics.boundingRect(caption).right() + 1);
    EXPECT_LE(needed + c.chrome, widget->width()) << c.control << " cuts \"" << caption.toStdString() << '"';
    EXPECT_LE(metrics.height(), widget->height()) << c.control;
  }
  // The frame's title: inside the frame, and above the first control in it.
  auto* frame = FindControl<QGroupBox>(*form, "Frame1");
  QStyleOptionGroupBox option;
  option.initFrom(frame);
  option.text = frame->title();
  option.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
  option.textAlignment = frame->alignment();
  const QRect title = style.subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
  EXPECT_GE(title.width(), frame->fontMetrics().horizontalAdvance(frame->title()));
  EXPECT_TRUE(frame->rect().contains(title)) << "the title runs out of its frame";
  EXPECT_LE(title.bottom(), control("Label6")->y()) << "the title runs into Real";
  EXPECT_LE(title.bottom(), control("Text6")->y()) << "the title runs into the Real field";
}

}  // namespace
}  // namespace tobrisk
