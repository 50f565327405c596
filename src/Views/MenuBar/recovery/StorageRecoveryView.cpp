#include "Views/MenuBar/recovery/StorageRecoveryView.h"

#include "Persistence/LibraryRecovery.h"
#include "Utilities/Theme.h"
#include "Utilities/VelmoraError.h"
#include "Views/Components/AccessibleRoles.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/Components/GlassComponents.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/SymbolLabel.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/VisualEffectBackground.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollArea>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int detailsFontSize = 11;
const QString heading = QStringLiteral("Let's reopen your library");

// "File details": a chevron that turns down when the details below are shown.
class DisclosureToggle final : public QAbstractButton {
public:
    explicit DisclosureToggle(const QString& title, QWidget* parent)
        : QAbstractButton(parent)
    {
        setText(title);
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
        setFont(uiFont(12, QFont::Medium));
        setAccessibleName(title);
        connect(&Theme::instance(), &Theme::appearanceChanged, this, qOverload<>(&QWidget::update));
    }

    QSize sizeHint() const override { return {18 + fontMetrics().horizontalAdvance(text()) + 4, 22}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF chevron(0, (height() - 12) / 2.0, 12, 12);
        painter.save();
        painter.translate(chevron.center());
        painter.rotate(isChecked() ? 90 : 0);
        painter.translate(-chevron.center());
        SymbolIcon::paint(painter, chevron, u"chevron.right", Theme::textSecondary(), SymbolWeight::semibold);
        painter.restore();
        painter.setPen(Theme::textSecondary());
        painter.drawText(rect().adjusted(18, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, text());
        if (showsKeyboardFocus(this)) {
            painter.setPen(QPen(Theme::borderSelected(), 1.5));
            painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 4, 4);
        }
    }
};

QString lowerTitle(LocalStore::Resource resource)
{
    return LocalStore::title(resource).toLower();
}

} // namespace

StorageRecoveryView::StorageRecoveryView(LocalStore& store, std::function<void()> retry,
    std::function<void()> didStartFresh, std::function<void()> stopSync, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_retry(std::move(retry))
    , m_didStartFresh(std::move(didStartFresh))
    , m_stopSync(std::move(stopSync))
    , m_openFolder([](const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); })
{
    setObjectName(QStringLiteral("StorageRecoveryView"));
    // The screen holds the keyboard when it comes, before any of its controls: read as a
    // dialog named by its heading, it is what a screen reader announces then.
    AccessibleRoles::setRole(this, QAccessible::Dialog);
    setAccessibleName(heading);
    AccessibleRoles::markModalLayer(this);
    m_background = new VisualEffectBackground(
        VisualEffectBackground::Material::regular, VisualEffectBackground::BlendingMode::withinWindow, this);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    // Only the controls inside take the focus; the page scrolls to the one that has it.
    m_scroll->setFocusPolicy(Qt::NoFocus);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);

    column->addWidget(new SymbolLabel(QStringLiteral("externaldrive.badge.exclamationmark"), 28, SymbolWeight::regular,
                          &Theme::text, page),
        0, Qt::AlignLeft);
    auto* title = new ThemedLabel(heading, 15, QFont::DemiBold, &Theme::text, page);
    title->setHeading(true);
    title->setWordWrap(true);
    column->addWidget(title);
    m_explanation = new ThemedLabel(QString(), 12, QFont::Normal, &Theme::text, page);
    m_explanation->setWordWrap(true);
    column->addWidget(m_explanation);

    m_syncRestoreButton = glassButton(
        QStringLiteral("Restore files from before sync"), false, [this] { ask(Question::syncRestore); }, page);
    column->addWidget(m_syncRestoreButton);

    m_issueSection = new QWidget(page);
    auto* issue = new QVBoxLayout(m_issueSection);
    issue->setContentsMargins(0, 0, 0, 0);
    issue->setSpacing(8);
    m_detailsToggle = new DisclosureToggle(QStringLiteral("File details"), m_issueSection);
    issue->addWidget(m_detailsToggle, 0, Qt::AlignLeft);
    m_details = new ThemedLabel(QString(), detailsFontSize, QFont::Normal, &Theme::textSecondary, m_issueSection);
    m_details->setWordWrap(true);
    m_details->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_details->setVisible(false);
    issue->addWidget(m_details);
    connect(m_detailsToggle, &QAbstractButton::toggled, m_details, &QWidget::setVisible);
    m_backupButton = glassButton(
        QString(), false, [this] { ask(Question::backupRestore); }, m_issueSection);
    issue->addSpacing(8);
    issue->addWidget(m_backupButton);
    column->addWidget(m_issueSection);

    m_freshStartPrimary = glassButton(
        QString(), false, [this] { ask(Question::freshStart); }, page);
    m_freshStartSecondary = glassSecondaryButton(
        QString(), [this] { ask(Question::freshStart); }, page);
    column->addWidget(m_freshStartPrimary);
    column->addWidget(m_freshStartSecondary);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(glassSecondaryButton(
        QStringLiteral("Try reading again"), [this] { readAgain(); }, page));
    row->addWidget(glassSecondaryButton(
        QStringLiteral("Show saved files"), [this] { showSavedFiles(); }, page));
    column->addLayout(row);

    m_errorLabel = new ThemedLabel(QString(), detailsFontSize, QFont::Normal, &Theme::danger, page);
    m_errorLabel->setWordWrap(true);
    m_errorLabel->setVisible(false);
    column->addWidget(m_errorLabel);
    column->addStretch();
    m_scroll->setWidget(page);
    // The scroll area fills what it holds with the window colour; the material shows instead.
    page->setAutoFillBackground(false);

    connect(&m_store, &LocalStore::issuesChanged, this, &StorageRecoveryView::refresh);
    refresh();
}

