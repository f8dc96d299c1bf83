#include "partial_plot.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>

namespace {

// Rows of column `x` painted in `colour` (within a small tolerance for antialiasing).
std::vector<int> rowsOf(const QImage& image, int x, QColor colour) {
  std::vector<int> rows;
  for (int y = 0; y < image.height(); ++y) {
    const QColor c = image.pixelColor(x, y);
    if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
            std::abs(c.blue() - colour.blue()) <
        60)
      rows.push_back(y);
  }
  return rows;
}

TEST(PartialPlotTest, TracksLandOnTheirFrequencyAndBreakAtSilence) {
  int argc = 3;
  char name[] = "plot", option[] = "-platform", platform[] = "offscreen";
  char* argv[] = {name, option, platform, nullptr};
  QGuiApplication app(argc, argv);

  media::PartialTracks tracks;
  tracks.frames.resize(60);  // one second
  for (int k = 0; k < 60; ++k) tracks.frames[k].slots[0] = {k == 30 ? 0 : 1000, 4400};
  const media::PartialPlot plot(nullptr, &tracks, media::PlotView{});
  QImage image(800, 400, QImage::Format_RGB32);
  {
    QPainter painter(&image);
    plot.paint(painter, image.rect());
  }
  const QRect area = image.rect();
  const QColor colour = media::PartialPlot::slotColour(0);
  const double y440 = plot.yForHz(440, area);
  // Octaves are equally tall: 440 Hz lies log(440/50)/log(160) of the way up from 50 Hz.
  const QRectF p = plot.plotArea(area);
  EXPECT_NEAR(y440, p.bottom() - std::log(8.8) / std::log(160.0) * p.height(), 1e-9);
  EXPECT_NEAR(plot.hzForY(y440, area), 440, 1e-9);
  EXPECT_NEAR(plot.secondsForX(plot.xForSeconds(0.25, area), area), 0.25, 1e-12);

  const std::vector<int> rows =
      rowsOf(image, static_cast<int>(plot.xForSeconds(0.2, area)), colour);
  ASSERT_FALSE(rows.empty());
  EXPECT_NEAR((rows.front() + rows.back()) / 2.0, y440, 1.5);
  // Frame 30 is silent: nothing of the track at its middle.
  EXPECT_TRUE(rowsOf(image, static_cast<int>(plot.xForSeconds(30.5 / 60, area)), colour).empty());
}

}  // namespace
