// frmAbout: the about box: the console's version and the maker's lines.
//
// Opened modal from the Help menu.  Its load step runs once, when the box is
// first used; OK only hides it, so later openings show what that step set.
#pragma once

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;

namespace travik {

class Console;

// " 1.1 Build 1": the major and revision numbers carry the blank a number
// gets in front for its sign when written as text.
std::string aboutVersionText(int major, int minor, int revision);

class FrmAbout : public QWidget {
  Q_OBJECT

 public:
  explicit FrmAbout(Console& console);

  void formLoad();
  void formResize();
  void cmdOK_Click();

  // ---- Controls ----
  QLabel* picMakerLogo = nullptr;
  QLabel* picProductLogo = nullptr;
  QLabel* lblVersionTitle = nullptr;
  QLabel* lblVersion = nullptr;
  QLabel* lblCompany = nullptr;
  QLabel* lblAddress1 = nullptr;
  QLabel* lblAddress2 = nullptr;
  QLabel* lblNotice1 = nullptr;
  QLabel* lblNotice2 = nullptr;
  QPushButton* cmdOK = nullptr;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  Console& console_;
};

}  // namespace travik
