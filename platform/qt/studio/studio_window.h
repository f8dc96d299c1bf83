// Sevrane Studio's main window: open a recording (or a DAT file), analyse it on a worker thread,
// see the partial tracks over the spectrogram, build the MIDI file, hear the original and the
// rendering, and save any of them. The document holds what is open and what was made of it;
// the window shows it and writes files only when asked to save.
#pragma once

#include <QMainWindow>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "studio_document.h"

class QLabel;
class QScrollArea;
class QTimer;

namespace studio {

class AnalysisJob;
class AnalysisPanel;
class BuildPanel;
class ListenPanel;
class StudioMenus;
class PlotPanel;
class Player;
class PortPlayer;
class RenderJob;
class RenderProgress;

// The save dialog's title and filter for each kind of file, and the dialogs themselves: the
// save dialog leaves the question before replacing a file to the window, which asks it with
// askReplace.
QString saveTitle(SaveKind kind);
// The file dialog's filter; the frames' own (.wdat) when they are wide.
QString saveFilter(SaveKind kind, bool wideFrames = false);
QString askSavePath(QWidget* owner, const QString& title, const QString& suggested,
                    const QString& filter);
bool askReplace(QWidget* owner, const QString& path);
// A refusal or failure in a message box that does not block the window (nor a test).
void showMessageBox(QWidget* owner, const QString& title, const QString& text);

// One line on what is open: the file, its format and length, and what the analysis made of it.
QString summaryOf(const StudioDocument& document);

class StudioWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit StudioWindow(QWidget* parent = nullptr);
  ~StudioWindow() override;

  // Opens a recording (anything the media layer decodes) or, by its ".dat" or ".wdat" ending,
  // a DAT or wide note-frame file;
  // of a recording the part `range` (a longer one opens as its first kMaxOpenSeconds).
  // Returns "" or the message shown in the status bar and a message box.
  QString openFile(const QString& path, OpenRange range = {});
  // Starts the analysis of the open recording; false when there is none or one is running.
  bool startAnalysis();
  void cancelAnalysis();
  bool analysing() const;
  // Builds the MIDI file from the DAT with the panel's options; false when refused or failed
  // (the reason is beside the field or in the status bar).
  bool buildMidi();
  // Builds when needed, then renders the MIDI file on a worker thread; `then` runs once the
  // rendering is there (also when it was running already for this MIDI file). False when the
  // build was refused or a rendering of another MIDI file is running.
  bool startRender(std::function<void()> then = {});
  // Stops a running rendering: nothing is kept, nothing written, nothing waits for it any more.
  void cancelRender();
  bool renderRunning() const;

  // Plays the original (false) or the rendering (true) from the play head; or, when the listen
  // panel's MIDI port is chosen, the MIDI file to that port.
  bool play(bool rendering);
  // Lists the MIDI output ports again in the listen panel.
  void refreshPorts();
  void stop();

  // Writes one result to `path`; an existing file is replaced only when `confirmReplace`
  // agrees. Returns "" or the message.
  QString saveTo(SaveKind kind, const QString& path);
  // What the File menu's saves do: the save dialog (and the question before replacing) first;
  // a missing rendering is then made, and the file written once it is there.
  void saveWithDialog(SaveKind kind);
  // The file name a save dialog suggests: beside the recording (or the opened DAT file).
  QString suggestedPath(SaveKind kind) const;

  // Test hooks: the save dialog and the replace confirmation.
  using SavePathFunction = std::function<QString(QWidget*, const QString& title,
                                                 const QString& suggested, const QString& filter)>;
  using ConfirmFunction = std::function<bool(QWidget*, const QString& path)>;
  using MessageFunction = std::function<void(QWidget*, const QString& title, const QString& text)>;
  void setSavePathFunction(SavePathFunction f) { savePath_ = std::move(f); }
  void setConfirmFunction(ConfirmFunction f) { confirmReplace_ = std::move(f); }
  // Test hook: the message box of refusals and failures.
  void setMessageFunction(MessageFunction f) { showMessage_ = std::move(f); }

  const StudioDocument& document() const { return document_; }
  std::vector<uint8_t> dat() const { return document_.datImage(); }
  const std::vector<uint8_t>& midi() const { return document_.midi(); }
  const std::vector<int16_t>& rendering() const { return document_.rendering(); }
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
  void retranslate();
  void updateActions();
  void showStatus(const QString& text);
  // A refusal or failure: in the status bar and in a message box titled `title`.
  void showFailure(const QString& title, const QString& text);
  void browse(bool part);
  QString writeResult(SaveKind kind, const QString& path);
  void fitSidePanel();
  void analysisProgress(double fractionDone, double secondsLeft);
  void analysisDone(const QString& message, bool written);
  void renderProgressed(double fractionDone, double secondsLeft);
  void renderDone(const std::string& message, const std::vector<int16_t>& stereo);
  void tick();
  bool playToPort();
  bool playing() const;
  // Where the play head is while playing, in the rendering's seconds.
  double playPosition() const;
  void refreshPlot(bool newFile = false);
  QString fileName() const;

  AnalysisPanel* analysisPanel_;
  BuildPanel* buildPanel_;
  PlotPanel* plotPanel_;
  ListenPanel* listenPanel_;
  QLabel* summary_;
  QWidget* side_;
  QScrollArea* sideScroll_;
  RenderProgress* renderProgress_;
  Player* player_;
  PortPlayer* portPlayer_;
  double portOffset_ = 0.0;  // the MIDI file's time at the play head's 0 (its lead-in)
  AnalysisJob* job_;
  RenderJob* renderJob_;
  QTimer* ticker_;

  StudioMenus* menus_ = nullptr;

  SavePathFunction savePath_;
  ConfirmFunction confirmReplace_;
  MessageFunction showMessage_;
  bool analyseWhenOpened_ = false;

  StudioDocument document_;
  int renderingFor_ = -1;  // the MIDI file the running rendering is of
  std::vector<std::function<void()>> afterRender_;
};

}  // namespace studio
