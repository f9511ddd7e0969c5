#include "core/codepages.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <gtest/gtest.h>

namespace ordan {
namespace {

struct PageCase {
    const char *name;
    Codepage page;
};

class Codepages : public ::testing::TestWithParam<PageCase> {};

// Where Qt has its own converters (ICU, as on Debian) ours agree with them on every byte of
// the high half (ICU's IBM866 moves a few control codes the way IBM's DOS did; ours keep ASCII).
TEST_P(Codepages, EveryByteDecodesAsQtsConverterDecodesIt)
{
    QStringDecoder icu(GetParam().name);
    if (!icu.isValid())
        GTEST_SKIP() << "this Qt has no converter to compare with";
    for (int b = 0x80; b < 0x100; ++b) {
        const QByteArray byte(1, static_cast<char>(b));
        const QString theirs = QStringDecoder(GetParam().name).decode(byte);
        EXPECT_EQ(QString(DecodeByte(GetParam().page, static_cast<quint8>(b))), theirs) << "byte " << b;
    }
}

TEST_P(Codepages, TextRoundTripsAndWhatCannotBeWrittenIsAQuestionMark)
{
    ASSERT_EQ(CodepageNamed(GetParam().name), GetParam().page);
    const QString text = QStringLiteral("Прибор №5 Ёё, kWh");
    EXPECT_EQ(Decode(GetParam().page, Encode(GetParam().page, text)), text);
    EXPECT_EQ(Encode(GetParam().page, QStringLiteral("a€中")).right(1), QByteArray("?"));
}

INSTANTIATE_TEST_SUITE_P(RussianPages, Codepages,
                         ::testing::Values(PageCase{"windows-1251", Codepage::Windows1251},
                                           PageCase{"CP866", Codepage::Ibm866}));

} // namespace
} // namespace ordan
