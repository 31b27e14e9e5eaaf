#include "protocol/identification.h"
#include "serial/port_names.h"

#include <gtest/gtest.h>
#include <QLocale>

namespace corvat {
namespace {

struct PortRow {
    const char* name;
    const char* text;
    int number;  // -1: no number
};

void PrintTo(const PortRow& row, std::ostream* out) {
    *out << row.name;
}

class PortNumberTest : public ::testing::TestWithParam<PortRow> {};

TEST_P(PortNumberTest, TakesTheLastCharacter) {
    const auto number = PortNumberFromText(QString::fromUtf8(GetParam().text));
    if (GetParam().number < 0) {
        EXPECT_FALSE(number.has_value());
    } else {
        ASSERT_TRUE(number.has_value());
        EXPECT_EQ(*number, GetParam().number);
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, PortNumberTest,
                         ::testing::Values(PortRow{"Com1", "COM1", 1}, PortRow{"Com6", "COM6", 6},
                                           PortRow{"Com10CountsWhole", "COM10", 10},
                                           PortRow{"Com11CountsWhole", "COM11", 11},
                                           PortRow{"Com255", "COM255", 255}, PortRow{"Com256", "COM256", -1},
                                           PortRow{"Com0", "COM0", 0}, PortRow{"Zero", "0", 0},
                                           PortRow{"TypedCom8", "COM8", 8}, PortRow{"Empty", "", -1},
                                           PortRow{"LetterLast", "COMx", -1}, PortRow{"NoNumber", "COM", -1},
                                           PortRow{"TrailingBlank", "COM1 ", -1},
                                           PortRow{"FullWidthDigit", "COM１", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VersionTextTest, HasBlankForSignAndPointWhateverTheLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));  // a comma locale must not leak into the text
    EXPECT_EQ(VersionText('g'), QStringLiteral("Vel: 1.1"));
    EXPECT_EQ(VersionText('f'), QStringLiteral("Vel: 1"));
    EXPECT_EQ(VersionText('p'), QStringLiteral("Vel: 2"));
    EXPECT_EQ(VersionText('A'), QStringLiteral("Vel:-2.7"));
    QLocale::setDefault(saved);
}

}  // namespace
}  // namespace corvat
