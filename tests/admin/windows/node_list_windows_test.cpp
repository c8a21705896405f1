// The test-call and event-log notification settings windows: their node
// lists filled from a real gateway data source and the exclusion tables,
// the move commands, saving, placing and cancelling test calls, and the
// three threshold boxes.
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "admin/models/node_lists.h"
#include "admin/widgets/window_geometry.h"
#include "admin/windows/frm_event_viewer.h"
#include "admin/windows/frm_test_calls.h"
#include "processing/runtime/application_parameters.h"
#include "tests/admin/console_fixture.h"
#include "tests/support/gateway_dsn.h"

namespace travik {
namespace {

using Texts = std::vector<std::string>;

class NodeListWindowTest : public test::ConsoleFixture {
 protected:
  NodeListWindowTest() : gateway(test.folder() / "odbc") {
    connect();
    test.openLog();
    program().gatewayDataSource = gateway.name();
  }

  void addNodes(const Texts& serials) {
    auto insert = gateway.db().prepare("insert into octelnode (serialno) values (?1)");
    for (const auto& serial : serials) insert.bind(1, serial).run();
  }
  void storeExclusions(const char* table, const Texts& serials) {
    auto insert = program().db.prepare(std::string("insert into ") + table + " (serialno) values (?1)");
    for (const auto& serial : serials) insert.bind(1, serial).run();
  }
  Texts exclusionRows(const char* table) { return test.rows(std::string("select serialno from ") + table); }
  Texts pendingTestCalls() { return rowsOf(gateway.db(), "select serialno from directory order by serialno"); }
  static Texts rowsOf(db::Connection& db, const char* sql) {
    Texts rows;
    auto query = db.prepare(sql);
    while (query.step()) rows.push_back(query.getText(0));
    return rows;
  }
  // A double-click as the window system delivers it: press, release, double-click, release.
  static void doubleClick(QTreeWidget* list, QPoint at) {
    QWidget* viewport = list->viewport();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease, QEvent::MouseButtonDblClick,
                              QEvent::MouseButtonRelease}) {
      const bool down = type != QEvent::MouseButtonRelease;
      QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton, down ? Qt::LeftButton : Qt::NoButton,
                        Qt::NoModifier);
      QCoreApplication::sendEvent(viewport, &event);
    }
  }
  static void select(QTreeWidget* list, std::initializer_list<int> rows) {
    for (int row : rows) {
      QTreeWidgetItem* item = list->topLevelItem(row);
      ASSERT_NE(item, nullptr) << "no row " << row;
      item->setSelected(true);
    }
  }

  FrmTestCalls& openTestCalls() {
    frmMain().mnuOptionsTestCalls->trigger();
    return console->frmTestCalls();
  }
  FrmEventViewer& openEventViewer() {
    frmMain().mnuOptionsEventViewer->trigger();
    return console->frmEventViewer();
  }

  test::GatewayDsn gateway;
};

TEST_F(NodeListWindowTest, TestCallListsFollowTheGatewayAndTheStoredExclusions) {
  addNodes({"100", "ABC", "200", "300", "200"});
  // Matching is exact; a row for a node the gateway does not know shows nowhere.
  storeExclusions("excludeFromTestCalls", {"200", "999", "abc", "100"});
  FrmTestCalls& w = openTestCalls();
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(w.windowTitle().toStdString(), "Test Calls");
  EXPECT_EQ(w.lstInclude->headerItem()->text(0).toStdString(), "Include Node Serial Numbers");
  EXPECT_EQ(w.lstExclude->headerItem()->text(0).toStdString(), "Exclude Node Serial Numbers");
  EXPECT_EQ(w.lblTC->text().toStdString(),
            "Octel Nodes for the serial numbers listed below are configured on the Varnel server.  Those displayed "
            "in the left panel will be included in the generation of test calls when executed.");
  EXPECT_EQ(nodesOf(*w.lstInclude), (Texts{"ABC", "300"}));
  // The node listed twice moves twice on its one row.
  EXPECT_EQ(nodesOf(*w.lstExclude), (Texts{"200", "200", "100"}));
  EXPECT_TRUE(boxes.empty());

  w.cmdTCSave->click();
  EXPECT_EQ(exclusionRows("excludeFromTestCalls"), (Texts{"200", "200", "100"}));
  EXPECT_EQ(sleeps, std::vector<int>{1000});
  EXPECT_TRUE(w.isVisible());
}

