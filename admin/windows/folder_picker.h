// The two folder pickers, built alike: a drive list, a folder list and an OK
// button.  They differ in their title, the setting they start from, the path
// box of frmMain they fill, and what happens after OK.
//
// A picker is loaded on its first opening and after it was closed through its
// close box or Escape; OK only hides it, so it opens again where it was.  While
// it is open, the main window's frames are disabled (setControlsBrowseOn/Off);
// one picker is open at a time (ConsoleWindows brings an open one to the front
// instead of opening the other), so closing it enables them again.
// The "drives" of this platform are its mounted volumes.
#pragma once

#include <QWidget>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace travik {

class Console;
class FolderList;

class FolderPicker : public QWidget {
  Q_OBJECT

 public:
  // Loads the picker when it is not loaded, then shows it, not modal, in front.
  void open();
  bool isLoaded() const { return loaded_; }

  // ---- Window events ----
  void formLoad();
  void formResize();
  // Closing through the close box: the path box gets the folder, no more.
  void formUnload();
  // Escape: closed as by the close box, but the path box keeps its folder.
  void cancel();

  // ---- Control events ----
  void drvBrowse_Change();
  void dirBrowse_KeyPress(int keyAscii);
  void dirBrowse_MouseDown();
  void cmdBrowseOK_Click();

  // ---- Controls ----
  QComboBox* drvBrowse = nullptr;
  FolderList* dirBrowse = nullptr;
  QPushButton* cmdBrowseOK = nullptr;

 protected:
  FolderPicker(Console& console, const char* name, const char* title, const char* resizeProcedure);

  // The setting the picker starts from.
  virtual std::string startingFolder() const = 0;
  // The path box of frmMain that takes the chosen folder.
  virtual QLineEdit& targetPathBox() const = 0;
  // What OK does after filling the path box.
  virtual void applyChosenFolder() {}

  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  Console& console_;

 private:
  // Selects the drive entry of a folder's volume (adding it when missing).
  void selectDriveOf(const std::string& folder);

  const char* resizeProcedure_;
  bool loaded_ = false;
};

}  // namespace travik
