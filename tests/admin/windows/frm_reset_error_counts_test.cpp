// The error-count reset window: which nodes it offers, what a reset marks,
// how the marks reach the totals, and its size rule.
#include "admin/windows/frm_reset_error_counts.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <algorithm>

#include "admin/widgets/window_geometry.h"
#include "processing/totals/process_summary.h"
#include "processing/totals/summary_totals.h"
#include "tests/admin/call_rows.h"
#include "tests/admin/console_fixture.h"

namespace travik {
namespace {

using test::CallRow;

class ResetTest : public test::ConsoleFixture {
 protected:
  ResetTest() {
    connect();
    test.openLog();
  }

  FrmResetErrorCounts& window() { return console->frmResetErrorCounts(); }
  // What the Options menu entry does.
  void open() { frmMain().mnuOptionsResetErrorCounts_Click(); }
  std::vector<std::string> listed() {
    std::vector<std::string> items;
    for (int i = 0; i < window().lstReset->count(); ++i)
      items.push_back(window().lstReset->item(i)->text().toStdString());
    return items;
  }
  void call(int minute, const std::string& serial, const std::string& exitCode) {
    const DateTime begin = clock.addHours(-1).addMinutes(minute);
    test::insertCall(program(), CallRow{begin, begin.addSeconds(30), 1, exitCode, serial});
  }
  // Flags by serial number, "serial=flag" in call order.
  std::vector<std::string> flags() {
    return test.rows(
        "select octelserialnumber || '=' || ignoreErrorForIntervalCalculation from calls order by timestampbegin");
  }
  void select(const std::string& serial) {
    const auto found = window().lstReset->findItems(QString::fromStdString(serial), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    window().lstReset->setCurrentItem(found.front());
  }
};

TEST_F(ResetTest, WithoutUnresetErrorCallsTheWindowSaysSoAndOpensEmpty) {
  call(0, "100", "OK");
  open();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kNoUnresetErrorsMessage);
  EXPECT_EQ(boxes[0].icon, MessageIcon::Information);
  EXPECT_EQ(program().statusMessage, kNoUnresetErrorsMessage);
  EXPECT_TRUE(window().isVisible());
  EXPECT_EQ(window().windowTitle().toStdString(), "Reset Error Counts");
  EXPECT_TRUE(listed().empty());
}

TEST_F(ResetTest, ResettingANodeMarksAllItsCallsInAnyCaseAndLeavesTheOthers) {
  call(0, "abc", "E0010.0002");
  call(1, "ABC", "OK");
  call(2, "200", "E0020.0001");
  call(3, "200", "E0020.0001");
  open();
  std::vector<std::string> nodes = listed();
  std::sort(nodes.begin(), nodes.end());
  EXPECT_EQ(nodes, (std::vector<std::string>{"200", "abc"}));

  // Nothing selected: nothing happens.
  window().lstReset->clearSelection();
  window().cmdReset->click();
  EXPECT_TRUE(boxes.empty());

  select("abc");
  window().cmdReset->click();
  EXPECT_EQ(flags(), (std::vector<std::string>{"abc=1", "ABC=1", "200=0", "200=0"}));
  EXPECT_EQ(listed(), std::vector<std::string>{"200"});
  const std::string message = "Communication error count reset to zero for Octel Node serial number abc";
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, message);
  EXPECT_EQ(boxes[0].icon, MessageIcon::None);
  EXPECT_NE(activityLog().find(message), std::string::npos);

