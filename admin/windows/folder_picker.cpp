#include "admin/windows/folder_picker.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <algorithm>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/console/window_opener.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/folder_list.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/application_parameters.h"
#include "processing/runtime/error_handling.h"

namespace travik {

namespace {

constexpr int kClientWidthTwips = 4680;
constexpr int kClientHeightTwips = 3195;
constexpr int kMinimumWidthTwips = 4800;
constexpr int kMinimumHeightTwips = 3600;

// The mounted volumes that can be browsed, by their root folders.
QStringList volumeRoots() {
  QStringList roots;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes())
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
        !roots.contains(volume.rootPath()))
      roots << volume.rootPath();
  if (!roots.contains(QStringLiteral("/"))) roots << QStringLiteral("/");
  std::sort(roots.begin(), roots.end());
  return roots;
}

}  // namespace

FolderPicker::FolderPicker(Console& console, const char* name, const char* title, const char* resizeProcedure)
    : console_(console), resizeProcedure_(resizeProcedure) {
  setObjectName(QString::fromLatin1(name));
  setWindowTitle(QString::fromUtf8(title));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  drvBrowse = new QComboBox(this);
  drvBrowse->setObjectName(QStringLiteral("drvBrowse"));
  placeInTwips(drvBrowse, 60, 60, 4515, 315);
  drvBrowse->addItems(volumeRoots());
  dirBrowse = new FolderList(this);
  dirBrowse->setObjectName(QStringLiteral("dirBrowse"));
  placeInTwips(dirBrowse, 60, 540, 4515, 2115);
  cmdBrowseOK = new QPushButton(QStringLiteral("&OK"), this);
  cmdBrowseOK->setObjectName(QStringLiteral("cmdBrowseOK"));
  placeInTwips(cmdBrowseOK, 1680, 2760, 1035, 400);
  setTabOrder(drvBrowse, dirBrowse);
  setTabOrder(dirBrowse, cmdBrowseOK);
  resizeClientInTwips(*this, kClientWidthTwips, kClientHeightTwips);

  connect(drvBrowse, &QComboBox::currentIndexChanged, this, [this] { drvBrowse_Change(); });
  connect(dirBrowse, &QAbstractItemView::pressed, this, [this] { dirBrowse_MouseDown(); });
  connect(cmdBrowseOK, &QPushButton::clicked, this, [this] { cmdBrowseOK_Click(); });
  dirBrowse->installEventFilter(this);
  closeOnEscape(*this, [this] { cancel(); });
}

void FolderPicker::open() {
  if (!loaded_) formLoad();
  show();
  raise();
  activateWindow();
}

void FolderPicker::formLoad() {
  loaded_ = true;
  if (const QScreen* screen = this->screen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  const std::string start = startingFolder();
  bool opened = false;
  if (folderExists(start)) {
    selectDriveOf(start);
    opened = dirBrowse->openFolder(start);
  }
  if (!opened) dirBrowse->openFolder(console_.program.programFolder.string());
  console_.windows.mainWindow().setControlsBrowseOn();
}

void FolderPicker::selectDriveOf(const std::string& folder) {
  const QString root = QStorageInfo(QString::fromStdString(folder)).rootPath();
  if (root.isEmpty()) return;
  int index = drvBrowse->findText(root);
  if (index < 0) {
    drvBrowse->addItem(root);
    index = drvBrowse->count() - 1;
  }
  drvBrowse->setCurrentIndex(index);
}

// A drive that cannot be read (no medium, no access) leaves the list where it was.
void FolderPicker::drvBrowse_Change() {
  const QString root = drvBrowse->currentText();
  if (!root.isEmpty()) dirBrowse->openFolder(root.toStdString());
}

void FolderPicker::dirBrowse_KeyPress(int keyAscii) {
  if (keyAscii == 13) dirBrowse->openFolder(dirBrowse->entry(dirBrowse->currentRow()));
}

// The press has made the entry under the pointer current; that one opens.
void FolderPicker::dirBrowse_MouseDown() { dirBrowse->openFolder(dirBrowse->entry(dirBrowse->currentRow())); }

void FolderPicker::cmdBrowseOK_Click() {
  targetPathBox().setText(QString::fromStdString(dirBrowse->path()));
  applyChosenFolder();
  console_.windows.mainWindow().setControlsBrowseOff();
  hide();
}

// Closed by its window frame, the picker hands back its folder as OK does;
// the box then shows the folder in force, not one waiting to be applied.
void FolderPicker::formUnload() {
  targetPathBox().setText(QString::fromStdString(dirBrowse->path()));
  applyChosenFolder();
  console_.windows.mainWindow().setControlsBrowseOff();
  loaded_ = false;
}

void FolderPicker::cancel() {
  hide();
  console_.windows.mainWindow().setControlsBrowseOff();
  loaded_ = false;
}

void FolderPicker::formResize() {
  if (isMinimized()) return;
  guard(
      console_.program, resizeProcedure_, [&] { keepMinimumOuterSize(*this, kMinimumWidthTwips, kMinimumHeightTwips); },
      ErrorHandler::BoxAndCount);
}

void FolderPicker::closeEvent(QCloseEvent* event) {
  // Only a loaded picker hands back its folder; a hidden one is closed quietly.
  if (loaded_ && isVisible()) formUnload();
  QWidget::closeEvent(event);
}

void FolderPicker::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  formResize();
}

bool FolderPicker::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dirBrowse && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      dirBrowse_KeyPress(13);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace travik
