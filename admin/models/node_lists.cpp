#include "admin/models/node_lists.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <memory>
#include <optional>

#include "admin/widgets/key_codes.h"
#include "processing/gateway/gateway_database.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr ErrorHandler kWindowHandler = ErrorHandler::BoxAndCount;
constexpr const char* kNoNodes = "There are no Octel Nodes configured.";

// The statements on one exclusion table.  Names come from this fixed set
// only; values are always bound.
struct ExclusionStatements {
  const char* select;
  const char* deleteAll;
  const char* insert;
};

const ExclusionStatements& statementsOf(ExclusionTable table) {
  static constexpr ExclusionStatements kTestCalls = {"select serialno from excludeFromTestCalls",
                                                     "delete from excludeFromTestCalls",
                                                     "insert into excludeFromTestCalls (serialno) values (?1)"};
  static constexpr ExclusionStatements kEventViewer = {"select serialno from excludefromeventviewer",
                                                       "delete from excludefromeventviewer",
                                                       "insert into excludefromeventviewer (serialno) values (?1)"};
  return table == ExclusionTable::TestCalls ? kTestCalls : kEventViewer;
}

// Moves an item taken from its list to the end of target, unselected.
void moveTaken(QTreeWidgetItem* item, QTreeWidget& target) {
  item->setSelected(false);
  target.addTopLevelItem(item);
}

// Moves every item of source that matches to the end of target, in order.
template <class Match>
void moveMatching(QTreeWidget& source, QTreeWidget& target, Match matches) {
  for (int p = 0; p < source.topLevelItemCount();) {
    if (matches(*source.topLevelItem(p)))
      moveTaken(source.takeTopLevelItem(p), target);
    else
      ++p;
  }
}

std::vector<std::string> readGatewayNodes(Program& program, std::string_view procedure) {
  std::vector<std::string> nodes;
  std::unique_ptr<odbc::Connection> gateway;
  if (!guard(
          program, procedure, [&] { gateway = openGatewayConnection(program); }, kWindowHandler))
    return nodes;
  std::optional<odbc::Statement> rows;
  if (guard(
          program, procedure, [&] { rows.emplace(gateway->execute("select serialno from octelnode")); },
          kWindowHandler)) {
    for (;;) {
      bool more = false;
      if (!guard(
              program, procedure, [&] { more = rows->fetch(); }, kWindowHandler) ||
          !more)
        break;
      // A node without a serial number cannot be listed; the others still are.
      guard(
          program, procedure,
          [&] {
            std::optional<std::string> serial = rows->getText(0);
            if (!serial) throw HandledError(94, "Invalid use of Null");
            nodes.push_back(std::move(*serial));
          },
          kWindowHandler);
    }
  }
  rows.reset();
  gateway->close();
  return nodes;
}

}  // namespace

QTreeWidget* createNodeList(QWidget* parent, const char* name, const char* heading) {
  auto* list = new QTreeWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setColumnCount(1);
  list->setHeaderLabels({QString::fromUtf8(heading)});
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setSortingEnabled(false);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return list;
}

std::vector<std::string> nodesOf(const QTreeWidget& list) {
  std::vector<std::string> nodes;
  nodes.reserve(static_cast<std::size_t>(list.topLevelItemCount()));
  for (int i = 0; i < list.topLevelItemCount(); ++i) nodes.push_back(list.topLevelItem(i)->text(0).toStdString());
  return nodes;
}

void appendNode(QTreeWidget& list, const std::string& serialNumber) {
  list.addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromStdString(serialNumber)}));
}

void moveSelectedNodes(QTreeWidget& source, QTreeWidget& target) {
  moveMatching(source, target, [](const QTreeWidgetItem& item) { return item.isSelected(); });
}

void moveAllNodes(QTreeWidget& source, QTreeWidget& target) {
  while (source.topLevelItemCount() > 0) moveTaken(source.takeTopLevelItem(0), target);
}

