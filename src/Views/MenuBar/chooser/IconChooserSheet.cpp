#include "Views/MenuBar/chooser/IconChooserSheet.h"

#include "App/State/AppState.h"
#include "Models/FolderIconCatalog.h"
#include "Utilities/EmojiRecents.h"
#include "Utilities/Notifications.h"
#include "Utilities/Theme.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/HairlineDivider.h"
#include "Views/Components/ModalLayers.h"
#include "Views/Components/OverlayScrollArea.h"
#include "Views/Components/OverlayScrollBar.h"
#include "Views/Components/PaintedButton.h"
#include "Views/Components/SoftShadow.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/chooser/EmojiTabContent.h"
#include "Views/MenuBar/chooser/IconTileGrid.h"
#include "Views/MenuBar/chooser/IconUploadContent.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr qreal shadowRadius = 24;
constexpr QPointF shadowOffset(0, 10);
constexpr qreal shadowOpacity = 0.3;

// One of the three tabs: its title over a 2-pixel bar, bold and underlined while chosen.
class TabButton final : public PaintedButton {
public:
    TabButton(const QString& title, QWidget* parent)
        : PaintedButton(title, parent)
    {
        setCheckable(true);
        setFocusPolicy(Qt::TabFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(12 + QFontMetrics(uiFont(13, QFont::DemiBold)).height() + 6 + 2);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        beginPaint(painter);
        const QFont font = uiFont(13, isChecked() ? QFont::DemiBold : QFont::Normal);
        painter.setFont(font);
        painter.setPen(isChecked() ? Theme::text() : underMouse() ? Theme::textSecondary() : Theme::textMuted());
        const QRect title(0, 12, width(), QFontMetrics(font).height());
        painter.drawText(title, Qt::AlignCenter, text());
        if (isChecked())
            painter.fillRect(QRect(0, height() - 2, width(), 2), Theme::text());
        if (showsKeyboardFocus(this)) {
            painter.setOpacity(1);
            const int textWidth = QFontMetrics(font).horizontalAdvance(text());
            const QRectF ring
                = QRectF(title).adjusted((width() - textWidth) / 2.0 - 6, -3, -(width() - textWidth) / 2.0 + 6, 3);
            painter.strokePath(continuousRoundedRect(ring, 6), QPen(Theme::borderSelected(), 1.5));
        }
    }
};

// The card's surface. It takes every click that lands on it, so that only the backdrop
// closes the chooser.
class CardSurface final : public QWidget {
public:
    explicit CardSurface(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_NoMousePropagation);
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // Nothing behind the card can be blurred here, so the material is opaque: the editor
        // beneath the backdrop would otherwise show through the icons.
        painter.fillPath(continuousRoundedRect(QRectF(rect()), IconChooserSheet::cardRadius), Theme::bgCard());
    }
    void mousePressEvent(QMouseEvent* event) override { event->accept(); }
    void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
};

// The hairline around the card, drawn over its content.
class CardOutline final : public QWidget {
public:
    explicit CardOutline(QWidget* parent)
        : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.strokePath(
            continuousRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), IconChooserSheet::cardRadius - 0.5),
            QPen(Theme::borderSubtle(), 1));
    }
};

OverlayScrollArea* scrolling(QWidget* content, QWidget* parent)
{
    auto* area = new OverlayScrollArea(parent);
    area->overlayBar()->setEndInsets(4, 12);
    area->setContent(content);
    return area;
}

} // namespace

IconChooserSheet::IconChooserSheet(AppState& appState, std::optional<QString> initial, QWidget* parent)
    : QWidget(parent)
    , m_initial(std::move(initial))
{
    setAttribute(Qt::WA_NoMousePropagation);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QStringLiteral("Choose an icon"));
    AccessibleRoles::markModalLayer(this);
    hide();
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    NotificationCenter::instance().observe(
        Notifications::velmoraDismissOverlays, this, [this](const QVariant&) { dismiss(); });

    m_card = new CardSurface(this);
    m_card->setFixedSize(cardSize);
    auto* column = new QVBoxLayout(m_card);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* tabBar = new QHBoxLayout;
    tabBar->setSpacing(0);
    tabBar->setContentsMargins(0, 0, 0, 0);
    const std::pair<Tab, QString> tabs[] = {{Tab::icons, QStringLiteral("Icons")},
        {Tab::emoji, QStringLiteral("Emoji")}, {Tab::upload, QStringLiteral("Upload")}};
    // Exclusive as a group of their own, not by parent: the emoji chips, deeper in the card,
    // are a row of their own.
    auto* tabGroup = new QButtonGroup(this);
    for (const auto& [tab, title] : tabs) {
        auto* button = new TabButton(title, m_card);
        tabGroup->addButton(button);
        tabBar->addWidget(button, 1);
        m_tabButtons.append(button);
        connect(button, &QAbstractButton::clicked, this, [this, tab = tab] {
            // Arrow keys in the tab bar switch tabs and stay there; a click moves on into the tab.
            const bool fromTabBar = m_tabButtons.contains(qobject_cast<QAbstractButton*>(QApplication::focusWidget()));
            setTab(tab);
            if (!fromTabBar)
                focusTabContent();
        });
        // A screen reader ticks a tab (its toggle action) without clicking it: the page follows.
        connect(button, &QAbstractButton::toggled, this, [this, tab = tab](bool checked) {
            if (checked && m_tab != tab)
                setTab(tab);
        });
    }
    column->addLayout(tabBar);
    column->addWidget(new HairlineDivider(m_card));

    m_pages = new QStackedWidget(m_card);
    column->addWidget(m_pages, 1);

    m_iconGrid = new IconTileGrid(IconTileGrid::Kind::icons);
    m_iconGrid->setContentsMargins(18, 18, 18, 18);
    m_iconGrid->setAccessibleName(QStringLiteral("Icons"));
    QList<IconTileGrid::Tile> builtIns;
    for (const QString& key : FolderIconCatalog::orderedKeys())
        builtIns.append({key, key, FolderIconCatalog::spokenName(key)});
    m_iconGrid->setTiles(builtIns);
    m_iconGrid->setMarkedKey(m_initial);
    m_iconGrid->setCustomIcons(appState.userData().customIcons);
    connect(m_iconGrid, &IconTileGrid::activated, this, &IconChooserSheet::pickIcon);
    m_pages->addWidget(scrolling(m_iconGrid, m_pages));

    m_emoji = new EmojiTabContent(m_initial, m_pages);
    connect(m_emoji, &EmojiTabContent::picked, this, &IconChooserSheet::pickEmoji);
    m_pages->addWidget(m_emoji);

    m_upload = new IconUploadContent(appState, m_initial);
    connect(m_upload, &IconUploadContent::picked, this, &IconChooserSheet::pickIcon);
    connect(m_upload, &IconUploadContent::iconCleared, this, &IconChooserSheet::iconCleared);
    m_pages->addWidget(scrolling(m_upload, m_pages));

    m_outline = new CardOutline(this);
    setTab(Tab::icons);
}

