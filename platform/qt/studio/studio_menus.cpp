#include "studio_menus.h"

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMenuBar>
#include <QToolBar>

#include "studio_language.h"
#include "studio_window.h"

namespace studio {

namespace {

constexpr SaveKind kKinds[] = {SaveKind::Dat, SaveKind::Midi, SaveKind::Rendering,
                               SaveKind::Picture};

}  // namespace

StudioMenus::StudioMenus(QMainWindow* window)
    : QObject(window),
      file_(window->menuBar()->addMenu(QString())),
      language_(window->menuBar()->addMenu(QString())),
      toolBar_(window->addToolBar(QString())) {
  toolBar_->setObjectName(QStringLiteral("fileToolBar"));
  toolBar_->setMovable(false);
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  open_ = file_->addAction(QString(), this, &StudioMenus::openRequested);
  open_->setShortcut(QKeySequence::Open);
  toolBar_->addAction(open_);
  openPart_ = file_->addAction(QString(), this, &StudioMenus::openPartRequested);
  file_->addSeparator();
  toolBar_->addSeparator();
  for (int i = 0; i < 4; ++i) {
    const SaveKind kind = kKinds[i];
    save_[i] = file_->addAction(QString(), this, [this, kind] { Q_EMIT saveRequested(kind); });
    toolBar_->addAction(save_[i]);
  }
  save_[1]->setShortcut(QKeySequence::Save);
  file_->addSeparator();
  quit_ = file_->addAction(QString(), window, &QWidget::close);
  quit_->setShortcut(QKeySequence::Quit);

  auto* group = new QActionGroup(this);
  english_ = language_->addAction(QStringLiteral("English"));
  japanese_ = language_->addAction(QStringLiteral("日本語"));
  for (QAction* action : {english_, japanese_}) {
    action->setCheckable(true);
    group->addAction(action);
  }
  connect(english_, &QAction::triggered, this, [] { setLanguage(Language::English); });
  connect(japanese_, &QAction::triggered, this, [] { setLanguage(Language::Japanese); });
  retranslate();
}

void StudioMenus::setAvailable(bool canOpen, bool canSaveFrames, bool canSaveRendering,
                               bool canSavePicture) {
  open_->setEnabled(canOpen);
  openPart_->setEnabled(canOpen);
  save_[0]->setEnabled(canSaveFrames);
  save_[1]->setEnabled(canSaveFrames);
  save_[2]->setEnabled(canSaveRendering);
  save_[3]->setEnabled(canSavePicture);
}

void StudioMenus::retranslate() {
  file_->setTitle(StudioWindow::tr("&File"));
  open_->setText(StudioWindow::tr("&Open..."));
  openPart_->setText(StudioWindow::tr("Open p&art..."));
  save_[0]->setText(StudioWindow::tr("Save &DAT file..."));
  save_[1]->setText(StudioWindow::tr("Save &MIDI file..."));
  save_[2]->setText(StudioWindow::tr("Save rendered &WAVE..."));
  save_[3]->setText(StudioWindow::tr("Save &picture (PNG)..."));
  quit_->setText(StudioWindow::tr("&Quit"));
  language_->setTitle(StudioWindow::tr("&Language"));
  toolBar_->setWindowTitle(StudioWindow::tr("&File"));
  (currentLanguage() == Language::Japanese ? japanese_ : english_)->setChecked(true);
}

}  // namespace studio
