#include "Views/MenuBar/list/MainListHeader.h"

#include "App/State/PopoverCommands.h"
#include "Utilities/Theme.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/Components/TutorialTarget.h"
#include "Views/MenuBar/list/CardTexts.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenu>

namespace {

// The "+" disc dims a little under the pointer.
QColor hoveredDisc()
{
    QColor color = Theme::text();
    color.setAlphaF(0.85f);
    return color;
}

} // namespace

MainListHeader::MainListHeader(PopoverCommands& commands, QWidget* parent)
    : QWidget(parent)
    , m_wordmark(new ThemedLabel(QStringLiteral("velmora"), 23, QFont::DemiBold, &Theme::text, this))
    , m_addButton(
          new SymbolButton(QStringLiteral("plus"), 16, SymbolWeight::regular, &Theme::onAccent, QSize(32, 32), this))
    , m_moreButton(new SymbolButton(
          QStringLiteral("ellipsis"), 16, SymbolWeight::medium, &Theme::textSecondary, QSize(28, 32), this))
    , m_addMenu(new ThemedMenu(this))
    , m_moreMenu(new ThemedMenu(this))
{
    QFont wordmarkFont = m_wordmark->font();
    wordmarkFont.setLetterSpacing(QFont::AbsoluteSpacing, -1.1);
    m_wordmark->setFont(wordmarkFont);
    TutorialTarget::mark(m_wordmark, QStringLiteral("headerLogo"));

    const QString addText = QStringLiteral("New shortcut or folder");
    m_addButton->setCircleFill(&Theme::text);
    m_addButton->setToolTip(addText);
    m_addButton->setAccessibleName(addText);
    TutorialTarget::mark(m_addButton, QStringLiteral("addButton"));
    m_addButton->installEventFilter(this);
    m_moreButton->setRotation(90);
    m_moreButton->setToolTip(QStringLiteral("Account, settings and more"));
    m_moreButton->setAccessibleName(QStringLiteral("Menu"));
    m_addMenu->setAccessibleName(addText);
    m_moreMenu->setAccessibleName(QStringLiteral("Menu"));

    using Command = PopoverCommands::Command;
    const auto addItem = [&commands](QMenu* menu, const char* symbol, const char* title, Command command) {
        const QString text = CardTexts::literal(QString::fromUtf8(title));
        menu->addAction(symbol ? commands.entry(command, text, menu, ThemedMenu::symbol(QString::fromLatin1(symbol)))
                               : commands.entry(command, text, menu));
    };
    addItem(m_addMenu, "plus", "New shortcut", Command::newShortcut);
    addItem(m_addMenu, "folder.badge.plus", "New folder", Command::newFolder);
    addItem(m_moreMenu, "person.crop.circle", "Account", Command::openAccount);
    addItem(m_moreMenu, "trophy", "Achievements", Command::openAchievements);
    addItem(m_moreMenu, "chart.bar", "Statistics", Command::openStatistics);
    m_moreMenu->addSeparator();
    addItem(m_moreMenu, "gearshape", "Settings & import", Command::openSettings);
    m_moreMenu->addSeparator();
    addItem(m_moreMenu, nullptr, "Quit Velmora", Command::quit);

    m_addMenu->setOpener(m_addButton);
    m_moreMenu->setOpener(m_moreButton);
    connect(m_addButton, &SymbolButton::clicked, this, [this] { popUp(m_addMenu, m_addButton); });
    connect(m_moreButton, &SymbolButton::clicked, this, [this] { popUp(m_moreMenu, m_moreButton); });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(18, 18, 18, 14);
    row->setSpacing(6);
    row->addWidget(m_wordmark, 0, Qt::AlignVCenter);
    row->addStretch(1);
    auto* menus = new QHBoxLayout;
    menus->setSpacing(8);
    menus->addWidget(m_addButton, 0, Qt::AlignVCenter);
    menus->addWidget(m_moreButton, 0, Qt::AlignVCenter);
    row->addLayout(menus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MainListHeader::popUp(ThemedMenu* menu, SymbolButton* button)
{
    menu->popUpFromOpener(button->mapToGlobal(QPoint(0, button->height() + 2)));
}

void MainListHeader::setAddMenuHovered(bool hovered)
{
    m_addMenuHovered = hovered;
    m_addButton->setCircleFill(hovered ? &hoveredDisc : &Theme::text);
}

bool MainListHeader::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_addButton) {
        if (event->type() == QEvent::Enter)
            setAddMenuHovered(true);
        else if (event->type() == QEvent::Leave)
            setAddMenuHovered(false);
    }
    return QWidget::eventFilter(watched, event);
}
