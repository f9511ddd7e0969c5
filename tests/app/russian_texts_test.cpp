// Qt's own texts in the station's windows under a Russian system. The executable runs with
// LANG=ru_RU.UTF-8 (see CMakeLists.txt); Qt takes the locale from the environment, so the C
// library's ru_RU locale need not be generated.
#include "app/application_setup.h"
#include "app/qt_operator.h"
#include "core/system_error_text.h"
#include "records/setting_table.h"
#include "ui/help_window.h"

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <memory>

namespace ordan {
namespace {

bool HasCyrillic(const QString &text)
{
    for (const QChar c : text)
        if (c.script() == QChar::Script_Cyrillic)
            return true;
    return false;
}

class RussianTexts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { SetUpApplication(*qApp); }
};

TEST_F(RussianTexts, TheSystemLocaleComesFromLang)
{
    EXPECT_EQ(QLocale::system().name(), QStringLiteral("ru_RU"));
    EXPECT_EQ(QLocale().language(), QLocale::Russian) << "numbers and dates follow the system";
}

TEST_F(RussianTexts, CaptionsGetNoApplicationNameAppended)
{
    // Qt appends the display name to every caption once one is set; none is.
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QCoreApplication::applicationName());
}

TEST_F(RussianTexts, TheExportFileDialog)
{
    QtOperator op;
    op.chooseSaveFile(QStringLiteral("xls|*.xls"), QStringLiteral("xls"), [](const QString &) {});
    QFileDialog *dialog = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<QFileDialog *>(w))
            dialog = d;
    ASSERT_NE(dialog, nullptr);
    const struct {
        const char *label;
        const char *english;
    } labels[] = {{"lookInLabel", "Look in:"}, {"fileNameLabel", "File name:"}, {"fileTypeLabel", "Files of type:"}};
    for (const auto &l : labels) {
        auto *label = dialog->findChild<QLabel *>(QString::fromLatin1(l.label));
        ASSERT_NE(label, nullptr) << l.label;
        EXPECT_TRUE(HasCyrillic(label->text())) << l.english << " reads " << label->text().toStdString();
    }
    auto *buttons = dialog->findChild<QDialogButtonBox *>();
    ASSERT_NE(buttons, nullptr);
    for (QAbstractButton *button : buttons->buttons())
        EXPECT_TRUE(HasCyrillic(button->text())) << button->text().toStdString();
    EXPECT_EQ(buttons->buttons().size(), 2) << "Save and Cancel";
    dialog->reject();
}

TEST_F(RussianTexts, TheContextMenusOfTheLogAndTheHelpView)
{
    QPlainTextEdit log; // the exchange log's memo
    log.setReadOnly(true);
    log.setPlainText(QStringLiteral("00 02 80 71"));
    QTextEdit help; // the help window's view
    help.setReadOnly(true);
    help.setPlainText(QStringLiteral("Справка"));
    const std::unique_ptr<QMenu> menus[] = {std::unique_ptr<QMenu>(log.createStandardContextMenu()),
                                            std::unique_ptr<QMenu>(help.createStandardContextMenu())};
    for (const auto &menu : menus) {
        int items = 0;
        for (QAction *action : menu->actions()) {
            if (action->isSeparator())
                continue;
            ++items;
            EXPECT_TRUE(HasCyrillic(action->text())) << action->text().toStdString();
        }
        EXPECT_GE(items, 2) << "copy and select all at least";
    }
}

TEST_F(RussianTexts, SystemErrorsQuotedInBoxes)
{
    QTemporaryDir dir;
    HelpWindow help;
    const Status loaded = help.load(dir.filePath(HelpWindow::HelpFileName()));
    ASSERT_FALSE(loaded.ok());
    const QString &error = loaded.error();
    EXPECT_FALSE(error.contains(QStringLiteral("No such file"))) << error.toStdString();
    EXPECT_TRUE(error.endsWith(SystemErrorText(QStringLiteral("No such file or directory")))) << error.toStdString();
    EXPECT_TRUE(HasCyrillic(SystemErrorText(QStringLiteral("No such file or directory"))));
    EXPECT_TRUE(HasCyrillic(SystemErrorText(QStringLiteral("Permission denied"))));
    EXPECT_EQ(SystemErrorText(QStringLiteral("Is a directory")), QStringLiteral("Is a directory"))
        << "a text Qt has no wording for stays as it is";

    // The settings log's errors quote the system's reason.
    const Status created = CreateSettingTable(dir.filePath(QStringLiteral("missing/Setting.DBF")));
    EXPECT_FALSE(created.ok());
    const QString &tableError = created.error();
    EXPECT_TRUE(tableError.contains(SystemErrorText(QStringLiteral("No such file or directory"))))
        << tableError.toStdString();

    // The serial port's errors come with Qt's own wording too.
    QSerialPort port(dir.filePath(QStringLiteral("ttyUSB9")));
    ASSERT_FALSE(port.open(QIODevice::ReadWrite));
    EXPECT_TRUE(HasCyrillic(port.errorString())) << port.errorString().toStdString();
}

} // namespace
} // namespace ordan
