// Whole-file helpers shared by the window conversion tests.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The file's bytes, or empty when it cannot be read.
inline QByteArray readFile(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
