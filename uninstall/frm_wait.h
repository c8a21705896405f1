// frmWait: the small window the uninstaller shows while a service command runs.
#pragma once

#include <QLabel>
#include <QWidget>

namespace travik::uninstall {

class FrmWait : public QWidget {
 public:
  explicit FrmWait(QWidget* parent = nullptr);

  // Sets the caption and the label's text and shows the window, not modal.
  // The command that follows blocks the event loop, so the window is painted
  // here, once.
  void showWaiting(const QString& caption, const QString& text);

  QLabel* lblWait() const { return lblWait_; }

 private:
  QLabel* lblWait_;
};

}  // namespace travik::uninstall
