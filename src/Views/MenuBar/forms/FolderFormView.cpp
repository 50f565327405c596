#include "Views/MenuBar/forms/FolderFormView.h"

#include "App/State/AppState.h"
#include "Utilities/Notifications.h"
#include "Utilities/Text.h"
#include "Utilities/Theme.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/FolderIconView.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/GlassRowButton.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/forms/ParentFolderMenu.h"
#include "Views/MenuBar/forms/VisibilityPill.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaMethod>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

const QString noneLabel = QStringLiteral("None");

QVBoxLayout* column(QWidget* owner, int spacing)
{
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

bool isReturn(const QKeyEvent* event)
{
    return (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool isEscape(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier;
}

} // namespace

const QList<FlowingSwatches::Preset>& FolderFormView::presetColors()
{
    static const QList<FlowingSwatches::Preset> presets = {
        {QStringLiteral("Red"), QStringLiteral("#EF4444")},
        {QStringLiteral("Orange"), QStringLiteral("#F97316")},
        {QStringLiteral("Yellow"), QStringLiteral("#EAB308")},
        {QStringLiteral("Green"), QStringLiteral("#22C55E")},
        {QStringLiteral("Teal"), QStringLiteral("#14B8A6")},
        {QStringLiteral("Blue"), QStringLiteral("#3B82F6")},
        {QStringLiteral("Purple"), QStringLiteral("#8B5CF6")},
        {QStringLiteral("Pink"), QStringLiteral("#EC4899")},
        {QStringLiteral("Brown"), QStringLiteral("#92400E")},
    };
    return presets;
}

FolderFormView::FolderFormView(AppState& appState, std::optional<Group> editing, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_editing(std::move(editing))
{
    // The icon chooser lies over it.
    AccessibleRoles::hostModalLayers(this);
    auto* layout = column(this, 0);
    layout->addWidget(screenHeader(
        isEditing() ? QStringLiteral("Edit folder") : QStringLiteral("New folder"), [this] { cancel(); }, this));

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    // Only the controls inside take the focus; the page scrolls to the one that has it.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setAutoFillBackground(false);
    scroll->viewport()->setAutoFillBackground(false);
    auto* content = new QWidget;
    auto* items = new QVBoxLayout(content);
    items->setContentsMargins(18, 12, 18, 16);
    items->setSpacing(12);

    m_nameField = glassField(QStringLiteral("Folder name"), QStringLiteral("Work, writing, personal…"), {}, false);
    connect(m_nameField, &GlassTextInput::textChanged, this, [this] { m_saveButton->setEnabled(canSave()); });
    items->addWidget(m_nameField);
    items->addWidget(chooseIconRow());
    items->addWidget(colorSection());
    items->addWidget(parentFolderField());
    items->addWidget(visibilitySection());
    if (m_editing) {
        items->addWidget(glassDangerButton(QStringLiteral("Delete folder"), [this] {
            m_appState.deleteGroup(m_editing->id);
            leave();
        }));
    }
    items->addStretch(1);
    scroll->setWidget(content);
    // The scroll area paints its content's background by default; the form is glass.
    content->setAutoFillBackground(false);
    layout->addWidget(scroll, 1);
    layout->addWidget(bottomButtons());

    connect(&m_appState, &AppState::userDataChanged, this, &FolderFormView::refresh);
    NotificationCenter::instance().observe(Notifications::velmoraDismissOverlays, this, [this](const QVariant&) {
        closeIconChooser();
        closeParentMenu();
    });
    updateIconRowAvailability();
    refresh();
}

QWidget* FolderFormView::chooseIconRow()
{
    m_iconRow = new GlassRowButton;
    m_iconRow->setAccessibleName(QStringLiteral("Choose folder icon"));
    m_iconRow->setFixedHeight(40);
    auto* row = new QHBoxLayout(m_iconRow);
    row->setContentsMargins(14, 0, 14, 0);
    row->setSpacing(12);
    m_iconView = new FolderIconView(m_selectedIconKey, 24, m_appState.userData().customIcons);
    row->addWidget(m_iconView, 0, Qt::AlignVCenter);
    row->addWidget(
        new ThemedLabel(QStringLiteral("Choose an icon"), 13, QFont::Normal, &Theme::text), 0, Qt::AlignVCenter);
    row->addStretch(1);
    m_iconChevron = new SymbolLabel(QStringLiteral("chevron.right"), 11, SymbolWeight::medium, &Theme::textMuted);
    row->addWidget(m_iconChevron, 0, Qt::AlignVCenter);
    connect(m_iconRow, &GlassRowButton::clicked, this, [this] { Q_EMIT openIconChooser(m_selectedIconKey); });
    return m_iconRow;
}

QWidget* FolderFormView::colorSection()
{
    auto* section = new QWidget;
    auto* layout = column(section, 8);
    layout->addWidget(new ThemedLabel(QStringLiteral("Folder color"), 12, QFont::Normal, &Theme::textSecondary));
    m_swatches = new FlowingSwatches(presetColors());
    layout->addWidget(m_swatches);
    return section;
}

QWidget* FolderFormView::parentFolderField()
{
    m_parentField = new GlassRowButton;
    m_parentField->setAccessibleName(QStringLiteral("Parent folder"));
    auto* layout = column(m_parentField, 6);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->addWidget(new ThemedLabel(QStringLiteral("Parent folder"), 11, QFont::Normal, &Theme::textSecondary));
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    m_parentName = new ThemedLabel(noneLabel, 13, QFont::Normal, &Theme::text);
    // Long names are cut to one line with an ellipsis whenever the label is resized, and
    // never widen the form.
    m_parentName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_parentName->installEventFilter(this);
    row->addWidget(m_parentName, 1);
    row->addWidget(new SymbolLabel(QStringLiteral("chevron.down"), 10, SymbolWeight::medium, &Theme::textMuted), 0,
        Qt::AlignVCenter);
    layout->addLayout(row);
    m_parentField->setFixedHeight(layout->sizeHint().height());
    connect(m_parentField, &GlassRowButton::clicked, this, &FolderFormView::openParentMenu);
    return m_parentField;
}

QWidget* FolderFormView::visibilitySection()
{
    auto* section = new QWidget;
    auto* layout = column(section, 8);
    layout->addWidget(new ThemedLabel(QStringLiteral("Folder visibility"), 12, QFont::Normal, &Theme::textSecondary));
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(visibilityPill(
        QStringLiteral("Private"), QStringLiteral("lock"), Group::visibilityText(FolderVisibility::privateFolder)));
    row->addWidget(visibilityPill(
        QStringLiteral("Public"), QStringLiteral("globe"), Group::visibilityText(FolderVisibility::publicFolder)));
    layout->addLayout(row);
    return section;
}

VisibilityPill* FolderFormView::visibilityPill(const QString& label, const QString& icon, const QString& value)
{
    auto* pill = new VisibilityPill(label, icon);
    pill->setAccessibleName(label + QStringLiteral(" folder"));
    pill->setProperty("visibility", value);
    connect(pill, &VisibilityPill::clicked, this, [this, value] {
        m_visibility = value;
        refresh();
    });
    m_pills.append(pill);
    return pill;
}

QWidget* FolderFormView::bottomButtons()
{
    auto* bar = new QWidget;
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(18, 12, 18, 18);
    row->setSpacing(10);
    row->addWidget(glassSecondaryButton(QStringLiteral("Cancel"), [this] { cancel(); }));
    m_saveButton = glassButton(QStringLiteral("Save"), !canSave(), [this] { save(); });
    row->addWidget(m_saveButton);
    return bar;
}

QString FolderFormView::name() const
{
    return m_nameField->text();
}

bool FolderFormView::canSave() const
{
    return !Text::trimmedOfSpaces(name()).isEmpty();
}

void FolderFormView::loadInitialState()
{
    if (m_editing) {
        m_nameField->setText(m_editing->name);
        m_selectedIconKey = m_editing->icon;
        m_swatches->setSelectedColor(m_editing->color);
        m_swatches->setHexInput(m_editing->color.value_or(QString()));
        m_parentGroupId = m_editing->parentGroupId;
        // An unlisted folder is offered, and saved, as public.
        m_visibility = m_editing->knownVisibility() == FolderVisibility::unlisted
            ? Group::visibilityText(FolderVisibility::publicFolder)
            : m_editing->visibility.value_or(Group::visibilityText(FolderVisibility::privateFolder));
    } else {
        m_parentGroupId = m_appState.currentGroupId();
        m_visibility = Group::visibilityText(FolderVisibility::privateFolder);
    }
    refresh();
}

QList<Group> FolderFormView::availableParents() const
{
    const QList<Group>& groups = m_appState.userData().groups;
    if (!m_editing)
        return groups;
    const QSet<QString> excluded = m_appState.userData().folderAndDescendants(m_editing->id);
    QList<Group> offered;
    for (const Group& g : groups) {
        if (!excluded.contains(g.id))
            offered.append(g);
    }
    return offered;
}

const Group* FolderFormView::liveGroup(const std::optional<QString>& id) const
{
    return id ? m_appState.userData().group(*id) : nullptr;
}

QString FolderFormView::currentParentName() const
{
    const Group* parent = liveGroup(m_parentGroupId);
    return parent ? parent->name : noneLabel;
}

void FolderFormView::save()
{
    // A colour typed without Return is what the user sees in the field: it counts.
    m_swatches->commitHex();
    const QString trimmed = Text::trimmedOfSpaces(name());
    if (trimmed.isEmpty())
        return;
    // The chosen parent may have been deleted while the form was open; the form then shows
    // "None", and the top level is where the folder goes.
    const std::optional<QString> parent = liveGroup(m_parentGroupId) ? m_parentGroupId : std::nullopt;
    const std::optional<QString> color = m_swatches->selectedColor();
    ToastManager& toasts = ToastManager::shared();

    if (!m_editing) {
        if (!m_appState.addGroup(trimmed, parent, m_selectedIconKey, color, m_visibility)) {
            toasts.show(QStringLiteral("Couldn't save the folder."));
            return;
        }
        toasts.show(QStringLiteral("Folder created"));
        leave();
        return;
    }

    const QString id = m_editing->id;
    if (!liveGroup(id)) {
        toasts.show(QStringLiteral("This folder no longer exists."));
        leave();
        return;
    }
    // Two steps, each its own undo: name, icon and colour, then parent and visibility. The icon
    // is passed like the colour, so choosing no icon clears it.
    const bool written = m_appState.updateGroup(id, trimmed, std::optional<std::optional<QString>>(m_selectedIconKey),
                             std::optional<std::optional<QString>>(color))
        && m_appState.updateGroupParentAndVisibility(id, parent, m_visibility);
    if (!written) {
        toasts.show(QStringLiteral("Couldn't save the folder."));
        return;
    }
    toasts.show(QStringLiteral("Folder updated"));
    leave();
}

void FolderFormView::presentIconChooser(QWidget* chooser)
{
    closeIconChooser();
    m_iconChooser = chooser;
    chooser->setParent(this);
    chooser->setGeometry(rect());
    chooser->raise();
    chooser->show();
}

void FolderFormView::closeIconChooser()
{
    if (QWidget* chooser = m_iconChooser) {
        m_iconChooser = nullptr;
        chooser->hide();
        chooser->deleteLater();
    }
}

void FolderFormView::pickIcon(const std::optional<QString>& key)
{
    m_selectedIconKey = key;
    refresh();
}

void FolderFormView::openParentMenu()
{
    if (m_parentMenu)
        return;
    QList<ParentFolderMenu::Entry> entries = {{noneLabel, std::nullopt}};
    for (const Group& g : availableParents())
        entries.append({g.name, g.id});
    auto* menu = new ParentFolderMenu(entries, m_parentGroupId, this);
    menu->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    menu->setAttribute(Qt::WA_TranslucentBackground);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu, &ParentFolderMenu::chosen, this, [this](const std::optional<QString>& id) {
        m_parentGroupId = id;
        refresh();
        closeParentMenu();
    });

    // Under the field, centred on it; above it when the screen has no room below.
    const QRect field(m_parentField->mapToGlobal(QPoint(0, 0)), m_parentField->size());
    const int gap = 5 - ParentFolderMenu::shadowMargin;
    QPoint at(field.center().x() - menu->width() / 2, field.bottom() + gap);
    if (const QScreen* screen = m_parentField->screen()) {
        const QRect room = screen->availableGeometry();
        if (at.y() + menu->height() > room.bottom())
            at.setY(field.top() - gap - menu->height());
        at.setX(qBound(room.left(), at.x(), qMax(room.left(), room.right() - menu->width())));
    }
    menu->move(at);
    m_parentMenu = menu;
    menu->show();
    menu->focusCurrentRow();
}

ParentFolderMenu* FolderFormView::parentMenu() const
{
    return m_parentMenu;
}

void FolderFormView::closeParentMenu()
{
    if (ParentFolderMenu* menu = m_parentMenu) {
        m_parentMenu = nullptr;
        menu->close();
    }
}

void FolderFormView::cancel()
{
    leave();
}

void FolderFormView::leave()
{
    closeParentMenu();
    closeIconChooser();
    Q_EMIT screenRequested(PopoverScreen::main());
}

void FolderFormView::refresh()
{
    m_iconView->setIcon(m_selectedIconKey);
    m_iconView->setCustomIcons(m_appState.userData().customIcons);
    showParentName();
    for (VisibilityPill* pill : m_pills)
        pill->setChecked(pill->property("visibility").toString() == m_visibility);
    m_saveButton->setEnabled(canSave());
}

void FolderFormView::showParentName()
{
    const QString parentName = currentParentName();
    m_parentField->setAccessibleDescription(parentName);
    m_parentName->setText(m_parentName->fontMetrics().elidedText(parentName, Qt::ElideRight, m_parentName->width()));
    m_parentName->setToolTip(parentName);
}

void FolderFormView::updateIconRowAvailability()
{
    if (!m_iconRow)
        return;
    const bool available = isSignalConnected(QMetaMethod::fromSignal(&FolderFormView::openIconChooser));
    m_iconRow->setEnabled(available);
    m_iconRow->setCursor(available ? Qt::PointingHandCursor : Qt::ArrowCursor);
    m_iconChevron->setVisible(available);
}

// Qt may call these two with an internal lock held, where asking whether the signal is
// connected would deadlock: look once control is back in the event loop.
void FolderFormView::connectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&FolderFormView::openIconChooser))
        QMetaObject::invokeMethod(this, &FolderFormView::updateIconRowAvailability, Qt::QueuedConnection);
}

