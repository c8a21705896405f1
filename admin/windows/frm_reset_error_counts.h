// frmResetErrorCounts: sets the communication error count of one Octel node,
// or of all, back to zero (error_count_reset.h says how).
#pragma once

#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace travik {

class Console;
class Program;

inline constexpr const char* kNoUnresetErrorsMessage =
    "No call records with errors currently exist in the database, or any that exist have already been reset.";
inline constexpr const char* kNodeResetMessage =
    "Communication error count reset to zero for Octel Node serial number ";
inline constexpr const char* kAllNodesResetMessage = "Communication error counts reset to zero for all Octel Nodes.";

// Designed minimum size and the list's distance to the window's bottom, in twips.
inline constexpr int kResetWindowMinimumWidthTwips = 3495;
inline constexpr int kResetWindowMinimumHeightTwips = 5040;
inline constexpr int kResetListHeightMarginTwips = 2835;

class FrmResetErrorCounts : public QWidget {
  Q_OBJECT

 public:
  explicit FrmResetErrorCounts(Console& console);

  // Empties the node list lstReset.
  void clearList();
  // Fills lstReset with the nodes that have error calls not yet reset; says
  // so when there are none.
  void getLatest();
  // Reset, a double-click or Enter on an entry: the selected node's count to zero.
  void resetCountForNode();
  // Reset All: every node's count to zero.
  void resetCountForAllNodes();
  void cmdReset_Click();
  void cmdResetAll_Click();
  void cmdClose_Click();
  void lstReset_DblClick();
  void lstReset_KeyPress(int keyAscii);
  void formResize();

  QLabel* lblReset = nullptr;
  QLabel* Label1 = nullptr;
  QListWidget* lstReset = nullptr;
  QPushButton* cmdReset = nullptr;
  QPushButton* cmdResetAll = nullptr;
  QPushButton* cmdClose = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Program& program() const;
  Console& console_;
};

}  // namespace travik
