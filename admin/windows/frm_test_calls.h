// frmTestCalls: which of the gateway's Octel nodes take test calls, and
// placing or cancelling test calls at once.
//
// The left list holds the nodes that are called, the right one those that
// are excluded; saving rewrites excludeFromTestCalls from the right list.
// Each opening from the menu refills both lists, so unsaved moves are gone.
#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace travik {

class Console;
class NodeListPair;

class FrmTestCalls : public QWidget {
  Q_OBJECT

 public:
  explicit FrmTestCalls(Console& console);

  // Fills the two node lists from the gateway and excludeFromTestCalls.
  void updateTCForm();

  void formLoad();
  void formResize();
  void cmdTCSave_Click();
  void cmdExit_Click();
  void cmdCancel_Click();
  void cmdInitiateTestCalls_Click();
  void cmdCancelPendingTestCalls_Click();

  // ---- Controls ----
  QGroupBox* frmTC = nullptr;
  QLabel* lblTC = nullptr;
  QTreeWidget* lstInclude = nullptr;
  QPushButton* cmdExclude = nullptr;
  QPushButton* cmdExcludeAll = nullptr;
  QPushButton* cmdInclude = nullptr;
  QPushButton* cmdIncludeAll = nullptr;
  QTreeWidget* lstExclude = nullptr;
  QGroupBox* frmTCAction = nullptr;
  QPushButton* cmdInitiateTestCalls = nullptr;
  QPushButton* cmdCancelPendingTestCalls = nullptr;
  QPushButton* cmdTCSave = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdExit = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Rewrites excludeFromTestCalls from lstExclude.
  // False when the list could not be stored (the error has been shown).
  bool saveTCUpdates();
  // After hiding: the focus goes back to the main window.
  void returnToMainWindow();

  Console& console_;
  NodeListPair* lists_ = nullptr;
};

}  // namespace travik
