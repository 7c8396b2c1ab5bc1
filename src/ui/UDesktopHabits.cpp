#include "ui/UDesktopHabits.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QToolBar>
#include <QWidget>

namespace vlm::ui {

namespace {

const QString RecentKey = QStringLiteral("RecentProjects/Files");
const QString GeometryKey = QStringLiteral("MainWindow/Geometry");
const QString FoldersGroup = QStringLiteral("Folders/");

QSettings Settings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Vellumar"),
                     QStringLiteral("VLMPack"));
}

QStringList StoredRecent() {
    return Settings().value(RecentKey).toStringList();
}

void StoreRecent(const QStringList& files) {
    Settings().setValue(RecentKey, files);
}

QString Absolute(const QString& fileName) {
    return QFileInfo(fileName).absoluteFilePath();
}

// Refreshes a tool button's tool tip from its action just before the tip shows; the button
// otherwise copies the plain hint from the action whenever the action changes.
class THintFilter : public QObject {
public:
    THintFilter(QAction* action, QObject* parent) : QObject(parent), FAction(action) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            if (auto* widget = qobject_cast<QWidget*>(watched))
                widget->setToolTip(HintWithShortcut(*FAction));
        }
        return false;
    }

private:
    QAction* FAction;
};

} // namespace

QStringList TRecentProjects::Files() {
    const QStringList stored = StoredRecent();
    QStringList present;
    for (const QString& file : stored) {
        if (QFileInfo(file).isFile() && !present.contains(file) && present.size() < MaxCount)
            present << file;
    }
    if (present != stored)
        StoreRecent(present);
    return present;
}

void TRecentProjects::Add(const QString& fileName) {
    const QString file = Absolute(fileName);
    QStringList files = StoredRecent();
    files.removeAll(file);
    files.prepend(file);
    while (files.size() > MaxCount)
        files.removeLast();
    StoreRecent(files);
}

void TRecentProjects::Remove(const QString& fileName) {
    QStringList files = StoredRecent();
    if (files.removeAll(Absolute(fileName)) > 0)
        StoreRecent(files);
}

void FillReopenMenu(QMenu* menu) {
    menu->clear();
    const QStringList files = TRecentProjects::Files();
    for (qsizetype i = 0; i < files.size(); ++i) {
        QString name = QFileInfo(files[i]).fileName();
        name.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        item->setData(files[i]);
        item->setStatusTip(files[i]);
        item->setToolTip(files[i]);
    }
    menu->setEnabled(!files.isEmpty());
}

void SetUpReopenMenu(QMenu* menu, std::function<void(const QString&)> open) {
    menu->setToolTipsVisible(true);
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] { FillReopenMenu(menu); });
    QObject::connect(menu, &QMenu::triggered, menu,
                     [open = std::move(open)](QAction* item) { open(item->data().toString()); });
    FillReopenMenu(menu);
}

void SaveWindowGeometry(const QWidget& window) {
    Settings().setValue(GeometryKey, window.saveGeometry());
}

bool RestoreWindowGeometry(QWidget& window) {
    const QByteArray geometry = Settings().value(GeometryKey).toByteArray();
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

QString RememberedFolder(const QString& dialogName) {
    return Settings().value(FoldersGroup + dialogName).toString();
}

bool ExecFileDialogRemembering(QWidget* owner, TFileDialogSpec spec, QString& fileName) {
    const bool namesFolder = !spec.InitialDir.isEmpty() || QFileInfo(spec.FileName).isAbsolute();
    if (!namesFolder) {
        const QString folder = RememberedFolder(spec.Name);
        if (!folder.isEmpty() && QDir(folder).exists())
            spec.InitialDir = folder;
    }
    if (!Dialogs().ExecFileDialog(owner, spec, fileName))
        return false;
    Settings().setValue(FoldersGroup + spec.Name, QFileInfo(fileName).absolutePath());
    return true;
}

QString HintWithShortcut(const QAction& action) {
    const QString hint = action.statusTip();
    if (action.shortcut().isEmpty())
        return hint;
    return hint + QStringLiteral(" (") + action.shortcut().toString(QKeySequence::NativeText) +
           QLatin1Char(')');
}

void ShowShortcutsInHints(QToolBar* bar) {
    for (QAction* action : bar->actions()) {
        if (QWidget* button = bar->widgetForAction(action); button && !action->isSeparator())
            button->installEventFilter(new THintFilter(action, button));
    }
}

} // namespace vlm::ui
