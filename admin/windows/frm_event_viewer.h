// frmEventViewer: how a processing run reports troubled Octel nodes in the
// event log: the warning and error thresholds, the error interval, and the
// nodes that get no such entries.
//
// The three settings are stored as soon as the operator leaves their boxes;
// the lists work as those of frmTestCalls, with the pseudo-node "Unknown"
// (calls whose node never told its serial number) after the gateway's nodes,
// and saving rewrites excludefromeventviewer from the right list.
#pragma once

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace travik {

class Console;
class NodeListPair;

// The item that stands for calls of an unidentified node.
inline constexpr const char* kUnknownNode = "Unknown";

class FrmEventViewer : public QWidget {
  Q_OBJECT

 public:
  explicit FrmEventViewer(Console& console);

  // Fills the two node lists from the gateway and excludefromeventviewer.
  void updateEVForm();

  void formLoad();
  void formResize();
  void cmdEVSave_Click();
  void cmdExit_Click();
  void cmdCancel_Click();
  // Key handlers take the typed character code and set it to 0 to drop the key.
  void cmbWarningThreshold_KeyPress(int& keyAscii);
  void cmbErrorThreshold_KeyPress(int& keyAscii);
  void cmbErrorInterval_KeyPress(int& keyAscii);
  void cmbWarningThreshold_LostFocus();
  void cmbErrorThreshold_LostFocus();
  void cmbErrorInterval_LostFocus();

  // ---- Controls ----
  QGroupBox* frmEventViewerThresholds = nullptr;
  QLabel* lblWarningThreshold1 = nullptr;
  QComboBox* cmbWarningThreshold = nullptr;
  QLabel* lblErrorThreshold1 = nullptr;
  QComboBox* cmbErrorThreshold = nullptr;
  QLabel* lblErrorInterval1 = nullptr;
  QComboBox* cmbErrorInterval = nullptr;
  QLabel* lblErrorInterval2 = nullptr;
  QGroupBox* frmEV = nullptr;
  QLabel* lblEV = nullptr;
  QTreeWidget* lstInclude = nullptr;
  QPushButton* cmdExclude = nullptr;
  QPushButton* cmdExcludeAll = nullptr;
  QPushButton* cmdInclude = nullptr;
  QPushButton* cmdIncludeAll = nullptr;
  QTreeWidget* lstExclude = nullptr;
  QPushButton* cmdEVSave = nullptr;
  QPushButton* cmdCancel = nullptr;
  QPushButton* cmdExit = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Rewrites excludefromeventviewer from lstExclude.
  // False when the list could not be stored (the error has been shown).
  bool saveEVUpdates();
  void showStoredThresholds();
  void returnToMainWindow();
  void thresholdKeyPress(QComboBox& box, int& keyAscii);
  void thresholdLostFocus(QComboBox& box, int parameterIndex, int currentSetting, int upperLimit);

  Console& console_;
  NodeListPair* lists_ = nullptr;
};

}  // namespace travik
