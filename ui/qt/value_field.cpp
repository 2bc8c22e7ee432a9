// SPDX-License-Identifier: MIT
#include "ui/qt/value_field.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace zmr::ui {
namespace {

// The field's interface to assistive technology: its accessible name and description, and its
// text as a read-only text (value and text interface), so the value is read after the name.
class ValueFieldAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ValueFieldAccessible(ValueField* field)
      : QAccessibleWidget(field, QAccessible::EditableText) {}

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = true;
    return state;
  }

  QString text(QAccessible::Text type) const override {
    if (type == QAccessible::Value) return Text();
    return QAccessibleWidget::text(type);
  }

  // QAccessibleTextInterface: the whole text, no selection, the caret at its start.
  void selection(int, int* start, int* end) const override { *start = *end = 0; }
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override { return Text().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Text().size()); }
  QRect characterRect(int) const override { return {}; }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int, int) override {}
  QString attributes(int, int* start, int* end) const override {
    *start = 0;
    *end = characterCount();
    return {};
  }

 private:
  QString Text() const { return static_cast<const QLabel*>(widget())->text(); }
};

QAccessibleInterface* ValueFieldFactory(const QString& className, QObject* object) {
  if (className == QLatin1String(ValueField::staticMetaObject.className()) && object &&
      object->isWidgetType())
    return new ValueFieldAccessible(static_cast<ValueField*>(object));
  return nullptr;
}

}  // namespace

ValueField::ValueField(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  setIndent(1);
  // Reachable with Tab (not by a click), so a screen reader can be walked through the values.
  setFocusPolicy(Qt::TabFocus);
}

void ValueField::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!hasFocus()) return;
  QPainter painter(this);
  QStyleOptionFocusRect option;
  option.initFrom(this);
  option.rect = contentsRect();
  style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void InstallValueFieldAccessibility() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  QAccessible::installFactory(ValueFieldFactory);
}

}  // namespace zmr::ui
