#include "platform/qt/form_builder.h"

#include <algorithm>
#include <limits>
#include <vector>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
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

// The table's widths suit a narrow 8-point font; a caption in the desktop's
// default font may need more. A label or an option button
// then grows to the right, as far as the next control on its row or the edge of
// its parent, rather than cut its caption ("Mandelbrc"). Nothing moves, nothing
// overlaps, and every other size stays the table's.
int WidthForCaption(const FormDescription& form, const ControlDescription& control, const QWidget& widget) {
  const Rect own = control.Pixels();
  if (control.kind != ControlKind::Label && control.kind != ControlKind::OptionButton) return own.width;
  int room = widget.parentWidget()->width() - own.left;
  for (const ControlDescription& other : form.controls) {
    const Rect r = other.Pixels();
    const bool sameRow = r.top < own.top + own.height && own.top < r.top + r.height;
    if (other.parent == control.parent && sameRow && r.left > own.left) room = std::min(room, r.left - own.left);
  }
  return std::max(own.width, std::min(widget.sizeHint().width(), room));
}

// Option buttons form one group per container, and the group is one stop for
// the tab key: the button that is on.
// The arrow keys move within the group.
void TakeTabStopWhenOn(QAbstractButton& option, bool on) {
  option.setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void JoinOptionGroup(QRadioButton& option, QWidget& container) {
  auto* group = container.findChild<QButtonGroup*>(QString(), Qt::FindDirectChildrenOnly);
  if (group == nullptr) {
    group = new QButtonGroup(&container);
    group->setExclusive(true);
    QObject::connect(group, &QButtonGroup::buttonToggled, group,
                     [](QAbstractButton* button, bool on) { TakeTabStopWhenOn(*button, on); });
  }
  group->addButton(&option);
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
  // Every size is set before any room is measured, the frames' included.
  for (const ControlDescription& control : form.controls) {
    QWidget& widget = *built.find(control.name)->second;
    widget.resize(WidthForCaption(form, control, widget), widget.height());
  }
  SetFocusOrder(form, built);
  return built;
}

}  // namespace tobrisk
