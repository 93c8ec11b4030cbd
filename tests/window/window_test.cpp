// SPDX-License-Identifier: MIT
// Form1 on Qt driven as a user drives it: clicks, typing and the tab key, with
// the drawing area's picture read back and compared with the Draw command's.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "platform/picture.h"
#include "platform/qt/app_icon.h"
#include "platform/qt/drawing_area.h"
#include "platform/qt/form1_widget.h"
#include "tests/support/default_views.h"
#include "tests/support/form_controls.h"
#include "tests/support/image_picture.h"
#include "ui/draw_command.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

using test::kStartTexts;

struct Report {
  std::string message;
  bool waitCursorShown;
};

// A shown Form1 whose error report is written down instead of shown.
class Form1Test : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<Form1Widget>([this](QWidget&, const RunTimeError& error) {
      reports.push_back({error.what(), QApplication::overrideCursor() != nullptr});
    });
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  }

  template <typename Widget = QWidget>
  Widget* Control(std::string_view name) const {
    return FindControl<Widget>(*form, name);
  }
  QLineEdit* FieldOf(Field field) const { return Control<QLineEdit>(FieldControlName(field)); }
  DrawingArea* Picture1() const { return Control<DrawingArea>("Picture1"); }

  void ClickDraw() const { QTest::mouseClick(Control<QPushButton>("Command1"), Qt::LeftButton); }
  void Type(Field field, const QString& text) const {
    QLineEdit* edit = FieldOf(field);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Field field : kAllFields) texts.push_back(FieldOf(field)->text().toStdString());
    return texts;
  }

  // The drawing area's picture as an in-memory Picture, for comparing with the Draw command's.
  Picture Shown() const { return PictureOf(Picture1()->Image()); }
  Colour Background() const {
    const QColor window = Picture1()->palette().color(QPalette::Window);
    return {static_cast<std::uint8_t>(window.red()), static_cast<std::uint8_t>(window.green()),
            static_cast<std::uint8_t>(window.blue())};
  }
  Picture Empty() const { return Picture(320, 200, Background()); }
  // What the Draw command puts on an empty 320 x 200 area; an error leaves what was plotted before it.
  Picture Drawn(const FieldTexts& texts, bool mandelbrot) const {
    Picture picture = Empty();
    try {
      Draw(texts, mandelbrot, picture);
    } catch (const RunTimeError&) {
    }
    return picture;
  }

  std::unique_ptr<Form1Widget> form;
  std::vector<Report> reports;
};

// The table's position and size, exactly.
void ExpectTableGeometry(const ControlDescription& control, const QWidget& widget) {
  const Rect r = control.Pixels();
  EXPECT_EQ(widget.geometry(), QRect(r.left, r.top, r.width, r.height)) << control.name;
}

TEST_F(Form1Test, OpensWithTheDesignTimeContents) {
  EXPECT_EQ(form->windowTitle(), "Tobrisk");
  EXPECT_EQ(form->size(), QSize(350, 407));
  EXPECT_FALSE(form->windowIcon().isNull());
  for (const ControlDescription& control : kForm1.controls) {
    QWidget* widget = Control(control.name);
    ASSERT_NE(widget, nullptr);
    ExpectTableGeometry(control, *widget);
    EXPECT_EQ(widget->parentWidget()->objectName().toStdString(), control.parent.empty() ? "Form1" : control.parent)
        << control.name;
    EXPECT_TRUE(widget->isVisible()) << control.name;
    const QString caption = QString::fromUtf8(control.caption.data(), static_cast<qsizetype>(control.caption.size()));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
      EXPECT_EQ(edit->text(), caption) << control.name;
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      EXPECT_EQ(button->text(), caption) << control.name;
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
      EXPECT_EQ(label->text(), caption) << control.name;
    } else if (auto* frame = qobject_cast<QGroupBox*>(widget)) {
      EXPECT_EQ(frame->title(), caption) << control.name;
    } else {
      EXPECT_EQ(control.kind, ControlKind::DrawingArea) << control.name;
    }
  }
  EXPECT_TRUE(Control<QRadioButton>("Option1")->isChecked());
  EXPECT_FALSE(Control<QRadioButton>("Option2")->isChecked());
  EXPECT_TRUE(Shown() == Empty()) << "nothing is drawn before Draw is pressed";
}

