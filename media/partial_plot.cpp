#include "partial_plot.h"

#include <QBuffer>
#include <QByteArray>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainterPath>
#include <QPen>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "alloc_registry.h"
#include "file_io.h"
#include "messages.h"
#include "recording.h"

namespace media {
namespace {

// Margins around the data rectangle, in pixels.
constexpr double kLeft = 72, kRight = 24, kTop = 64, kBottom = 52;
// The spectrogram's colour scale spans this many dB below its loudest value.
constexpr double kRangeDb = 80.0;
constexpr double kFrequencyTicks[] = {50, 100, 200, 500, 1000, 2000, 5000, 8000};

std::string baseName(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string replaceExtension(const std::string& path, const std::string& extension) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > nameStart;
  return (hasExtension ? path.substr(0, dot) : path) + extension;
}

// A muted scale from near black to a pale blue-grey: the spectrogram stays in the background
// and the saturated track colours stand out on every part of it.
QRgb heat(double t) {
  t = std::clamp(t, 0.0, 1.0);
  static const double stops[][3] = {
      {6, 6, 14}, {28, 30, 58}, {70, 76, 110}, {130, 138, 160}, {190, 196, 205}};
  const double x = t * 4.0;
  const int i = std::min(3, static_cast<int>(x));
  const double f = x - i;
  auto mix = [&](int c) {
    return static_cast<int>(stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f);
  };
  return qRgb(mix(0), mix(1), mix(2));
}

QString tickLabel(double hz) {
  return hz >= 1000 ? QString::number(hz / 1000) + "k" : QString::number(hz);
}

// The time-axis step: the smallest of 1, 2 and 5 times a power of ten that gives at most
// `maxTicks` ticks.
double timeStep(double span, int maxTicks) {
  double unit = std::pow(10.0, std::floor(std::log10(std::max(span, 1e-6) / maxTicks)));
  for (;;) {
    for (double m : {1.0, 2.0, 5.0}) {
      if (span / (m * unit) <= maxTicks) return m * unit;
    }
    unit *= 10;
  }
}

void ensureGuiApplication() {
  // Text needs a GUI application's font database; a program without one (a command line)
  // gets an off-screen one, which never opens a display.
  if (QGuiApplication::instance() != nullptr) return;
  provideRuntimeDir();
  static int argc = 3;
  static char arg0[] = "media", arg1[] = "-platform", arg2[] = "offscreen";
  static char* argv[] = {arg0, arg1, arg2, nullptr};
  static QGuiApplication* app = new QGuiApplication(argc, argv);
  (void)app;
}

}  // namespace

void provideRuntimeDir() {
#if !defined(_WIN32) && !defined(__APPLE__)
  if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
    static QTemporaryDir runtime;  // made with owner-only permissions, as Qt requires
    if (runtime.isValid()) qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  }
#endif
}

std::string readPartialTracks(const std::string& datPath, PartialTracks& out) {
  out.frames.clear();
  common::AllocationRegistry registry;
  uint8_t* image = nullptr;
  int32_t length = 0;
  std::string failure = common::readWholeFile(registry, datPath, 0, image, length);
  if (!failure.empty()) return failure;
  const int32_t count = common::frameCountForLength(length);
  out.frames.resize(static_cast<std::size_t>(count));
  out.voices = kPlotSlots;
  for (int32_t k = 0; k < count; ++k) {
    const common::NoteFrame frame =
        common::decodeNoteFrame(image + int64_t{k} * common::kNoteFrameBytes);
    std::copy(frame.slots.begin(), frame.slots.end(), out.frames[k].slots.begin());
  }
  return {};
}

PartialPlot::PartialPlot(const Spectrogram* spectrogram, const PartialTracks* tracks, PlotView view)
    : spectrogram_(spectrogram), tracks_(tracks), view_(std::move(view)) {}

QColor PartialPlot::slotColour(int slot) {
  static const QColor colours[kPlotMaxSlots] = {
      QColor(0, 230, 255),   QColor(80, 255, 80),   QColor(255, 60, 60),   QColor(255, 150, 0),
      QColor(255, 80, 255),  QColor(255, 255, 120), QColor(120, 140, 255), QColor(190, 255, 0),
      QColor(255, 150, 200), QColor(0, 255, 190),   QColor(180, 100, 255), QColor(255, 255, 255),
      QColor(255, 200, 150), QColor(150, 210, 255), QColor(200, 255, 170)};
  return colours[std::clamp(slot, 0, kPlotMaxSlots - 1)];
}

