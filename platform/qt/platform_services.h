// The platform services the windows use besides their controls: message boxes, the open-file
// dialog, the program's name and the clocks. Message boxes and the file dialog are plain
// functions that a window holds, so tests can put recorders in their place.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "environment.h"

class QWidget;

namespace qtfront {

// A message box: owner, title, text, OK only, exclamation icon or none. Blocks until closed.
using MessageSink = std::function<void(QWidget* owner, const QString& title, const QString& text,
                                       common::MessageIcon icon)>;
void showMessageBox(QWidget* owner, const QString& title, const QString& text,
                    common::MessageIcon icon);

// The open-file dialog's single filter and default extension.
struct OpenFileRequest {
  QString filterLabel;    // shown to the user, e.g. "WAVE File  （ *.wav ）"
  QString pattern;        // e.g. "*.wav"
  QString defaultSuffix;  // e.g. "wav"
};
// Returns the chosen file's absolute path, or an empty string when the user cancels.
using OpenFileFunction = std::function<QString(QWidget* owner, const OpenFileRequest& request)>;
QString openFileWithDialog(QWidget* owner, const OpenFileRequest& request);

// The base name of the running executable (e.g. "quorvel").
QString programName();

// The file named on a window program's command line (as a desktop entry's %f passes it): the
// first argument after the program name that is not an option ("-..."), or any argument after
// "--". Empty when there is none.
QString fileArgument(const QStringList& arguments);

// Monotonic clocks measured from the construction of the object: a nanosecond counter for
// timing single estimates and a millisecond clock for the refresh interval.
class MonotonicClock {
 public:
  MonotonicClock();
  // 1e9 ticks per second; false only if the timer cannot be read.
  bool counterFrequency(int64_t& ticksPerSecond) const;
  int64_t counterNow() const;
  // Milliseconds since start. It stays within int32 for 24 days; after that it wraps to 0
  // rather than going negative.
  int32_t clockMillis() const;

 private:
  QElapsedTimer timer_;
};

QString toQString(std::string_view utf8);
std::string toUtf8(const QString& text);

}  // namespace qtfront
