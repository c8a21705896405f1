#include "admin/windows/frm_about.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

#include "admin/console/console.h"
#include "admin/console/main_window.h"
#include "admin/widgets/controls.h"
#include "admin/widgets/window_geometry.h"
#include "processing/runtime/error_handling.h"
#include "processing/runtime/start_up.h"

namespace travik {

namespace {

constexpr int kMinimumWidthTwips = 6180;
constexpr int kMinimumHeightTwips = 3660;

// The second notice ends with the year the box is loaded in.
constexpr const char* kNoticeBeforeYear = "All rights reserved.  Copyright (c) 2001-";

// The two picture boxes: the maker's mark and the voice-messaging product's.
QLabel* makeLogo(QWidget* parent, const char* name, const char* text) {
  QLabel* logo = makeLabel(parent, name, text);
  logo->setFrameShape(QFrame::Box);
  logo->setAlignment(Qt::AlignCenter);
  QFont font = logo->font();
  font.setBold(true);
  logo->setFont(font);
  return logo;
}

}  // namespace

std::string aboutVersionText(int major, int minor, int revision) {
  auto withSignBlank = [](int number) { return (number < 0 ? "" : " ") + std::to_string(number); };
  return withSignBlank(major) + "." + std::to_string(minor) + " Build" + withSignBlank(revision);
}

FrmAbout::FrmAbout(Console& console) : console_(console) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QString::fromUtf8(kProductFullName));
  // A fixed dialog: a title and a close box, no minimise or maximise buttons
  // (its fixed size, below, is what keeps window managers from offering to
  // maximise it).
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

  picMakerLogo = makeLogo(this, "picMakerLogo", "Marrabel Corvane");
  placeInTwips(picMakerLogo, 120, 120, 1800, 900);
  picProductLogo = makeLogo(this, "picProductLogo", "Corvane");
  placeInTwips(picProductLogo, 120, 1140, 1800, 900);
  lblVersionTitle = makeLabel(this, "lblVersionTitle", "Version:");
  QFont bold = lblVersionTitle->font();
  bold.setBold(true);
  lblVersionTitle->setFont(bold);
  placeInTwips(lblVersionTitle, 2160, 120, 900, 255);
  lblVersion = makeLabel(this, "lblVersion", "");
  placeInTwips(lblVersion, 3120, 120, 2700, 255);
  lblCompany = makeLabel(this, "lblCompany", "Marrabel Corvane");
  placeInTwips(lblCompany, 2160, 480, 3700, 255);
  lblAddress1 = makeLabel(this, "lblAddress1", "Voice Messaging Networking Tools");
  placeInTwips(lblAddress1, 2160, 735, 3700, 255);
  lblAddress2 = makeLabel(this, "lblAddress2", "Customer Support Engineering");
  placeInTwips(lblAddress2, 2160, 990, 3700, 255);
  lblNotice1 = makeLabel(this, "lblNotice1",
                         "This program is protected by copyright law.  Unauthorized reproduction or distribution of "
                         "this program, or any portion of it, is prohibited.");
  lblNotice1->setWordWrap(true);
  placeInTwips(lblNotice1, 2160, 1380, 3700, 780);
  lblNotice2 = makeLabel(this, "lblNotice2", kNoticeBeforeYear);
  placeInTwips(lblNotice2, 2160, 2220, 3700, 255);
  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setDefault(true);
  placeInTwips(cmdOK, 4620, 2640, 1215, 375);
  connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
  closeOnEscape(*cmdOK);
  resizeClientInTwips(*this, 6060, 3180);

  // The box loads when it is first used, which is its creation.
  formLoad();
  // Fixed at its designed size, or larger where texts widened to the font
  // need it, with the designed margins right of and below the controls.
  const TwipScale scale = twipScale(*this);
  const QRect controls = childrenRect();
  setFixedSize(size().expandedTo(QSize(controls.right() + scale.x(200), controls.bottom() + scale.y(165))));
}

void FrmAbout::formLoad() {
  Program& program = console_.program;
  // An error here is shown and passed over; it is neither logged nor counted.
  auto step = [&](auto&& action) {
    guardWith(action, [&](const HandledError& error) {
      program.host.messageBox("Error in FormLoad routine:" + error.description(), kApplicationTitle, MessageButtons::Ok,
                              MessageIcon::None);
    });
  };
  step([&] {
    lblVersion->setText(
        QString::fromStdString(aboutVersionText(TRAVIK_VERSION_MAJOR, TRAVIK_VERSION_MINOR, TRAVIK_VERSION_REVISION)));
  });
  step([&] {
    lblNotice2->setText(QString::fromUtf8(kNoticeBeforeYear) +
                        QString::number(program.host.now().year()).rightJustified(4, QLatin1Char('0')));
  });
  widenToText(lblVersion);
  widenToText(lblNotice2);
}

void FrmAbout::formResize() {
  if (isMinimized()) return;
  guard(
      console_.program, "Form_Resize of Form frmAbout",
      [&] { keepMinimumOuterSize(*this, kMinimumWidthTwips, kMinimumHeightTwips); }, ErrorHandler::BoxAndCount);
}

void FrmAbout::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  formResize();
}

void FrmAbout::cmdOK_Click() { hide(); }

}  // namespace travik