double PartialPlot::endSeconds() const {
  if (view_.endSeconds >= 0) return std::max(view_.endSeconds, view_.startSeconds + 1e-3);
  double end = 0;
  if (spectrogram_ != nullptr) end = std::max(end, spectrogram_->frames * spectrogram_->hopSeconds);
  if (tracks_ != nullptr) {
    end = std::max(end, static_cast<double>(tracks_->frames.size()) * tracks_->frameSeconds);
  }
  return std::max(end, view_.startSeconds + 1e-3);
}

QRectF PartialPlot::plotArea(const QRect& area) const {
  return QRectF(area.left() + kLeft, area.top() + kTop,
                std::max(1.0, area.width() - kLeft - kRight),
                std::max(1.0, area.height() - kTop - kBottom));
}

double PartialPlot::xForSeconds(double seconds, const QRect& area) const {
  const QRectF p = plotArea(area);
  return p.left() +
         (seconds - view_.startSeconds) / (endSeconds() - view_.startSeconds) * p.width();
}

double PartialPlot::secondsForX(double x, const QRect& area) const {
  const QRectF p = plotArea(area);
  return view_.startSeconds + (x - p.left()) / p.width() * (endSeconds() - view_.startSeconds);
}

double PartialPlot::yForHz(double hz, const QRect& area) const {
  const QRectF p = plotArea(area);
  const double octaves = std::log(view_.maxHz / view_.minHz);
  return p.bottom() - std::log(std::max(hz, 1e-9) / view_.minHz) / octaves * p.height();
}

double PartialPlot::hzForY(double y, const QRect& area) const {
  const QRectF p = plotArea(area);
  return view_.minHz *
         std::exp((p.bottom() - y) / p.height() * std::log(view_.maxHz / view_.minHz));
}

