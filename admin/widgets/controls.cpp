#include "admin/widgets/controls.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

namespace travik {

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption) {
  return named(new QLabel(QString::fromUtf8(caption), parent), name);
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption) {
  return named(new QPushButton(QString::fromUtf8(caption), parent), name);
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const char* caption) {
  return named(new QGroupBox(QString::fromUtf8(caption), parent), name);
}

QComboBox* makeComboBox(QWidget* parent, const char* name, const QStringList& presets) {
  auto* box = named(new QComboBox(parent), name);
  box->setEditable(true);
  // Inline completion would turn a typed 18 into the preset 180 on Tab: the
  // presets serve only from the list or the arrow keys.
  box->setCompleter(nullptr);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems(presets);
  box->setCurrentIndex(-1);
  return box;
}

QTimer* makeTimer(QObject* parent, const char* name, int intervalMs) {
  auto* timer = named(new QTimer(parent), name);
  timer->setInterval(intervalMs);
  return timer;
}

void closeOnEscape(QPushButton& closeButton) {
  closeOnEscape(*closeButton.window(), [button = &closeButton] {
    button->setFocus(Qt::ShortcutFocusReason);
    button->click();
  });
}

void closeOnEscape(QWidget& window, std::function<void()> close) {
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
  QObject::connect(escape, &QShortcut::activated, &window, std::move(close));
}

}  // namespace travik
