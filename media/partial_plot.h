// The partial picture: a recording's spectrogram on a logarithmic frequency axis with the
// DAT's partial tracks drawn over it. Drawn with QPainter on any paint device, so the same
// code serves PNG files and windows.
#pragma once

#include <QPainter>
#include <QRect>
#include <QRectF>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "note_frame.h"
#include "spectrum.h"

namespace media {

// A DAT file's tracks: six partials.
inline constexpr int kPlotSlots = 6;
// The most tracks a picture draws: the widest note frames' voices.
inline constexpr int kPlotMaxSlots = 15;

struct TrackFrame {
  std::array<common::PartialSlot, kPlotMaxSlots> slots{};
};

struct PartialTracks {
  std::vector<TrackFrame> frames;
  double frameSeconds = 1.0 / 60;
  int voices = kPlotSlots;  // tracks drawn (and legend entries): 1 to kPlotMaxSlots
};

// Reads every whole 64-byte record of a DAT file.
std::string readPartialTracks(const std::string& datPath, PartialTracks& out);

// The picture's words, in the interface's language; the command lines draw the English ones.
struct PlotLabels {
  std::string time = "time (s)";
  std::string frequency = "frequency (Hz)";
  std::string partial = "partial";  // the legend's "partial 1" to "partial 6", or "partial 1 2 ..."
};

struct PlotView {
  double startSeconds = 0;
  double endSeconds = -1;  // < 0: to the end of the longer of spectrogram and tracks
  double minHz = 50;
  double maxHz = 8000;
  std::array<bool, kPlotMaxSlots> slotVisible = allSlotsVisible();
  static constexpr std::array<bool, kPlotMaxSlots> allSlotsVisible() {
    std::array<bool, kPlotMaxSlots> all{};
    all.fill(true);
    return all;
  }
  std::string title;
  PlotLabels labels;
};

class PartialPlot {
 public:
  // Either pointer may be null (nothing of it drawn); both must outlive the plot.
  PartialPlot(const Spectrogram* spectrogram, const PartialTracks* tracks, PlotView view);

  // Spectrogram, tracks, axes, legend and title inside `area`.
  void paint(QPainter& painter, const QRect& area) const;
  // The data rectangle inside `area`.
  QRectF plotArea(const QRect& area) const;
  double xForSeconds(double seconds, const QRect& area) const;
  double secondsForX(double x, const QRect& area) const;
  double yForHz(double hz, const QRect& area) const;
  double hzForY(double y, const QRect& area) const;

  // The time span shown (the view's, with a negative end resolved).
  double startSeconds() const { return view_.startSeconds; }
  double endSeconds() const;
  const PlotView& view() const { return view_; }
  void setView(const PlotView& view) { view_ = view; }
  // The colour of track slot 0 to kPlotMaxSlots - 1: the DAT's six first, then nine more
  // light, saturated hues between them.
  static QColor slotColour(int slot);

 private:
  const Spectrogram* spectrogram_;
  const PartialTracks* tracks_;
  PlotView view_;
};

// Qt wants a runtime folder and warns on stderr when XDG_RUNTIME_DIR names none (as under cron,
// ssh without a session, or a container): this sets it to a private one, removed at exit. Call
// it before the program's QGuiApplication is made. Nothing on Windows and macOS.
void provideRuntimeDir();

// Creates an off-screen QGuiApplication first when the program has none (call it from the
// main thread then).
std::string writePlotPng(const PartialPlot& plot, int width, int height,
                         const std::string& pngPath);

// Whole jobs for the command lines: the picture of a recording (any file decodeRecording
// reads) with its DAT's tracks, and of a rendering with the DAT it came from. The tracks are
// drawn from time 0, so the rendering should start at the DAT's frame 0: rendered with
// RenderOptions::startTick set to the MIDI file's note start tick.
std::string plotRecording(const std::string& recordingPath, const std::string& datPath,
                          const std::string& pngPath);
std::string plotRendering(const std::vector<int16_t>& stereo44k, const std::string& datPath,
                          const std::string& pngPath, const std::string& title);
// x.dat / x.mid -> x.png
std::string plotPathFor(const std::string& outputPath);

}  // namespace media
