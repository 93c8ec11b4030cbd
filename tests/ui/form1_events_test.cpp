// SPDX-License-Identifier: MIT
// Form1's handlers driven through a fake window: no Qt here.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/fractal.h"
#include "platform/picture.h"
#include "tests/support/default_views.h"
#include "ui/draw_command.h"
#include "ui/form1_events.h"
#include "ui/form1_layout.h"

namespace tobrisk {
namespace {

constexpr Colour kBackground{1, 2, 3};

// Keeps the controls' contents like the real window and writes down every call
// the handlers make, so tests can check order as well as outcome.
class FakeForm1 final : public Form1Window {
 public:
  FakeForm1() {
    for (const Field field : kAllFields) texts[field] = std::string(FindControl(kForm1, FieldControlName(field))->caption);
  }

  [[nodiscard]] std::string FieldText(Field field) const override {
    calls.push_back("read " + std::string(FieldControlName(field)));
    return texts[field];
  }
  void SetFieldText(Field field, std::string_view text) override {
    calls.push_back("write " + std::string(FieldControlName(field)));
    texts[field] = std::string(text);
  }
  [[nodiscard]] bool Option1On() const override {
    calls.emplace_back("read Option1");
    return option1On;
  }
  [[nodiscard]] PlotSurface& Picture1() override { return surface; }
  void ShowBusy(bool busy) override {
    calls.emplace_back(busy ? "busy" : "idle");
    this->busy = busy;
  }
  void ReportUnhandledError(const RunTimeError& error) override {
    calls.emplace_back("report");
    reportedWhileBusy = busy;
    reported.push_back(error);
  }

  ByField<std::string> texts;
  bool option1On = true;
  Picture picture{320, 200, kBackground};
  bool busy = false;
  bool reportedWhileBusy = false;
  int plotsWhileIdle = 0;
  std::vector<RunTimeError> reported;
  mutable std::vector<std::string> calls;

 private:
  // Picture1 counts pixels plotted without the wait cursor.
  class Surface final : public PlotSurface {
   public:
    explicit Surface(FakeForm1& form) : form_(form) {}
    [[nodiscard]] float Width() const override { return form_.picture.Width(); }
    [[nodiscard]] float Height() const override { return form_.picture.Height(); }
    void Plot(std::int16_t col, std::int16_t row, EscapeCount n, Colour colour) override {
      if (!form_.busy) ++form_.plotsWhileIdle;
      form_.picture.Plot(col, row, n, colour);
    }