TEST_F(Form1Test, ControlsOverlapNoOtherControl) {
  for (const ControlDescription& a : kForm1.controls) {
    for (const ControlDescription& b : kForm1.controls) {
      if (a.name >= b.name || a.parent != b.parent) continue;
      EXPECT_FALSE(Control(a.name)->geometry().intersects(Control(b.name)->geometry())) << a.name << " and " << b.name;
    }
    const QWidget* widget = Control(a.name);
    EXPECT_TRUE(widget->parentWidget()->rect().contains(widget->geometry())) << a.name;
  }
  // The caption that is longest for its room on every usual font.
  EXPECT_GE(Control("Option1")->width(), Control("Option1")->sizeHint().width());
}

TEST_F(Form1Test, DrawingAreaIs320By200InsideATwoPixelSunkenBorder) {
  DrawingArea* area = Picture1();
  EXPECT_EQ(area->contentsRect(), QRect(2, 2, 320, 200));
  EXPECT_EQ(area->frameShadow(), QFrame::Sunken);
  EXPECT_EQ(area->Width(), 320.0F);
  EXPECT_EQ(area->Height(), 200.0F);
}

TEST_F(Form1Test, DrawIsAPlainButton) {
  auto* draw = Control<QPushButton>("Command1");
  EXPECT_FALSE(draw->isDefault());
  EXPECT_FALSE(draw->autoDefault());
}

TEST_F(Form1Test, FocusStartsOnPicture1AndTabFollowsTheTabIndicesWithOneStopForTheOptions) {
  EXPECT_EQ(QApplication::focusWidget(), Picture1());
  const std::vector<std::string> expected{"Command1", "Text1", "Text2", "Text3", "Text4", "Text5",
                                          "Option1",  "Text6", "Text7", "Picture1"};
  std::vector<std::string> visited;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited.push_back(QApplication::focusWidget()->objectName().toStdString());
  }
  EXPECT_EQ(visited, expected);

  // With Julia chosen, the group's one stop is Julia.
  Control<QRadioButton>("Option2")->setChecked(true);
  FieldOf(Field::Iterations)->setFocus();
  QTest::keyClick(FieldOf(Field::Iterations), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "Option2");
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), FieldOf(Field::Real));
}

TEST_F(Form1Test, DrawAtStartShowsTheDefaultMandelbrotView) {
  ClickDraw();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(Shown() == Drawn(kStartTexts, true));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor must go when the pass ends";
}

TEST_F(Form1Test, ThePictureIsPaintedInsideTheBorder) {
  ClickDraw();
  const QImage painted = Picture1()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(painted.copy(2, 2, 320, 200), Picture1()->Image().convertToFormat(QImage::Format_RGB32));
}

// Counts the paint events a widget receives, and those that come while the wait cursor shows.
class PaintCounter final : public QObject {
 public:
  int paints = 0;
  int paintsWhileBusy = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++paints;
      if (QApplication::overrideCursor() != nullptr) ++paintsWhileBusy;
    }
    return false;
  }
};

TEST_F(Form1Test, EveryDrawIsRepaintedOnScreenOnceItEnds) {
  PaintCounter counter;
  Picture1()->installEventFilter(&counter);
  for (int draw = 1; draw <= 3; ++draw) {
    Type(Field::Iterations, QString::number(draw * 10));
    QTest::qWait(20);
    counter.paints = 0;
    ClickDraw();
    QTest::qWait(50);
    EXPECT_GE(counter.paints, 1) << "draw " << draw << " was not repainted";
  }
  EXPECT_EQ(counter.paintsWhileBusy, 0) << "the window repainted while a pass ran";
  Picture1()->removeEventFilter(&counter);
}

