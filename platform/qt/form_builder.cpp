#include "platform/qt/form_builder.h"

#include <limits>
#include <vector>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QFont>
#include <QGroupBox>
#include <QKeyEvent>
#include <QList>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QString>

#include "platform/qt/drawing_area.h"
#include "ui/caption_fit.h"

namespace tobrisk {
namespace {

QString ToQString(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QRect ToQRect(const Rect& r) { return {r.left, r.top, r.width, r.height}; }

QWidget* MakeWidget(const ControlDescription& control, QWidget* parent) {
  const QString caption = ToQString(control.caption);
  switch (control.kind) {
    case ControlKind::DrawingArea: {
      const Rect inner = control.InnerPixels();
      return new DrawingArea(QSize(inner.width, inner.height), kDrawingAreaBorderPixels, parent);
    }
    case ControlKind::PushButton: {
      auto* button = new QPushButton(caption, parent);
      // Enter must not press it and Escape has no button to press.
      button->setAutoDefault(false);
      button->setDefault(false);
      return button;
    }
    case ControlKind::Label: {
      auto* label = new QLabel(caption, parent);
      label->setTextFormat(Qt::PlainText);  // a caption is text, never markup
      return label;
    }
    case ControlKind::Field: {
      auto* field = new QLineEdit(caption, parent);
      // A field keeps all that is typed or pasted; Qt's default cuts it at 32767 characters.
      field->setMaxLength(std::numeric_limits<int>::max());
      return field;
    }
    case ControlKind::OptionButton: {
      auto* option = new QRadioButton(caption, parent);
      option->setChecked(control.on);
      return option;
    }
    case ControlKind::Frame: return new QGroupBox(caption, parent);
  }
  return new QWidget(parent);
}

// The width a widget needs to show its caption whole at its present font; 0 when it has no caption.
int CaptionWidth(const QWidget& widget) {
  if (const auto* frame = qobject_cast<const QGroupBox*>(&widget)) return frame->minimumSizeHint().width();
  if (qobject_cast<const QLabel*>(&widget) != nullptr || qobject_cast<const QAbstractButton*>(&widget) != nullptr) {
    return widget.sizeHint().width();
  }
  return 0;
}

// Heights are checked against the line of text alone: a style's taller
// indicator or button frame is no reason to shrink the text.
bool CaptionsFit(const FormDescription& form, const BuiltControls& built) {
  return CaptionsFit(form, [&built](const ControlDescription& control) {
    const QWidget& widget = *built.find(control.name)->second;
    return CaptionNeed{CaptionWidth(widget), widget.fontMetrics().height()};
  });
}

// The desktop's default font (DejaVu Sans at 9 or 10 points on a plain Debian
// desktop) cuts "Imaginary" and "Mandelbrot"; the form takes it in half points
// (or whole pixels) down to the size at which every caption fits.
void FitCaptionsByFontSize(QWidget& window, const FormDescription& form, const BuiltControls& built) {
  const QFont desktop = window.font();
  const bool inPoints = desktop.pointSizeF() > 0;
  const auto sizeOf = [inPoints](const QFont& font) { return inPoints ? font.pointSizeF() : font.pixelSize(); };
  const auto setSize = [&](double size) {
    if (size == sizeOf(window.font())) return;
    QFont font = desktop;
    if (inPoints) {
      font.setPointSizeF(size);
    } else {
      font.setPixelSize(static_cast<int>(size));
    }
    window.setFont(font);
  };
  const double smallest = inPoints ? 5.0 : 7.0;
  const double step = inPoints ? 0.5 : 1.0;
  setSize(LargestFittingSize(sizeOf(desktop), smallest, step, [&](double size) {
    setSize(size);
    return CaptionsFit(form, built);
  }));
}

// Option buttons form one group per container, and the group is one stop for
// the tab key: the button that is on.
void TakeTabStopWhenOn(QAbstractButton& option, bool on) {
  option.setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

// Within a group all four arrow keys choose: Left and Up the previous button,
// Right and Down the next, going round at either end, as option buttons do on
// the desktop. Qt alone moves only towards a button that lies in the arrow's
// direction, so Left and Right did nothing in a column of buttons.
class OptionArrowKeys final : public QObject {
 public:
  explicit OptionArrowKeys(QButtonGroup& group) : QObject(&group), group_(group) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const auto& press = static_cast<const QKeyEvent&>(*event);
    if ((press.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
    int step = 0;
    switch (press.key()) {
      case Qt::Key_Left:
      case Qt::Key_Up: step = -1; break;
      case Qt::Key_Right:
      case Qt::Key_Down: step = 1; break;
      default: return false;
    }
    const QList<QAbstractButton*> buttons = group_.buttons();
    const auto count = buttons.size();
    const auto at = buttons.indexOf(static_cast<QAbstractButton*>(watched));
    if (at < 0 || count < 2) return false;
    QAbstractButton* next = buttons[((at + step) % count + count) % count];
    next->setFocus(Qt::TabFocusReason);
    next->click();
    return true;
  }

 private:
  QButtonGroup& group_;
};

void JoinOptionGroup(QRadioButton& option, QWidget& container) {
  auto* group = container.findChild<QButtonGroup*>(QString(), Qt::FindDirectChildrenOnly);
  if (group == nullptr) {
    group = new QButtonGroup(&container);
    group->setExclusive(true);
    QObject::connect(group, &QButtonGroup::buttonToggled, group,
                     [](QAbstractButton* button, bool on) { TakeTabStopWhenOn(*button, on); });
  }
  group->addButton(&option);
  auto* arrows = group->findChild<OptionArrowKeys*>(QString(), Qt::FindDirectChildrenOnly);
  option.installEventFilter(arrows != nullptr ? arrows : new OptionArrowKeys(*group));
  TakeTabStopWhenOn(option, option.isChecked());
}

void SetFocusOrder(const FormDescription& form, const BuiltControls& built) {
  std::vector<QWidget*> stops;
  for (const ControlDescription* control : ControlsInTabOrder(form)) {
    if (TakesFocus(control->kind)) stops.push_back(built.find(control->name)->second);
  }
  for (std::size_t i = 1; i < stops.size(); ++i) QWidget::setTabOrder(stops[i - 1], stops[i]);
  if (!stops.empty()) stops.front()->setFocus(Qt::OtherFocusReason);
}

}  // namespace

BuiltControls BuildForm(const FormDescription& form, QWidget& window) {
  window.setWindowTitle(ToQString(form.caption));
  window.resize(form.ClientWidthPixels(), form.ClientHeightPixels());

  BuiltControls built;
  for (const ControlDescription& control : form.controls) {
    // The description lists every frame before its children.
    QWidget* parent = control.parent.empty() ? &window : built.find(control.parent)->second;
    QWidget* widget = MakeWidget(control, parent);
    widget->setObjectName(ToQString(control.name));
    widget->setGeometry(ToQRect(control.Pixels()));
    if (auto* option = qobject_cast<QRadioButton*>(widget)) JoinOptionGroup(*option, *parent);
    built.emplace(std::string(control.name), widget);
  }
  FitCaptionsByFontSize(window, form, built);
  SetFocusOrder(form, built);
  return built;
}

}  // namespace tobrisk
