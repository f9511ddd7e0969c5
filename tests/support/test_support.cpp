#include "support/test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace ordan::test {

QString Hex(const QByteArray &bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

QByteArray FromHex(const QString &hex)
{
    QString digits = hex;
    digits.remove(QLatin1Char(' '));
    return QByteArray::fromHex(digits.toLatin1());
}

LocaleScope::LocaleScope(const QLocale &locale) : previous_(QLocale()) { QLocale::setDefault(locale); }

LocaleScope::~LocaleScope() { QLocale::setDefault(previous_); }

void FakeOperator::showMessage(const QString &text, const QString &caption, BoxIcon icon,
                               std::function<void()> onClosed)
{
    boxes.push_back({text, caption, icon});
    open_.push_back(std::move(onClosed));
}

void FakeOperator::chooseSaveFile(const QString &filter, const QString &defaultSuffix,
                                  std::function<void(const QString &)> onChosen)
{
    lastFilter = filter;
    lastSuffix = defaultSuffix;
    onChosen(nextSaveFile);
}

bool FakeOperator::closeBox()
{
    if (open_.empty())
        return false;
    auto onClosed = std::move(open_.front());
    open_.erase(open_.begin());
    if (onClosed)
        onClosed();
    return true;
}

QDateTime FakeSystemFacts::now() const { return elapsedMs ? base.addMSecs(elapsedMs()) : base; }

bool FakeSystemFacts::setClock(const QDateTime &localTime)
{
    clockSets.push_back(localTime);
    base = elapsedMs ? localTime.addMSecs(-elapsedMs()) : localTime;
    return true;
}

bool FakeSystemFacts::openWithShell(const QUrl &target)
{
    opened.push_back(target);
    return true;
}

bool FakeSystemFacts::fileExists(const QString &folder, const QString &name) const
{
    return QFileInfo::exists(QDir(folder).filePath(name));
}

void SetUpTestEnvironment()
{
    if (qEnvironmentVariableIsEmpty("ORDAN_BIN_DIR"))
        qputenv("ORDAN_BIN_DIR", ORDAN_BUILD_BIN_DIR);
    if (qEnvironmentVariableIsEmpty("ORDAN_SOURCE_DIR"))
        qputenv("ORDAN_SOURCE_DIR", ORDAN_SOURCE_ROOT);
}

QString BinPath(const QString &program)
{
    const QByteArray dir = qgetenv("ORDAN_BIN_DIR");
    if (!dir.isEmpty())
        return QDir(QString::fromLocal8Bit(dir)).filePath(program);
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin")).filePath(program);
}

void StartPythonReader(QProcess &process, const QStringList &arguments)
{
    process.start(QStringLiteral("/usr/bin/python3"), arguments);
}

} // namespace ordan::test

QT_BEGIN_NAMESPACE
void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
void PrintTo(const QByteArray &b, std::ostream *os) { *os << b.toHex(' ').toStdString(); }
QT_END_NAMESPACE
