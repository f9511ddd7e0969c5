// The Windows adapters on a Windows system (scripts/windows-check.sh runs this under Wine): the
// station's key under HKEY_CURRENT_USER, the port list from HARDWARE\DEVICEMAP\SERIALCOMM, and the
// computer and login names the system gives, and a serial port that is not there.
#include "app/qt_port_enumerator.h"
#include "app/qt_system_facts.h"
#include "app/registry_settings.h"
#include "link/win32_serial_line.h"

#include <QString>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include <windows.h>

namespace ordan {
namespace {

using namespace Qt::Literals::StringLiterals;

const wchar_t *const kStationKey = L"SOFTWARE\\Velmora\\Ordan-KLV";
const wchar_t *const kSerialComm = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Port drivers' entries of this test in SERIALCOMM, removed again at the end.
struct SerialCommEntries {
    HKEY key = nullptr;
    std::vector<std::wstring> devices;

    SerialCommEntries()
    {
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            key = nullptr;
    }
    ~SerialCommEntries()
    {
        for (const std::wstring &device : devices)
            RegDeleteValueW(key, device.c_str());
        if (key)
            RegCloseKey(key);
    }
    bool add(const wchar_t *device, const wchar_t *port)
    {
        const auto bytes = static_cast<DWORD>((std::wcslen(port) + 1) * sizeof(wchar_t));
        if (RegSetValueExW(key, device, 0, REG_SZ, reinterpret_cast<const BYTE *>(port), bytes) != ERROR_SUCCESS)
            return false;
        devices.emplace_back(device);
        return true;
    }
};

// A string value of the station's key as the registry itself holds it.
std::wstring RegistryString(const wchar_t *name)
{
    wchar_t data[256] = {};
    DWORD size = sizeof(data);
    if (RegGetValueW(HKEY_CURRENT_USER, kStationKey, name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return {};
    return data;
}

TEST(WindowsAdapters, TheStationsKeyLivesUnderTheCurrentUser)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, kStationKey);
    {
        RegistrySettings settings;
        EXPECT_FALSE(settings.openKey(false));
        ASSERT_TRUE(settings.openKey(true));
        settings.setIntValue(u"Port"_s, 5);
        settings.setStringValue(u"Master"_s, u"Иванов"_s);
        settings.closeKey();
    }
    EXPECT_EQ(RegistryString(L"Master"), std::wstring(L"\u0418\u0432\u0430\u043d\u043e\u0432"));
    RegistrySettings again;
    ASSERT_TRUE(again.openKey(false));
    EXPECT_EQ(again.intValue(u"Port"_s), 5);
    EXPECT_EQ(again.stringValue(u"Master"_s), u"Иванов"_s);
    again.closeKey();
    EXPECT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kStationKey), ERROR_SUCCESS);
}

TEST(WindowsAdapters, ThePortListIsWhatSerialCommHolds)
{
    SerialCommEntries entries;
    ASSERT_NE(entries.key, nullptr);
    ASSERT_TRUE(entries.add(L"\\Device\\OrdanTest0", L"COM41"));
    ASSERT_TRUE(entries.add(L"\\Device\\OrdanTest1", L"COM42"));
    const std::vector<QString> names = QtPortEnumerator().systemPortNames();
    for (const QString &port : {u"COM41"_s, u"COM42"_s})
        EXPECT_NE(std::find(names.begin(), names.end(), port), names.end()) << port.toStdString();
}

TEST(WindowsAdapters, ComputerAndLoginNamesAreTheSystems)
{
    const QtSystemFacts facts;
    EXPECT_EQ(facts.computerName().toUpper(), qEnvironmentVariable("COMPUTERNAME").toUpper());
    EXPECT_EQ(facts.loginName(), qEnvironmentVariable("USERNAME"));
}

TEST(WindowsAdapters, AMissingSerialPortIsRefusedWithTheSystemsReason)
{
    Win32SerialLine line;
    const Status opened = line.open(u"COM199"_s, 9600);
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error(), qt_error_string(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(line.write(QByteArray(1, '\x01')).ok());
    EXPECT_TRUE(line.close().ok());
}

} // namespace
} // namespace ordan
