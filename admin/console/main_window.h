// What the other windows may ask of the main window, which implements it
// (admin/main_window/frm_main.h): the two folder boxes the pickers fill, the
// calls grid whose chosen call the tasks window keeps, the numeric key rule
// of its settings boxes, coming back to the front, and the control states
// a folder picker and the service monitor set.  A window asks here and never
// includes the main window's header.
#pragma once

class QComboBox;
class QLineEdit;
class QTableView;

namespace travik {

// The product's full name: the main window's caption and the about box's title.
inline constexpr const char* kProductFullName = "TRAVIK Analog Traffic Analyzer";

class MainWindow {
 public:
  // The folder boxes: txtLogLocation and txtOutputPath.
  virtual QLineEdit& logLocationBox() = 0;
  virtual QLineEdit& outputPathBox() = 0;
  // Applies a changed output folder and starts a new activity log.
  virtual void outputPathChange() = 0;
  // Stores the trace folder the box shows.
  virtual void logPathChange() = 0;
  // The calls grid, flxCalls.
  virtual QTableView& callsGrid() = 0;
  // A key typed into a numeric box: the code to keep, 0 to drop the key.
  virtual int numericBoxInput(const QComboBox& box, int keyAscii) = 0;
  virtual void activateWindow() = 0;

  // The control states of admin/main_window/control_enabling.h that other
  // windows set: a folder picker open or closed, the service as the monitor reads it.
  virtual void setControlsBrowseOn() = 0;
  virtual void setControlsBrowseOff() = 0;
  virtual void setControlsServiceInstalledStarted() = 0;
  virtual void setControlsServiceInstalledStopped() = 0;
  virtual void setControlsServiceUninstalled() = 0;

 protected:
  ~MainWindow() = default;
};

}  // namespace travik