void StorageRecoveryView::setFolderOpener(FolderOpener opener)
{
    m_openFolder = std::move(opener);
}

std::optional<StorageRecoveryView::Question> StorageRecoveryView::question() const
{
    return m_questionOverlay && !m_questionOverlay->isDismissed() ? m_question : std::nullopt;
}

bool StorageRecoveryView::syncPending() const
{
    return m_store.syncRecord().pending.has_value();
}

bool StorageRecoveryView::freshStartInterrupted() const
{
    return QFileInfo::exists(QDir(m_store.directory()).filePath(LibraryRecovery::markerFileName()));
}

bool StorageRecoveryView::backupOffered() const
{
    const std::optional<LocalStore::Resource> damaged = damagedResource();
    // After a failed write the file still holds the last saved version; its backup is older.
    return damaged && !syncPending() && !freshStartInterrupted() && !m_store.isWriteFailure(*damaged)
        && m_store.hasBackup(*damaged);
}

void StorageRecoveryView::setCloudLibraryOffered(bool offered)
{
    m_cloudLibraryOffered = offered;
    refresh();
}

void StorageRecoveryView::refresh()
{
    const bool marker = freshStartInterrupted();
    const std::optional<LocalStore::Resource> damaged = damagedResource();
    const bool syncOffered = syncPending() && !marker;
    const bool backup = backupOffered();

    m_explanation->setText(damaged && m_store.isWriteFailure(*damaged)
            ? QStringLiteral("Velmora couldn't save a change. Your saved files still hold everything saved before it. "
                             "Make room on the disk or check that the data folder can be written to, then try again.")
            : QStringLiteral("Velmora couldn't read a saved file. Restore a backup, or save a recovery copy and start "
                             "fresh.")
                + (m_cloudLibraryOffered ? QStringLiteral(" You can then sign in to download your cloud library.")
                                         : QString()));
    setAccessibleDescription(m_explanation->text());
    m_syncRestoreButton->setVisible(syncOffered);
    m_issueSection->setVisible(damaged.has_value());
    if (damaged) {
        const QString issue = m_store.issues().value(*damaged);
        m_details->setText(LocalStore::rawValue(*damaged) + QStringLiteral(".json: ")
            + (issue.isEmpty() ? QStringLiteral("Unable to read this file.") : issue));
        m_backupButton->setText(QStringLiteral("Restore ") + lowerTitle(*damaged) + QStringLiteral(" backup"));
    }
    m_backupButton->setVisible(backup);

    const QString freshLabel
        = marker ? QStringLiteral("Continue fresh start") : QStringLiteral("Save a copy and start fresh");
    const bool freshIsPrimary = !syncOffered && !backup;
    m_freshStartPrimary->setText(freshLabel);
    m_freshStartSecondary->setText(freshLabel);
    m_freshStartPrimary->setVisible(freshIsPrimary);
    m_freshStartSecondary->setVisible(!freshIsPrimary);

    m_errorLabel->setText(m_actionError.value_or(QString()));
    m_errorLabel->setVisible(m_actionError.has_value());
}

