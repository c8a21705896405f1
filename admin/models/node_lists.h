// The include and exclude lists of Octel nodes shared by the test-call and
// the event-log notification settings windows.
//
// The left list holds the nodes the window's work takes in, the right list
// those it leaves out; one exclusion table of vrndata.mdb keeps the right
// list.  Items are serial numbers and always go to the end of a list, so
// moved items keep their relative order.  Matching against the table is
// exact: letter case counts.
#pragma once

#include <QObject>
#include <string>
#include <string_view>
#include <vector>

class QPushButton;
class QTreeWidget;
class QWidget;

namespace travik {

class Program;

// A list in report style with one headed column; several items can be selected.
QTreeWidget* createNodeList(QWidget* parent, const char* name, const char* heading);

// The texts of a list's items, first to last.
std::vector<std::string> nodesOf(const QTreeWidget& list);
void appendNode(QTreeWidget& list, const std::string& serialNumber);

// The move commands; the source is the list the command belongs to.
void moveSelectedNodes(QTreeWidget& source, QTreeWidget& target);
void moveAllNodes(QTreeWidget& source, QTreeWidget& target);
// A double-click: the list's selected current item, if any.
void moveCurrentNode(QTreeWidget& source, QTreeWidget& target);

// The exclusion tables a window may rewrite.
enum class ExclusionTable { TestCalls, EventViewer };

// Fills both lists anew: the gateway's nodes (octelnode.serialno, in the
// order returned) into include, then extraNode when given, then every item
// that equals a stored exclusion row moves to the end of exclude, row by
// row; rows that match no item are passed over.  Without nodes (none
// configured, or the gateway unreachable) both lists stay empty and the
// operator is told "There are no Octel Nodes configured.".  Failures are
// reported with the window's procedure name: message box and count, no log
// line.
void fillNodeLists(Program& program, std::string_view procedure, ExclusionTable table, QTreeWidget& include,
                   QTreeWidget& exclude, const char* extraNode = nullptr);
// Rewrites the table from the serial numbers given, in their order.  Readers
// in the other program see the old list or the new one, never a part.  False
// when it could not be stored: the table keeps its old list.
bool rewriteExclusionTable(Program& program, std::string_view procedure, ExclusionTable table,
                           const std::vector<std::string>& serialNumbers);

// Key presses and double-clicks of one window's pair of lists: Enter acts as
// the list's move button, Ctrl+A selects every item, Esc clears the
// selection (the list still receives those keys); a double-click moves the
// current item to the other list.
class NodeListPair : public QObject {
  Q_OBJECT

 public:
  NodeListPair(QTreeWidget* include, QTreeWidget* exclude, QPushButton* excludeButton, QPushButton* includeButton,
               QPushButton* excludeAllButton, QPushButton* includeAllButton, QObject* parent);

  QTreeWidget* include;
  QTreeWidget* exclude;

  // Handlers of a typed character code in one list.
  void keyPress(QTreeWidget& list, int keyAscii);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTreeWidget& other(const QTreeWidget& list) const { return &list == include ? *exclude : *include; }

  // The lists' viewports, which receive their mouse events.
  QObject* includeViewport_ = nullptr;
  QObject* excludeViewport_ = nullptr;
};

}  // namespace travik