   private:
    FakeForm1& form_;
  } surface{*this};
};

Picture Drawn(const FieldTexts& texts, bool mandelbrot) {
  Picture picture(320, 200, kBackground);
  Draw(texts, mandelbrot, picture);
  return picture;
}

using test::kStartTexts;

TEST(Command1Click, AtStartDrawsTheDefaultMandelbrotView) {
  FakeForm1 form;
  RunEventHandler(&Command1Click, form);
  EXPECT_TRUE(form.reported.empty());
  EXPECT_EQ(form.picture, Drawn(kStartTexts, true));
  EXPECT_EQ(form.plotsWhileIdle, 0) << "the wait cursor must show for the whole pass";
  EXPECT_FALSE(form.busy) << "the wait cursor must go when the pass ends";
}

TEST(Command1Click, ReadsTextOneToSevenInOrderThenOption1) {
  FakeForm1 form;
  RunEventHandler(&Command1Click, form);
  EXPECT_EQ(form.calls, (std::vector<std::string>{"busy", "read Text1", "read Text2", "read Text3", "read Text4",
                                                  "read Text5", "read Text6", "read Text7", "read Option1", "idle"}));
}

TEST(Command1Click, DrawsWhatTheFieldsAndOptionSay) {
  struct Case {
    const char* what;
    FieldTexts texts;
    bool mandelbrot;
  };
  for (const Case& c : {Case{"Julia of the start texts", kStartTexts, false},
                        Case{"Julia preset", {"-1.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"}, false},
                        Case{"zoomed Mandelbrot", {"-0.75", "-0.7", "0.1", "0.13", "300", "x", ""}, true},
                        Case{"negative iterations", {"-2.5", "1.5", "-1.5", "1.5", "-5", "0.3", "0.6"}, true},
                        Case{"texts with trailing letters", {"-2abc", "1.5x", "-1", " 1", "50.5", "-0.8", "0.156"}, false}}) {
    FakeForm1 form;
    for (std::size_t i = 0; i < 7; ++i) form.texts[i] = std::string(c.texts[i]);
    form.option1On = c.mandelbrot;
    RunEventHandler(&Command1Click, form);
    EXPECT_TRUE(form.reported.empty()) << c.what;
    EXPECT_TRUE(form.picture == Drawn(c.texts, c.mandelbrot)) << c.what;
  }
}

// The error is reported and the program goes on running.
TEST(Command1Click, AnErrorIsReportedOnceAndLeavesFieldsAndPixels) {
  struct Case {
    const char* what;
    Field field;
    const char* text;
    std::string message;
    bool somethingDrawn;
  };
  const std::vector<Case> cases{
      {"iterations too large", Field::Iterations, "32768", "Overflow: Iterations must lie between -32768 and 32767",
       false},
      {"X Max beyond the single range", Field::XMax, "1e39",
       "Floating-point fault (invalid operation) at pixel (0, 0). X Max \"1e39\" lies beyond the largest single "
       "(about 3.4e38).",
       false},
      {"a point that never escapes with 32767 iterations", Field::Iterations, "32767", "", true},
  };
  for (const Case& c : cases) {
    FakeForm1 form;
    form.texts[static_cast<std::size_t>(c.field)] = c.text;
    const std::array<std::string, 7> textsBefore = form.texts;
    RunEventHandler(&Command1Click, form);
    ASSERT_EQ(form.reported.size(), 1U) << c.what;
    if (!c.message.empty()) {
      EXPECT_EQ(std::string(form.reported[0].what()), c.message) << c.what;
    }
    EXPECT_FALSE(form.reportedWhileBusy) << c.what << ": the report must come with the ordinary cursor";
    EXPECT_EQ(form.texts, textsBefore) << c.what;

    // The pixels plotted before the fault are those of the same Draw on a plain picture.
    Picture expected(320, 200, kBackground);
    FieldTexts views;
    for (std::size_t i = 0; i < 7; ++i) views[i] = textsBefore[i];
    EXPECT_THROW(Draw(views, true, expected), RunTimeError) << c.what;
    EXPECT_TRUE(form.picture == expected) << c.what;
    EXPECT_EQ(form.picture != Picture(320, 200, kBackground), c.somethingDrawn) << c.what;
  }
}

TEST(Command1Click, TheWindowGoesOnAfterAnError) {
  FakeForm1 form;
  form.texts[Field::Iterations] = "40000";
  RunEventHandler(&Command1Click, form);
  ASSERT_EQ(form.reported.size(), 1U);
  form.texts[Field::Iterations] = "100";
  RunEventHandler(&Command1Click, form);
  EXPECT_EQ(form.reported.size(), 1U);
  EXPECT_EQ(form.picture, Drawn(kStartTexts, true));
}

TEST(OptionClicks, WriteOnlyTheFourRangeFieldsInOrder) {
  struct Case {
    const char* what;
    EventHandler handler;
    std::array<const char*, 4> range;
  };
  for (const Case& c : {Case{"Option1", &Option1Click, {"-2.5", "1.5", "-1.5", "1.5"}},
                        Case{"Option2", &Option2Click, {"-1.5", "1.5", "-1.5", "1.5"}}}) {
    FakeForm1 form;
    form.texts = {"9", "8", "7", "6", "55", "-0.8", "0.156"};
    RunEventHandler(c.handler, form);
    EXPECT_EQ(form.texts, (std::array<std::string, 7>{c.range[0], c.range[1], c.range[2], c.range[3], "55", "-0.8",
                                                       "0.156"}))
        << c.what;
    EXPECT_EQ(form.calls, (std::vector<std::string>{"write Text1", "write Text2", "write Text3", "write Text4"}))
        << c.what << " must read nothing and draw nothing";
    EXPECT_TRUE(form.picture == Picture(320, 200, kBackground)) << c.what;
  }
}

TEST(OptionClicks, JuliaThenDrawShowsTheJuliaSetOverTheSquare) {
  FakeForm1 form;
  RunEventHandler(&Option2Click, form);
  form.option1On = false;
  RunEventHandler(&Command1Click, form);
  EXPECT_EQ(form.picture, Drawn({"-1.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"}, false));
  RunEventHandler(&Option1Click, form);
  EXPECT_EQ(form.texts, (std::array<std::string, 7>{"-2.5", "1.5", "-1.5", "1.5", "100", "0.3", "0.6"}));
}

TEST(Form1Events, EveryBindingNamesAControlThatCanRaiseIt) {
  for (const EventBinding& binding : kForm1Events) {
    const ControlDescription* control = FindControl(kForm1, binding.control);
    ASSERT_NE(control, nullptr) << binding.control;
    EXPECT_TRUE(control->kind == ControlKind::PushButton || control->kind == ControlKind::OptionButton)
        << binding.control;
  }
}

}  // namespace
}  // namespace tobrisk
