// Sevrane Studio's main window: open a recording (or a DAT file), analyse it on a worker thread,
// see the partial tracks over the spectrogram, build the MIDI file, hear the original and the
// rendering, and save any of them. All conversions are the core's own commands and functions;
// the window keeps their results in memory and writes files only when asked to save.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "builder_tables.h"
#include "partial_plot.h"
#include "recording.h"
#include "spectrum.h"

class QAction;
class QActionGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace common {
class AllocationRegistry;
}

namespace studio {

class AnalysisJob;
class AnalysisPanel;
class BuildPanel;
class PlotPanel;
class Player;
class RenderJob;

enum class SaveKind { Dat, Midi, Rendering, Picture };

class StudioWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit StudioWindow(QWidget* parent = nullptr);
  ~StudioWindow() override;

  // Opens a recording (anything the media layer decodes) or, by its ".dat" ending, a DAT file.
  // Returns "" or the message shown in the status bar.
  QString openFile(const QString& path);
  // Starts the analysis of the open recording; false when there is none or one is running.
  bool startAnalysis();
  void cancelAnalysis();
  bool analysing() const;
  // Builds the MIDI file from the DAT with the panel's options; false when refused or failed
  // (the reason is beside the field or in the status bar).
  bool buildMidi();
  // Builds when needed, then renders the MIDI file on a worker thread; `then` runs once the
  // rendering is there. False when the build was refused or a rendering is running already.
  bool startRender(std::function<void()> then = {});

  // Plays the original (false) or the rendering (true) from the play head.
  bool play(bool rendering);
  void stop();

  // Writes one result to `path`; an existing file is replaced only when `confirmReplace`
  // agrees. Returns "" or the message.
  QString saveTo(SaveKind kind, const QString& path);
  // The file name a save dialog suggests: beside the recording (or the opened DAT file).
  QString suggestedPath(SaveKind kind) const;

  // Test hooks: the save dialog and the replace confirmation.
  using SavePathFunction = std::function<QString(QWidget*, const QString& title,
                                                 const QString& suggested, const QString& filter)>;
  using ConfirmFunction = std::function<bool(QWidget*, const QString& path)>;
  void setSavePathFunction(SavePathFunction f) { savePath_ = std::move(f); }
  void setConfirmFunction(ConfirmFunction f) { confirmReplace_ = std::move(f); }

  const std::vector<uint8_t>& dat() const { return dat_; }
  const std::vector<uint8_t>& midi() const { return midi_; }
  const std::vector<int16_t>& rendering() const { return rendering_; }
  const media::Recording& recording() const { return recording_; }
  QString workFolder() const { return work_ ? work_->path() : QString(); }
  QString summary() const;
  AnalysisPanel* analysisPanel() const { return analysisPanel_; }
  BuildPanel* buildPanel() const { return buildPanel_; }
  PlotPanel* plotPanel() const { return plotPanel_; }

  // Starts the analysis as soon as a recording is open (the command line's --analyse).
  void setAnalyseWhenOpened(bool on) { analyseWhenOpened_ = on; }

 Q_SIGNALS:
  void analysisFinished(const QString& message, bool written);
  // The rendering started by startRender is there (true) or failed or went out of date.
  void renderFinished(bool ok);

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void buildMenus();
  void retranslate();
  void updateActions();
  void showStatus(const QString& text);
  void browse();
  void saveWithDialog(SaveKind kind);
  void analysisProgress(const QString& label, double fractionDone);
  void analysisDone(const QString& message, bool written);
  void renderDone(const std::string& message, const std::vector<int16_t>& stereo);
  void sourceToggled();
  void tick();
  void optionsChanged();
  QString workPath(const QString& suffix) const;
  QString baseName() const;
  void refreshPlot();

  AnalysisPanel* analysisPanel_;
  BuildPanel* buildPanel_;
  PlotPanel* plotPanel_;
  QLabel* summary_;
  QPushButton* play_;
  QPushButton* stop_;
  QRadioButton* original_;
  QRadioButton* rendered_;
  QLabel* playLabel_;
  QGroupBox* hear_;
  Player* player_;
  AnalysisJob* job_;
  RenderJob* renderJob_;
  QTimer* ticker_;

  QMenu* fileMenu_ = nullptr;
  QMenu* languageMenu_ = nullptr;
  QAction* openAction_ = nullptr;
  QAction* saveDatAction_ = nullptr;
  QAction* saveMidiAction_ = nullptr;
  QAction* saveWaveAction_ = nullptr;
  QAction* savePngAction_ = nullptr;
  QAction* quitAction_ = nullptr;
  QAction* englishAction_ = nullptr;
  QAction* japaneseAction_ = nullptr;

  SavePathFunction savePath_;
  ConfirmFunction confirmReplace_;
  bool analyseWhenOpened_ = false;

  // The document: what was opened and what has been made of it.
  QString sourcePath_;  // the recording or the DAT file opened
  bool haveRecording_ = false;
  media::Recording recording_;
  media::Spectrogram spectrogram_;
  int analysedUnits_ = 60;
  int analysedUnitsPending_ = 60;  // the unit of the analysis running
  std::vector<uint8_t> dat_;
  media::PartialTracks tracks_;
  std::vector<uint8_t> midi_;
  bool midiStale_ = true;
  int midiVersion_ = 0;    // counts the MIDI files built
  int renderingFor_ = -1;  // the MIDI file the running rendering is of
  std::function<void()> afterRender_;
  int64_t midiNoteStart_ = 0;
  std::vector<int16_t> rendering_;
  std::unique_ptr<QTemporaryDir> work_;

  std::unique_ptr<midibuilder::BuilderTables> tables_;
  std::unique_ptr<common::AllocationRegistry> registry_;
};

}  // namespace studio
