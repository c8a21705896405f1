// Finds what a window cuts off: texts wider (or taller) than their controls,
// measured with each control's own font and its style's margins, buttons
// that a later sibling covers, and controls that stick out of their
// container; and sees what a label painted.  Header-only: the two windowed
// test programs include it; the support library itself has no Qt.
#pragma once

#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>
#include <QTreeWidget>
#include <QWidget>
#include <string>
#include <vector>

namespace travik::test {

// A caption as drawn when "&" marks an access key.
inline QString withoutAccessKey(const QString& caption) {
  QString text;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
    text += caption[i];
  }
  return text;
}

// One line per fault: "<window>/<control> \"<text>\": needs N, has M".
inline std::vector<std::string> clippedTexts(const QWidget& window) {
  std::vector<std::string> faults;
  auto fault = [&](const QWidget& control, const QString& text, const char* what, int needs, int has) {
    faults.push_back((window.objectName() + "/" + control.objectName() + " \"" + text + "\": " + what + " needs " +
                      QString::number(needs) + ", has " + QString::number(has))
                         .toStdString());
  };
  for (const QWidget* control : window.findChildren<QWidget*>()) {
    // Controls of the window's own dialogs are theirs to answer for.
    if (control->window() != &window || !control->isVisibleTo(&window)) continue;
    const QFontMetrics metrics(control->font());
    const QStyle* style = control->style();

    if (const auto* label = qobject_cast<const QLabel*>(control)) {
      if (label->text().isEmpty()) continue;
      if (label->wordWrap()) {
        const int needs = label->heightForWidth(label->width());
        if (needs > label->height()) fault(*label, label->text(), "height", needs, label->height());
        continue;
      }
      // Without a buddy a label shows "&" as it is.
      const QString shown = label->buddy() ? withoutAccessKey(label->text()) : label->text();
      const int indent = label->indent() >= 0      ? label->indent()
                         : label->frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2
                                                   : 0;
      const int room = label->contentsRect().width() - 2 * label->margin() - indent;
      if (metrics.horizontalAdvance(shown) > room)
        fault(*label, shown, "width", metrics.horizontalAdvance(shown), room);
      if (metrics.height() > label->contentsRect().height())
        fault(*label, shown, "height", metrics.height(), label->contentsRect().height());
    } else if (const auto* box = qobject_cast<const QCheckBox*>(control)) {
      QStyleOptionButton option;
      option.initFrom(box);
      const QString shown = withoutAccessKey(box->text());
      const int needs = style->pixelMetric(QStyle::PM_IndicatorWidth, &option, box) +
                        style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, box) +
                        metrics.horizontalAdvance(shown);
      if (needs > box->width()) fault(*box, shown, "width", needs, box->width());
    } else if (const auto* button = qobject_cast<const QPushButton*>(control)) {
      if (button->text().isEmpty()) continue;
      QStyleOptionButton option;
      option.initFrom(button);
      const QString shown = withoutAccessKey(button->text());
      const int needs = metrics.horizontalAdvance(shown) +
                        style->pixelMetric(QStyle::PM_ButtonMargin, &option, button) +
                        2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
      if (needs > button->width()) fault(*button, shown, "width", needs, button->width());
      if (metrics.height() > button->height()) fault(*button, shown, "height", metrics.height(), button->height());
      // A sibling made later is drawn over the button.
      const QObjectList& siblings = button->parentWidget()->children();
      for (qsizetype i = siblings.indexOf(button) + 1; i < siblings.size(); ++i)
        if (const auto* above = qobject_cast<const QWidget*>(siblings[i]);
            above && !above->isWindow() && above->isVisibleTo(&window) &&
            above->geometry().intersects(button->geometry()))
          faults.push_back((window.objectName() + "/" + button->objectName() + " \"" + shown + "\": covered by " +
                            above->objectName())
                               .toStdString());
    } else if (const auto* picker = qobject_cast<const QDateTimeEdit*>(control)) {
      // The edit field inside the picker, less the field's own text margins.
      const auto* field = picker->findChild<QLineEdit*>();
      if (!field) continue;
      const int room = field->contentsRect().width() - 4;
      const int needs = metrics.horizontalAdvance(picker->text());
      if (needs > room) fault(*picker, picker->text(), "width", needs, room);
    } else if (const auto* frame = qobject_cast<const QGroupBox*>(control)) {
      QStyleOptionGroupBox option;
      option.initFrom(frame);
      option.text = frame->title();
      option.textAlignment = frame->alignment();
      option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
      const QRect title = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, frame);
      if (title.right() >= frame->width()) fault(*frame, frame->title(), "width", title.right() + 1, frame->width());
    } else if (const auto* list = qobject_cast<const QTreeWidget*>(control)) {
      const QHeaderView* header = list->header();
      for (int section = 0; section < header->count(); ++section) {
        const QString text = list->headerItem()->text(section);
        const int room =
            header->sectionSize(section) - 2 * style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        if (metrics.horizontalAdvance(text) > room) fault(*list, text, "width", metrics.horizontalAdvance(text), room);
      }
    }

    // A control that sticks out of its container is cut off by it.
    const QWidget* parent = control->parentWidget();
    if (parent && !control->objectName().isEmpty() && !control->objectName().startsWith(QLatin1String("qt_")) &&
        !parent->rect().contains(control->geometry()))
      fault(*control, QString(), "room in its container", control->geometry().right() + 1, parent->width());
  }
  return faults;
}

// Records a label's text each time it is painted.
class PaintedTexts : public QObject {
 public:
  explicit PaintedTexts(QLabel& label) : label_(label) { label.installEventFilter(this); }
  std::vector<std::string> texts;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &label_ && event->type() == QEvent::Paint) texts.push_back(label_.text().toStdString());
    return false;
  }

 private:
  QLabel& label_;
};

// The label was painted, and with this text only.
inline auto paintedOnlyWith(const std::string& text) {
  return ::testing::AllOf(::testing::Not(::testing::IsEmpty()), ::testing::Each(text));
}

}  // namespace travik::test
