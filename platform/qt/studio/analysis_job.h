// Sevrane's convert command on a worker thread, for the studio window. The command talks to an
// environment that answers from a snapshot of the options taken when the job starts and posts
// its progress and its final message to the GUI thread; it never lets window messages through
// (the GUI thread stays free), and a cancel raises the command's own cancel flag.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <thread>

namespace studio {

struct AnalysisRequest {
  std::string inputPath;  // the recording as the command reads it
  std::string datPath;    // where the DAT file is written
  // Decode with the media layer (any format libsndfile reads) instead of the WAVE loader.
  bool anyRecording = false;
  bool optimise = false;
  int unitsPerSecond = 60;  // 15, 20, 30 or 60
  bool onsetShift = false;
  int threads = 0;  // worker threads of the extraction; 0 = every hardware thread
};

class AnalysisJob : public QObject {
  Q_OBJECT

 public:
  explicit AnalysisJob(QObject* parent = nullptr);
  // Cancels a running analysis and waits for its thread.
  ~AnalysisJob() override;

  // False (and nothing started) while an analysis is running.
  bool start(const AnalysisRequest& request);
  void cancel();
  bool running() const { return thread_.joinable(); }

 Q_SIGNALS:
  // The command's refresh: the remaining-time label and the fraction done (0 to 1).
  void progress(const QString& label, double fractionDone);
  // The command's one message ("終了しました" when the DAT file was written).
  void finished(const QString& message, bool written);

 private:
  class Environment;
  void join();

  std::thread thread_;
  std::shared_ptr<Environment> env_;
};

}  // namespace studio