void FolderFormView::disconnectNotify(const QMetaMethod& signal)
{
    if (signal == QMetaMethod::fromSignal(&FolderFormView::openIconChooser))
        QMetaObject::invokeMethod(this, &FolderFormView::updateIconRowAvailability, Qt::QueuedConnection);
}

bool FolderFormView::event(QEvent* event)
{
    // Return and Escape belong to the form while it is shown: claiming them here keeps any
    // window-wide shortcut (such as the popover's own Escape) from taking them first.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (isReturn(key) || isEscape(key)) {
            event->accept();
            return true;
        }
    }
    return QWidget::event(event);
}

bool FolderFormView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_parentName && event->type() == QEvent::Resize)
        showParentName();
    return QWidget::eventFilter(watched, event);
}

bool FolderFormView::cancelAction()
{
    if (showingParentMenu())
        closeParentMenu();
    else if (showingIconChooser())
        closeIconChooser();
    else
        cancel();
    return true;
}

bool FolderFormView::defaultAction()
{
    if (!showingParentMenu() && !showingIconChooser())
        save();
    return true;
}

void FolderFormView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    loadInitialState();
    m_nameField->lineEdit()->setFocus(Qt::OtherFocusReason);
}

void FolderFormView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_iconChooser)
        m_iconChooser->setGeometry(rect());
}
