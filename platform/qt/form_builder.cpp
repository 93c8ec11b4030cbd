#include "platform/qt/form_builder.h"

#include <algorithm>
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
bool CaptionsFit(const BuiltControls& built) {
  return std::all_of(built.begin(), built.end(), [](const auto& entry) {
    const QWidget& widget = *entry.second;
    return CaptionWidth(widget) <= widget.width() && widget.fontMetrics().height() <= widget.height();
  });
}

// The table was laid out for a small 8-point font; the desktop's default (DejaVu
// Sans at 9 or 10 points on a plain Debian desktop) cuts "Imaginary" and
// "Mandelbrot". Rather than move or widen anything, the whole form takes the
// desktop's font at the largest size, in half points, at which every caption fits.
void FitCaptionsByFontSize(QWidget& window, const BuiltControls& built) {
  constexpr qreal kSmallestPoints = 5.0;
  constexpr int kSmallestPixels = 7;
  QFont font = window.font();
  const bool inPoints = font.pointSizeF() > 0;
  while (!CaptionsFit(built)) {
    if (inPoints ? font.pointSizeF() - 0.5 < kSmallestPoints : font.pixelSize() - 1 < kSmallestPixels) return;
    if (inPoints) {
      font.setPointSizeF(font.pointSizeF() - 0.5);
    } else {
      font.setPixelSize(font.pixelSize() - 1);
    }
    window.setFont(font);
  }
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
  std::vector<const ControlDescription*> stops;
  for (const ControlDescription& control : form.controls) {
    if (TakesFocus(control.kind)) stops.push_back(&control);
  }
  std::sort(stops.begin(), stops.end(), [](auto* a, auto* b) { return a->tabIndex < b->tabIndex; });
  for (std::size_t i = 1; i < stops.size(); ++i) {
    QWidget::setTabOrder(built.find(stops[i - 1]->name)->second, built.find(stops[i]->name)->second);
  }
  if (!stops.empty()) built.find(stops.front()->name)->second->setFocus(Qt::OtherFocusReason);
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
  FitCaptionsByFontSize(window, built);
  SetFocusOrder(form, built);
  return built;
}

}  // namespace tobrisk
