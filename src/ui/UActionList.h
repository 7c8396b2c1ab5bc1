// Commands as actions with an execute and an update handler. The update handlers of every
// list run whenever the event loop is about to wait, so menus, tool buttons and shortcuts
// always reflect the current state; a command invoked from code re-evaluates its own
// enabling first and does nothing when it is disabled.
#pragma once

#include <QAction>
#include <QKeySequence>

#include <functional>
#include <vector>

class QAbstractButton;
class QWidget;

namespace vlm::ui {

struct TActionSpec {
    const char* Name;    // objectName, "actFileOpen"
    const char* Caption; // "&Open..."
    const char* Hint;    // "Open": tool tip and status-bar text
    QKeySequence Shortcut;
};

class TAction : public QAction {
    Q_OBJECT
public:
    TAction(const TActionSpec& spec, QObject* parent);

    // Runs the update handler (no handler: always enabled) and sets the enabled state.
    void Update();
    // Invokes the command from code: Update, then, when enabled, the execute handler.
    // Returns false when the command was disabled. Exceptions (the silent abort included)
    // pass on to the caller, so that a calling command stops too.
    bool Execute();

    std::function<void()> OnExecute;
    std::function<bool()> OnUpdate;
};

class TActionList : public QObject {
    Q_OBJECT
public:
    // owner: the window whose commands these are; errors are shown over it.
    explicit TActionList(QWidget* owner);

    TAction* Add(const TActionSpec& spec, std::function<void()> execute,
                 std::function<bool()> update = {});
    // A menu item that carries its own caption but runs, and is enabled like, action.
    QAction* AddLinkedItem(const char* name, const QString& caption, TAction* action);
    // A push button that takes action's caption, follows its enabling and runs it.
    void LinkButton(QAbstractButton* button, TAction* action);

    TAction* Find(const QString& name) const;
    const std::vector<TAction*>& Actions() const { return FActions; }

    void UpdateAll();
    // What the user's trigger runs: Execute inside RunCommand.
    void Trigger(TAction* action);

private:
    QWidget* FOwner;
    std::vector<TAction*> FActions;
};

// Runs one command the way the framework runs every command: the silent abort ends it
// without a word, any other exception is shown in an error box with its text. Returns true
// when the command ran to its end.
bool RunCommand(QWidget* owner, const std::function<void()>& command);

} // namespace vlm::ui