QAbstractButton* IconChooserSheet::tabButton(Tab tab) const
{
    return m_tabButtons.at(int(tab));
}

void IconChooserSheet::setTab(Tab tab)
{
    // A page that goes while it holds the keyboard (a screen reader ticked another tab) would
    // leave it on the new page's bare surface, which has no name.
    const QWidget* focus = window()->focusWidget();
    const bool pageHadFocus = focus && m_pages->currentWidget() && m_pages->currentWidget()->isAncestorOf(focus);
    m_tab = tab;
    m_tabButtons.at(int(tab))->setChecked(true);
    m_pages->setCurrentIndex(int(tab));
    if (pageHadFocus && m_pages->currentIndex() == int(tab))
        focusTabContent();
}

void IconChooserSheet::present()
{
    if (QWidget* host = parentWidget()) {
        setGeometry(host->rect());
        host->installEventFilter(this);
    }
    m_focusBefore = QApplication::focusWidget();
    show();
    raise();
    focusTabContent();
}

void IconChooserSheet::dismiss()
{
    if (m_dismissed)
        return;
    m_dismissed = true;
    hide();
    if (m_focusBefore)
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    Q_EMIT dismissed();
    deleteLater();
}

void IconChooserSheet::pickIcon(const QString& key)
{
    if (m_dismissed)
        return;
    Q_EMIT picked(key);
    dismiss();
}

void IconChooserSheet::pickEmoji(const QString& emoji)
{
    if (m_dismissed)
        return;
    EmojiRecents::remember(emoji);
    Q_EMIT picked(emoji);
    dismiss();
}

void IconChooserSheet::focusTabContent()
{
    switch (m_tab) {
    case Tab::icons: m_iconGrid->setFocus(Qt::OtherFocusReason); break;
    case Tab::emoji: m_emoji->searchField()->setFocus(Qt::OtherFocusReason); break;
    case Tab::upload: m_upload->dropZone()->setFocus(Qt::OtherFocusReason); break;
    }
}

QRect IconChooserSheet::cardRect() const
{
    return QRect(QPoint((width() - cardSize.width()) / 2, (height() - cardSize.height()) / 2), cardSize);
}

void IconChooserSheet::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_card->setGeometry(cardRect());
    m_outline->setGeometry(cardRect());
    m_outline->raise();
}

bool IconChooserSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void IconChooserSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::overlayDim());
    QColor shadow(Qt::black);
    shadow.setAlphaF(shadowOpacity);
    paintSoftShadow(painter, continuousRoundedRect(QRectF(cardRect()), cardRadius), shadow, shadowRadius, shadowOffset);
}

bool IconChooserSheet::event(QEvent* event)
{
    // Escape belongs to the chooser while it is shown, before any shortcut of the window
    // beneath (the popover's own Escape closes the whole popover).
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

void IconChooserSheet::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        dismiss();
        return;
    }
    // Return or Space that no control of the card took (in the search field) ends here: the
    // editor beneath would save on it.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void IconChooserSheet::mousePressEvent(QMouseEvent* event)
{
    m_pressOnBackdrop = !cardRect().contains(event->position().toPoint());
    event->accept();
}

void IconChooserSheet::mouseReleaseEvent(QMouseEvent* event)
{
    const bool onBackdrop = m_pressOnBackdrop && !cardRect().contains(event->position().toPoint());
    m_pressOnBackdrop = false;
    event->accept();
    if (onBackdrop && event->button() == Qt::LeftButton)
        dismiss();
}

bool IconChooserSheet::focusNextPrevChild(bool next)
{
    // Tab and Backtab go round the card's controls and never reach the editor beneath.
    return ModalLayers::focusNextInside(this, next) || QWidget::focusNextPrevChild(next);
}
