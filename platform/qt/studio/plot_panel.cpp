#include "plot_panel.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "platform_services.h"

namespace studio {

namespace {

// The recording's full scale in the DAT file's level units (16-bit samples times 256).
constexpr double kFullScale = 8388608.0;
// The narrowest view: a few frames still show as distinct steps.
constexpr double kMinSpanSeconds = 0.1;

}  // namespace

QString noteName(double hz) {
  if (!(hz > 0.0) || !std::isfinite(hz)) return {};
  static const char* const kNames[] = {"C",  "C#", "D",  "D#", "E",  "F",
                                       "F#", "G",  "G#", "A",  "A#", "B"};
  // MIDI note number: 69 is A4. Audible frequencies keep this far inside int range.
  const double note = std::round(69.0 + 12.0 * std::log2(hz / 440.0));
  if (note < 0.0 || note > 127.0) return {};
  const int number = static_cast<int>(note);
  return QString::fromLatin1(kNames[number % 12]) + QString::number(number / 12 - 1);
}

PlotCanvas::PlotCanvas(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setMinimumSize(480, 300);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PlotCanvas::setData(const media::Spectrogram* spectrogram, const media::PartialTracks* tracks,
                         double durationSeconds) {
  spectrogram_ = spectrogram;
  tracks_ = tracks;
  duration_ = durationSeconds;
  cache_ = QPixmap();
  update();
}

void PlotCanvas::setView(const media::PlotView& view) {
  view_ = view;
  cache_ = QPixmap();
  update();
}

void PlotCanvas::setPlayHead(double seconds) {
  if (seconds == playHead_) return;
  playHead_ = seconds;
  update();
}

media::PartialPlot PlotCanvas::plot() const {
  return media::PartialPlot(spectrogram_, tracks_, view_);
}

void PlotCanvas::resizeEvent(QResizeEvent* event) {
  cache_ = QPixmap();
  QWidget::resizeEvent(event);
}

void PlotCanvas::paintEvent(QPaintEvent*) {
  const media::PartialPlot picture = plot();
  const qreal ratio = devicePixelRatioF();
  if (cache_.isNull()) {
    cache_ = QPixmap(size() * ratio);
    cache_.setDevicePixelRatio(ratio);
    cache_.fill(palette().color(QPalette::Window));
    QPainter cachePainter(&cache_);
    picture.paint(cachePainter, rect());
  }
  QPainter painter(this);
  painter.drawPixmap(0, 0, cache_);
  if (playHead_ >= 0.0) {
    const QRectF area = picture.plotArea(rect());
    const double x = picture.xForSeconds(playHead_, rect());
    if (x >= area.left() && x <= area.right()) {
      painter.setPen(QPen(QColor(255, 255, 255, 220), 2));
      painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
    }
  }
}

QString PlotCanvas::readoutAt(const QPointF& point) const {
  const media::PartialPlot picture = plot();
  const QRectF area = picture.plotArea(rect());
  if (!area.contains(point)) return {};
  const double seconds = picture.secondsForX(point.x(), rect());
  QString text = tr("%1 s").arg(seconds, 0, 'f', 3);
  if (!tracks_ || tracks_->frames.empty() || !(tracks_->frameSeconds > 0.0)) return text;
  const double index = std::floor(seconds / tracks_->frameSeconds);
  if (!(index >= 0.0) || index >= static_cast<double>(tracks_->frames.size())) return text;
  const auto frameIndex = static_cast<std::size_t>(index);
  text = tr("Frame %1 at %2 s").arg(frameIndex).arg(seconds, 0, 'f', 3);

  // The visible sounding partial nearest the mouse on the logarithmic frequency axis.
  const double mouseHz = picture.hzForY(point.y(), rect());
  const media::TrackFrame& frame = tracks_->frames[frameIndex];
  int best = -1;
  double bestDistance = 0.0;
  const int voices = std::clamp(tracks_->voices, 1, media::kPlotMaxSlots);
  for (int slot = 0; slot < voices; ++slot) {
    const common::PartialSlot& partial = frame.slots[static_cast<std::size_t>(slot)];
    if (!view_.slotVisible[static_cast<std::size_t>(slot)] || partial.level <= 0 ||
        partial.frequency <= 0) {
      continue;
    }
    const double distance = std::fabs(std::log(partial.frequency / 10.0 / mouseHz));
    if (best < 0 || distance < bestDistance) {
      best = slot;
      bestDistance = distance;
    }
  }
  if (best < 0) return text;
  const common::PartialSlot& partial = frame.slots[static_cast<std::size_t>(best)];
  const double hz = partial.frequency / 10.0;
  const double db = 20.0 * std::log10(partial.level / kFullScale);
  return text + QStringLiteral(" · ") +
         tr("partial %1: %2 Hz (%3), %4 dB")
             .arg(best + 1)
             .arg(hz, 0, 'f', 1)
             .arg(noteName(hz))
             .arg(db, 0, 'f', 1);
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event) {
  Q_EMIT hovered(readoutAt(event->position()));
}

void PlotCanvas::mousePressEvent(QMouseEvent* event) {
  const media::PartialPlot picture = plot();
  if (event->button() != Qt::LeftButton || !picture.plotArea(rect()).contains(event->position())) {
    return;
  }
  Q_EMIT seekRequested(std::max(0.0, picture.secondsForX(event->position().x(), rect())));
}

void PlotCanvas::leaveEvent(QEvent*) {
  Q_EMIT hovered(QString());
}

void PlotCanvas::wheelEvent(QWheelEvent* event) {
  const media::PartialPlot picture = plot();
  const double around = picture.secondsForX(event->position().x(), rect());
  const int steps = event->angleDelta().y() / 120;
  if (steps == 0) return;
  Q_EMIT zoomRequested(std::pow(0.8, steps), around);
  event->accept();
}

PlotPanel::PlotPanel(QWidget* parent)
    : QWidget(parent),
      canvas_(new PlotCanvas),
      scroll_(new QScrollBar(Qt::Horizontal)),
      zoomIn_(new QToolButton),
      zoomOut_(new QToolButton),
      zoomAll_(new QToolButton),
      slotsLabel_(new QLabel),
      readout_(new QLabel) {
  auto* controls = new QHBoxLayout;
  controls->addWidget(zoomIn_);
  controls->addWidget(zoomOut_);
  controls->addWidget(zoomAll_);
  controls->addSpacing(12);
  controls->addWidget(slotsLabel_);
  for (int slot = 0; slot < media::kPlotMaxSlots; ++slot) {
    auto* box = new QCheckBox(QString::number(slot + 1));
    box->setChecked(true);
    // The check box carries its track's colour, as the picture's legend does.
    box->setStyleSheet(QStringLiteral("QCheckBox { color: %1; font-weight: bold; }")
                           .arg(media::PartialPlot::slotColour(slot).darker(160).name()));
    box->setHidden(slot >= media::kPlotSlots);
    slotBoxes_[static_cast<std::size_t>(slot)] = box;
    controls->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [this, slot](bool on) {
      media::PlotView view = canvas_->view();
      view.slotVisible[static_cast<std::size_t>(slot)] = on;
      canvas_->setView(view);
    });
  }
  controls->addStretch(1);
  readout_->setMinimumWidth(200);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(canvas_, 1);
  layout->addWidget(scroll_);
  layout->addLayout(controls);
  layout->addWidget(readout_);

  connect(zoomIn_, &QToolButton::clicked, this, [this] { zoomBy(0.5, start_ + span_ / 2); });
  connect(zoomOut_, &QToolButton::clicked, this, [this] { zoomBy(2.0, start_ + span_ / 2); });
  connect(zoomAll_, &QToolButton::clicked, this, [this] { zoomTo(0.0, duration_); });
  connect(canvas_, &PlotCanvas::zoomRequested, this, &PlotPanel::zoomBy);
  connect(canvas_, &PlotCanvas::hovered, readout_, &QLabel::setText);
  connect(canvas_, &PlotCanvas::seekRequested, this, &PlotPanel::seekRequested);
  connect(scroll_, &QScrollBar::valueChanged, this, &PlotPanel::scrolled);
  retranslate();
}

void PlotPanel::setData(const media::Spectrogram* spectrogram, const media::PartialTracks* tracks,
                        double durationSeconds, const QString& title, bool newFile) {
  duration_ = durationSeconds > 0.0 ? durationSeconds : 0.0;
  media::PlotView view = canvas_->view();
  view.title = qtfront::toUtf8(title);
  canvas_->setView(view);
  canvas_->setData(spectrogram, tracks, duration_);
  // A check box for each voice drawn: the DAT's six, or as many as the frames have.
  const int voices =
      tracks ? std::clamp(tracks->voices, 1, media::kPlotMaxSlots) : media::kPlotSlots;
  for (int slot = 0; slot < media::kPlotMaxSlots; ++slot) {
    slotBoxes_[static_cast<std::size_t>(slot)]->setHidden(slot >= voices);
  }
  if (newFile || span_ <= 0.0) {
    zoomTo(0.0, duration_ > kWholeViewSeconds ? kReadableSpanSeconds : duration_);
  } else {
    zoomTo(start_, span_);
  }
}

void PlotPanel::setPlayHead(double seconds) {
  canvas_->setPlayHead(seconds);
  // Keep the play head in view while it plays.
  if (seconds >= 0.0 && span_ > 0.0 && (seconds < start_ || seconds > start_ + span_)) {
    zoomTo(seconds, span_);
  }
}

void PlotPanel::zoomTo(double startSeconds, double spanSeconds) {
  const double whole = duration_ > 0.0 ? duration_ : 1.0;
  span_ = std::clamp(spanSeconds, std::min(kMinSpanSeconds, whole), whole);
  start_ = std::clamp(startSeconds, 0.0, whole - span_);
  media::PlotView view = canvas_->view();
  view.startSeconds = start_;
  view.endSeconds = start_ + span_;
  canvas_->setView(view);
  updateScrollBar();
}

void PlotPanel::zoomBy(double factor, double aroundSeconds) {
  const double span = span_ * factor;
  // The time under the mouse (or the centre) stays where it is on the screen.
  const double fraction = span_ > 0.0 ? (aroundSeconds - start_) / span_ : 0.5;
  zoomTo(aroundSeconds - fraction * span, span);
}

void PlotPanel::scrolled(int value) {
  const double start = value / 1000.0;
  if (std::fabs(start - start_) < 0.0005) return;
  zoomTo(start, span_);
}

void PlotPanel::updateScrollBar() {
  const QSignalBlocker block(scroll_);
  const double whole = duration_ > 0.0 ? duration_ : 1.0;
  // Milliseconds: 600 s at most, well inside int.
  scroll_->setRange(0, static_cast<int>(std::lround((whole - span_) * 1000.0)));
  scroll_->setPageStep(std::max(1, static_cast<int>(std::lround(span_ * 1000.0))));
  scroll_->setSingleStep(std::max(1, static_cast<int>(std::lround(span_ * 100.0))));
  scroll_->setValue(static_cast<int>(std::lround(start_ * 1000.0)));
}

void PlotPanel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) retranslate();
  QWidget::changeEvent(event);
}

void PlotPanel::retranslate() {
  zoomIn_->setText(tr("Zoom in"));
  zoomOut_->setText(tr("Zoom out"));
  zoomAll_->setText(tr("Whole"));
  slotsLabel_->setText(tr("Partials:"));
  media::PlotView view = canvas_->view();
  view.labels.time = qtfront::toUtf8(tr("time (s)"));
  view.labels.frequency = qtfront::toUtf8(tr("frequency (Hz)"));
  view.labels.partial = qtfront::toUtf8(tr("partial"));
  canvas_->setView(view);
}

}  // namespace studio
