#include "Views/MenuBar/forms/ShortcutFormView.h"

#include "App/State/AppState.h"
#include "Services/TutorialManager.h"
#include "Utilities/Text.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/FormErrorLine.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/TutorialTarget.h"
#include "Views/MenuBar/forms/FolderMenuButton.h"
#include "Views/MenuBar/forms/NewFolderRow.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString duplicateMessage = QStringLiteral("Shortcut already exists");
const QString saveFailedMessage = QStringLiteral("Couldn't save the shortcut.");
const QString folderFailedMessage = QStringLiteral("Couldn't create the folder.");
const QString deleteFailedMessage = QStringLiteral("Couldn't delete the shortcut.");

} // namespace

ShortcutFormView::ShortcutFormView(AppState& appState, std::optional<Shortcut> editing, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_editing(std::move(editing))
    , m_header(screenHeader(
          m_editing ? QStringLiteral("Edit shortcut") : QStringLiteral("New shortcut"), [this] { leave(); }, this))
    , m_trigger(glassField(QStringLiteral("Shortcut"), QStringLiteral("/sig"), QString(), true))
    , m_errorLine(new FormErrorLine)
    , m_expansion(glassTextArea(QStringLiteral("Expands to"), QStringLiteral("Type the full text to insert…")))
    , m_folderMenu(new FolderMenuButton)
    , m_newFolder(new NewFolderRow)
    , m_cancel(glassSecondaryButton(
          QStringLiteral("Cancel"), [this] { leave(); }, this))
    , m_save(glassButton(
          QStringLiteral("Save"), true, [this] { save(); }, this))
{
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(18, 12, 18, 16);
    column->setSpacing(12);
    column->addWidget(m_trigger);
    column->addWidget(m_errorLine);
    column->addWidget(m_expansion);
    auto* folderBlock = new QVBoxLayout;
    folderBlock->setSpacing(12);
    folderBlock->addWidget(m_folderMenu);
    folderBlock->addWidget(m_newFolder);
    column->addLayout(folderBlock);
    if (m_editing) {
        m_delete = glassDangerButton(QStringLiteral("Delete shortcut"), [this] { deleteShortcut(); });
        column->addWidget(m_delete);
    }
    column->addStretch(1);

    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    // Only the controls inside take the focus; the page scrolls to the one that has it.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    // The popover's glass shows through; a scroll area paints its page by default.
    scroll->viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(18, 12, 18, 18);
    buttons->setSpacing(10);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_save);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_header);
    root->addWidget(scroll, 1);
    root->addLayout(buttons);
    // Tab goes down the screen, whatever order the parts were made in.
    QList<QWidget*> chain{m_header->backButton(), m_trigger, m_expansion, m_folderMenu, m_newFolder->link(),
        m_newFolder->nameInput(), m_newFolder->createButton(), m_newFolder->cancelButton()};
    if (m_delete)
        chain << m_delete;
    chain << m_cancel << m_save;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain.at(i - 1), chain.at(i));

    TutorialTarget::mark(m_trigger, QStringLiteral("triggerField"));
    TutorialTarget::mark(m_expansion, QStringLiteral("expansionField"));
    TutorialTarget::mark(m_save, QStringLiteral("saveButton"));

    connect(m_trigger, &GlassTextInput::textChanged, this, [this] {
        setErrorMessage(std::nullopt);
        refreshCanSave();
    });
    connect(m_expansion, &GlassTextArea::textChanged, this, [this] {
        setErrorMessage(std::nullopt);
        refreshCanSave();
    });
    connect(m_folderMenu, &FolderMenuButton::folderChosen, this, &ShortcutFormView::setSelectedGroupId);
    connect(m_newFolder, &NewFolderRow::createRequested, this, &ShortcutFormView::createInlineFolder);
    connect(m_newFolder, &NewFolderRow::nameChanged, this, [this] {
        if (m_errorMessage == folderFailedMessage)
            setErrorMessage(std::nullopt);
    });
    observeNow(&m_appState, &AppState::userDataChanged, this, [this] { refreshLibrary(); });
    m_appState.prepareShortcutEdit();
}

ShortcutFormView::~ShortcutFormView()
{
    m_appState.prepareShortcutEdit(false);
}

bool ShortcutFormView::canSave() const
{
    return !Text::trimmed(m_trigger->text()).isEmpty() && !Text::trimmed(m_expansion->text()).isEmpty();
}

bool ShortcutFormView::isDuplicate() const
{
    const QString trigger = Text::trimmed(m_trigger->text());
    if (trigger.isEmpty())
        return false;
    return m_appState.isTriggerTaken(trigger, m_editing ? m_editing->id : QString());
}

QString ShortcutFormView::selectedFolderName() const
{
    const Group* folder = m_selectedGroupId ? m_appState.userData().group(*m_selectedGroupId) : nullptr;
    return folder ? folder->name : FolderMenuButton::noneTitle;
}

