#pragma once

#include "Services/AuthCredentials.h"
#include "Services/SyncReview.h"
#include "Services/SyncedState.h"
#include "Utilities/Cancellation.h"
#include "Utilities/Result.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

class CredentialsProvider;
class SyncRemote;

// Runs every sync of the library, settings and statistics with the signed-in user's cloud
// copy, one pass at a time, on the main thread. It never overwrites a side that changed
// behind its back: every cloud write is a compare-and-swap on the revision the pass read, the
// files are re-read and compared with the published state after every wait, and a pass that
// may not write (the first of every launch and sign-in, or one where both sides changed)
// stops with a review for the user's choice.
class SyncCoordinator : public QObject {
    Q_OBJECT
public:
    enum class Choice {
        useLocal, // keep and upload this computer's version
        useCloud, // take the cloud version
    };

    // `auth` and `remote` must outlive the coordinator. `projectURL` becomes the project
    // address of every owner the coordinator records.
    SyncCoordinator(CredentialsProvider& auth, SyncRemote& remote, QString projectURL, QObject* parent = nullptr);
    ~SyncCoordinator() override;

    const std::optional<SyncReview>& review() const { return m_review; }
    bool isSyncing() const { return m_isSyncing; }
    const QString& message() const { return m_message; }
    const QString& projectURL() const { return m_projectURL; }
    SyncedState* attachedState() const { return m_state; }

    // Holds `state` weakly from now on; a different state than before pauses sync first.
    void attach(SyncedState* state);
    // Signed in, this sign-in approved by a pass that wrote, no review pending, no pass running.
    bool canAutoSync() const;
    // Pauses: the running pass is cancelled and can publish nothing more, the approval and
    // the review are dropped.
    void stop();

    // Starts one pass unless one is running (then the request is dropped). Without a choice it
    // is a plain pass; with one it answers the review whose id is `reviewID`. `done` runs when
    // the pass has ended, or at once when the request was dropped.
    void run(std::optional<Choice> choice = std::nullopt, std::optional<QUuid> reviewID = std::nullopt,
        std::function<void()> done = {});
    // A plain pass for background sync: when another computer wrote between its read and its
    // write, it starts over once before it gives up and pauses.
    void runAutomatically(std::function<void()> done = {});

Q_SIGNALS:
    void reviewChanged();
    void isSyncingChanged(bool syncing);
    void messageChanged(const QString& message);

private:
    struct Pass;
    using PassPtr = std::shared_ptr<Pass>;

    void start(const PassPtr& pass);
    void begin(const PassPtr& pass);
    void afterCredentials(const PassPtr& pass, const AuthCredentials& credentials);
    void plainPass(const PassPtr& pass);
    void afterRead(const PassPtr& pass, const CloudSyncSnapshot& cloud);
    void choicePass(const PassPtr& pass);
    void write(const PassPtr& pass);
    void commit(const PassPtr& pass, const CloudSyncSnapshot& stored);
    void finishWithoutWrite(const PassPtr& pass);

    void check(const PassPtr& pass) const;
    // The files as they are now, which must equal the published state and the first reading.
    void rereadLocal(const PassPtr& pass) const;
    void checkCloudReply(const PassPtr& pass, const CloudSyncSnapshot& reply) const;
    void raiseReview(const PassPtr& pass, SyncReview::Reason reason, const QString& message);
    void enable(const PassPtr& pass);

    // Runs `body`; an error it throws ends the pass.
    void guarded(const PassPtr& pass, const std::function<void()>& body);
    template <class T> Completion<T> resume(const PassPtr& pass, std::function<void(const T&)> next);
    void fail(const PassPtr& pass, const ErrorValue& error);
    void end(const PassPtr& pass);
    bool isCurrent(const PassPtr& pass) const;

    void setReview(std::optional<SyncReview> review);
    void setSyncing(bool syncing);
    void setMessage(const QString& message);

    CredentialsProvider& m_auth;
    SyncRemote& m_remote;
    QString m_projectURL;
    QPointer<SyncedState> m_state;
    std::optional<SyncReview> m_review;
    bool m_isSyncing = false;
    QString m_message;
    std::optional<QUuid> m_approvedGeneration;
    QUuid m_operationID;
    PassPtr m_worker;
};
