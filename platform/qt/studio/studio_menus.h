// The studio's menus and tool bar: File (open, open a part, the four saves, quit) and Language,
// with the open and save actions also on a tool bar, so that saving is one click away.
#pragma once

#include <QObject>

#include "studio_document.h"

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

namespace studio {

class StudioMenus : public QObject {
  Q_OBJECT

 public:
  // Adds the menus and the tool bar to `window`.
  explicit StudioMenus(QMainWindow* window);

  // Which actions can be taken now.
  void setAvailable(bool canOpen, bool canSaveFrames, bool canSaveRendering, bool canSavePicture);
  void retranslate();

 Q_SIGNALS:
  void openRequested();
  // Open a part of a recording: the file, then its start and length.
  void openPartRequested();
  void saveRequested(SaveKind kind);

 private:
  QMenu* file_;
  QMenu* language_;
  QToolBar* toolBar_;
  QAction* open_;
  QAction* openPart_;
  QAction* save_[4];
  QAction* quit_;
  QAction* english_;
  QAction* japanese_;
};

}  // namespace studio
