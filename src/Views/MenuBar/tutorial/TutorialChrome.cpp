#include "Views/MenuBar/tutorial/TutorialChrome.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"

QColor tutorialMaterial()
{
    // Opaque: nothing blurs what lies behind the card, so any of it showing through competes
    // with the card's text.
    return Theme::appearance() == Appearance::dark ? QColor(0x2c, 0x2c, 0x2e) : QColor(0xf6, 0xf6, 0xf8);
}

QLabel* tutorialWordmark(QWidget* parent)
{
    auto* wordmark = new ThemedLabel(QStringLiteral("velmora"), 16, QFont::DemiBold, &Theme::text, parent);
    QFont font = wordmark->font();
    font.setLetterSpacing(QFont::AbsoluteSpacing, -0.6);
    wordmark->setFont(font);
    return wordmark;
}

QAbstractButton* tutorialCloseButton(ThemeColor color, QWidget* parent)
{
    auto* close = new SymbolButton(QStringLiteral("xmark"), 10, SymbolWeight::medium, color, QSize(24, 24), parent);
    close->setAccessibleName(QStringLiteral("Close tutorial"));
    close->setToolTip(QStringLiteral("Close tutorial"));
    close->setCursor(Qt::PointingHandCursor);
    return close;
}
