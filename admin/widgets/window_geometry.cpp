#include "admin/widgets/window_geometry.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>
#include <algorithm>
#include <optional>

namespace travik {

namespace {

// A caption as drawn: "&" marks the access key and is not shown, "&&" is one "&".
QString shownText(const QString& caption) {
  QString text;
  text.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
    text += caption[i];
  }
  return text;
}

}  // namespace

int textWidthNeeded(const QWidget& control) {
  if (const auto* label = qobject_cast<const QLabel*>(&control)) {
    // A wrapped label grows downwards, not across; a picture has no text.
    if (label->wordWrap() || label->text().isEmpty()) return 0;
    return label->sizeHint().width();
  }
  if (const auto* box = qobject_cast<const QCheckBox*>(&control)) return box->sizeHint().width();
  if (const auto* button = qobject_cast<const QPushButton*>(&control)) {
    if (button->text().isEmpty()) return 0;
    // The style's own hint may add a minimum width (Fusion: 80 pixels) that
    // would stretch the designed narrow buttons; only the text counts.
    const QStyle* style = button->style();
    QStyleOptionButton option;
    option.initFrom(button);
    return button->fontMetrics().horizontalAdvance(shownText(button->text())) +
           style->pixelMetric(QStyle::PM_ButtonMargin, &option, button) +
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, button);
  }
  // Wide enough for the widest date and time the picker can show.
  if (const auto* picker = qobject_cast<const QDateTimeEdit*>(&control)) return picker->sizeHint().width();
  return 0;
}

void widenToText(QWidget* control) {
  const int needed = textWidthNeeded(*control);
  if (needed > control->width()) control->resize(needed, control->height());
  // A wrapped label takes the lines its text needs.
  if (const auto* label = qobject_cast<const QLabel*>(control); label && label->wordWrap()) {
    const int height = label->heightForWidth(label->width());
    if (height > control->height()) control->resize(control->width(), height);
  }
}

void placeInTwips(QWidget* control, int left, int top, int width, int height) {
  const TwipScale scale = twipScale(*control);
  control->setGeometry(scale.x(left), scale.y(top), scale.x(width), scale.y(height));
  widenToText(control);
}

void resizeClientInTwips(QWidget& window, int width, int height) {
  const TwipScale scale = twipScale(window);
  window.resize(scale.xAtLeast(width), scale.yAtLeast(height));
}

void resizeMinimumClientInTwips(QWidget& window, int width, int height) {
  const TwipScale scale = twipScale(window);
  window.setMinimumSize(scale.xAtLeast(width), scale.yAtLeast(height));
  window.resize(window.minimumSize());
}

QSize keepMinimumOuterSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips) {
  const TwipScale scale = twipScale(window);
  const QSize minimum(scale.xAtLeast(minimumWidthTwips), scale.yAtLeast(minimumHeightTwips));
  if (!window.isVisible()) {
    // Before the first show the frame is unknown.  The designed client size
    // with the frame it will get makes up the minimum; raising the client
    // to it would leave an empty band at the bottom of the window.
    const QSize outer = window.size().expandedTo(minimum);
    return {scale.twipsX(outer.width()), scale.twipsY(outer.height())};
  }
  const QSize outer = window.frameGeometry().size();
  const QSize frame = outer - window.size();
  const QSize wanted = outer.expandedTo(minimum);
  if (wanted != outer) window.resize(wanted - frame);
  return {scale.twipsX(wanted.width()), scale.twipsY(wanted.height())};
}

QSize keepMinimumClientSize(QWidget& window, int minimumWidthTwips, int minimumHeightTwips) {
  const TwipScale scale = twipScale(window);
  const QSize minimum(scale.xAtLeast(minimumWidthTwips), scale.yAtLeast(minimumHeightTwips));
  const QSize wanted = window.size().expandedTo(minimum);
  if (wanted != window.size()) window.resize(wanted);
  return {scale.twipsX(wanted.width()), scale.twipsY(wanted.height())};
}

std::vector<QRect> buttonsOnScreen(const QWidget& window) {
  std::vector<QRect> buttons;
  if (!window.isVisible()) return buttons;
  for (const QAbstractButton* button : window.findChildren<QAbstractButton*>())
    if (button->window() == &window && !button->objectName().isEmpty() && button->isVisibleTo(&window))
      buttons.emplace_back(button->mapToGlobal(QPoint(0, 0)), button->size());
  return buttons;
}

namespace {

int countCovered(const QRect& place, const std::vector<QRect>& keepClear) {
  return static_cast<int>(
      std::count_if(keepClear.begin(), keepClear.end(), [&](const QRect& r) { return place.intersects(r); }));
}

// The frame the window manager puts around the window: its own once it has
// been shown, before that the owner's, as the nearest guess.
QMargins frameOf(const QWidget& window, const QWidget& owner) {
  const QWidget& framed = window.frameGeometry() != window.geometry() ? window : owner;
  const QRect outer = framed.frameGeometry();
  const QRect inner = framed.geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

}  // namespace

bool placeClearOf(QWidget& window, const QWidget& owner, const std::vector<QRect>& keepClear, Prefer prefer) {
  if (window.isVisible() || !owner.isVisible() || !owner.screen()) return true;
  const QMargins frame = frameOf(window, owner);
  if (window.testAttribute(Qt::WA_Moved) && countCovered(window.geometry().marginsAdded(frame), keepClear) == 0)
    return true;

  // Window managers keep a window on the screen, so only places on it count.
  const QRect screen = owner.screen()->availableGeometry();
  const QSize outer = window.size().grownBy(frame);
  const int left = std::max(screen.left(), std::min(owner.frameGeometry().left(), screen.right() + 1 - outer.width()));
  const int bottomEdge = std::max(screen.top(), screen.bottom() + 1 - outer.height());
  // Candidate tops: the owner's top, the screen's bottom edge, and just below
  // each rectangle to keep clear.
  std::vector<int> tops = {owner.frameGeometry().top(), bottomEdge};
  for (const QRect& r : keepClear) tops.push_back(r.bottom() + 1);
  std::sort(tops.begin(), tops.end());
  std::optional<int> highest, lowest, leastCovering;
  int fewest = 0;
  for (const int top : tops) {
    const int onScreen = std::clamp(top, screen.top(), bottomEdge);
    const int covered = countCovered(QRect(QPoint(left, onScreen), outer), keepClear);
    if (covered == 0) {
      if (!highest) highest = onScreen;
      lowest = onScreen;
    }
    if (!leastCovering || covered <= fewest) {
      leastCovering = onScreen;
      fewest = covered;
    }
  }
  const std::optional<int> chosen = prefer == Prefer::Highest ? highest : lowest ? lowest : leastCovering;
  if (!chosen) return false;
  window.setGeometry(QRect(QPoint(left + frame.left(), *chosen + frame.top()), window.size()));
  return true;
}

int titleBarWidth(const QWidget& window) {
  // The window manager draws the caption in a face of its own, most often the
  // desktop's plain sans or its title font, in bold: the widest of those.
  int caption = 0;
  int line = 0;
  for (QFont font : {window.font(), QFontDatabase::systemFont(QFontDatabase::TitleFont),
                     QFont(QStringLiteral("Sans"), window.font().pointSize())}) {
    font.setBold(true);
    const QFontMetrics metrics(font);
    caption = std::max(caption, metrics.horizontalAdvance(window.windowTitle()));
    line = std::max(line, metrics.height());
  }
  // A title-bar button is about as wide as the bar is high: the caption's
  // line and a margin above and below it.
  return caption + 4 * (line + 10);
}

}  // namespace travik
