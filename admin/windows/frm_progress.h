// frmProgress: the small window that says a grid filter is under way.
#pragma once

#include <QWidget>

class QLabel;

namespace travik {

class Console;

class FrmProgress : public QWidget {
  Q_OBJECT

 public:
  explicit FrmProgress(Console& console);

  // Shows the window with the text, painted: the work that follows holds the
  // event loop until it ends.
  void showWorking(const QString& text);

  QLabel* lblProgress = nullptr;

 private:
  Console& console_;
};

}  // namespace travik