void moveCurrentNode(QTreeWidget& source, QTreeWidget& target) {
  QTreeWidgetItem* current = source.currentItem();
  if (!current || !current->isSelected()) return;
  moveTaken(source.takeTopLevelItem(source.indexOfTopLevelItem(current)), target);
}

void fillNodeLists(Program& program, std::string_view procedure, ExclusionTable table, QTreeWidget& include,
                   QTreeWidget& exclude, const char* extraNode) {
  include.clear();
  exclude.clear();
  const std::vector<std::string> nodes = readGatewayNodes(program, procedure);
  if (nodes.empty()) {
    program.statusMessage = kNoNodes;
    program.host.messageBox(program.statusMessage, kApplicationTitle, MessageButtons::Ok, MessageIcon::Information);
    return;
  }
  for (const std::string& node : nodes) appendNode(include, node);
  if (extraNode) appendNode(include, extraNode);

  std::vector<std::string> excluded;
  guard(
      program, procedure,
      [&] {
        db::Statement rows = program.db.prepare(statementsOf(table).select);
        while (rows.step())
          if (!rows.isNull(0)) excluded.push_back(rows.getText(0));
      },
      kWindowHandler);
  for (const std::string& serial : excluded)
    moveMatching(include, exclude, [&](const QTreeWidgetItem& item) { return item.text(0).toStdString() == serial; });
}

bool rewriteExclusionTable(Program& program, std::string_view procedure, ExclusionTable table,
                           const std::vector<std::string>& serialNumbers) {
  program.host.sleep(1000);
  return guard(
      program, procedure,
      [&] {
        db::Transaction transaction(program.db);
        program.db.exec(statementsOf(table).deleteAll);
        db::Statement insert = program.db.prepare(statementsOf(table).insert);
        for (const std::string& serial : serialNumbers) insert.bind(1, serial).run();
        insert = db::Statement();
        transaction.commit();
      },
      kWindowHandler);
}

NodeListPair::NodeListPair(QTreeWidget* include, QTreeWidget* exclude, QPushButton* excludeButton,
                           QPushButton* includeButton, QPushButton* excludeAllButton, QPushButton* includeAllButton,
                           QObject* parent)
    : QObject(parent), include(include), exclude(exclude) {
  connect(excludeButton, &QPushButton::clicked, this, [this] { moveSelectedNodes(*this->include, *this->exclude); });
  connect(includeButton, &QPushButton::clicked, this, [this] { moveSelectedNodes(*this->exclude, *this->include); });
  connect(excludeAllButton, &QPushButton::clicked, this, [this] { moveAllNodes(*this->include, *this->exclude); });
  connect(includeAllButton, &QPushButton::clicked, this, [this] { moveAllNodes(*this->exclude, *this->include); });
  includeViewport_ = include->viewport();
  excludeViewport_ = exclude->viewport();
  for (QObject* watched :
       {static_cast<QObject*>(include), static_cast<QObject*>(exclude), includeViewport_, excludeViewport_})
    watched->installEventFilter(this);
}

void NodeListPair::keyPress(QTreeWidget& list, int keyAscii) {
  switch (keyAscii) {
    case 13: moveSelectedNodes(list, other(list)); break;
    case 1: list.selectAll(); break;
    case 27: list.clearSelection(); break;
    default: break;
  }
}

bool NodeListPair::eventFilter(QObject* watched, QEvent* event) {
  // Only pointers are compared until the event is known to matter: events of
  // a list that is being destroyed come through here too.
  if (event->type() == QEvent::KeyPress) {
    QTreeWidget* list = watched == include ? include : watched == exclude ? exclude : nullptr;
    if (list) {
      const int keyAscii = keyAsciiOf(*static_cast<QKeyEvent*>(event));
      if (keyAscii > 0) keyPress(*list, keyAscii);
    }
  } else if (event->type() == QEvent::MouseButtonDblClick) {
    QTreeWidget* list = watched == includeViewport_ ? include : watched == excludeViewport_ ? exclude : nullptr;
    if (list) {
      moveCurrentNode(*list, other(*list));
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace travik
