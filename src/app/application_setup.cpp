#include "app/application_setup.h"

#include "app/command_line.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace ordan {

int InstallQtTranslations(const QLocale &locale)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    int installed = 0;
    for (const QString &catalogue : {QStringLiteral("qtbase"), QStringLiteral("qtserialport")}) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, catalogue, QStringLiteral("_"), folder) &&
            QCoreApplication::installTranslator(translator))
            ++installed;
        else
            delete translator;
    }
    return installed;
}

void SetUpApplication(QApplication &app)
{
    Q_UNUSED(app);
    QApplication::setApplicationName(QStringLiteral("ordan-klv"));
    QApplication::setApplicationVersion(ProgramVersion());
    // Ties the windows to the desktop entry (its icon on Wayland and in task bars).
    QGuiApplication::setDesktopFileName(QStringLiteral("ordan-klv"));
    QLocale::setDefault(QLocale::system());
    InstallQtTranslations(QLocale::system());
    // The window is laid out for the small dialog font of the bench PCs.
    QFont font = QApplication::font();
    font.setPointSize(8);
    QApplication::setFont(font);
}

} // namespace ordan
