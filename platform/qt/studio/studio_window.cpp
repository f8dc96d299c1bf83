#include "studio_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "alloc_registry.h"
#include "analysis_job.h"
#include "analysis_panel.h"
#include "build_panel.h"
#include "converter_window.h"
#include "file_io.h"
#include "messages.h"
#include "platform_services.h"
#include "player.h"
#include "plot_panel.h"
#include "render.h"
#include "render_job.h"
#include "smf_writer.h"
#include "studio_language.h"

namespace studio {

namespace {

constexpr int kRate = 44100;
// The picture a PNG save writes.
constexpr int kPictureWidth = 1600;
constexpr int kPictureHeight = 900;
// DAT files the builder takes: at most its frame capacity, so reading one is bounded.
// Spectrogram columns at most: 10 ms apart up to four minutes, wider apart beyond, so that a
// 600-second recording takes about 100 MB of spectrum rather than 250 MB.
constexpr std::size_t kMaxSpectrogramFrames = 24000;
constexpr qint64 kMaxDatBytes = qint64{midibuilder::kTableFrames} * common::kNoteFrameBytes;

bool endsWith(const QString& path, const char* suffix) {
  return path.endsWith(QLatin1String(suffix), Qt::CaseInsensitive);
}

// Reads a whole file of at most `limit` bytes; false when it cannot be read or is larger.
bool readBytes(const QString& path, qint64 limit, std::vector<uint8_t>& out) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly) || file.size() > limit) return false;
  const QByteArray bytes = file.readAll();
  out.assign(bytes.begin(), bytes.end());
  return true;
}

QString saveDialog(QWidget* owner, const QString& title, const QString& suggested,
                   const QString& filter) {
  // The window asks before replacing, so the dialog's own question is turned off.
  return QFileDialog::getSaveFileName(owner, title, suggested, filter, nullptr,
                                      QFileDialog::DontConfirmOverwrite);
}

