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

  QLabel* lblProgress = nullptr;

 private:
  Console& console_;
};

}  // namespace travik
