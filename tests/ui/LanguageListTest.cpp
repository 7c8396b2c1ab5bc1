// The language box of both project windows: its list comes from the "Languages" folder
// beside the program each time it opens, and the text in the box stays as it is.
#include "ProjectWindowsSupport.h"
#include "ScriptedDialogs.h"

#include "platform/UFileSys.h"
#include "ui/FProjectEditor.h"
#include "ui/FProjectWizard.h"
#include "ui/UActionList.h"

#include <QComboBox>
#include <QDialog>

#include <functional>

using namespace vlm;
using namespace vlm::ui;
using namespace vlm::test;

namespace {

QStringList Items(const QComboBox& box) {
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

TEST(LanguageList, RebuiltOnEveryDropDownInBothWindows) {
    using TOpen = std::function<std::unique_ptr<QDialog>(TProject&)>;
    const struct {
        const char* Window;
        TOpen Open;
    } windows[] = {
        {"options", [](TProject& p) { return std::make_unique<TfmProjectEditor>(nullptr, p); }},
        {"wizard", [](TProject& p) { return std::make_unique<TfmProjectWizard>(nullptr, p); }},
    };
    for (const auto& window : windows) {
        SCOPED_TRACE(window.Window);
        TTempDir dir;
        SetProgramFolder(dir.Path());
        TScriptedDialogs script;
        std::unique_ptr<TProject> project = ProjectFromText(dir, "Language=Klingon\r\n");
        std::unique_ptr<QDialog> dialog = window.Open(*project);
        auto& box = Child<QComboBox>(*dialog, "edLanguage");
        EXPECT_EQ(box.count(), 0);

        // No folder yet: Default alone, and the project's name stays in the box.
        box.showPopup();
        box.hidePopup();
        EXPECT_EQ(Items(box), QStringList{"Default"});
        EXPECT_EQ(box.currentText(), "Klingon");

        WriteFile(dir / "Languages/German.lng", "x");
        WriteFile(dir / "Languages/english.lng", "x");
        ASSERT_TRUE(CreateDir(dir / "Languages/x.lng"));
        box.setEditText("Germ");
        box.showPopup();
        box.hidePopup();
        EXPECT_EQ(Items(box), (QStringList{"Default", "english", "German", "x"}));
        EXPECT_EQ(box.currentText(), "Germ") << "a typed name is kept";

        box.setEditText("english");
        box.showPopup();
        box.hidePopup();
        EXPECT_EQ(box.count(), 4) << "the list is rebuilt, not added to";
        EXPECT_EQ(box.currentText(), "english");
        SetProgramFolder("");
    }
}

TEST(LanguageList, OpeningTheListIsNoChangeToApply) {
    TTempDir dir;
    SetProgramFolder(dir.Path());
    WriteFile(dir / "Languages/German.lng", "x");
    std::unique_ptr<TProject> project = ProjectFromText(dir, "Language=German\r\n");
    TfmProjectEditor editor(nullptr, *project);
    auto& box = Child<QComboBox>(editor, "edLanguage");
    box.showPopup();
    box.hidePopup();
    EXPECT_EQ(box.currentText(), "German");
    EXPECT_FALSE(editor.Apply()->isEnabled());
    // A name typed into the box is a change like any other.
    box.setEditText("Default");
    EXPECT_TRUE(editor.Apply()->isEnabled());
    SetProgramFolder("");
}

} // namespace
