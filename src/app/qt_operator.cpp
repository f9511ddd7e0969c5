#include "app/qt_operator.h"

#include <QApplication>
#include <QFileDialog>
#include <QLoggingCategory>
#include <QMessageBox>

namespace ordan {

// Every box as a developer's line (off unless QT_LOGGING_RULES="ordan.operator.info=true"):
// without a screen, as under the offscreen platform, it is the only trace of one.
Q_LOGGING_CATEGORY(lcOperator, "ordan.operator", QtWarningMsg)

void QtOperator::showMessage(const QString &text, const QString &caption, BoxIcon icon, std::function<void()> onClosed)
{
    const QMessageBox::Icon boxIcon = icon == BoxIcon::Error     ? QMessageBox::Critical
                                      : icon == BoxIcon::Warning ? QMessageBox::Warning
                                                                 : QMessageBox::Information;
    qCInfo(lcOperator).noquote() << "message box:" << caption << "|" << text;
    auto *box = new QMessageBox(boxIcon, caption, text, QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent_ ? Qt::WindowModal : Qt::ApplicationModal);
    QObject::connect(box, &QMessageBox::finished, box, [onClosed = std::move(onClosed)](int) {
        if (onClosed)
            onClosed();
    });
    box->open();
}

void QtOperator::chooseSaveFile(const QString &filter, const QString &defaultSuffix,
                                std::function<void(const QString &)> onChosen)
{
    auto *dialog = new QFileDialog(parent_);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
    // "xls|*.xls" is the description and the pattern.
    const QStringList parts = filter.split(QLatin1Char('|'));
    dialog->setNameFilter(parts.size() == 2 ? QStringLiteral("%1 (%2)").arg(parts[0], parts[1]) : filter);
    dialog->setDefaultSuffix(defaultSuffix);
    auto chosen = std::make_shared<bool>(false);
    QObject::connect(dialog, &QFileDialog::fileSelected, dialog, [onChosen, chosen](const QString &file) {
        *chosen = true;
        onChosen(file);
    });
    QObject::connect(dialog, &QFileDialog::finished, dialog, [onChosen, chosen](int) {
        if (!*chosen)
            onChosen(QString());
    });
    dialog->open();
}

void QtOperator::beep() { QApplication::beep(); }

} // namespace ordan
