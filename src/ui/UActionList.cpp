#include "ui/UActionList.h"

#include "platform/UErrors.h"
#include "ui/UDialogService.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QWidget>

namespace vlm::ui {

TAction::TAction(const TActionSpec& spec, QObject* parent) : QAction(parent) {
    setObjectName(QString::fromLatin1(spec.Name));
    setText(QString::fromUtf8(spec.Caption));
    setToolTip(QString::fromUtf8(spec.Hint));
    setStatusTip(QString::fromUtf8(spec.Hint));
    setShortcut(spec.Shortcut);
}

void TAction::Update() {
    setEnabled(!OnUpdate || OnUpdate());
}

bool TAction::Execute() {
    Update();
    if (!isEnabled())
        return false;
    if (OnExecute)
        OnExecute();
    return true;
}

TActionList::TActionList(QWidget* owner) : QObject(owner), FOwner(owner) {
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread()))
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TActionList::UpdateAll);
}

TAction* TActionList::Add(const TActionSpec& spec, std::function<void()> execute,
                          std::function<bool()> update) {
    auto* action = new TAction(spec, FOwner);
    action->OnExecute = std::move(execute);
    action->OnUpdate = std::move(update);
    connect(action, &QAction::triggered, this, [this, action] { Trigger(action); });
    FActions.push_back(action);
    action->Update();
    return action;
}

QAction* TActionList::AddLinkedItem(const char* name, const QString& caption, TAction* action) {
    auto* item = new QAction(caption, FOwner);
    item->setObjectName(QString::fromLatin1(name));
    item->setToolTip(action->toolTip());
    item->setStatusTip(action->statusTip());
    item->setIcon(action->icon());
    item->setEnabled(action->isEnabled());
    connect(action, &QAction::enabledChanged, item, &QAction::setEnabled);
    connect(item, &QAction::triggered, this, [this, action] { Trigger(action); });
    return item;
}

void TActionList::LinkButton(QAbstractButton* button, TAction* action) {
    button->setText(action->text());
    button->setEnabled(action->isEnabled());
    connect(action, &QAction::enabledChanged, button, &QAbstractButton::setEnabled);
    connect(button, &QAbstractButton::clicked, this, [this, action] { Trigger(action); });
}

TAction* TActionList::Find(const QString& name) const {
    for (TAction* action : FActions) {
        if (action->objectName() == name)
            return action;
    }
    return nullptr;
}

void TActionList::UpdateAll() {
    for (TAction* action : FActions)
        action->Update();
}

void TActionList::Trigger(TAction* action) {
    RunCommand(FOwner, [action] { action->Execute(); });
}

bool RunCommand(QWidget* owner, const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const std::exception& e) {
        Dialogs().MessageBox(owner, TMsgKind::Error, QString::fromUtf8(e.what()), TMsgButton::OK);
        return false;
    }
}

} // namespace vlm::ui
