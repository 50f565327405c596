#include "Views/MenuBar/forms/FolderMenuButton.h"

#include "Utilities/Theme.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/Components/ViewStyle.h"

#include <QAccessibleWidget>
#include <QMenu>
#include <QPainter>

namespace {

constexpr int horizontalMargin = 12;
constexpr int verticalMargin = 10;
constexpr int captionGap = 4;
constexpr int chevronGap = 8;
constexpr qreal chevronSize = 10;
const QString caption = QStringLiteral("Folder");

QFont captionFont()
{
    return uiFont(11);
}

QFont nameFont()
{
    return uiFont(13);
}

// Menu titles are shown as typed: "&" would otherwise mark a mnemonic and a tab would
// start a shortcut column.
QString menuTitle(const QString& name)
{
    QString title = name;
    title.replace(u'&', QStringLiteral("&&"));
    title.replace(u'\t', u' ');
    return title;
}

// Announced as a pull-down named "Folder" whose value is the chosen folder. Screen readers
// read no text value of a control that has no numeric one, so the chosen folder is also its
// description, as on the folder editor's parent field.
class FolderMenuAccessible final : public QAccessibleWidget {
public:
    explicit FolderMenuAccessible(FolderMenuButton* button)
        : QAccessibleWidget(button, QAccessible::ButtonMenu)
    {
        addControllingSignal(QStringLiteral("clicked(bool)"));
    }

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name: return caption;
        case QAccessible::Value:
        case QAccessible::Description: return static_cast<const FolderMenuButton*>(widget())->folderName();
        default: return QAccessibleWidget::text(kind);
        }
    }

    QStringList actionNames() const override { return {showMenuAction()}; }

    void doAction(const QString& action) override
    {
        if (action == showMenuAction())
            static_cast<FolderMenuButton*>(widget())->click();
    }
};

QAccessibleInterface* folderMenuFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("FolderMenuButton"))
        return new FolderMenuAccessible(static_cast<FolderMenuButton*>(object));
    return nullptr;
}

} // namespace

FolderMenuButton::FolderMenuButton(QWidget* parent)
    : QAbstractButton(parent)
    , m_menu(new ThemedMenu(this))
{
    static const bool installed = [] {
        QAccessible::installFactory(folderMenuFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setText(caption);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    m_menu->setAccessibleName(caption);
    m_menu->setOpener(this);
    connect(m_menu, &QMenu::aboutToHide, this, qOverload<>(&QWidget::update));
    connect(this, &QAbstractButton::clicked, this, &FolderMenuButton::openMenu);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
}

void FolderMenuButton::setFolderName(const QString& name)
{
    if (name == m_folderName)
        return;
    m_folderName = name;
    update();
    QAccessibleValueChangeEvent changed(this, name);
    QAccessible::updateAccessibility(&changed);
    QAccessibleEvent described(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&described);
}

void FolderMenuButton::setFolders(const QList<Group>& folders)
{
    m_folders = folders;
}

QSize FolderMenuButton::sizeHint() const
{
    const QFontMetrics captionMetrics(captionFont());
    const QFontMetrics nameMetrics(nameFont());
    const int width = 2 * horizontalMargin
        + qMax(captionMetrics.horizontalAdvance(caption), nameMetrics.horizontalAdvance(m_folderName)) + chevronGap
        + SymbolIcon::sideFor(chevronSize);
    return {width, 2 * verticalMargin + captionMetrics.height() + captionGap + nameMetrics.height()};
}

QSize FolderMenuButton::minimumSizeHint() const
{
    return {2 * horizontalMargin + chevronGap + SymbolIcon::sideFor(chevronSize) + 40, sizeHint().height()};
}

void FolderMenuButton::openMenu()
{
    m_menu->clear();
    m_menu->addAction(noneTitle, this, [this] { Q_EMIT folderChosen(std::nullopt); });
    for (const Group& folder : std::as_const(m_folders)) {
        const QString id = folder.id;
        m_menu->addAction(menuTitle(folder.name), this, [this, id] { Q_EMIT folderChosen(id); });
    }
    // As wide as the box; a menu's margins (room for its shadow) come on top.
    const QMargins margins = m_menu->contentsMargins();
    m_menu->setMinimumWidth(width() + margins.left() + margins.right());
    m_menu->popUpFromOpener(mapToGlobal(QPoint(0, height() + 4)));
    update();
}

QMenu* FolderMenuButton::menu() const
{
    return m_menu;
}

void FolderMenuButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void FolderMenuButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void FolderMenuButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool open = m_menu->isVisible();
    paintGlassFieldPanel(painter, rect(), m_hovered || open);

    const QFontMetrics captionMetrics(captionFont());
    const QFontMetrics nameMetrics(nameFont());
    const int textWidth = width() - 2 * horizontalMargin - chevronGap - SymbolIcon::sideFor(chevronSize);
    painter.setFont(captionFont());
    painter.setPen(Theme::textSecondary());
    const QRect captionBox(horizontalMargin, verticalMargin, textWidth, captionMetrics.height());
    painter.drawText(captionBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);

    const QRect nameBox(horizontalMargin, captionBox.bottom() + 1 + captionGap, textWidth, nameMetrics.height());
    painter.setFont(nameFont());
    painter.setPen(Theme::text());
    painter.drawText(nameBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
        nameMetrics.elidedText(m_folderName, Qt::ElideRight, textWidth));

    const int side = SymbolIcon::sideFor(chevronSize);
    const QRectF chevron(width() - horizontalMargin - side, nameBox.center().y() + 0.5 - side / 2.0, side, side);
    SymbolIcon::paint(painter, chevron, u"chevron.down", Theme::textMuted(), SymbolWeight::medium);

    if (showsKeyboardFocus(this)) {
        painter.setPen(QPen(Theme::borderSelected(), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(continuousRoundedRect(QRectF(rect()).adjusted(1.25, 1.25, -1.25, -1.25), 9));
    }
}
