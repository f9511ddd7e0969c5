#pragma once

#include "core/operator.h"
#include "core/system_facts.h"

#include <QByteArray>
#include <QLocale>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <ostream>
#include <vector>

namespace ordan::test {

// Hex text of bytes, "00 02 80 71", for readable assertions.
QString Hex(const QByteArray &bytes);
// Bytes from hex text: "00 02 80 71" (blanks optional).
QByteArray FromHex(const QString &hex);

// Pins QLocale's default for the lifetime of the object.
class LocaleScope {
public:
    explicit LocaleScope(const QLocale &locale);
    ~LocaleScope();

private:
    QLocale previous_;
};

// An operator who records every box and beep; boxes stay open until closeBox() is called.
class FakeOperator final : public Operator {
public:
    struct Box {
        QString text;
        QString caption;
        BoxIcon icon;
    };
    void showMessage(const QString &text, const QString &caption, BoxIcon icon,
                     std::function<void()> onClosed) override;
    void chooseSaveFile(const QString &filter, const QString &defaultSuffix,
                        std::function<void(const QString &)> onChosen) override;
    void beep() override { ++beeps; }

    // Closes the oldest open box and runs its continuation.
    bool closeBox();

    std::vector<Box> boxes;
    int beeps = 0;
    QString nextSaveFile; // what chooseSaveFile answers; empty = cancelled
    QString lastFilter;
    QString lastSuffix;

private:
    std::vector<std::function<void()>> open_;
};

// A workstation whose clock a test sets and moves.
class FakeSystemFacts final : public SystemFacts {
public:
    QString computerName() const override { return computer; }
    QString loginName() const override { return login; }
    QDateTime now() const override;
    bool setClock(const QDateTime &localTime) override;
    quint64 totalPhysicalMemory() const override { return totalMemory; }
    quint64 availablePhysicalMemory() const override { return availableMemory; }
    bool openWithShell(const QUrl &target) override;
    // Real files: tests put the marker files into a temporary folder.
    bool fileExists(const QString &folder, const QString &name) const override;

    QString computer = QStringLiteral("BENCH-1");
    QString login = QStringLiteral("operator");
    QDateTime base = QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30));
    std::function<qint64()> elapsedMs; // e.g. virtual time; the clock stays at base without it
    std::vector<QDateTime> clockSets;
    std::vector<QUrl> opened;
    quint64 totalMemory = 2ull * 1024 * 1024 * 1024;
    quint64 availableMemory = 1ull * 1024 * 1024 * 1024;
};

// Sets ORDAN_BIN_DIR and ORDAN_SOURCE_DIR for this process unless they are set already.
void SetUpTestEnvironment();

// Path of a program built into the build's bin/ folder.
QString BinPath(const QString &program);

// Starts Debian's Python (not the python3 on PATH, which lacks Debian's modules) on `arguments`:
// a reader script and its files. A Windows test under Wine cannot use it: Wine starts a Linux
// program without waiting for it or handing back its output.
void StartPythonReader(QProcess &process, const QStringList &arguments);

} // namespace ordan::test

QT_BEGIN_NAMESPACE
void PrintTo(const QString &s, std::ostream *os);
void PrintTo(const QByteArray &b, std::ostream *os);
QT_END_NAMESPACE