TEST_F(Form1Test, TypedFieldsAreWhatDrawReads) {
  Type(Field::XMin, "-0.75");
  Type(Field::XMax, "-0.7abc");
  Type(Field::YMin, "0.1");
  Type(Field::YMax, "0.13");
  Type(Field::Iterations, "300.5");
  ClickDraw();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(Shown() == Drawn({"-0.75", "-0.7abc", "0.1", "0.13", "300.5", "0.3", "0.6"}, true));
}

TEST_F(Form1Test, JuliaWritesItsPresetAndTheNextDrawShowsTheJuliaSet) {
  Type(Field::XMin, "-1");
  Type(Field::Iterations, "60");
  Type(Field::Real, "-0.8");
  Type(Field::Imaginary, "0.156");
  QTest::mouseClick(Control<QRadioButton>("Option2"), Qt::LeftButton);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"-1.5", "1.5", "-1.5", "1.5", "60", "-0.8", "0.156"}));
  EXPECT_FALSE(Control<QRadioButton>("Option1")->isChecked());
  EXPECT_TRUE(Shown() == Empty()) << "choosing a kind draws nothing";

  ClickDraw();
  EXPECT_TRUE(Shown() == Drawn({"-1.5", "1.5", "-1.5", "1.5", "60", "-0.8", "0.156"}, false));

  const Picture julia = Shown();
  QTest::mouseClick(Control<QRadioButton>("Option1"), Qt::LeftButton);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"-2.5", "1.5", "-1.5", "1.5", "60", "-0.8", "0.156"}));
  EXPECT_TRUE(Shown() == julia) << "choosing a kind leaves the picture";
}

