#include "KOVABuildInfo.h"
#include "KOVAVersion.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(KOVAVersion, TextAndNumberAreWhatTheUpdateServerCompares)
{
    const struct
    {
        const char* Version;
        const char* Text;
        int Number;
    } cases[] = {
        {"1.2.3.0", "1.2.3", 1230},   {"1.2.3.4", "1.2.3.4", 1234}, {"1.10.0.0", "1.10.0", 1100},
        {"2.0.0.1", "2.0.0.1", 2001}, {"2.0.0", "2.0.0", 2000},     {"1.2.x.70000", "1.2.0", 1200},
    };
    for (const auto& c : cases) {
        const TFileVersion version = ParseFileVersion(QString::fromLatin1(c.Version));
        EXPECT_EQ(GetFileVersionText(version).toStdString(), c.Text) << c.Version;
        EXPECT_EQ(GetVersionNumber(version), c.Number) << c.Version;
    }
    // This build's version is the project's, in the same form.
    EXPECT_EQ(GetFileVersionText().toStdString(),
              GetFileVersionText(ParseFileVersion(KOVAVersion())).toStdString());
}

TEST(KOVAVersion, BuildTimeIsEnglishUtcWhateverTheLocale)
{
    const std::string expected = "Compiled on Nov 14 2023 at 10:13 PM";
    EXPECT_EQ(BuildTimeText(1700000000).toStdString(), expected);
    EXPECT_EQ(BuildTimeText(1700000000 - 22 * 3600).toStdString(),
              "Compiled on Nov 14 2023 at 12:13 AM");

    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char* const cLocale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    const std::string german = BuildTimeText(1700000000).toStdString();
    QLocale::setDefault(before);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(german, expected) << (cLocale ? "" : "(de_DE.UTF-8 is not installed)");
}

} // namespace