std::optional<QString> ShortcutFormView::existingSelectedGroupId() const
{
    const bool exists = m_selectedGroupId && m_appState.userData().group(*m_selectedGroupId);
    return exists ? m_selectedGroupId : std::nullopt;
}

void ShortcutFormView::save()
{
    if (!canSave())
        return;
    // The trigger loses line breaks at its ends as well: a pasted "/sig" and line break
    // would never expand. The text keeps them; only spaces and tabs go.
    const QString trigger = Text::trimmed(m_trigger->text());
    const QString expansion = Text::trimmedOfSpaces(m_expansion->text());
    if (isDuplicate()) {
        setErrorMessage(duplicateMessage);
        return;
    }
    const std::optional<QString> groupId = existingSelectedGroupId();
    if (m_editing) {
        // Only what changed is written, each write being a whole copy of the library: texts
        // first, then the folder, two undo steps when both changed, so the first Undo puts
        // back only the folder.
        const QString& id = m_editing->id;
        const QList<Shortcut>& shortcuts = m_appState.userData().shortcuts;
        const auto current
            = std::find_if(shortcuts.cbegin(), shortcuts.cend(), [&](const Shortcut& s) { return s.id == id; });
        const bool known = current != shortcuts.cend();
        const bool textsChanged = !known || current->trigger != trigger || current->expansion != expansion;
        const bool folderChanged = !known || current->groupId != groupId;
        if ((textsChanged && !m_appState.updateShortcut(id, trigger, expansion))
            || (folderChanged && !m_appState.moveShortcutToGroup(id, groupId))) {
            setErrorMessage(saveFailedMessage);
            return;
        }
        m_appState.toastOnceWritten(QStringLiteral("Shortcut updated"));
    } else {
        if (!m_appState.addShortcut(trigger, expansion, groupId)) {
            setErrorMessage(saveFailedMessage);
            return;
        }
        m_appState.toastOnceWritten(QStringLiteral("Shortcut created"));
        // Before leaving: the tutorial must be past its save step when the popover reports
        // the main list, or it would take the return for the user walking away.
        TutorialManager::shared().notifyShortcutSaved(trigger);
    }
    leave();
}

void ShortcutFormView::createInlineFolder()
{
    const QString name = Text::trimmedOfSpaces(m_newFolder->name());
    if (name.isEmpty())
        return;
    // Inside the folder the main list shows, whatever the menu has chosen.
    const std::optional<QString> id = m_appState.addGroup(name, m_appState.effectiveCurrentGroupId(), std::nullopt,
        std::nullopt, Group::visibilityText(FolderVisibility::privateFolder), 0);
    if (!id) {
        setErrorMessage(folderFailedMessage);
        return;
    }
    setSelectedGroupId(*id);
    m_newFolder->close();
    m_appState.toastOnceWritten(QStringLiteral("Folder created"));
}

void ShortcutFormView::deleteShortcut()
{
    const QString id = m_editing->id;
    const bool asks = m_appState.settings().confirmDelete;
    // With a question the popover asks; the confirmation deletes.
    if (!m_appState.deleteShortcut(id) && !asks) {
        setErrorMessage(deleteFailedMessage);
        return;
    }
    leave();
}

void ShortcutFormView::leave()
{
    Q_EMIT screenRequested(PopoverScreen::main());
}

void ShortcutFormView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Once per screen: the popover window hiding and showing again must not wipe what the
    // user typed.
    if (m_filledIn)
        return;
    m_filledIn = true;
    fillIn();
    m_trigger->lineEdit()->setFocus(Qt::OtherFocusReason);
}

void ShortcutFormView::fillIn()
{
    if (m_editing) {
        m_trigger->setText(m_editing->trigger);
        m_expansion->setText(m_editing->expansion.toString());
        setSelectedGroupId(m_editing->groupId);
        return;
    }
    setSelectedGroupId(m_appState.effectiveCurrentGroupId());
    TutorialManager& tutorial = TutorialManager::shared();
    if (tutorial.isActive()) {
        m_trigger->setText(tutorial.exampleTrigger());
        m_expansion->setText(exampleExpansion);
    }
}

bool ShortcutFormView::cancelAction()
{
    leave();
    return true;
}

bool ShortcutFormView::defaultAction()
{
    if (m_save->isEnabled())
        save();
    return true;
}

void ShortcutFormView::setSelectedGroupId(const std::optional<QString>& id)
{
    m_selectedGroupId = id;
    m_folderMenu->setFolderName(selectedFolderName());
}

void ShortcutFormView::setErrorMessage(const std::optional<QString>& message)
{
    m_errorMessage = message;
    m_errorLine->setMessage(message);
}

void ShortcutFormView::refreshLibrary()
{
    m_folderMenu->setFolders(m_appState.userData().groups);
    m_folderMenu->setFolderName(selectedFolderName());
}

void ShortcutFormView::refreshCanSave()
{
    m_save->setEnabled(canSave());
}
