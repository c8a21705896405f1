// The shape shared by the console's detail and totals windows: one grid of
// rows read from the database, "Save to file" and "&Close".
//
// Closing the window, by its button or its title bar, hides it and lets go of
// its rows; it stays loaded and is filled anew at its next opening.  The
// window never writes to the database.
#pragma once

#include <QWidget>
#include <string>

#include "admin/models/bound_grid.h"

class QPushButton;
class QTableView;

namespace travik {

class Console;

// The windows' designed geometry, in twips.
inline constexpr int kGridWindowMinimumWidthTwips = 11520;
inline constexpr int kGridWindowMinimumHeightTwips = 3405;
// The grid keeps this margin to the window's width and height.
inline constexpr int kGridWidthMarginTwips = 240;
inline constexpr int kGridHeightMarginTwips = 1000;

struct GridWindowDesign {
  const char* formName;  // objectName and the name in error report lines
  const char* caption;   // the designed caption
  const char* gridName;  // flxTasks ...
  const char* saveName;  // cmdSaveTasksGrid ...
  GridFile file;         // prefix and message of the grid file
  int gridWidthTwips;    // as designed
  int closeLeftTwips;    // left edge of "&Close"
};

class GridWindow : public QWidget {
  Q_OBJECT

 public:
  GridWindow(Console& console, const GridWindowDesign& design);

  // The window's size rule: not below its minimum, the grid following the window.
  void formResize();
  // Hides the window and lets go of its rows.
  void cmdClose_Click();
  // The title bar's close: the same two steps.
  void formUnload();

  QTableView* grid = nullptr;
  QPushButton* cmdSave = nullptr;
  QPushButton* cmdClose = nullptr;

 protected:
  // Saves the grid under the window's prefix; procedure names the handler.
  void saveToFile(std::string_view procedure);
  // The procedure name of a handler of this window: "<handler> of Form <form>".
  std::string procedureName(std::string_view handler) const;
  Program& program() const;

  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

  Console& console_;

 private:
  GridWindowDesign design_;
};

}  // namespace travik
