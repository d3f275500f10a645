#include "window/qt/form1.h"

#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>
#include <utility>

#include "display/colors.h"
#include "engine/clock.h"
#include "window/qt/color_word.h"
#include "window/qt/form1_accessible.h"
#include "window/form_layout.h"

namespace zapwit {
namespace {

// The states in which the desktop makes the window larger than its size.
constexpr Qt::WindowStates kLarger = Qt::WindowMaximized | Qt::WindowFullScreen;

// Qt scales device-independent pixels itself, so the layout is taken at
// the base DPI.
QRect ToQRect(const Placement& placement) {
  const PixelRect r = ToPixels(placement);
  return {r.left, r.top, r.width, r.height};
}

void SetBackground(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, color);
  widget->setPalette(palette);
}

Form1::Sources WithLocalClock(Form1::Sources sources) {
  if (!sources.clock) sources.clock = &Clock;
  return sources;
}

}  // namespace

Form1::Form1(QWidget* parent) : Form1(Sources{}, parent) {}

Form1::Form1(Sources sources, QWidget* parent)
    : QWidget(parent),
      sources_(WithLocalClock(std::move(sources))),
      engine_(
          *this, sources_.clock,
          sources_.rng ? sources_.rng : [this] { return rng_.Next(); }) {
  BuildControls();
  Form_Load();
}

void Form1::BuildControls() {
  InstallFormAccessibility();
  setObjectName("Form1");
  setWindowTitle(kFormCaption);
  // One size; it only grows when the desktop maximizes it.
  setFixedSize(TwipsToPixels(kClientWidth), TwipsToPixels(kClientHeight));
  // The form itself takes the keyboard only when told to, once the buttons
  // are gone; a click on its surface leaves the focused button alone.
  setFocusPolicy(Qt::NoFocus);

  const QColor button_face = palette().color(QPalette::Button);
  const QColor button_text = palette().color(QPalette::ButtonText);
  SetBackground(this, button_face);
  setAutoFillBackground(true);

  using Handler = void (Form1::*)();
  constexpr std::array<Handler, 4> kClicks = {
      &Form1::LIGHT_Click, &Form1::JUMP_Click, &Form1::NUMBER_Click,
      &Form1::COUNTER_Click};
  for (std::size_t i = 0; i < kButtons.size(); ++i) {
    auto* button = new QPushButton(kButtons[i].caption, this);
    button->setObjectName(kButtons[i].name);
    button->setGeometry(ToQRect(kButtons[i]));
    button->setFocusPolicy(Qt::StrongFocus);
    connect(button, &QPushButton::clicked, this, kClicks[i]);
    buttons_[i] = button;
  }
  for (std::size_t i = 1; i < buttons_.size(); ++i) {
    setTabOrder(buttons_[i - 1], buttons_[i]);
  }

  box_ = new QLabel(this);
  box_->setObjectName(kBox.name);
  // Named, so that a new caption is no new name to announce: assistive
  // technology reads the caption, with the colour, when it asks.
  box_->setAccessibleName(kBox.name);
  box_->setGeometry(ToQRect(kBox));
  box_->setFrameShape(QFrame::NoFrame);
  box_->setTextFormat(Qt::PlainText);
  box_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  box_->setMargin(0);
  box_->setIndent(0);
  box_->setFocusPolicy(Qt::NoFocus);
  box_->setAutoFillBackground(true);
  QPalette box_palette = box_->palette();
  box_palette.setColor(QPalette::WindowText, button_text);
  box_palette.setColor(QPalette::Window, ToQColor(kRed, palette()));
  box_->setPalette(box_palette);

  // Lines the window can show, counting one cut by the bottom edge.
  line_spacing_ = std::max(1, QFontMetrics(font()).lineSpacing());
  lines_.SetMaxRows(PrintedLines::VisibleRows(height(), line_spacing_));

  icon_timer_ = new QTimer(this);
  icon_timer_->setSingleShot(true);
  connect(icon_timer_, &QTimer::timeout, this, &Form1::SetIcon);

  time_ = new QTimer(this);
  time_->setObjectName("TIME");
  time_->setSingleShot(true);
  time_->setTimerType(Qt::PreciseTimer);
  connect(time_, &QTimer::timeout, this, &Form1::OnTimerFired);
}

void Form1::Form_Load() {
  rng_.Seed(sources_.clock());
  buttons_[0]->setFocus();
  if (sources_.run_timer) {
    const auto now = std::chrono::steady_clock::now();
    schedule_.emplace(kTickPeriod, now);
    time_->start(schedule_->WaitFrom(now));
  }
}

void Form1::OnTimerFired() {
  const auto deadline = schedule_->Deadline();
  const auto fired = std::chrono::steady_clock::now();
  const bool ticked = schedule_->Fire(fired);
  if (ticked) TIME_Timer();
  if (timer_probe_) timer_probe_(deadline, fired, ticked);
  // Re-armed for what is left to the next deadline, after the tick's own
  // work, so that work never delays the pace.
  time_->start(schedule_->WaitFrom(std::chrono::steady_clock::now()));
}

