// The output file's name and its type agree: the desktop's file dialog gives a name typed
// without an extension that of the file type shown, and an extension typed into the options
// dialog's output field checks the format it names.
#include "ProjectWindowsSupport.h"

#include "ui/FProjectEditor.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

using namespace vlm;
using namespace vlm::ui;
using namespace vlm::test;

namespace {

// Answers the next file dialog of the program's own dialog service the way a user does:
// shows the file type fileType with the keyboard (counted from 1; 0 leaves the one the
// dialog opened with), types name and presses Save.
class TFileDialogUser {
public:
    TFileDialogUser(int fileType, const QString& name) {
        QObject::connect(&FTimer, &QTimer::timeout, [this, fileType, name] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            FTimer.stop();
            ShownType = dialog->selectedNameFilter();
            if (fileType > 0) {
                auto& types = Child<QComboBox>(*dialog, "fileTypeCombo");
                QTest::keyClick(&types, Qt::Key_Home);
                for (int i = 1; i < fileType; ++i)
                    QTest::keyClick(&types, Qt::Key_Down);
            }
            auto& edit = Child<QLineEdit>(*dialog, "fileNameEdit");
            edit.selectAll();
            QTest::keyClicks(&edit, name);
            static_cast<QDialog*>(dialog)->accept(); // what Save does
        });
        FTimer.start(10);
    }
    ~TFileDialogUser() { EXPECT_FALSE(FTimer.isActive()) << "no file dialog was shown"; }

    QString ShownType; // the file type the dialog opened with

private:
    QTimer FTimer;
};

struct TPickerCase {
    const char* Checked; // the format button checked when the picker opens
    int FileType;        // the type the user shows in the dialog, 0: the one it opened with
    const char* Typed;
    const char* Chosen; // the output file's name afterwards
    bool Vlm;           // the VLM button is checked afterwards
};

TEST(OutputFileType, TheDialogGivesATypedNameTheExtensionOfTheTypeShown) {
    const TPickerCase cases[] = {
        {"rbOutputVLM", 0, "garden", "garden.vlm", true},
        {"rbOutputEXE", 0, "garden", "garden.exe", false},
        {"rbOutputVLM", 1, "garden", "garden.exe", false},
        {"rbOutputEXE", 2, "garden", "garden.vlm", true},
        {"rbOutputEXE", 0, "dpi.vlm", "dpi.vlm", true},
        {"rbOutputVLM", 0, "site.exe", "site.exe", false},
        {"rbOutputVLM", 0, "notes.txt", "notes.txt", true},
    };
    TTempDir dir;
    for (const TPickerCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.Checked << " " << c.FileType << " " << c.Typed);
        const std::string type = std::string(c.Checked) == "rbOutputVLM" ? "VLM" : "EXE";
        const std::unique_ptr<TProject> project = ProjectFromText(
            dir, "OutputType=" + type + "\r\nOutputFile=" + (dir / "old.") + type + "\r\n");
        TfmProjectEditor editor(nullptr, *project);
        editor.show();
        ASSERT_TRUE(Checked(editor, c.Checked));
        TFileDialogUser user(c.FileType, QString::fromUtf8(c.Typed));
        Child<QAbstractButton>(editor, "btnOutputFile").click();
        EXPECT_TRUE(user.ShownType.contains(type == "VLM" ? "*.vlm" : "*.exe"))
            << user.ShownType.toStdString();
        EXPECT_EQ(Child<QLineEdit>(editor, "edOutputFile").text(),
                  QString::fromStdString(dir / c.Chosen));
        EXPECT_EQ(Checked(editor, "rbOutputVLM"), c.Vlm);
        EXPECT_EQ(Checked(editor, "rbOutputEXE"), !c.Vlm);
    }
}

// Typing into the output field: an extension of the other format checks it (and takes its
// spelling); any other extension leaves the format alone.
TEST(OutputFileType, ATypedExtensionOfTheOtherFormatChecksIt) {
    const struct {
        const char* Type;
        const char* Typed;
        bool Vlm;
        const char* Shown;
    } cases[] = {
        {"EXE", "dpi.vlm", true, "dpi.vlm"},        {"VLM", "garden.EXE", false, "garden.exe"},
        {"VLM", "garden.exe", false, "garden.exe"}, {"EXE", "garden.exe", false, "garden.exe"},
        {"VLM", "notes.txt", true, "notes.txt"},    {"EXE", "notes.zip", false, "notes.zip"},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.Type << " " << c.Typed);
        const std::unique_ptr<TProject> project =
            ProjectFromText(dir, std::string("OutputType=") + c.Type + "\r\n");
        TfmProjectEditor editor(nullptr, *project);
        editor.show();
        auto& edit = Child<QLineEdit>(editor, "edOutputFile");
        edit.setFocus();
        QTest::keyClicks(&edit, QString::fromUtf8(c.Typed));
        EXPECT_EQ(edit.text(), c.Shown);
        EXPECT_EQ(Checked(editor, "rbOutputVLM"), c.Vlm);
        Child<QAbstractButton>(editor, "btnOK").click();
        EXPECT_EQ(project->Value(entry::OutputType), c.Vlm ? "VLM" : "EXE");
        EXPECT_EQ(project->Value(entry::OutputFile), c.Shown);
    }
}

} // namespace