void StorageRecoveryView::ask(Question question)
{
    ConfirmationRequest request;
    switch (question) {
    case Question::syncRestore:
        request.title = QStringLiteral("Restore the pre-sync snapshot?");
        request.message = QStringLiteral("This restores shortcuts, settings and statistics together. The cloud is not "
                                         "changed. Unrecognized external edits will never be overwritten.");
        request.confirmLabel = QStringLiteral("Restore pre-sync files");
        break;
    case Question::backupRestore: {
        const std::optional<LocalStore::Resource> damaged = damagedResource();
        if (!damaged)
            return;
        request.title = QStringLiteral("Restore the previous ") + lowerTitle(*damaged) + QStringLiteral(" backup?");
        request.message = QStringLiteral("The current file will be preserved separately. Changes made after the "
                                         "backup will not be in the restored version.");
        request.confirmLabel = QStringLiteral("Restore backup");
        break;
    }
    case Question::freshStart:
        request.title = QStringLiteral("Open a fresh local library?");
        request.message = QStringLiteral("Your saved library, settings and statistics will be kept in a recovery "
                                         "folder on this computer before replacement. Cloud data and sign-in "
                                         "credentials won't be changed. Sync stays paused until you review it.");
        request.confirmLabel = QStringLiteral("Save files and continue");
        break;
    }
    if (m_questionOverlay)
        m_questionOverlay->dismiss();
    else
        m_focusBeforeQuestion = QApplication::focusWidget();
    m_question = question;
    QPointer<StorageRecoveryView> self(this);
    auto* overlay = new ConfirmationOverlay(
        request,
        [self, question] {
            if (!self)
                return;
            self->closeQuestion();
            self->run(question);
        },
        [self] {
            if (self)
                self->closeQuestion();
        },
        this);
    overlay->setBackdropSource([this] { return snapshot(); });
    m_questionOverlay = overlay;
    overlay->present();
}

void StorageRecoveryView::closeQuestion()
{
    if (m_questionOverlay)
        m_questionOverlay->dismiss();
    m_questionOverlay = nullptr;
    if (m_focusBeforeQuestion && m_focusBeforeQuestion->isVisible())
        m_focusBeforeQuestion->setFocus();
    else
        setFocus();
}

void StorageRecoveryView::run(Question question)
{
    switch (question) {
    case Question::syncRestore: restoreInterruptedSync(); break;
    case Question::backupRestore:
        // The question named the file damaged when it was asked; that is still the first one,
        // since nothing else runs while the question is up.
        if (const std::optional<LocalStore::Resource> damaged = damagedResource())
            restoreBackup(*damaged);
        break;
    case Question::freshStart: startFresh(); break;
    }
}

void StorageRecoveryView::restoreInterruptedSync()
{
    if (m_store.restoreInterruptedSync()) {
        m_retry();
        return;
    }
    setActionError(m_store.issues().value(LocalStore::Resource::sync,
        QStringLiteral("Couldn't restore the pre-sync files. Your recovery copy is unchanged.")));
}

void StorageRecoveryView::restoreBackup(LocalStore::Resource resource)
{
    if (m_store.restoreBackup(resource)) {
        m_retry();
        return;
    }
    setActionError(m_store.issues().value(
        resource, QStringLiteral("Couldn't restore this backup. Your saved files are unchanged.")));
}

void StorageRecoveryView::startFresh()
{
    m_stopSync();
    try {
        m_store.archiveAndStartFresh();
    } catch (const VelmoraError& error) {
        setActionError(error.errorDescription());
        return;
    } catch (const std::exception& error) {
        // The store records every failure of a fresh start, in words, as the sync issue.
        setActionError(m_store.issues().value(LocalStore::Resource::sync, QString::fromLocal8Bit(error.what())));
        return;
    }
    m_retry();
    m_didStartFresh();
}

void StorageRecoveryView::readAgain()
{
    m_retry();
    if (!m_store.isReady())
        setActionError(
            QStringLiteral("The file still couldn't be read. Try restoring a backup, or save a copy and start fresh."));
}

void StorageRecoveryView::showSavedFiles()
{
    if (!m_openFolder(m_store.directory()))
        setActionError(QStringLiteral(
            "The file manager couldn't open this folder. Use File details to identify the unreadable file."));
}

void StorageRecoveryView::setActionError(const QString& text)
{
    m_actionError = text;
    refresh();
}

QImage StorageRecoveryView::snapshot() const
{
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    m_background->render(&painter);
    QWidget* page = m_scroll->widget();
    page->render(&painter, page->mapTo(this, QPoint()), page->visibleRegion(), QWidget::DrawChildren);
    return image;
}

void StorageRecoveryView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_background->setGeometry(rect());
    m_scroll->setGeometry(rect());
    if (m_questionOverlay)
        m_questionOverlay->setGeometry(rect());
}
