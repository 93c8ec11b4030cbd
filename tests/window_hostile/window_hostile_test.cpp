// SPDX-License-Identifier: MIT
// Form1 used hard: clicks, kind choices, keys and a close arriving while a
// long pass runs, and hostile text pasted into the fields. The window must
// handle every queued event once the pass has ended, in order, lose no field
// text, and never crash (the sanitizer run checks the memory use).

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "platform/picture.h"
#include "platform/qt/drawing_area.h"
#include "platform/qt/form1_widget.h"
#include "ui/draw_command.h"
#include "tests/support/form_controls.h"
#include "tests/support/image_picture.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

// Events as the window system delivers them, made on the window's thread
// and posted later from another one (posting is safe from any thread).
class QueuedEvents {
 public:
  // A press and a release in the middle of the control.
  void Click(QWidget* target) {
    const QPointF local = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(local);
    Add(target, new QMouseEvent(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    Add(target,
        new QMouseEvent(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
  }
  void Key(QWidget* target, Qt::Key key, const QString& text) {
    Add(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    Add(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
  }
  // Hands every event to the queue, which owns them from then on.
  void PostAll() {
    for (auto& [target, event] : events_) QCoreApplication::postEvent(target, event.release());
    events_.clear();
  }

 private:
  void Add(QWidget* target, QEvent* event) { events_.emplace_back(target, std::unique_ptr<QEvent>(event)); }
  std::vector<std::pair<QWidget*, std::unique_ptr<QEvent>>> events_;
};

class RapidUse : public ::testing::Test {
 protected:
  void SetUp() override {
    form = std::make_unique<Form1Widget>([this](QWidget&, const RunTimeError& error) { reports.push_back(error.what()); });
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void TearDown() override {
    form.reset();
    QCoreApplication::processEvents();  // events still queued for deleted controls must be dropped harmlessly
  }

  template <typename Widget = QWidget>
  Widget* Control(std::string_view name) const {
    return FindControl<Widget>(*form, name);
  }
  QLineEdit* FieldOf(Field field) const { return Control<QLineEdit>(FieldControlName(field)); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Field field : kAllFields) texts.push_back(FieldOf(field)->text().toStdString());
    return texts;
  }
  void SetField(Field field, const QString& text) const { FieldOf(field)->setText(text); }

  // Runs the queued events until none is left; each queued Draw runs its whole pass here.
  static void DrainEvents() {
    for (int round = 0; round < 20; ++round) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
  }

  Picture Shown() const { return PictureOf(Control<DrawingArea>("Picture1")->Image()); }
  static Picture Drawn(const std::vector<std::string>& texts, bool mandelbrot) {
    Picture picture(320, 200);
    const FieldTexts views{texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], texts[6]};
    Draw(views, mandelbrot, picture);  // every pixel is plotted: no error is expected here
    return picture;
  }

  std::unique_ptr<Form1Widget> form;
  std::vector<std::string> reports;
};

// The long passes below draw the Julia set of c = 0.25, whose inside
// converges slowly: every pixel there runs thousands of iterations, so a pass
// takes a good fraction of a second and the other thread's events arrive while it runs.
using Clock = std::chrono::steady_clock;

TEST_F(RapidUse, EventsQueuedDuringAPassRunInOrderAfterIt) {
  Control<QRadioButton>("Option2")->setChecked(true);
  SetField(Field::Iterations, "32000");
  SetField(Field::Real, "0.25");
  SetField(Field::Imaginary, "0");
  QLineEdit* imaginary = FieldOf(Field::Imaginary);
  imaginary->setCursorPosition(static_cast<int>(imaginary->text().size()));

  // A user who cannot wait: Draw again, choose Mandelbrot, type a digit, Draw again.
  QueuedEvents impatience;
  for (int i = 0; i < 2; ++i) impatience.Click(Control("Command1"));
  impatience.Click(Control("Option1"));
  impatience.Key(imaginary, Qt::Key_5, "5");
  for (int i = 0; i < 2; ++i) impatience.Click(Control("Command1"));
  Clock::time_point posted;
  std::thread impatient([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    impatience.PostAll();
    posted = Clock::now();
  });
  QTest::mouseClick(Control<QPushButton>("Command1"), Qt::LeftButton);
  const Clock::time_point firstPassEnded = Clock::now();
  impatient.join();
  EXPECT_LT(posted, firstPassEnded) << "the events came after the first pass, which was too short for this test";
  DrainEvents();

  EXPECT_TRUE(reports.empty()) << reports.front();
  EXPECT_TRUE(Control<QRadioButton>("Option1")->isChecked());
  const std::vector<std::string> expected{"-2.5", "1.5", "-1.5", "1.5", "32000", "0.25", "05"};
  EXPECT_EQ(Texts(), expected) << "the preset, the typed digit and every other text must all be there";
  EXPECT_TRUE(Shown() == Drawn(expected, true)) << "the last Draw must show the Mandelbrot set of the final texts";
}

TEST_F(RapidUse, ClosingTheWindowDuringAPassEndsCleanly) {
  Control<QRadioButton>("Option2")->setChecked(true);
  SetField(Field::Iterations, "32000");
  SetField(Field::Real, "  0.25 typed before the pass");
  SetField(Field::Imaginary, "0");
  const std::vector<std::string> before = Texts();
  QueuedEvents beforeClose;
  beforeClose.Click(Control("Command1"));
  QueuedEvents afterClose;
  afterClose.Click(Control("Command1"));
  Form1Widget* window = form.get();

  Clock::time_point closed;
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    beforeClose.PostAll();
    QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
    afterClose.PostAll();
    closed = Clock::now();
  });
  QTest::mouseClick(Control<QPushButton>("Command1"), Qt::LeftButton);
  const Clock::time_point firstPassEnded = Clock::now();
  closer.join();
  EXPECT_LT(closed, firstPassEnded) << "the close came after the first pass, which was too short for this test";
  DrainEvents();

  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(reports.empty()) << reports.front();
  EXPECT_EQ(Texts(), before);
  EXPECT_TRUE(Shown() == Drawn(before, false));

  // Clicks still queued when the window goes away must be dropped, not delivered to freed controls.
  QueuedEvents late;
  for (int i = 0; i < 3; ++i) late.Click(Control("Command1"));
  late.PostAll();
  form.reset();
  DrainEvents();
}

struct PastedText {
  const char* name;
  Field field;
  QString text;
};

// What a user can paste lands in the field whole and Draw reads it as documented.
TEST_F(RapidUse, PastedHostileTextIsKeptWholeAndDrawnAsRead) {
  const std::vector<PastedText> cases{
      {"a megabyte after the number", Field::XMin, "-2.5" + QString(1 << 20, 'x')},
      {"a long number whose end matters", Field::XMax, "1" + QString(40000, '0') + "e-40000"},
      {"a Unicode minus", Field::YMin, QString::fromUtf8("\xe2\x88\x92" "1.5")},
      {"fullwidth digits", Field::Iterations, QString::fromUtf8("\xef\xbc\x91\xef\xbc\x90")},
      {"a control character", Field::YMax, QString("1.5\x01")},
  };
  for (const PastedText& c : cases) {
    QLineEdit* edit = FieldOf(c.field);
    edit->setFocus();
    edit->selectAll();
    QGuiApplication::clipboard()->setText(c.text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(edit->text().size(), c.text.size()) << c.name << ": the field cut the pasted text";
    EXPECT_EQ(edit->text(), c.text) << c.name;

    const std::vector<std::string> texts = Texts();
    QTest::mouseClick(Control<QPushButton>("Command1"), Qt::LeftButton);
    DrainEvents();
    EXPECT_TRUE(reports.empty()) << c.name << ": " << reports.front();
    EXPECT_EQ(Texts(), texts) << c.name << ": Draw changed a field";
    EXPECT_TRUE(Shown() == Drawn(texts, true)) << c.name;
    edit->setText(QString::fromStdString(std::vector<std::string>{"-2.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"}
                                             [static_cast<std::size_t>(c.field)]));
  }
}

}  // namespace
}  // namespace tobrisk

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
