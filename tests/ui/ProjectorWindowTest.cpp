// The main window's parts: actions, menus, tool bar, the enabling of every command in each
// project state, the window caption and the start-up.
#include "ProjectorFixture.h"

#include "ui/UProductInfo.h"

#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace vlm::test {
namespace {

using ui::TMsgKind;

TEST_F(ProjectorTest, EveryActionHasItsCaptionHintAndShortcut) {
    Start();
    const struct {
        const char* Name;
        const char* Caption;
        const char* Hint;
        const char* Shortcut;
    } cases[] = {
        {"actFileNewBlank", "&Blank", "Blank", "Ctrl+N"},
        {"actFileNewWizard", "&Wizard...", "Wizard", "Ctrl+W"},
        {"actFileOpen", "&Open...", "Open", "Ctrl+O"},
        {"actFileSave", "&Save", "Save", "Ctrl+S"},
        {"actFileSaveAs", "Save &As...", "Save As", "Ctrl+Shift+S"},
        {"actFileClose", "&Close", "Close", ""},
        {"actFileSelectHomePage", "Select Home &Page...", "Select Home Page", "Ctrl+H"},
        {"actFileOptions", "&Options...", "Options", "F11"},
        {"actFileBuild", "&Build", "Build", "Ctrl+F9"},
        {"actFileRun", "&Run", "Run", "F9"},
        {"actFileExit", "E&xit", "Exit", "Ctrl+Q"},
        {"actHelpHelp", "&Help", "Help", "F1"},
        {"actHelpHomePageProduct", "&Product Home Page", "Product Home Page", ""},
        {"actHelpHomePageCompany", "&Company Home Page", "Company Home Page", ""},
        {"actHelpAbout", "&About...", "About", ""},
    };
    EXPECT_EQ(Window->ActionList()->Actions().size(), std::size(cases));
    for (const auto& c : cases) {
        ui::TAction* action = Action(c.Name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), c.Caption) << c.Name;
        EXPECT_EQ(action->toolTip(), c.Hint) << c.Name;
        EXPECT_EQ(action->statusTip(), c.Hint) << c.Name;
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(c.Shortcut))) << c.Name;
    }
}

// The captions of a menu's items, "-" for a separator.
QStringList Items(const QMenu* menu) {
    QStringList items;
    for (const QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

TEST_F(ProjectorTest, MenusHoldTheCommandsInOrder) {
    Start();
    const QMenu* project = Window->findChild<QMenu*>(QStringLiteral("miProject"));
    const QMenu* newMenu = Window->findChild<QMenu*>(QStringLiteral("miNew"));
    const QMenu* help = Window->findChild<QMenu*>(QStringLiteral("miHelp"));
    ASSERT_TRUE(project && newMenu && help);
    EXPECT_EQ(project->title(), "&Project");
    EXPECT_EQ(Items(project),
              QStringList({"&New", "&Open...", "R&eopen", "&Save", "Save &As...", "&Close", "-",
                           "Select Home &Page...", "&Options...", "&Build", "&Run", "-", "E&xit"}));
    EXPECT_EQ(Items(newMenu), QStringList({"&Blank", "&Wizard..."}));
    EXPECT_EQ(help->title(), "&Help");
    EXPECT_EQ(Items(help), QStringList({"&Help", "-", "Home &Page", "&Support", "-", "&About..."}));
    for (const char* name : {"miTools", "miLanguage"}) {
        const QMenu* hidden = Window->findChild<QMenu*>(QString::fromLatin1(name));
        ASSERT_NE(hidden, nullptr) << name;
        EXPECT_FALSE(hidden->menuAction()->isVisible()) << name;
        EXPECT_TRUE(hidden->actions().isEmpty()) << name;
    }
    EXPECT_EQ(Window->findChild<QMenu*>(QStringLiteral("miTools"))->title(), "&Tools");
    EXPECT_EQ(Window->findChild<QMenu*>(QStringLiteral("miLanguage"))->title(), "&Language");
    QStringList bar;
    for (const QAction* action : Window->menuBar()->actions())
        bar << action->text();
    EXPECT_EQ(bar, QStringList({"&Project", "&Tools", "&Language", "&Help"}));
}

TEST_F(ProjectorTest, TheHelpMenuItemsOpenTheTwoWebPages) {
    Start();
    const QMenu* help = Window->findChild<QMenu*>(QStringLiteral("miHelp"));
    help->actions()[2]->trigger(); // Home Page
    help->actions()[3]->trigger(); // Support
    ASSERT_EQ(Dialogs.OpenedUrls.size(), 2u);
    EXPECT_EQ(Dialogs.OpenedUrls[0], QUrl(QString::fromUtf8(ui::ProductHomeUrl)));
    EXPECT_EQ(Dialogs.OpenedUrls[1], QUrl(QString::fromUtf8(ui::ProductSupportUrl)));
}

TEST_F(ProjectorTest, TheToolBarShowsItsButtonsWithCaptions) {
    Start();
    const QToolBar* bar = Window->findChild<QToolBar*>(QStringLiteral("ToolBar"));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->windowTitle(), "Standard");
    EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    EXPECT_EQ(bar->iconSize(), QSize(24, 24));
    QStringList buttons;
    for (QAction* action : bar->actions()) {
        if (action->isSeparator()) {
            buttons << QStringLiteral("-");
            continue;
        }
        const auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->size(), QSize(63, 44)) << action->objectName().toStdString();
        EXPECT_TRUE(button->autoRaise()) << "flat";
        EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), 63 - 8)
            << button->text().toStdString() << ": the caption fits, unclipped";
        buttons << button->text();
    }
    EXPECT_GE(Window->width(), bar->sizeHint().width()) << "the whole tool bar shows";
    EXPECT_EQ(buttons, QStringList({"Blank", "Wizard", "-", "Open", "Save", "-", "Home Page",
                                    "Options", "Build", "Run", "-", "About"}));
}

} // namespace
} // namespace vlm::test