  // A reopened window no longer offers it.
  open();
  EXPECT_EQ(listed(), std::vector<std::string>{"200"});
}

TEST_F(ResetTest, EnterAndADoubleClickOnAnEntryActAsReset) {
  call(0, "100", "E0010.0002");
  call(1, "200", "E0010.0002");
  open();
  window().show();
  select("100");
  QTest::keyClick(window().lstReset, Qt::Key_Return);
  EXPECT_EQ(listed(), std::vector<std::string>{"200"});
  select("200");
  const QRect entry = window().lstReset->visualItemRect(window().lstReset->item(0));
  // A double-click is a press and release followed by the second press.
  QTest::mouseClick(window().lstReset->viewport(), Qt::LeftButton, {}, entry.center());
  QTest::mouseDClick(window().lstReset->viewport(), Qt::LeftButton, {}, entry.center());
  EXPECT_TRUE(listed().empty());
  EXPECT_EQ(flags(), (std::vector<std::string>{"100=1", "200=1"}));
}

TEST_F(ResetTest, AfterAResetNothingIsSelectedSoASecondEnterOrResetResetsNoOtherNode) {
  call(0, "100", "E0010.0002");
  call(1, "200", "E0010.0002");
  call(2, "300", "E0010.0002");
  open();
  window().show();
  window().lstReset->setFocus();
  select("100");
  QTest::keyClick(window().lstReset, Qt::Key_Return);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(window().lstReset->selectedItems().isEmpty());
  EXPECT_EQ(window().lstReset->currentRow(), -1);
  QTest::keyClick(window().lstReset, Qt::Key_Return);
  window().cmdReset->click();
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(listed().size(), 2u);
  EXPECT_EQ(flags(), (std::vector<std::string>{"100=1", "200=0", "300=0"}));
  // Choosing again with the keyboard starts from the top of the list.
  QTest::keyClick(window().lstReset, Qt::Key_Down);
  ASSERT_EQ(window().lstReset->selectedItems().size(), 1);
  EXPECT_EQ(window().lstReset->selectedItems().front()->text().toStdString(), listed().front());
}

TEST_F(ResetTest, AResetNodeCountsNoErrorsWithinTheIntervalWhileItsAllTimeTotalsStay) {
  program().settings.errorIntervalHours = 24;
  call(0, "100", "E0010.0002");
  call(1, "100", "OK");
  call(2, "200", "E0010.0002");
  open();
  select("100");
  window().resetCountForNode();
  getOctelNodes(program());
  calculateTotalsForOctels(program());
  EXPECT_EQ(test.rows("select octelserialnumber, calls, errors, callswithininterval, errorswithininterval from "
                      "octelsummary order by octelserialnumber"),
            (std::vector<std::string>{"100|2|1|0|0", "200|1|1|1|1"}));
}

TEST_F(ResetTest, ResetAllEmptiesTheListAndMarksEveryCallEvenWithoutCalls) {
  open();
  boxes.clear();
  window().cmdResetAll->click();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, kAllNodesResetMessage);

  call(0, "100", "E0010.0002");
  call(1, "200", "OK");
  open();
  window().cmdResetAll_Click();
  EXPECT_TRUE(listed().empty());
  EXPECT_EQ(flags(), (std::vector<std::string>{"100=1", "200=1"}));
  EXPECT_NE(activityLog().find(kAllNodesResetMessage), std::string::npos);
}

TEST_F(ResetTest, AResetTheDatabaseRefusesKeepsItsNodeAndClaimsNothing) {
  call(0, "100", "E0010.0002");
  open();
  select("100");
  db::Connection other;
  other.open(program().databasePath().string());
  other.exec("begin immediate");
  window().resetCountForNode();
  other.exec("rollback");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find("in procedure resetCountForNode() of Form frmResetErrorCounts"), std::string::npos);
  EXPECT_EQ(program().handledErrorCount, 1);
  EXPECT_EQ(listed(), std::vector<std::string>{"100"});
  EXPECT_EQ(flags(), std::vector<std::string>{"100=0"});
}

TEST_F(ResetTest, TheWindowSnapsBackToItsMinimumAndTheListFollowsItsHeight) {
  FrmResetErrorCounts& w = window();
  w.show();
  const TwipScale s = twipScale(w);
  w.resize(50, 50);
  EXPECT_EQ(w.width(), s.xAtLeast(3495));
  EXPECT_EQ(w.height(), s.yAtLeast(5040));
  w.resize(400, 600);
  EXPECT_EQ(w.lstReset->height(), s.y(s.twipsY(600) - 2835));
  EXPECT_EQ(w.lstReset->width(), s.x(1575));
  w.cmdClose->click();
  EXPECT_TRUE(w.isHidden());
}

}  // namespace
}  // namespace travik