TEST_F(Form1Test, ArrowKeysInTheOptionGroupChooseTheKind) {
  struct Case {
    const char* key;
    Qt::Key press;
    const char* from;
    const char* to;  // the option that is on, and has the focus, afterwards
    const char* xMin;  // the preset it wrote, or the typed text when nothing was chosen
  };
  const Case cases[] = {
      {"Down to the next", Qt::Key_Down, "Option1", "Option2", "-1.5"},
      {"Right to the next", Qt::Key_Right, "Option1", "Option2", "-1.5"},
      {"Up to the previous", Qt::Key_Up, "Option2", "Option1", "-2.5"},
      {"Left to the previous", Qt::Key_Left, "Option2", "Option1", "-2.5"},
      {"Down past the last goes round", Qt::Key_Down, "Option2", "Option1", "-2.5"},
      {"Up past the first goes round", Qt::Key_Up, "Option1", "Option2", "-1.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    auto* from = Control<QRadioButton>(c.from);
    from->setChecked(true);
    Type(Field::XMin, "7");
    from->setFocus();
    QTest::keyClick(from, c.press);
    EXPECT_TRUE(Control<QRadioButton>(c.to)->isChecked());
    EXPECT_EQ(QApplication::focusWidget(), Control(c.to));
    EXPECT_EQ(FieldOf(Field::XMin)->text().toStdString(), c.xMin);
  }
}

TEST_F(Form1Test, JuliaFieldsDoNotChangeAMandelbrotDrawing) {
  Type(Field::Real, "1e39");
  Type(Field::Imaginary, "garbage");
  ClickDraw();
  EXPECT_TRUE(reports.empty());
  EXPECT_TRUE(Shown() == Drawn(kStartTexts, true));
}

TEST_F(Form1Test, EnterAndEscapeDrawNothing) {
  for (const Field field : {Field::XMin, Field::Iterations, Field::Imaginary}) {
    FieldOf(field)->setFocus();
    QTest::keyClick(FieldOf(field), Qt::Key_Return);
    QTest::keyClick(FieldOf(field), Qt::Key_Enter);
    QTest::keyClick(FieldOf(field), Qt::Key_Escape);
  }
  EXPECT_TRUE(Shown() == Empty());
  EXPECT_TRUE(form->isVisible());
}

// An unhandled error is reported and the program goes on running.
TEST_F(Form1Test, AnErrorIsReportedAndTheWindowKeepsFieldsAndPixels) {
  struct Case {
    const char* what;
    Field field;
    const char* text;
    std::string message;
  };
  const std::vector<Case> cases{
      // Only the first pixel of the first row is drawn on the empty area: a row cut short.
      {"a fault at the second pixel", Field::XMax, "8e10",
       "Floating-point fault (overflow) at pixel (1, 0), iteration 2, computing Y squared"},
      {"iterations beyond 16 bits", Field::Iterations, "32768", "Overflow: Iterations must lie between -32768 and 32767"},
      {"X Max beyond the single range", Field::XMax, "1e39",
       "Floating-point fault (invalid operation) at pixel (0, 0). X Max \"1e39\" lies beyond the largest single "
       "(about 3.4e38)."},
      // The first point that never escapes overflows the kernel's counter after the rows above it are drawn.
      {"a point that never escapes 32767 iterations", Field::Iterations, "32767", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    reports.clear();
    FieldTexts texts = kStartTexts;
    texts[static_cast<std::size_t>(c.field)] = c.text;
    Type(c.field, c.text);
    Picture before = Shown();
    ClickDraw();
    ASSERT_EQ(reports.size(), 1U);
    if (!c.message.empty()) {
      EXPECT_EQ(reports[0].message, c.message);
    }
    EXPECT_FALSE(reports[0].waitCursorShown);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    std::vector<std::string> expectedTexts(texts.begin(), texts.end());
    EXPECT_EQ(Texts(), expectedTexts);
    // Each Draw overwrites the area from its top-left pixel up to the fault.
    Picture expected = before;
    try {
      Draw(texts, true, expected);
    } catch (const RunTimeError&) {
    }
    EXPECT_TRUE(Shown() == expected);
    Type(c.field, QString::fromUtf8(kStartTexts[static_cast<std::size_t>(c.field)].data()));
  }
  reports.clear();
  ClickDraw();
  EXPECT_TRUE(reports.empty()) << "the window goes on working after a report";
  EXPECT_TRUE(Shown() == Drawn(kStartTexts, true));
}

TEST_F(Form1Test, ResizingMovesNothing) {
  form->resize(700, 600);
  QTest::qWait(20);
  for (const ControlDescription& control : kForm1.controls) ExpectTableGeometry(control, *Control(control.name));
  EXPECT_EQ(Picture1()->Image().size(), QSize(320, 200));
}

// The icon: the engine's Mandelbrot set in palette colours, on a transparent ground.
TEST(AppIcon, IsTheSetOnATransparentGround) {
  for (const int size : {16, 32, 256}) {
    const QImage icon = RenderAppIcon(size);
    ASSERT_EQ(icon.size(), QSize(size, size));
    EXPECT_TRUE(icon.hasAlphaChannel());
    for (const QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)}) {
      EXPECT_EQ(qAlpha(icon.pixel(corner)), 0) << size << ": corner " << corner.x() << ", " << corner.y();
    }
    // Inside the cardioid, the colour of a point that never escapes: palette entry 1.
    const QRgb inside = icon.pixel(size * 2 / 3, size / 2);
    EXPECT_EQ(inside, qRgba(Palette16[1].red, Palette16[1].green, Palette16[1].blue, 255)) << size;
  }
  EXPECT_EQ(AppIcon().availableSizes().size(), 5);
}

// The report a user sees: a modal box titled "Tobrisk" with the error's message.
TEST(Form1ErrorBox, IsAModalTobriskBoxAndTheProgramGoesOn) {
  Form1Widget form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  auto* iterations = form.findChild<QLineEdit*>("Text5");
  iterations->setText("40000");

  QString title, text;
  bool modal = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr) << "no modal message box";
    title = box->windowTitle();
    text = box->text();
    modal = box->isModal();
    box->accept();
  });
  QTest::mouseClick(form.findChild<QPushButton*>("Command1"), Qt::LeftButton);
  EXPECT_EQ(title, "Tobrisk");
  EXPECT_EQ(text, "Overflow: Iterations must lie between -32768 and 32767");
  EXPECT_TRUE(modal);
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(iterations->text(), "40000");
}

}  // namespace
}  // namespace tobrisk