void PartialPlot::paint(QPainter& painter, const QRect& area) const {
  const QRectF plot = plotArea(area);
  painter.save();
  painter.fillRect(area, QColor(250, 250, 250));
  QFont font = painter.font();
  font.setPixelSize(13);
  painter.setFont(font);
  const QFontMetricsF metrics(font);

  // The spectrogram, one pixel at a time: each column looks up its nearest frame, each row
  // interpolates between the two bins around its frequency.
  const QRect pixels = plot.toAlignedRect();
  QImage picture(std::max(1, pixels.width()), std::max(1, pixels.height()), QImage::Format_RGB32);
  picture.fill(heat(0));
  if (spectrogram_ != nullptr && spectrogram_->frames > 0 && spectrogram_->bins > 1) {
    const Spectrogram& s = *spectrogram_;
    const double top = s.maxDb;
    std::vector<double> binOfRow(static_cast<std::size_t>(picture.height()));
    for (int y = 0; y < picture.height(); ++y) {
      binOfRow[static_cast<std::size_t>(y)] = hzForY(pixels.top() + y + 0.5, area) / s.binHz;
    }
    for (int x = 0; x < picture.width(); ++x) {
      const double t = secondsForX(pixels.left() + x + 0.5, area);
      const double fx = std::round(t / s.hopSeconds);
      if (!(fx >= 0 && fx < s.frames)) continue;
      const int frame = static_cast<int>(fx);
      for (int y = 0; y < picture.height(); ++y) {
        const double b = std::clamp(binOfRow[static_cast<std::size_t>(y)], 0.0, s.bins - 1.001);
        const int b0 = static_cast<int>(b);
        const double v = s.at(frame, b0) + (s.at(frame, b0 + 1) - s.at(frame, b0)) * (b - b0);
        picture.setPixel(x, y, heat((v - (top - kRangeDb)) / kRangeDb));
      }
    }
  }
  painter.drawImage(pixels.topLeft(), picture);

  // Grid lines at the frequency ticks.
  painter.setPen(QPen(QColor(255, 255, 255, 50), 1));
  for (double hz : kFrequencyTicks) {
    if (hz < view_.minHz || hz > view_.maxHz) continue;
    const double y = yForHz(hz, area);
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }

  // The tracks: a line from each sounding frame to the next sounding one; a silent frame
  // breaks the line. Each segment's opacity and width follow its level against the loudest.
  if (tracks_ != nullptr && !tracks_->frames.empty()) {
    painter.save();
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const int voices = std::clamp(tracks_->voices, 1, kPlotMaxSlots);
    double peak = 0;
    for (const TrackFrame& f : tracks_->frames)
      for (int slot = 0; slot < voices; ++slot)
        peak = std::max<double>(peak, f.slots[static_cast<std::size_t>(slot)].level);
    const std::size_t n = tracks_->frames.size();
    for (int slot = 0; slot < voices; ++slot) {
      if (!view_.slotVisible[static_cast<std::size_t>(slot)]) continue;
      const QColor colour = slotColour(slot);
      auto point = [&](std::size_t k) {
        const common::PartialSlot& p = tracks_->frames[k].slots[static_cast<std::size_t>(slot)];
        // The middle of the frame's time span.
        return QPointF(xForSeconds((k + 0.5) * tracks_->frameSeconds, area),
                       yForHz(p.frequency / 10.0, area));
      };
      auto sounding = [&](std::size_t k) {
        const common::PartialSlot& p = tracks_->frames[k].slots[static_cast<std::size_t>(slot)];
        return p.level > 0 && p.frequency > 0;
      };
      for (std::size_t k = 0; k < n; ++k) {
        if (!sounding(k)) continue;
        const bool joined = k + 1 < n && sounding(k + 1);
        const double level =
            tracks_->frames[k].slots[static_cast<std::size_t>(slot)].level / std::max(peak, 1.0);
        // Square root: levels are linear amplitudes, and quiet partials should stay visible.
        const double strength = std::sqrt(std::clamp(level, 0.0, 1.0));
        QColor c = colour;
        c.setAlphaF(static_cast<float>(0.25 + 0.75 * strength));
        painter.setPen(QPen(c, 1.2 + 2.0 * strength, Qt::SolidLine, Qt::RoundCap));
        const QPointF a = point(k);
        if (joined) {
          painter.drawLine(a, point(k + 1));
        } else {
          // A frame on its own: a short dash across its own time span.
          const double half = (xForSeconds(tracks_->frameSeconds, area) - xForSeconds(0, area)) / 2;
          painter.drawLine(QPointF(a.x() - half, a.y()), QPointF(a.x() + half, a.y()));
        }
      }
    }
    painter.restore();
  }

  // Frame, ticks and labels.
  painter.setPen(QPen(QColor(40, 40, 40), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(plot);
  for (double hz : kFrequencyTicks) {
    if (hz < view_.minHz || hz > view_.maxHz) continue;
    const double y = yForHz(hz, area);
    painter.drawLine(QPointF(plot.left() - 5, y), QPointF(plot.left(), y));
    const QString label = tickLabel(hz);
    painter.drawText(
        QPointF(plot.left() - 8 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2 - 1),
        label);
  }
  const double start = view_.startSeconds, end = endSeconds();
  const double step = timeStep(end - start, std::max(2, static_cast<int>(plot.width() / 70)));
  for (double t = std::ceil(start / step) * step; t <= end + step * 1e-6; t += step) {
    const double x = xForSeconds(t, area);
    painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 5));
    const QString label = QString::number(t, 'g', 6);
    painter.drawText(
        QPointF(x - metrics.horizontalAdvance(label) / 2, plot.bottom() + 8 + metrics.ascent()),
        label);
  }
  const QString timeTitle = QString::fromStdString(view_.labels.time);
  painter.drawText(
      QPointF(plot.center().x() - metrics.horizontalAdvance(timeTitle) / 2, area.bottom() - 6),
      timeTitle);
  painter.save();
  painter.translate(area.left() + 8 + metrics.ascent(), plot.center().y());
  painter.rotate(-90);
  const QString hzTitle = QString::fromStdString(view_.labels.frequency);
  painter.drawText(QPointF(-metrics.horizontalAdvance(hzTitle) / 2, 0), hzTitle);
  painter.restore();

  // Title, then the legend on the line below it.
  QFont titleFont = font;
  titleFont.setPixelSize(17);
  titleFont.setBold(true);
  painter.setFont(titleFont);
  painter.drawText(QPointF(plot.left(), area.top() + 24), QString::fromStdString(view_.title));
  painter.setFont(font);
  double x = plot.left();
  const double y = area.top() + 48;
  // Six entries read "partial 1" to "partial 6"; more are numbers after the word, once.
  const int entries =
      tracks_ != nullptr ? std::clamp(tracks_->voices, 1, kPlotMaxSlots) : kPlotSlots;
  const bool compact = entries > kPlotSlots;
  if (compact) {
    const QString word = QString::fromStdString(view_.labels.partial);
    painter.setPen(QPen(QColor(40, 40, 40)));
    painter.drawText(QPointF(x, y), word);
    x += metrics.horizontalAdvance(word) + 10;
  }
  for (int slot = 0; slot < entries; ++slot) {
    const QString label =
        compact ? QString::number(slot + 1)
                : QString::fromStdString(view_.labels.partial) + QString(" %1").arg(slot + 1);
    QColor c = slotColour(slot);
    painter.fillRect(QRectF(x, y - 9, 22, 10), QColor(30, 20, 60));
    painter.setPen(QPen(c, 3));
    painter.drawLine(QPointF(x + 2, y - 4), QPointF(x + 20, y - 4));
    painter.setPen(QPen(view_.slotVisible[static_cast<std::size_t>(slot)] ? QColor(40, 40, 40)
                                                                          : QColor(160, 160, 160)));
    painter.drawText(QPointF(x + 28, y), label);
    x += 28 + metrics.horizontalAdvance(label) + (compact ? 8 : 18);
  }
  painter.restore();
}