TEST_F(NodeListWindowTest, TheMoveCommandsKeepTheOrderAndIgnoreEmptySelections) {
  addNodes({"A", "B", "C", "D", "E"});
  FrmTestCalls& w = openTestCalls();
  // Nothing selected, or nothing to move: nothing changes.
  w.cmdExclude->click();
  w.cmdIncludeAll->click();
  w.cmdInclude->click();
  doubleClick(w.lstExclude, QPoint(5, 5));
  EXPECT_EQ(nodesOf(*w.lstInclude), (Texts{"A", "B", "C", "D", "E"}));
  EXPECT_TRUE(nodesOf(*w.lstExclude).empty());

  // Enter moves every selected item, in list order, to the end of the other list.
  select(w.lstInclude, {3, 0, 2});
  QTest::keyClick(w.lstInclude, Qt::Key_Return);
  EXPECT_EQ(nodesOf(*w.lstInclude), (Texts{"B", "E"}));
  EXPECT_EQ(nodesOf(*w.lstExclude), (Texts{"A", "C", "D"}));

  // Ctrl+A selects every item and Esc clears the selection.
  QTest::keyClick(w.lstExclude, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(w.lstExclude->selectedItems().size(), 3);
  QTest::keyClick(w.lstExclude, Qt::Key_Escape);
  EXPECT_TRUE(w.lstExclude->selectedItems().empty());

  // A double-click moves the item under the pointer.
  QTreeWidgetItem* c = w.lstExclude->topLevelItem(1);
  doubleClick(w.lstExclude, w.lstExclude->visualItemRect(c).center());
  EXPECT_EQ(nodesOf(*w.lstInclude), (Texts{"B", "E", "C"}));
  EXPECT_EQ(nodesOf(*w.lstExclude), (Texts{"A", "D"}));

  select(w.lstInclude, {1});
  w.cmdExclude->click();
  EXPECT_EQ(nodesOf(*w.lstExclude), (Texts{"A", "D", "E"}));
  w.cmdExcludeAll->click();
  EXPECT_TRUE(nodesOf(*w.lstInclude).empty());
  EXPECT_EQ(nodesOf(*w.lstExclude), (Texts{"A", "D", "E", "B", "C"}));
  w.cmdIncludeAll->click();
  EXPECT_EQ(nodesOf(*w.lstInclude), (Texts{"A", "D", "E", "B", "C"}));
}

TEST_F(NodeListWindowTest, CloseDiscardsMovesAndSaveAndExitStoresThem) {
  addNodes({"A", "B"});
  storeExclusions("excludeFromTestCalls", {"B"});
  FrmTestCalls& w = openTestCalls();
  w.cmdIncludeAll->click();
  w.cmdCancel->click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(exclusionRows("excludeFromTestCalls"), Texts{"B"});
  openTestCalls();
  EXPECT_EQ(nodesOf(*w.lstExclude), Texts{"B"});

  // Saving an empty right list empties the table.
  w.cmdIncludeAll->click();
  w.cmdExit->click();
  EXPECT_FALSE(w.isVisible());
  EXPECT_TRUE(exclusionRows("excludeFromTestCalls").empty());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(NodeListWindowTest, PlacingTestCallsStoresTheListsFirst) {
  addNodes({"100", "200", "300"});
  FrmTestCalls& w = openTestCalls();
  select(w.lstInclude, {1});
  w.cmdExclude->click();
  w.cmdInitiateTestCalls->click();
  EXPECT_EQ(exclusionRows("excludeFromTestCalls"), Texts{"200"});
  EXPECT_EQ(pendingTestCalls(), (Texts{"100", "300"}));
  EXPECT_EQ(boxTexts(), Texts{"Test calls scheduled successfully."});

  // Cancel on the question changes nothing; OK removes the pending calls.
  boxes.clear();
  answers = {MessageResult::Cancel};
  w.cmdCancelPendingTestCalls->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text,
            "This will cancel all pending test calls.\r\n\r\nClick 'OK' to confirm this action, or 'Cancel' to "
            "abort.");
  EXPECT_EQ(boxes[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
  EXPECT_EQ(pendingTestCalls(), (Texts{"100", "300"}));
  w.cmdCancelPendingTestCalls->click();
  EXPECT_TRUE(pendingTestCalls().empty());
  EXPECT_EQ(boxes.back().text, "Pending test calls have been canceled.");
}

TEST_F(NodeListWindowTest, WithoutTheGatewayBothListsStayEmpty) {
  program().gatewayDataSource = "travik-test-no-such-dsn";
  storeExclusions("excludeFromTestCalls", {"100"});
  FrmTestCalls& w = openTestCalls();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_NE(boxes[0].text.find(") in procedure updateTCForm() of Form frmTestCalls"), std::string::npos);
  EXPECT_EQ(boxes[0].icon, MessageIcon::None);
  EXPECT_EQ(boxes[1].text, "There are no Octel Nodes configured.");
  EXPECT_EQ(boxes[1].icon, MessageIcon::Information);
  EXPECT_EQ(program().statusMessage, "There are no Octel Nodes configured.");
  EXPECT_EQ(program().handledErrorCount, 1);
  EXPECT_EQ(activityLog().find("updateTCForm"), std::string::npos);
  EXPECT_EQ(w.lstInclude->topLevelItemCount(), 0);
  EXPECT_EQ(w.lstExclude->topLevelItemCount(), 0);

  // A gateway without nodes: the message alone.
  program().gatewayDataSource = gateway.name();
  boxes.clear();
  openTestCalls();
  EXPECT_EQ(boxTexts(), Texts{"There are no Octel Nodes configured."});
  EXPECT_EQ(w.lstExclude->topLevelItemCount(), 0);
}

TEST_F(NodeListWindowTest, ASaveThatCannotWriteKeepsTheStoredListAndActsOnNothing) {
  addNodes({"A", "B"});
  storeExclusions("excludeFromTestCalls", {"A"});
  FrmTestCalls& w = openTestCalls();
  w.show();
  select(w.lstInclude, {0});
  w.cmdExclude->click();
  db::Connection service = holdDatabase();
  for (QPushButton* button : {w.cmdTCSave, w.cmdInitiateTestCalls, w.cmdExit}) button->click();
  service.exec("ROLLBACK");
  EXPECT_NE(boxes.at(0).text.find("in procedure saveTCUpdates() of Form frmTestCalls"), std::string::npos);
  EXPECT_EQ(boxes.at(2).text, "No test calls have been scheduled: the list of Octel Nodes to call could not be saved.");
  EXPECT_TRUE(pendingTestCalls().empty());
  EXPECT_TRUE(w.isVisible());
  EXPECT_EQ(exclusionRows("excludeFromTestCalls"), Texts{"A"});
  w.cmdTCSave->click();
  EXPECT_EQ(exclusionRows("excludeFromTestCalls"), (Texts{"A", "B"}));
}

TEST_F(NodeListWindowTest, TheSettingsWindowsKeepTheirMinimumSizesAndGrowTheListsInHeight) {
  addNodes({"A"});
  FrmTestCalls& calls = openTestCalls();
  const TwipScale s = twipScale(calls);
  calls.resize(100, 100);
  QCoreApplication::processEvents();
  EXPECT_GE(calls.frameGeometry().width(), s.xAtLeast(9075));
  EXPECT_GE(calls.frameGeometry().height(), s.yAtLeast(3750));
  const int listWidth = calls.lstInclude->width();
  calls.resize(calls.width(), 400);
  QCoreApplication::processEvents();
  // The window's outer height counts, frame included.
  const int callsTwips = s.twipsY(calls.frameGeometry().height());
  EXPECT_EQ(calls.frmTC->height(), s.y(callsTwips - 555));
  EXPECT_EQ(calls.lstInclude->height(), s.y(callsTwips - 555 - 1080));
  EXPECT_EQ(calls.lstExclude->height(), calls.lstInclude->height());
  EXPECT_EQ(calls.lstInclude->width(), listWidth);

  FrmEventViewer& viewer = openEventViewer();
  viewer.resize(100, 100);
  QCoreApplication::processEvents();
  EXPECT_GE(viewer.frameGeometry().width(), s.xAtLeast(9465));
  EXPECT_GE(viewer.frameGeometry().height(), s.yAtLeast(5070));
  viewer.resize(viewer.width(), 500);
  QCoreApplication::processEvents();
  const int viewerTwips = s.twipsY(viewer.frameGeometry().height());
  EXPECT_EQ(viewer.frmEV->height(), s.y(viewerTwips - 1455));
  EXPECT_EQ(viewer.lstInclude->height(), s.y(viewerTwips - 1455 - 1500));
  EXPECT_EQ(program().handledErrorCount, 0);
}

// ---- Event-log notification ----

TEST_F(NodeListWindowTest, TheEventViewerListsEndWithTheUnknownNode) {
  addNodes({"300", "100"});
  FrmEventViewer& w = openEventViewer();
  EXPECT_EQ(w.windowTitle().toStdString(), "Event Viewer Notification");
  EXPECT_EQ(nodesOf(*w.lstInclude), (Texts{"300", "100", "Unknown"}));
  EXPECT_TRUE(nodesOf(*w.lstExclude).empty());
  EXPECT_TRUE(boxes.empty());

  storeExclusions("excludefromeventviewer", {"Unknown"});
  openEventViewer();
  EXPECT_EQ(nodesOf(*w.lstInclude), (Texts{"300", "100"}));
  EXPECT_EQ(nodesOf(*w.lstExclude), Texts{"Unknown"});
  w.cmdEVSave->click();
  EXPECT_EQ(exclusionRows("excludefromeventviewer"), Texts{"Unknown"});
  // The other window's table is not touched.
  EXPECT_TRUE(exclusionRows("excludeFromTestCalls").empty());
}

TEST_F(NodeListWindowTest, WithoutGatewayNodesThereIsNoUnknownItem) {
  FrmEventViewer& w = openEventViewer();
  EXPECT_EQ(boxTexts(), Texts{"There are no Octel Nodes configured."});
  EXPECT_EQ(w.lstInclude->topLevelItemCount(), 0);
}

class ThresholdBoxTest : public NodeListWindowTest {
 protected:
  ThresholdBoxTest() : w(openEventViewer()) { boxes.clear(); }

  std::string stored(const char* property) {
    const auto rows =
        test.rows(std::string("select value from applicationparameters where property = '") + property + "'");
    return rows.empty() ? "<missing>" : rows.front();
  }
  void enter(QComboBox* box, const char* keys) {
    box->setEditText(QString());
    QTest::keyClicks(box, QString::fromLatin1(keys));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(box, &out);
  }
  bool focusIsIn(QComboBox* box) { return w.focusWidget() == box || w.focusWidget() == box->lineEdit(); }

  FrmEventViewer& w;
};

TEST_F(ThresholdBoxTest, TheBoxesShowTheSettingsAndRefuseValuesOutOfRange) {
  EXPECT_EQ(w.cmbWarningThreshold->currentText().toStdString(), "3");
  EXPECT_EQ(w.cmbErrorThreshold->currentText().toStdString(), "5");
  EXPECT_EQ(w.cmbErrorInterval->currentText().toStdString(), "24");
  EXPECT_EQ(w.cmbErrorInterval->count(), 9);

  const std::string thresholdLimits = "Invalid value.  Please enter a value between 1 and 99";
  const std::string intervalLimits = "Invalid value.  Please enter a value between 1 and 336";
  for (const char* refused : {"0", "100"}) {
    boxes.clear();
    enter(w.cmbWarningThreshold, refused);
    ASSERT_EQ(boxes.size(), 1u) << refused;
    EXPECT_EQ(boxes[0].text, thresholdLimits);
    EXPECT_EQ(boxes[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(focusIsIn(w.cmbWarningThreshold));
    boxes.clear();
    enter(w.cmbErrorThreshold, refused);
    EXPECT_EQ(boxTexts(), Texts{thresholdLimits});
  }
  for (const char* refused : {"0", "337"}) {
    boxes.clear();
    enter(w.cmbErrorInterval, refused);
    EXPECT_EQ(boxTexts(), Texts{intervalLimits});
  }
  EXPECT_EQ(stored("WARNINGTHRESHOLD"), "3");
  EXPECT_EQ(stored("ERRORTHRESHOLD"), "5");
  EXPECT_EQ(stored("ERRORINTERVALINHOURS"), "24");

  boxes.clear();
  enter(w.cmbErrorInterval, "336");
  EXPECT_EQ(stored("ERRORINTERVALINHOURS"), "336");
  // Stored as typed; the setting reads the number.
  enter(w.cmbWarningThreshold, "007");
  EXPECT_EQ(stored("WARNINGTHRESHOLD"), "007");
  EXPECT_EQ(program().settings.warningThreshold, 7);
  // The thresholds are not compared with each other.
  enter(w.cmbErrorThreshold, "2");
  EXPECT_EQ(stored("ERRORTHRESHOLD"), "2");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(ThresholdBoxTest, AThresholdThatCannotBeStoredGivesWayToTheOneInForce) {
  db::Connection service = holdDatabase();
  enter(w.cmbWarningThreshold, "7");
  EXPECT_EQ(w.cmbWarningThreshold->currentText().toStdString(), "3");
}

TEST_F(ThresholdBoxTest, AnEmptiedBoxIsStoredAgainAndAnEighthCharacterCannotBeTyped) {
  w.cmbErrorInterval->setEditText(QString());
  QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(w.cmbErrorInterval, &out);
  EXPECT_EQ(w.cmbErrorInterval->currentText().toStdString(), "24");
  EXPECT_EQ(stored("ERRORINTERVALINHOURS"), "24");

  w.cmbWarningThreshold->setEditText(QString());
  QTest::keyClicks(w.cmbWarningThreshold, QStringLiteral("12345678"));
  EXPECT_EQ(w.cmbWarningThreshold->currentText().toStdString(), "1234567");
  QTest::keyClick(w.cmbWarningThreshold, Qt::Key_X);
  EXPECT_EQ(boxTexts(), Texts{"Enter numeric values only."});

  // Pasted text is refused like a number out of range.
  boxes.clear();
  w.cmbErrorThreshold->setEditText(QStringLiteral("5x"));
  QCoreApplication::sendEvent(w.cmbErrorThreshold, &out);
  EXPECT_EQ(boxTexts(), Texts{"Invalid value.  Please enter a value between 1 and 99"});
  EXPECT_EQ(stored("ERRORTHRESHOLD"), "5");
}

TEST_F(ThresholdBoxTest, SavingTheListLeavesTheThresholdsAndTheBoxesKeepTheirTexts) {
  w.cmbWarningThreshold->setEditText(QStringLiteral("8"));
  w.cmdEVSave->click();
  EXPECT_EQ(stored("WARNINGTHRESHOLD"), "3");
  // The boxes are set when the window is created, not at each opening.
  setApplicationParameter(program(), parameter::kErrorThreshold, "9");
  w.cmdCancel->click();
  openEventViewer();
  EXPECT_EQ(w.cmbErrorThreshold->currentText().toStdString(), "5");
  EXPECT_EQ(w.cmbWarningThreshold->currentText().toStdString(), "8");
}

TEST_F(ThresholdBoxTest, DeleteAndBackspaceEditAFullBoxWithoutTheNumericMessage) {
  QComboBox* box = w.cmbWarningThreshold;
  box->setEditText(QString());
  QTest::keyClicks(box, QStringLiteral("1234567"));
  QTest::keyClick(box, Qt::Key_Backspace);
  EXPECT_EQ(box->currentText().toStdString(), "123456");
  QTest::keyClick(box, Qt::Key_Home);
  QTest::keyClick(box, Qt::Key_Delete);
  EXPECT_EQ(box->currentText().toStdString(), "23456");
  EXPECT_TRUE(boxes.empty());
}

}  // namespace
}  // namespace travik
