#include "core/result.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <optional>

namespace ordan {
namespace {

// A number parsed from a text, or why it is not one: the shape of every reader in the station.
Result<int> ParseCount(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        return Fail(QStringLiteral("не число: \"%1\"").arg(text));
    if (n < 0)
        return Fail(QString());
    return n;
}

// Passes a failure of one type on as another's.
Status CheckCount(const QString &text)
{
    const auto n = ParseCount(text);
    if (!n)
        return n.failure();
    return {};
}

TEST(Result, HoldsTheValueOrTheFailureText)
{
    struct Case {
        const char *text;
        bool ok;
        int value;
        QString error;
    };
    const Case cases[] = {
        {"12", true, 12, {}},
        {"0", true, 0, {}},
        {"abc", false, 0, QStringLiteral("не число: \"abc\"")},
        {"", false, 0, QStringLiteral("не число: \"\"")},
        {"-1", false, 0, {}}, // a failure with an empty text is still a failure
    };
    for (const Case &c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const Result<int> r = ParseCount(text);
        EXPECT_EQ(r.ok(), c.ok) << c.text;
        EXPECT_EQ(static_cast<bool>(r), c.ok) << c.text;
        EXPECT_EQ(r.error(), c.error) << c.text;
        EXPECT_EQ(r.valueOr(-7), c.ok ? c.value : -7) << c.text;
        if (c.ok) {
            EXPECT_EQ(*r, c.value) << c.text;
        }

        const Status s = CheckCount(text);
        EXPECT_EQ(s.ok(), c.ok) << c.text;
        EXPECT_EQ(s.error(), c.error) << c.text;
    }
}

TEST(Result, TellsAStringValueFromAStringFailure)
{
    struct Case {
        Result<QString> result;
        bool ok;
        QString value;
        QString error;
    };
    const Case cases[] = {
        {QStringLiteral("значение"), true, QStringLiteral("значение"), {}},
        {QString(), true, QString(), {}},
        {Fail(QStringLiteral("ошибка")), false, {}, QStringLiteral("ошибка")},
        {Fail(QString()), false, {}, {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.result.ok(), c.ok) << c.value.toStdString() << c.error.toStdString();
        EXPECT_EQ(c.result.error(), c.error);
        if (c.ok) {
            EXPECT_EQ(c.result.value(), c.value);
        }
    }
}

TEST(Result, AnOptionalValueIsASuccessEvenWhenEmpty)
{
    struct Case {
        Result<std::optional<int>> result;
        bool ok;
        bool hasValue;
    };
    const Case cases[] = {
        {std::optional<int>(3), true, true},
        {std::nullopt, true, false},
        {Fail(QStringLiteral("нет связи")), false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.result.ok(), c.ok);
        if (c.ok) {
            EXPECT_EQ(c.result->has_value(), c.hasValue);
        }
    }
}

TEST(Status, SucceedsByDefaultAndKeepsTheFailureText)
{
    struct Case {
        Status status;
        bool ok;
        QString error;
    };
    const Case cases[] = {
        {Status(), true, {}},
        {Fail(QStringLiteral("файл не найден")), false, QStringLiteral("файл не найден")},
        {Fail(QString()), false, {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.status.ok(), c.ok) << c.error.toStdString();
        EXPECT_EQ(!c.status, !c.ok);
        EXPECT_EQ(c.status.error(), c.error);
        EXPECT_EQ(c.status.failure().text, c.error);
    }
}

TEST(Result, MovesItsValueOut)
{
    Result<QStringList> r = QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QStringList taken = std::move(r).value();
    EXPECT_EQ(taken.size(), 2);
    Result<QStringList> again = QStringList{QStringLiteral("c")};
    again->append(QStringLiteral("d"));
    EXPECT_EQ(*again, (QStringList{QStringLiteral("c"), QStringLiteral("d")}));
}

} // namespace
} // namespace ordan