std::string writePlotPng(const PartialPlot& plot, int width, int height,
                         const std::string& pngPath) {
  if (width < 64 || height < 64 || width > 16384 || height > 16384) {
    return std::string(msg::kNoMemory);
  }
  ensureGuiApplication();
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return std::string(msg::kNoMemory);
  {
    QPainter painter(&image);
    plot.paint(painter, image.rect());
  }
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) return std::string(msg::kWriteError);
  return common::writeWholeFile(pngPath, reinterpret_cast<const uint8_t*>(png.constData()),
                                static_cast<int32_t>(png.size()));
}

namespace {

constexpr int kPngWidth = 1200;
constexpr int kPngHeight = 600;

std::string plotSamples(const std::vector<int16_t>& samples, int channels,
                        const std::string& datPath, const std::string& pngPath,
                        const std::string& title) {
  PartialTracks tracks;
  std::string failure = readPartialTracks(datPath, tracks);
  if (!failure.empty()) return failure;
  const std::vector<float> mono = monoOf(samples, channels);
  // 10 ms hops, coarser for long recordings: a few frames per pixel column are enough, and
  // a 600-second recording would otherwise take a quarter of a gigabyte.
  SpectrogramParams params;
  params.hop = std::max<std::size_t>(params.hop, mono.size() / (4 * kPngWidth));
  const Spectrogram spectrogram = computeSpectrogram(mono.data(), mono.size(), 44100.0, params);
  PlotView view;
  view.title = title;
  const PartialPlot plot(&spectrogram, &tracks, view);
  return writePlotPng(plot, kPngWidth, kPngHeight, pngPath);
}

}  // namespace

std::string plotRecording(const std::string& recordingPath, const std::string& datPath,
                          const std::string& pngPath) {
  Recording recording;
  std::string failure = decodeRecording(recordingPath, recording);
  if (!failure.empty()) return failure;
  return plotSamples(recording.samples, recording.channels, datPath, pngPath,
                     baseName(recordingPath));
}

std::string plotRendering(const std::vector<int16_t>& stereo44k, const std::string& datPath,
                          const std::string& pngPath, const std::string& title) {
  return plotSamples(stereo44k, 2, datPath, pngPath, title);
}

std::string plotPathFor(const std::string& outputPath) {
  return replaceExtension(outputPath, ".png");
}

}  // namespace media
