#include "admin/windows/frm_help.h"

#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "admin/console/console.h"
#include "admin/widgets/controls.h"

namespace travik {

FrmHelp::FrmHelp(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmHelp"));
  setWindowTitle(QStringLiteral("TRAVIK Help"));
  brwHelp = new QTextBrowser(this);
  brwHelp->setObjectName(QStringLiteral("brwHelp"));
  // Links to the web open in the desktop's browser; this window shows the page only.
  brwHelp->setOpenExternalLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(brwHelp);
  resize(kHelpWindowWidth, kHelpWindowHeight);
  closeOnEscape(*this, [this] { close(); });
}

void FrmHelp::open() {
  const QString page = QString::fromStdString((console_.program.programFolder / "TRAVIK.htm").string());
  if (QFileInfo::exists(page)) {
    brwHelp->setSource(QUrl::fromLocalFile(page));
    brwHelp->reload();
  } else {
    // What a browser shows for a page that is not there.
    brwHelp->setHtml(QStringLiteral("<p>The help page could not be found:</p><p>%1</p>").arg(page.toHtmlEscaped()));
  }
  resize(kHelpWindowWidth, kHelpWindowHeight);
  show();
  raise();
}

}  // namespace travik