bool confirmDialog(QWidget* owner, const QString& path) {
  return QMessageBox::question(
             owner, StudioWindow::tr("Replace file"),
             StudioWindow::tr("%1 exists already. Replace it?").arg(QDir::toNativeSeparators(path)),
             QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

StudioWindow::StudioWindow(QWidget* parent)
    : QMainWindow(parent),
      analysisPanel_(new AnalysisPanel),
      buildPanel_(new BuildPanel),
      plotPanel_(new PlotPanel),
      summary_(new QLabel),
      play_(new QPushButton),
      stop_(new QPushButton),
      original_(new QRadioButton),
      rendered_(new QRadioButton),
      playLabel_(new QLabel),
      hear_(new QGroupBox),
      player_(new Player(this)),
      job_(new AnalysisJob(this)),
      renderJob_(new RenderJob(this)),
      ticker_(new QTimer(this)),
      savePath_(saveDialog),
      confirmReplace_(confirmDialog),
      tables_(std::make_unique<midibuilder::BuilderTables>()),
      registry_(std::make_unique<common::AllocationRegistry>()) {
  setObjectName(QStringLiteral("studio"));
  setAcceptDrops(true);
  play_->setObjectName(QStringLiteral("play"));
  stop_->setObjectName(QStringLiteral("stop"));
  rendered_->setChecked(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  summary_->setWordWrap(true);

  auto* hearLayout = new QVBoxLayout(hear_);
  auto* sources = new QHBoxLayout;
  sources->addWidget(original_);
  sources->addWidget(rendered_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(play_, 1);
  buttons->addWidget(stop_);
  hearLayout->addWidget(playLabel_);
  hearLayout->addLayout(sources);
  hearLayout->addLayout(buttons);

  auto* side = new QWidget;
  auto* sideLayout = new QVBoxLayout(side);
  sideLayout->addWidget(analysisPanel_);
  sideLayout->addWidget(hear_);
  sideLayout->addWidget(buildPanel_);
  sideLayout->addStretch(1);
  auto* sideScroll = new QScrollArea;
  sideScroll->setWidget(side);
  sideScroll->setWidgetResizable(true);
  sideScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sideScroll->setFrameShape(QFrame::NoFrame);
  sideScroll->setMinimumWidth(side->sizeHint().width() + 24);

  auto* right = new QVBoxLayout;
  right->addWidget(summary_);
  right->addWidget(plotPanel_, 1);
  auto* central = new QWidget;
  auto* layout = new QHBoxLayout(central);
  layout->addWidget(sideScroll);
  layout->addLayout(right, 1);
  setCentralWidget(central);
  buildMenus();

  connect(analysisPanel_, &AnalysisPanel::analyseRequested, this, &StudioWindow::startAnalysis);
  connect(analysisPanel_, &AnalysisPanel::cancelRequested, this, &StudioWindow::cancelAnalysis);
  connect(job_, &AnalysisJob::progress, this, &StudioWindow::analysisProgress);
  connect(job_, &AnalysisJob::finished, this, &StudioWindow::analysisDone);
  connect(renderJob_, &RenderJob::finished, this, &StudioWindow::renderDone);
  connect(buildPanel_, &BuildPanel::buildRequested, this, &StudioWindow::buildMidi);
  connect(buildPanel_, &BuildPanel::optionsChanged, this, &StudioWindow::optionsChanged);
  connect(play_, &QPushButton::clicked, this, [this] { play(rendered_->isChecked()); });
  connect(stop_, &QPushButton::clicked, this, &StudioWindow::stop);
  connect(rendered_, &QRadioButton::toggled, this, &StudioWindow::sourceToggled);
  connect(player_, &Player::stopped, this, [this] {
    ticker_->stop();
    updateActions();
  });
  connect(plotPanel_, &PlotPanel::seekRequested, this, [this](double seconds) {
    const bool playing = player_->playing();
    player_->stop();
    plotPanel_->setPlayHead(seconds);
    if (playing) play(rendered_->isChecked());
  });
  ticker_->setInterval(30);
  connect(ticker_, &QTimer::timeout, this, &StudioWindow::tick);

  retranslate();
  updateActions();
  resize(1280, 800);
}

StudioWindow::~StudioWindow() {
  player_->stop();
}

void StudioWindow::buildMenus() {
  fileMenu_ = menuBar()->addMenu(QString());
  openAction_ = fileMenu_->addAction(QString(), this, &StudioWindow::browse);
  openAction_->setShortcut(QKeySequence::Open);
  fileMenu_->addSeparator();
  saveDatAction_ = fileMenu_->addAction(QString(), this, [this] { saveWithDialog(SaveKind::Dat); });
  saveMidiAction_ =
      fileMenu_->addAction(QString(), this, [this] { saveWithDialog(SaveKind::Midi); });
  saveMidiAction_->setShortcut(QKeySequence::Save);
  saveWaveAction_ =
      fileMenu_->addAction(QString(), this, [this] { saveWithDialog(SaveKind::Rendering); });
  savePngAction_ =
      fileMenu_->addAction(QString(), this, [this] { saveWithDialog(SaveKind::Picture); });
  fileMenu_->addSeparator();
  quitAction_ = fileMenu_->addAction(QString(), this, &QWidget::close);
  quitAction_->setShortcut(QKeySequence::Quit);

  languageMenu_ = menuBar()->addMenu(QString());
  auto* group = new QActionGroup(this);
  englishAction_ = languageMenu_->addAction(QStringLiteral("English"));
  japaneseAction_ = languageMenu_->addAction(QStringLiteral("日本語"));
  for (QAction* action : {englishAction_, japaneseAction_}) {
    action->setCheckable(true);
    group->addAction(action);
  }
  (currentLanguage() == Language::Japanese ? japaneseAction_ : englishAction_)->setChecked(true);
  connect(englishAction_, &QAction::triggered, this, [] { setLanguage(Language::English); });
  connect(japaneseAction_, &QAction::triggered, this, [] { setLanguage(Language::Japanese); });
}

void StudioWindow::retranslate() {
  setWindowTitle(sourcePath_.isEmpty()
                     ? tr("Sevrane Studio")
                     : tr("%1 - Sevrane Studio").arg(QFileInfo(sourcePath_).fileName()));
  fileMenu_->setTitle(tr("&File"));
  openAction_->setText(tr("&Open..."));
  saveDatAction_->setText(tr("Save &DAT file..."));
  saveMidiAction_->setText(tr("Save &MIDI file..."));
  saveWaveAction_->setText(tr("Save rendered &WAVE..."));
  savePngAction_->setText(tr("Save &picture (PNG)..."));
  quitAction_->setText(tr("&Quit"));
  languageMenu_->setTitle(tr("&Language"));
  (currentLanguage() == Language::Japanese ? japaneseAction_ : englishAction_)->setChecked(true);
  hear_->setTitle(tr("Listen"));
  playLabel_->setText(tr("Play from the play head:"));
  original_->setText(tr("Original"));
  rendered_->setText(tr("Rendering"));
  play_->setText(tr("Play"));
  stop_->setText(tr("Stop"));
  summary_->setText(summary());
  refreshPlot();
}

QString StudioWindow::summary() const {
  if (sourcePath_.isEmpty()) {
    return tr("Open a recording (File > Open, drag and drop, or a file argument).");
  }
  const QString name = QFileInfo(sourcePath_).fileName();
  QString text;
  if (haveRecording_) {
    const media::RecordingInfo& info = recording_.info;
    const QString channels = recording_.channels == 1 ? tr("mono") : tr("stereo");
    text = tr("%1: %2 s, %3 Hz, %4")
               .arg(name)
               .arg(info.seconds(), 0, 'f', 2)
               .arg(info.sourceRate)
               .arg(info.sourceChannels == 1   ? tr("mono")
                    : info.sourceChannels == 2 ? tr("stereo")
                                               : tr("%1 channels").arg(info.sourceChannels));
    // A file read as it is was 16-bit PCM WAVE; what a converted one was, libsndfile says.
    text += info.converted ? tr("; %1, converted to 44100 Hz 16-bit %2")
                                 .arg(qtfront::toQString(info.formatName), channels)
                           : tr("; 16-bit PCM WAVE, read as it is (not converted)");
  } else {
    text = tr("%1: DAT file, %2 frames").arg(name).arg(tracks_.frames.size());
  }
  if (haveRecording_ && !dat_.empty()) {
    text += QStringLiteral(" · ") +
            tr("analysed: %1 frames of 1/%2 s").arg(tracks_.frames.size()).arg(analysedUnits_);
  }
  return text;
}

void StudioWindow::updateActions() {
  const bool busy = job_->running();
  analysisPanel_->analyseButton()->setEnabled(haveRecording_ && !busy);
  openAction_->setEnabled(!busy);
  saveDatAction_->setEnabled(!dat_.empty());
  saveMidiAction_->setEnabled(!dat_.empty());
  saveWaveAction_->setEnabled(!dat_.empty());
  savePngAction_->setEnabled(haveRecording_ || !dat_.empty());
  buildPanel_->buildButton()->setEnabled(!dat_.empty() && !busy);
  original_->setEnabled(haveRecording_);
  rendered_->setEnabled(!dat_.empty());
  if (!haveRecording_) rendered_->setChecked(true);
  if (dat_.empty() && haveRecording_) original_->setChecked(true);
  play_->setEnabled((haveRecording_ || !dat_.empty()) && !busy && !renderJob_->running());
  saveWaveAction_->setEnabled(!dat_.empty() && !renderJob_->running());
  stop_->setEnabled(player_->playing());
}

void StudioWindow::showStatus(const QString& text) {
  statusBar()->showMessage(text);
}

QString StudioWindow::baseName() const {
  return QFileInfo(sourcePath_).completeBaseName();
}

QString StudioWindow::workPath(const QString& suffix) const {
  return QDir(work_->path()).filePath(baseName() + suffix);
}

QString StudioWindow::openFile(const QString& path) {
  if (job_->running()) return {};
  stop();
  const std::string utf8 = qtfront::toUtf8(path);
  media::Recording recording;
  std::vector<uint8_t> dat;
  media::PartialTracks tracks;
  const bool isDat = endsWith(path, ".dat");
  std::string message;
  if (isDat) {
    message = media::readPartialTracks(utf8, tracks);
    if (message.empty() && !readBytes(path, kMaxDatBytes, dat)) {
      message = msg::kDatTooLong;
    }
  } else {
    message = media::decodeRecording(utf8, recording);
  }
  if (!message.empty()) {
    const QString text =
        tr("%1 was not opened: %2").arg(QFileInfo(path).fileName(), messageText(message));
    showStatus(text);
    return text;
  }

  auto work = std::make_unique<QTemporaryDir>();
  if (!work->isValid()) {
    const QString text = tr("No temporary folder: %1").arg(work->errorString());
    showStatus(text);
    return text;
  }
  work_ = std::move(work);
  sourcePath_ = QFileInfo(path).absoluteFilePath();
  haveRecording_ = !isDat;
  recording_ = std::move(recording);
  spectrogram_ = {};
  if (haveRecording_) {
    const std::vector<float> mono = media::monoOf(recording_.samples, recording_.channels);
    media::SpectrogramParams params;
    params.hop = std::max(params.hop, mono.size() / kMaxSpectrogramFrames + 1);
    spectrogram_ = media::computeSpectrogram(mono.data(), mono.size(), kRate, params);
  }
  dat_ = std::move(dat);
  tracks_ = std::move(tracks);
  analysedUnits_ = 60;
  midi_.clear();
  ++midiVersion_;
  midiStale_ = true;
  rendering_.clear();
  plotPanel_->setPlayHead(-1.0);
  retranslate();
  updateActions();
  showStatus(tr("Opened %1").arg(QDir::toNativeSeparators(sourcePath_)));
  if (haveRecording_ && analyseWhenOpened_) startAnalysis();
  return {};
}

void StudioWindow::refreshPlot() {
  double duration = haveRecording_ ? static_cast<double>(recording_.samples.size()) /
                                         std::max(1, recording_.channels) / kRate
                                   : 0.0;
  duration = std::max(duration, tracks_.frames.size() * tracks_.frameSeconds);
  plotPanel_->setData(haveRecording_ ? &spectrogram_ : nullptr,
                      tracks_.frames.empty() ? nullptr : &tracks_, duration,
                      sourcePath_.isEmpty() ? QString() : QFileInfo(sourcePath_).fileName());
}

void StudioWindow::browse() {
  const QString filter =
      tr("Recordings (*.wav *.wave *.flac *.ogg *.oga *.opus *.mp3 *.aif *.aiff *.aifc *.w64 "
         "*.rf64 *.caf *.au *.snd)") +
      QStringLiteral(";;") + tr("DAT note-frame files (*.dat)") + QStringLiteral(";;") +
      tr("All files (*)");
  const QString dir = sourcePath_.isEmpty() ? QDir::currentPath() : QFileInfo(sourcePath_).path();
  const QString path = QFileDialog::getOpenFileName(this, tr("Open"), dir, filter);
  if (!path.isEmpty()) openFile(path);
}

bool StudioWindow::startAnalysis() {
  if (!haveRecording_ || job_->running()) return false;
  stop();
  AnalysisRequest request;
  request.inputPath = qtfront::toUtf8(sourcePath_);
  request.datPath = qtfront::toUtf8(workPath(QStringLiteral(".dat")));
  request.anyRecording = recording_.info.converted || !endsWith(sourcePath_, ".wav");
  analysisPanel_->fillRequest(request);
  // A new analysis replaces the old one only when it succeeds; its file must not be taken for
  // the new one's.
  QFile::remove(QString::fromStdString(request.datPath));
  if (!job_->start(request)) return false;
  analysedUnitsPending_ = request.unitsPerSecond;
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

void StudioWindow::analysisProgress(const QString& label, double fractionDone) {
  // The command's label is "残り時間約N秒"; the panel says it in the interface's language.
  const QRegularExpressionMatch seconds = QRegularExpression(QStringLiteral("(\\d+)")).match(label);
  analysisPanel_->setProgress(
      seconds.hasMatch() ? tr("About %1 s left").arg(seconds.captured(1)) : QString(),
      fractionDone);
}

void StudioWindow::analysisDone(const QString& message, bool written) {
  analysisPanel_->setRunning(false);
  QString text = messageText(qtfront::toUtf8(message));
  if (written) {
    const QString datPath = workPath(QStringLiteral(".dat"));
    std::vector<uint8_t> dat;
    media::PartialTracks tracks;
    const std::string read = media::readPartialTracks(qtfront::toUtf8(datPath), tracks);
    if (read.empty() && readBytes(datPath, kMaxDatBytes, dat)) {
      dat_ = std::move(dat);
      tracks_ = std::move(tracks);
      analysedUnits_ = analysedUnitsPending_;
      tracks_.frameSeconds = 1.0 / analysedUnits_;
      midi_.clear();
      ++midiVersion_;
      midiStale_ = true;
      rendering_.clear();
      rendered_->setChecked(true);
    } else {
      written = false;
      text = messageText(read.empty() ? msg::kReadError : read);
    }
  }
  retranslate();
  updateActions();
  showStatus(tr("Analysis: %1").arg(text));
  Q_EMIT analysisFinished(message, written);
}

void StudioWindow::optionsChanged() {
  midiStale_ = true;
}

bool StudioWindow::buildMidi() {
  if (dat_.empty()) return false;
  const std::optional<midibuilder::BuilderOptions> options = buildPanel_->validatedOptions();
  if (!options) {
    showStatus(tr("The MIDI options need a change (see beside the field)."));
    return false;
  }
  // The builder reads the DAT file and writes the MIDI file beside it, both in the work folder.
  const std::string datPath = qtfront::toUtf8(workPath(QStringLiteral(".dat")));
  std::string message =
      common::writeWholeFile(datPath, dat_.data(), static_cast<int32_t>(dat_.size()));
  if (message.empty()) {
    message = midibuilder::convertDatFile(*tables_, *registry_, *options, datPath);
    registry_->freeAll();
  }
  std::vector<uint8_t> midi;
  const QString midiPath = QString::fromStdString(midibuilder::outputPathFor(datPath));
  if (message.empty() && !readBytes(midiPath, qint64{1} << 31, midi)) {
    message = msg::kReadError;
  }
  if (!message.empty()) {
    showStatus(tr("MIDI file: %1").arg(messageText(message)));
    return false;
  }
  midi_ = std::move(midi);
  ++midiVersion_;
  midiStale_ = false;
  midiNoteStart_ = options->noteStartTime;
  rendering_.clear();
  showStatus(tr("MIDI file built: %1 bytes").arg(midi_.size()));
  updateActions();
  return true;
}

bool StudioWindow::startRender(std::function<void()> then) {
  if (renderJob_->running()) return false;
  if (midiStale_ && !buildMidi()) return false;
  media::RenderOptions options;
  // Cut the set-up lead-in at the note start, so that the rendering's time 0 is frame 0 and
  // lines up with the recording.
  options.startTick = midiNoteStart_;
  if (!renderJob_->start(midi_, options)) return false;
  renderingFor_ = midiVersion_;
  afterRender_ = std::move(then);
  showStatus(tr("Rendering..."));
  updateActions();
  return true;
}

void StudioWindow::renderDone(const std::string& message, const std::vector<int16_t>& stereo) {
  std::function<void()> then = std::move(afterRender_);
  afterRender_ = nullptr;
  // A MIDI file built meanwhile makes this rendering out of date.
  const bool current = renderingFor_ == midiVersion_ && !midiStale_;
  if (current && message.empty()) {
    rendering_ = stereo;
    showStatus(tr("Rendered %1 s").arg(static_cast<double>(stereo.size()) / 2 / kRate, 0, 'f', 2));
  } else if (!message.empty()) {
    showStatus(tr("Rendering: %1").arg(messageText(message)));
  }
  updateActions();
  const bool ok = current && message.empty();
  Q_EMIT renderFinished(ok);
  if (ok && then) then();
}

bool StudioWindow::play(bool rendering) {
  if (!Player::outputAvailable()) {
    showStatus(tr("No audio output device: nothing can be played here."));
    return false;
  }
  // Switching sources keeps the time: start where the other one was heard.
  double from = player_->playing() ? player_->positionSeconds() : plotPanel_->canvas()->playHead();
  if (from < 0.0) from = plotPanel_->canvas()->view().startSeconds;
  if (rendering && (midiStale_ || rendering_.empty())) {
    // Play once the rendering is there, from the time asked for now.
    plotPanel_->setPlayHead(from);
    player_->stop();
    return startRender([this] { play(true); });
  }
  const std::vector<int16_t>& samples = rendering ? rendering_ : recording_.samples;
  const int channels = rendering ? 2 : recording_.channels;
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
}

void StudioWindow::sourceToggled() {
  if (player_->playing()) play(rendered_->isChecked());
}

void StudioWindow::tick() {
  if (player_->playing()) plotPanel_->setPlayHead(player_->positionSeconds());
}

QString StudioWindow::suggestedPath(SaveKind kind) const {
  const QFileInfo source(sourcePath_);
  const QString base = source.dir().filePath(source.completeBaseName());
  switch (kind) {
    case SaveKind::Dat:
      return base + QStringLiteral(".dat");
    case SaveKind::Midi:
      return base + QStringLiteral(".mid");
    case SaveKind::Rendering:
      return QString::fromStdString(media::renderedPathFor(qtfront::toUtf8(base + ".mid")));
    case SaveKind::Picture:
      return base + QStringLiteral(".png");
  }
  return base;
}

void StudioWindow::saveWithDialog(SaveKind kind) {
  static const char* const kTitles[] = {QT_TR_NOOP("Save DAT file"), QT_TR_NOOP("Save MIDI file"),
                                        QT_TR_NOOP("Save rendered WAVE"),
                                        QT_TR_NOOP("Save picture")};
  static const char* const kFilters[] = {
      QT_TR_NOOP("DAT note-frame files (*.dat)"), QT_TR_NOOP("MIDI files (*.mid)"),
      QT_TR_NOOP("WAVE files (*.wav)"), QT_TR_NOOP("PNG pictures (*.png)")};
  // The rendering is made first when it is missing; the dialog follows once it is there.
  if (kind == SaveKind::Rendering && (midiStale_ || rendering_.empty())) {
    startRender([this] { saveWithDialog(SaveKind::Rendering); });
    return;
  }
  const auto index = static_cast<std::size_t>(kind);
  const QString path =
      savePath_(this, tr(kTitles[index]), suggestedPath(kind), tr(kFilters[index]));
  if (path.isEmpty()) return;
  const QString message = saveTo(kind, path);
  showStatus(message.isEmpty() ? tr("Saved %1").arg(QDir::toNativeSeparators(path)) : message);
}

QString StudioWindow::saveTo(SaveKind kind, const QString& path) {
  if (QFileInfo::exists(path) && !confirmReplace_(this, path)) return tr("Not saved.");
  const std::string target = qtfront::toUtf8(path);
  std::string message;
  switch (kind) {
    case SaveKind::Dat:
      if (dat_.empty()) return tr("Nothing to save yet.");
      message = common::writeWholeFile(target, dat_.data(), static_cast<int32_t>(dat_.size()));
      break;
    case SaveKind::Midi:
      if (midiStale_ && !buildMidi()) return statusBar()->currentMessage();
      message = common::writeWholeFile(target, midi_.data(), static_cast<int32_t>(midi_.size()));
      break;
    case SaveKind::Rendering: {
      if (midiStale_ || rendering_.empty()) return tr("Nothing to save yet.");
      const std::vector<uint8_t> image = media::waveImage(rendering_, 2, kRate);
      if (image.size() > static_cast<std::size_t>(INT32_MAX)) return messageText(msg::kWriteError);
      message = common::writeWholeFile(target, image.data(), static_cast<int32_t>(image.size()));
      break;
    }
    case SaveKind::Picture: {
      media::PlotView view = plotPanel_->canvas()->view();
      const media::PartialPlot plot(haveRecording_ ? &spectrogram_ : nullptr,
                                    tracks_.frames.empty() ? nullptr : &tracks_, view);
      message = media::writePlotPng(plot, kPictureWidth, kPictureHeight, target);
      break;
    }
  }
  return message.empty() ? QString() : messageText(message);
}

void StudioWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) retranslate();
  QMainWindow::changeEvent(event);
}

void StudioWindow::closeEvent(QCloseEvent* event) {
  player_->stop();
  job_->cancel();
  event->accept();
}

void StudioWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!job_->running() && !urls.isEmpty() && urls.first().isLocalFile()) {
    event->acceptProposedAction();
  }
}

void StudioWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  event->acceptProposedAction();
  openFile(urls.first().toLocalFile());
}

}  // namespace studio
