#include "app/registry_settings.h"
#include "app/startup_settings.h"
#include "app/tint_color.h"
#include "station_fixture.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>

namespace ordan {
namespace {

using test::MemorySettings;

TEST(StartupSettings, ModesFromTheKeyAndTheMarkerFile)
{
    const struct {
        const char *name;
        std::vector<const char *> values;
        bool marker;
        int modeFlags;
        bool sqlMode;
    } cases[] = {
        {"no key, no marker", {}, false, 2, false},
        {"Master and NoUser", {"Master", "NoUser"}, false, 1, false},
        {"NoUser alone", {"NoUser"}, false, 0, false},
        {"Master alone", {"Master"}, false, 3, false},
        {"marker alone", {}, true, 3, true},
        {"marker with Master", {"Master"}, true, 3, true},
        {"marker with NoUser", {"NoUser"}, true, 1, true},
        {"Sql alone", {"Sql"}, false, 2, true},
    };
    for (const auto &c : cases) {
        MemorySettings store;
        for (const char *v : c.values) {
            store.exists = true;
            store.values.insert(QString::fromLatin1(v), QString());
        }
        const StartupSettings s = ReadStartupSettings(store, c.marker);
        EXPECT_EQ(s.modes.ModeFlags, c.modeFlags) << c.name;
        EXPECT_EQ(s.modes.SqlMode, c.sqlMode) << c.name;
        EXPECT_TRUE(store.exists) << c.name << ": a missing key is created";
    }
}

TEST(StartupSettings, PortPasswordAndDdmValues)
{
    MemorySettings store;
    store.exists = true;
    store.values = {{QStringLiteral("Port"), 3},
                    {QStringLiteral("Password"), 0},
                    {QStringLiteral("DDMA"), 11},
                    {QStringLiteral("DDMC"), 33}};
    const StartupSettings s = ReadStartupSettings(store, false);
    EXPECT_EQ(s.portNumber, 3);
    EXPECT_TRUE(s.modes.passwordsShown());
    EXPECT_EQ(s.ddm[0], 11);
    EXPECT_FALSE(s.ddm[1].has_value());
    EXPECT_EQ(s.ddm[2], 33);

    MemorySettings unreadable;
    unreadable.failOpen = true;
    const StartupSettings d = ReadStartupSettings(unreadable, false);
    EXPECT_EQ(d.portNumber, 1);
    EXPECT_EQ(d.modes.ModeFlags, 2);
}

TEST(StartupSettings, CloseWritesOnlyIntoAnExistingKey)
{
    MemorySettings missing;
    WriteCloseSettings(missing, 4, std::array<int, 3>{1, 2, 3});
    EXPECT_TRUE(missing.values.isEmpty());

    MemorySettings store;
    store.exists = true;
    store.values.insert(QStringLiteral("DDMA"), 7);
    WriteCloseSettings(store, 0, std::nullopt);
    EXPECT_FALSE(store.values.contains(QStringLiteral("Port"))) << "port 0 is never stored";
    EXPECT_EQ(store.values.value(QStringLiteral("DDMA")).toInt(), 7) << "DDM kept unless asked";
    WriteCloseSettings(store, 12, std::array<int, 3>{5, 6, 70000});
    EXPECT_EQ(store.values.value(QStringLiteral("Port")).toInt(), 12);
    EXPECT_EQ(store.values.value(QStringLiteral("DDMC")).toInt(), 70000);
}

TEST(RegistrySettings, FileStandsForTheKey)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Ordan-KLV.conf"));
    {
        RegistrySettings settings(file);
        EXPECT_FALSE(settings.openKey(false));
        EXPECT_FALSE(QFile::exists(file));
        ASSERT_TRUE(settings.openKey(true));
        EXPECT_TRUE(QFile::exists(file));
        settings.setIntValue(QStringLiteral("Port"), 5);
        settings.closeKey();
    }
    {
        QSettings raw(file, QSettings::IniFormat);
        raw.setValue(QStringLiteral("Master"), QStringLiteral("x"));
    }
    RegistrySettings again(file);
    ASSERT_TRUE(again.openKey(false));
    EXPECT_EQ(again.intValue(QStringLiteral("Port")), 5);
    EXPECT_TRUE(again.contains(QStringLiteral("Master")));
    EXPECT_FALSE(again.intValue(QStringLiteral("Master")).has_value());
}

TEST(TintColor, RaisesEachChannelByItsPercentageTruncated)
{
    EXPECT_EQ(TintColor({212, 208, 200}, 2, 2, 0), (Rgb{216, 212, 200}));
    EXPECT_EQ(TintColor({255, 255, 255}, 2, 2, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(TintColor({40, 40, 40}, 2, 2, 2), (Rgb{40, 40, 40}));
    EXPECT_EQ(TintColor({250, 0, 100}, 10, 50, -100), (Rgb{255, 0, 0}));
}

} // namespace
} // namespace ordan
