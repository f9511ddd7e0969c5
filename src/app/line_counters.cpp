#include "app/line_counters.h"

namespace ordan {

namespace {
const QString kShift = QStringLiteral("LineShift");
const QString kProgrammed = QStringLiteral("LineProgrammed");
const QString kFailed = QStringLiteral("LineFailed");
const QString kRefused = QStringLiteral("LineRefused");
const QString kDefects = QStringLiteral("LineDefects");
const QString kLineMode = QStringLiteral("LineMode");
} // namespace

LineCounters ReadLineCounters(SettingsStore &store, QDate today)
{
    LineCounters c;
    c.shift = today;
    if (!store.openKey(true))
        return c;
    const QDate kept = QDate::fromString(store.stringValue(kShift).value_or(QString()), Qt::ISODate);
    if (kept == today) {
        c.programmed = store.intValue(kProgrammed).value_or(0);
        c.failed = store.intValue(kFailed).value_or(0);
        c.refused = store.intValue(kRefused).value_or(0);
        c.defects = store.intValue(kDefects).value_or(0);
    }
    store.closeKey();
    return c;
}

bool WriteLineCounters(SettingsStore &store, const LineCounters &c)
{
    if (!store.openKey(true))
        return false;
    store.setStringValue(kShift, c.shift.toString(Qt::ISODate));
    store.setIntValue(kProgrammed, c.programmed);
    store.setIntValue(kFailed, c.failed);
    store.setIntValue(kRefused, c.refused);
    store.setIntValue(kDefects, c.defects);
    store.closeKey();
    return true;
}

bool ReadLineModeSetting(SettingsStore &store)
{
    if (!store.openKey(true))
        return false;
    const bool on = store.intValue(kLineMode).value_or(0) != 0;
    store.closeKey();
    return on;
}

bool WriteLineModeSetting(SettingsStore &store, bool armed)
{
    if (!store.openKey(true))
        return false;
    store.setIntValue(kLineMode, armed ? 1 : 0);
    store.closeKey();
    return true;
}

} // namespace ordan