void Form1::LIGHT_Click() { engine_.StartTest(TestMode::Light); }
void Form1::JUMP_Click() { engine_.StartTest(TestMode::Jump); }
void Form1::NUMBER_Click() { engine_.StartTest(TestMode::Number); }
void Form1::COUNTER_Click() { engine_.StartTest(TestMode::Counter); }
void Form1::TIME_Timer() { engine_.Tick(); }
void Form1::Form_KeyPress(std::int16_t key) { engine_.KeyPressed(key); }

QPushButton* Form1::ButtonFor(Button button) const {
  const std::size_t index = ButtonIndex(button);
  return index < buttons_.size() ? buttons_[index] : nullptr;
}

void Form1::PrintLine(const std::string& text) {
  const std::optional<int> row = lines_.Add(text);
  if (!row) return;
  update(LineRect(*row));
  AnnounceLine(*this, *row);
}

QRect Form1::LineRect(int row) const {
  return {0, row * line_spacing_, width(), line_spacing_};
}

void Form1::SetBoxColor(ColorWord color) {
  const QColor wanted = ToQColor(color, palette());
  if (box_->palette().color(QPalette::Window) == wanted) return;
  SetBackground(box_, wanted);
}

void Form1::SetBoxCaption(const std::string& text) {
  box_->setText(QString::fromStdString(text));
}

void Form1::SetBoxLeft(int twips) {
  box_->move(TwipsToPixels(twips), box_->y());
}

void Form1::SetBoxTop(int twips) {
  box_->move(box_->x(), TwipsToPixels(twips));
}

void Form1::HideButton(Button button) {
  QPushButton* target = ButtonFor(button);
  if (target == nullptr) return;
  target->hide();
  // A hidden Qt button that keeps the focus still answers Space: the form
  // takes the keyboard as soon as a button goes.
  setFocus(Qt::OtherFocusReason);
}

void Form1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  KeepOneSize();
}

// The window has one size, but Qt's own title bar on Wayland offers to
// maximize it all the same, and the compositor answers with a configure
// that Qt acknowledges at once. From then on xdg-shell holds the window to
// the maximized size: a frame of the fixed size ends the connection with a
// protocol error (weston does this), and withdrawing the request afterwards
// does not help, because weston sends no new configure for a state the
// window never showed. So the window follows: as soon as it is asked to
// grow, its maximum goes, so that the size the compositor configures is
// the size it takes, with the form's colour beyond the client area. It
// takes its one size back once it has been restored to it.
void Form1::KeepOneSize() {
  QWindow* window = windowHandle();
  if (window == nullptr || keeps_one_size_) return;
  keeps_one_size_ = true;
  connect(window, &QWindow::windowStateChanged, this, [this, window] {
    if (window->windowStates() & kLarger) {
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
  });
}

void Form1::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Restored: the request to restore comes before the compositor's
  // configure, and the size must not change before that configure, so the
  // maximum comes back only with the size itself.
  const QWindow* window = windowHandle();
  const bool larger = window != nullptr && (window->windowStates() & kLarger);
  if (!larger && size() == minimumSize() && maximumSize() != minimumSize()) {
    setMaximumSize(minimumSize());
  }
}

void Form1::SetIcon() {
  QIcon icon;
  for (const char* file : {":/icons/zapwit-16.png", ":/icons/zapwit-32.png",
                           ":/icons/zapwit-48.png"}) {
    icon.addFile(file);
  }
  setWindowIcon(icon);
}

void Form1::paintEvent(QPaintEvent* event) {
  // Decoding the icons and handing them to the window system took about
  // 2 ms before the first frame, for something the desktop shows only
  // around the window: they follow it instead, once this paint is flushed.
  if (!icon_set_) {
    icon_set_ = true;
    icon_timer_->start(0);
  }
  const std::vector<std::string>& lines = lines_.Lines();
  if (lines.empty()) return;
  QPainter painter(this);
  painter.setPen(palette().color(QPalette::ButtonText));
  painter.setFont(font());
  const int ascent = QFontMetrics(font()).ascent();
  const QRect dirty = event->rect();
  const int first = std::max(0, dirty.top() / line_spacing_);
  const int last = std::min(static_cast<int>(lines.size()) - 1,
                            dirty.bottom() / line_spacing_);
  for (int row = first; row <= last; ++row) {
    painter.drawText(0, row * line_spacing_ + ascent,
                     QString::fromStdString(
                         lines[static_cast<std::size_t>(row)]));
  }
}

void Form1::keyPressEvent(QKeyEvent* event) {
  // Only keys that type a character count: Shift, arrows and F-keys bring
  // no text.
  const QString text = event->text();
  if (text.isEmpty()) {
    QWidget::keyPressEvent(event);
    return;
  }
  Form_KeyPress(static_cast<std::int16_t>(text.at(0).unicode()));
}

}  // namespace zapwit
