// What a desktop program remembers between runs and the small habits users expect of it,
// kept beside the described commands: the recent projects behind Project > Reopen, the main
// window's size and position, the last folder of each file dialog, and shortcuts in the
// tool bar's hints. Everything is stored through QSettings ("Vellumar", "VLMPack") in the
// user's configuration folder; tests point QSettings::setPath at a folder of their own.
#pragma once

#include "ui/UDialogService.h"

#include <QString>
#include <QStringList>

#include <functional>

class QAction;
class QMenu;
class QToolBar;
class QWidget;

namespace vlm::ui {

// The projects last opened or saved, newest first, at most MaxCount.
class TRecentProjects {
public:
    static constexpr int MaxCount = 8;

    // The stored list without the files that no longer exist; those are dropped from it.
    static QStringList Files();
    // Puts fileName (made absolute) first, removing an older mention of it.
    static void Add(const QString& fileName);
    static void Remove(const QString& fileName);
};

// Fills menu with the recent projects each time it is about to show ("&1 name", the full
// path as its hint); choosing one calls open with its path. The menu is disabled while the
// list is empty.
void SetUpReopenMenu(QMenu* menu, std::function<void(const QString&)> open);
// Refills menu from the list now (what showing it does).
void FillReopenMenu(QMenu* menu);

// The window's geometry as it was when SaveWindowGeometry last ran; false (nothing changed)
// when none is stored or it does not apply.
void SaveWindowGeometry(const QWidget& window);
bool RestoreWindowGeometry(QWidget& window);

// Shows a file dialog through Dialogs() that opens in the folder last chosen in a dialog of
// the same name when spec names no folder of its own, and remembers the chosen file's folder.
bool ExecFileDialogRemembering(QWidget* owner, TFileDialogSpec spec, QString& fileName);
QString RememberedFolder(const QString& dialogName);

// "Open (Ctrl+O)": an action's hint with its shortcut in the desktop's notation.
QString HintWithShortcut(const QAction& action);
// The tool bar's buttons show their actions' hints with the shortcuts.
void ShowShortcutsInHints(QToolBar* bar);

} // namespace vlm::ui
