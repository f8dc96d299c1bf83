// The studio's picture: the media layer's partial plot (spectrogram with the partial tracks)
// painted in a widget, zoomed and scrolled in time, one check box per slot, a play head, and a
// read-out of the frame, frequency and level under the mouse.
#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>
#include <array>
#include <memory>

#include "partial_plot.h"
#include "spectrum.h"

class QCheckBox;
class QLabel;
class QScrollBar;
class QToolButton;

namespace studio {

// The name of the equal-tempered note nearest `hz` (A4 = 440 Hz), e.g. "A4", "C#5".
QString noteName(double hz);

class PlotCanvas : public QWidget {
  Q_OBJECT

 public:
  explicit PlotCanvas(QWidget* parent = nullptr);

  // Neither is owned; either may be null (no spectrogram for a DAT file opened alone).
  void setData(const media::Spectrogram* spectrogram, const media::PartialTracks* tracks,
               double durationSeconds);
  void setView(const media::PlotView& view);
  const media::PlotView& view() const { return view_; }
  // A negative time hides the play head.
  void setPlayHead(double seconds);
  double playHead() const { return playHead_; }

  // The plot as painted into the widget's whole rectangle.
  media::PartialPlot plot() const;
  // What lies under a point of the widget: frame time, the nearest visible partial's frequency
  // (Hz and note) and level (dB of full scale); empty outside the data area.
  QString readoutAt(const QPointF& point) const;

 Q_SIGNALS:
  void hovered(const QString& readout);
  // The wheel asks for a zoom by `factor` around the time under the mouse.
  void zoomRequested(double factor, double aroundSeconds);
  // A click in the data area puts the play head there.
  void seekRequested(double seconds);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  const media::Spectrogram* spectrogram_ = nullptr;
  const media::PartialTracks* tracks_ = nullptr;
  double duration_ = 0.0;
  media::PlotView view_;
  double playHead_ = -1.0;
  // The picture as last painted, so that a moving play head does not repaint the spectrogram;
  // null when the data, the view or the size changed since.
  QPixmap cache_;
};

// A longer recording opens with a span in which a syllable is still a few pixels wide.
inline constexpr double kWholeViewSeconds = 30.0;
inline constexpr double kReadableSpanSeconds = 20.0;

class PlotPanel : public QWidget {
  Q_OBJECT

 public:
  explicit PlotPanel(QWidget* parent = nullptr);

  // New data for the picture. The time span shown stays as it was (inside the new duration)
  // unless `newFile`: then a recording up to kWholeViewSeconds long is shown whole, a longer
  // one from its start kReadableSpanSeconds at a time.
  void setData(const media::Spectrogram* spectrogram, const media::PartialTracks* tracks,
               double durationSeconds, const QString& title, bool newFile = true);
  void setPlayHead(double seconds);
  // Zooms so that `span` seconds fill the width, keeping the left edge where possible.
  void zoomTo(double startSeconds, double spanSeconds);
  PlotCanvas* canvas() const { return canvas_; }
  QCheckBox* slotBox(int slot) const { return slotBoxes_[static_cast<std::size_t>(slot)]; }
  QScrollBar* scrollBar() const { return scroll_; }

 Q_SIGNALS:
  void seekRequested(double seconds);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void retranslate();
  void zoomBy(double factor, double aroundSeconds);
  void scrolled(int value);
  void updateScrollBar();

  PlotCanvas* canvas_;
  QScrollBar* scroll_;
  QToolButton* zoomIn_;
  QToolButton* zoomOut_;
  QToolButton* zoomAll_;
  QLabel* slotsLabel_;
  std::array<QCheckBox*, media::kPlotMaxSlots> slotBoxes_{};
  QLabel* readout_;
  double duration_ = 0.0;
  double start_ = 0.0;
  double span_ = 0.0;  // 0 = the whole recording
};

}  // namespace studio
