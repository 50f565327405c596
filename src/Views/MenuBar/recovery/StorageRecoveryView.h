#pragma once

#include "Persistence/LocalStore.h"

#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class ConfirmationOverlay;
class GlassButton;
class QAbstractButton;
class QLabel;
class QScrollArea;
class ThemedLabel;
class VisualEffectBackground;

// The screen shown instead of the library while a data file cannot be read. It names the
// first damaged file and why, and offers what the store can repair in that situation: the
// files from before an interrupted sync, the damaged file's backup, or a fresh start that
// first keeps every file in a recovery folder. Each repair is asked for first and then
// run by the store; the screen never touches a file itself. After a repair it asks the
// application to read the files again (`retry`). Failures are shown in place, in red,
// under the buttons.
class StorageRecoveryView : public QWidget {
    Q_OBJECT
public:
    enum class Question { syncRestore, backupRestore, freshStart };
    // Opens a folder in the desktop's file manager; false when it could not.
    using FolderOpener = std::function<bool(const QString& folder)>;

    StorageRecoveryView(LocalStore& store, std::function<void()> retry, std::function<void()> didStartFresh,
        std::function<void()> stopSync, QWidget* parent = nullptr);

    void setFolderOpener(FolderOpener opener);
    // Whether this program can sign in and download a cloud library (a backend with library
    // sync is configured): only then does the screen point to it. Off at first.
    void setCloudLibraryOffered(bool offered);

    // The last failure, kept until another one replaces it.
    const std::optional<QString>& actionError() const { return m_actionError; }
    // The question being asked, if any.
    std::optional<Question> question() const;
    ConfirmationOverlay* questionOverlay() const { return m_questionOverlay; }

    // The damaged file the screen is about: the first with an issue.
    std::optional<LocalStore::Resource> damagedResource() const { return m_store.firstIssue(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    bool syncPending() const;
    bool freshStartInterrupted() const;
    bool backupOffered() const;

    void refresh();
    void ask(Question question);
    void closeQuestion();
    void run(Question question);
    void restoreInterruptedSync();
    void restoreBackup(LocalStore::Resource resource);
    void startFresh();
    void readAgain();
    void showSavedFiles();
    void setActionError(const QString& text);
    QImage snapshot() const;

    LocalStore& m_store;
    std::function<void()> m_retry;
    std::function<void()> m_didStartFresh;
    std::function<void()> m_stopSync;
    FolderOpener m_openFolder;
    std::optional<QString> m_actionError;
    std::optional<Question> m_question;
    bool m_cloudLibraryOffered = false;
    QPointer<ConfirmationOverlay> m_questionOverlay;
    QPointer<QWidget> m_focusBeforeQuestion;

    VisualEffectBackground* m_background;
    QScrollArea* m_scroll;
    GlassButton* m_syncRestoreButton;
    QWidget* m_issueSection;
    QAbstractButton* m_detailsToggle;
    QLabel* m_details;
    GlassButton* m_backupButton;
    // The fresh start is the primary action only when no restore is offered.
    GlassButton* m_freshStartPrimary;
    GlassButton* m_freshStartSecondary;
    ThemedLabel* m_explanation;
    ThemedLabel* m_errorLabel;
};
