#include "Views/Components/ViewStyle.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <gtest/gtest.h>
#include <optional>

namespace {

// The application font as it was, back when the test ends.
class InterfaceFont : public ::testing::Test {
protected:
    void TearDown() override { QGuiApplication::setFont(m_saved); }

    // The first installed family that has (or lacks) a face of `weight` besides a regular one.
    static std::optional<QString> family(QFont::Weight weight, bool with)
    {
        for (const QString& family : QFontDatabase::families()) {
            bool regular = false;
            bool found = false;
            for (const QString& style : QFontDatabase::styles(family)) {
                regular = regular || QFontDatabase::weight(family, style) == QFont::Normal;
                found = found || QFontDatabase::weight(family, style) == weight;
            }
            if (regular && found == with)
                return family;
        }
        return std::nullopt;
    }

private:
    QFont m_saved = QGuiApplication::font();
};

} // namespace

TEST_F(InterfaceFont, ALightWeightIsDrawnRegularUnlessTheFamilyHasATrueLightFace)
{
    const std::optional<QString> withoutLight = family(QFont::Light, false);
    const std::optional<QString> withLight = family(QFont::Light, true);
    if (!withoutLight || !withLight)
        GTEST_SKIP() << "needs one family with a light face and one without";

    QGuiApplication::setFont(QFont(*withoutLight));
    EXPECT_EQ(uiFont(12, QFont::Light).weight(), QFont::Normal);
    EXPECT_EQ(uiFont(12, QFont::Medium).weight(), QFont::Medium);

    QGuiApplication::setFont(QFont(*withLight));
    EXPECT_EQ(uiFont(12, QFont::Light).weight(), QFont::Light);
}

TEST_F(InterfaceFont, InterBecomesTheInterfaceFontWhereItIsInstalled)
{
    const QString desktop = QGuiApplication::font().family();
    useInterfaceFont();
    if (QFontDatabase::families().contains(QStringLiteral("Inter")))
        EXPECT_EQ(uiFont(13).family(), QStringLiteral("Inter"));
    else
        EXPECT_EQ(uiFont(13).family(), desktop);
}
