#include "studio_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "analysis_job.h"
#include "analysis_panel.h"
#include "build_panel.h"
#include "listen_panel.h"
#include "messages.h"
#include "platform_services.h"
#include "player.h"
#include "plot_panel.h"
#include "port_player.h"
#include "render_job.h"
#include "render_progress.h"
#include "smf_reader.h"
#include "studio_language.h"
#include "studio_menus.h"

namespace studio {

namespace {

constexpr int kRate = 44100;

}  // namespace

StudioWindow::StudioWindow(QWidget* parent)
    : QMainWindow(parent),
      analysisPanel_(new AnalysisPanel),
      buildPanel_(new BuildPanel),
      plotPanel_(new PlotPanel),
      listenPanel_(new ListenPanel),
      summary_(new QLabel),
      side_(new QWidget),
      sideScroll_(new QScrollArea),
      renderProgress_(new RenderProgress),
      player_(new Player(this)),
      portPlayer_(new PortPlayer(this)),
      job_(new AnalysisJob(this)),
      renderJob_(new RenderJob(this)),
      ticker_(new QTimer(this)),
      savePath_(askSavePath),
      confirmReplace_(askReplace),
      showMessage_(showMessageBox) {
  setObjectName(QStringLiteral("studio"));
  setAcceptDrops(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  summary_->setWordWrap(true);

  auto* sideLayout = new QVBoxLayout(side_);
  sideLayout->addWidget(analysisPanel_);
  sideLayout->addWidget(listenPanel_);
  sideLayout->addWidget(buildPanel_);
  sideLayout->addStretch(1);
  sideScroll_->setWidget(side_);
  sideScroll_->setWidgetResizable(true);
  sideScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sideScroll_->setFrameShape(QFrame::NoFrame);
  fitSidePanel();

  auto* right = new QVBoxLayout;
  right->addWidget(summary_);
  right->addWidget(plotPanel_, 1);
  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  layout->addWidget(sideScroll_);
  layout->addLayout(right, 1);
  setCentralWidget(central);
  menus_ = new StudioMenus(this);
  connect(menus_, &StudioMenus::openRequested, this, [this] { browse(false); });
  connect(menus_, &StudioMenus::openPartRequested, this, [this] { browse(true); });
  statusBar()->addPermanentWidget(renderProgress_);
  connect(renderProgress_, &RenderProgress::cancelRequested, this, &StudioWindow::cancelRender);
  connect(renderJob_, &RenderJob::progress, this, &StudioWindow::renderProgressed);
  connect(menus_, &StudioMenus::saveRequested, this, &StudioWindow::saveWithDialog);

  connect(analysisPanel_, &AnalysisPanel::analyseRequested, this, &StudioWindow::startAnalysis);
  connect(analysisPanel_, &AnalysisPanel::cancelRequested, this, &StudioWindow::cancelAnalysis);
  connect(job_, &AnalysisJob::progress, this, &StudioWindow::analysisProgress);
  connect(job_, &AnalysisJob::finished, this, &StudioWindow::analysisDone);
  connect(renderJob_, &RenderJob::finished, this, &StudioWindow::renderDone);
  connect(buildPanel_, &BuildPanel::buildRequested, this, &StudioWindow::buildMidi);
  connect(buildPanel_, &BuildPanel::optionsChanged, this, [this] {
    document_.invalidateMidi();
    updateActions();
  });
  connect(listenPanel_, &ListenPanel::playRequested, this, &StudioWindow::play);
  connect(listenPanel_, &ListenPanel::stopRequested, this, &StudioWindow::stop);
  connect(listenPanel_, &ListenPanel::sourceChanged, this, [this](bool rendering) {
    if (playing()) play(rendering);
  });
  connect(listenPanel_, &ListenPanel::refreshPortsRequested, this, &StudioWindow::refreshPorts);
  connect(portPlayer_, &PortPlayer::stopped, this, [this](const QString& message) {
    ticker_->stop();
    updateActions();
    if (!message.isEmpty()) showFailure(tr("Listen"), tr("MIDI port: %1").arg(message));
  });
  connect(player_, &Player::stopped, this, [this] {
    ticker_->stop();
    updateActions();
  });
  connect(plotPanel_, &PlotPanel::seekRequested, this, [this](double seconds) {
    const bool wasPlaying = playing();
    stop();
    plotPanel_->setPlayHead(seconds);
    if (wasPlaying) play(listenPanel_->renderingChosen());
  });
  ticker_->setInterval(30);
  connect(ticker_, &QTimer::timeout, this, &StudioWindow::tick);

  retranslate();
  refreshPorts();
  updateActions();
  resize(1280, 800);
}

StudioWindow::~StudioWindow() {
  player_->stop();
  portPlayer_->stop();
}

void StudioWindow::retranslate() {
  setWindowTitle(document_.empty() ? tr("Sevrane Studio")
                                   : tr("%1 - Sevrane Studio").arg(fileName()));
  menus_->retranslate();
  summary_->setText(summary());
  refreshPlot();
  // The panels' own texts change after this (each gets the event in turn): the side is fitted
  // to them once they have.
  QTimer::singleShot(0, this, &StudioWindow::fitSidePanel);
}

void StudioWindow::fitSidePanel() {
  // Wide enough for the longest label of the language shown, with room for the scroll bar.
  side_->adjustSize();
  sideScroll_->setMinimumWidth(side_->sizeHint().width() + 24);
}

QString StudioWindow::summary() const {
  return summaryOf(document_);
}

QString StudioWindow::fileName() const {
  return QFileInfo(qtfront::toQString(document_.sourcePath())).fileName();
}

void StudioWindow::updateActions() {
  const bool busy = job_->running();
  const bool recording = document_.hasRecording();
  const bool frames = document_.hasFrames();
  analysisPanel_->analyseButton()->setEnabled(recording && !busy);
  menus_->setAvailable(!busy, frames, frames && !renderJob_->running(), recording || frames);
  buildPanel_->buildButton()->setEnabled(frames && !busy);
  buildPanel_->setFrameVoices(document_.framesWide() ? document_.frames().voices : 0);
  listenPanel_->setAvailable(recording, frames, !busy && !renderJob_->running(), playing());
}

void StudioWindow::showStatus(const QString& text) {
  statusBar()->showMessage(text);
}

void StudioWindow::refreshPlot(bool newFile) {
  plotPanel_->setData(document_.hasRecording() ? &document_.spectrogram() : nullptr,
                      document_.tracks().frames.empty() ? nullptr : &document_.tracks(),
                      document_.duration(), document_.empty() ? QString() : fileName(), newFile);
}

bool StudioWindow::startAnalysis() {
  if (!document_.hasRecording() || job_->running()) return false;
  stop();
  AnalysisRequest request;
  analysisPanel_->fillRequest(request);
  if (!job_->start(document_.recording(), request)) return false;
  analysisPanel_->setRunning(true);
  updateActions();
  showStatus(tr("Analysing..."));
  return true;
}

void StudioWindow::cancelAnalysis() {
  job_->cancel();
}

bool StudioWindow::analysing() const {
  return job_->running();
}

void StudioWindow::analysisProgress(double fractionDone, double secondsLeft) {
  analysisPanel_->setProgress(tr("About %1 s left").arg(std::trunc(secondsLeft), 0, 'f', 0),
                              fractionDone);
}

void StudioWindow::analysisDone(const QString& message, bool written) {
  analysisPanel_->setRunning(false);
  // A new analysis replaces the old one only when it succeeded.
  if (written) {
    document_.setFrames(job_->takeFrames());
    listenPanel_->chooseRendering();
  }
  retranslate();
  updateActions();
  const QString text = tr("Analysis: %1").arg(messageText(qtfront::toUtf8(message)));
  // A cancelled analysis is what the user asked for; any other outcome without frames failed.
  if (written || qtfront::toUtf8(message) == msg::kCancelled) {
    showStatus(text);
  } else {
    showFailure(tr("Analysis"), text);
  }
  Q_EMIT analysisFinished(message, written);
}

bool StudioWindow::buildMidi() {
  if (!document_.hasFrames()) return false;
  const std::optional<midibuilder::BuilderOptions> options = buildPanel_->validatedOptions();
  if (!options) {
    showFailure(tr("MIDI file"), tr("The MIDI options need a change (see beside the field)."));
    return false;
  }
  const std::string message = document_.buildMidi(*options);
  if (!message.empty()) {
    showFailure(tr("MIDI file"), tr("MIDI file: %1").arg(messageText(message)));
    return false;
  }
  showStatus(tr("MIDI file built: %1 bytes").arg(document_.midi().size()));
  updateActions();
  return true;
}

bool StudioWindow::startRender(std::function<void()> then) {
  if (renderJob_->running()) {
    // The one running is of the MIDI file there is now: wait for it rather than start again.
    if (document_.midiStale() || renderingFor_ != document_.midiVersion()) return false;
    if (then) afterRender_.push_back(std::move(then));
    return true;
  }
  if (document_.midiStale() && !buildMidi()) return false;
  media::RenderOptions options;
  // Cut the set-up lead-in at the note start, so that the rendering's time 0 is frame 0 and
  // lines up with the recording.
  options.startTick = document_.midiNoteStart();
  if (!renderJob_->start(document_.midi(), options)) return false;
  renderingFor_ = document_.midiVersion();
  afterRender_.clear();
  if (then) afterRender_.push_back(std::move(then));
  renderProgress_->setRunning(true);
  showStatus(tr("Rendering..."));
  updateActions();
  return true;
}

void StudioWindow::cancelRender() {
  afterRender_.clear();
  renderJob_->cancel();
}

bool StudioWindow::renderRunning() const {
  return renderJob_->running();
}

void StudioWindow::renderProgressed(double fractionDone, double secondsLeft) {
  renderProgress_->setProgress(fractionDone, secondsLeft);
}

void StudioWindow::renderDone(const std::string& message, const std::vector<int16_t>& stereo) {
  std::vector<std::function<void()>> then = std::move(afterRender_);
  afterRender_.clear();
  renderProgress_->setRunning(false);
  // A MIDI file built meanwhile makes this rendering out of date.
  const bool current = message.empty() && document_.setRendering(renderingFor_, stereo);
  if (current) {
    showStatus(tr("Rendered %1 s").arg(static_cast<double>(stereo.size()) / 2 / kRate, 0, 'f', 2));
  } else if (message == msg::kCancelled) {
    showStatus(tr("Rendering cancelled: nothing was kept or written."));
  } else if (!message.empty()) {
    showFailure(tr("Rendering"), tr("Rendering: %1").arg(messageText(message)));
  }
  updateActions();
  const bool ok = current;
  Q_EMIT renderFinished(ok);
  if (ok) {
    for (const std::function<void()>& next : then) next();
  }
}

bool StudioWindow::play(bool rendering) {
  if (listenPanel_->portChosen()) return playToPort();
  if (!Player::outputAvailable()) {
    showStatus(tr("No audio output device: nothing can be played here."));
    return false;
  }
  // Switching sources keeps the time: start where the other one was heard.
  double from = playPosition();
  portPlayer_->stop();
  if (from < 0.0) from = plotPanel_->canvas()->view().startSeconds;
  if (rendering && !document_.renderingCurrent()) {
    // Play once the rendering is there, from the time asked for now.
    plotPanel_->setPlayHead(from);
    player_->stop();
    return startRender([this] { play(true); });
  }
  const std::vector<int16_t>& samples =
      rendering ? document_.rendering() : document_.recording().samples;
  const int channels = rendering ? 2 : document_.recording().channels;
  if (samples.empty()) return false;
  const double length = static_cast<double>(samples.size()) / channels / kRate;
  if (from >= length - 0.05) from = 0.0;
  if (!player_->play(samples, channels, from)) {
    showStatus(tr("The audio output did not start."));
    return false;
  }
  ticker_->start();
  showStatus(rendering ? tr("Playing the rendering") : tr("Playing the original"));
  updateActions();
  return true;
}

void StudioWindow::stop() {
  player_->stop();
  portPlayer_->stop();
}

bool StudioWindow::playing() const {
  return player_->playing() || portPlayer_->playing();
}

double StudioWindow::playPosition() const {
  if (portPlayer_->playing()) return portPlayer_->positionSeconds() - portOffset_;
  if (player_->playing()) return player_->positionSeconds();
  return plotPanel_->canvas()->playHead();
}

void StudioWindow::refreshPorts() {
  listenPanel_->setPorts(PortPlayer::portNames());
  updateActions();
}

bool StudioWindow::playToPort() {
  double from = playPosition();
  if (from < 0.0) from = plotPanel_->canvas()->view().startSeconds;
  player_->stop();
  if (document_.midiStale() && !buildMidi()) return false;
  // The play head counts from the note start, where the rendering starts; the MIDI file's own
  // time is later by the set-up before it.
  const midibuilder::SmfReadResult read = midibuilder::readSmf(document_.midi());
  portOffset_ =
      read.file ? midibuilder::TempoMap(*read.file).secondsAt(document_.midiNoteStart()) : 0.0;
  const QString failure = portPlayer_->play(document_.midi(), listenPanel_->chosenPort(),
                                            std::max(0.0, from) + portOffset_);
  if (!failure.isEmpty()) {
    showFailure(tr("Listen"), tr("MIDI port: %1").arg(failure));
    updateActions();
    return false;
  }
  ticker_->start();
  showStatus(tr("Playing to %1").arg(listenPanel_->chosenPort()));
  updateActions();
  return true;
}

void StudioWindow::tick() {
  if (playing()) plotPanel_->setPlayHead(playPosition());
}

void StudioWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) retranslate();
  QMainWindow::changeEvent(event);
}

void StudioWindow::closeEvent(QCloseEvent* event) {
  player_->stop();
  portPlayer_->stop();
  job_->cancel();
  cancelRender();
  event->accept();
}

}  // namespace studio
