#include "Services/SyncCoordinator.h"

#include "Models/SyncFailure.h"
#include "Persistence/LocalStore.h"
#include "Services/CredentialsProvider.h"
#include "Services/SyncRemote.h"
#include "Services/SyncedState.h"
#include "Utilities/VelmoraError.h"

namespace {

const QString notEnabledText = QStringLiteral("Sync has not been enabled for this sign-in.");
const QString checkingText = QStringLiteral("Checking both versions\u2026");
const QString reviewText = QStringLiteral("Review the local and cloud versions to enable sync.");
const QString competingText = QStringLiteral("Both versions changed. Sync is paused for your choice.");
const QString syncedText = QStringLiteral("Synced just now");
const QString cancelledText = QStringLiteral("Sync cancelled. Review again to resume.");
const QString pausedText = QStringLiteral("Sync paused. Local files are unchanged by this pause.");

[[noreturn]] void failWith(SyncFailure::Kind kind)
{
    throw SyncFailure(kind);
}

// 32 lower-case hexadecimal digits, as the backend makes them.
bool isWellFormedRevision(const QString& revision)
{
    if (revision.size() != 32)
        return false;
    return std::all_of(
        revision.begin(), revision.end(), [](QChar c) { return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'); });
}

void requireSyncable(const SyncSnapshot& snapshot)
{
    snapshot.validate();
    if (!snapshot.data.duplicateTriggers().isEmpty())
        failWith(SyncFailure::Kind::duplicateTriggers);
}

QString describe(const ErrorValue& error)
{
    const QString sentence = error.sentence();
    return sentence.isEmpty() ? QStringLiteral("Sync failed.") : sentence;
}

bool isCloudChanged(const ErrorValue& error)
{
    const SyncFailure* failure = error.as<SyncFailure>();
    return failure && failure->kind() == SyncFailure::Kind::cloudChanged;
}

} // namespace

// One pass, from the first reading of the files to its end. The continuations share it.
struct SyncCoordinator::Pass {
    QUuid id;
    std::optional<Choice> choice;
    std::optional<QUuid> reviewID;
    // Starts over left when another computer wrote between this pass's read and write.
    int restartsLeft = 0;
    Cancellation cancellation;
    std::function<void()> done;

    QUuid generation;
    SyncSnapshot local;
    AuthCredentials credentials;
    SyncOwner owner;
    CloudSyncSnapshot cloud;
    SyncSnapshot next;
};

SyncCoordinator::SyncCoordinator(CredentialsProvider& auth, SyncRemote& remote, QString projectURL, QObject* parent)
    : QObject(parent)
    , m_auth(auth)
    , m_remote(remote)
    , m_projectURL(std::move(projectURL))
    , m_message(notEnabledText)
    , m_operationID(QUuid::createUuid())
{
}

SyncCoordinator::~SyncCoordinator()
{
    if (m_worker)
        m_worker->cancellation.cancel();
}

void SyncCoordinator::attach(SyncedState* state)
{
    if (m_state && m_state == state)
        return;
    stop();
    m_state = state;
}

bool SyncCoordinator::canAutoSync() const
{
    return m_auth.isLoggedIn() && m_approvedGeneration == m_auth.generation() && !m_review && !m_isSyncing;
}

void SyncCoordinator::stop()
{
    m_operationID = QUuid::createUuid();
    if (PassPtr worker = std::exchange(m_worker, nullptr))
        worker->cancellation.cancel();
    m_approvedGeneration.reset();
    setReview(std::nullopt);
    setSyncing(false);
    setMessage(pausedText);
}

void SyncCoordinator::run(std::optional<Choice> choice, std::optional<QUuid> reviewID, std::function<void()> done)
{
    if (m_worker) {
        if (done)
            done();
        return;
    }
    auto pass = std::make_shared<Pass>();
    pass->choice = choice;
    pass->reviewID = reviewID;
    pass->done = std::move(done);
    start(pass);
}

void SyncCoordinator::runAutomatically(std::function<void()> done)
{
    if (m_worker) {
        if (done)
            done();
        return;
    }
    auto pass = std::make_shared<Pass>();
    pass->restartsLeft = 1;
    pass->done = std::move(done);
    start(pass);
}

void SyncCoordinator::start(const PassPtr& pass)
{
    pass->id = QUuid::createUuid();
    m_operationID = pass->id;
    m_worker = pass;
    setSyncing(true);
    setMessage(checkingText);
    begin(pass);
}

// ---------------------------------------------------------------- the opening steps

void SyncCoordinator::begin(const PassPtr& pass)
{
    guarded(pass, [&] {
        SyncedState* state = m_state;
        if (!state || !state->storageReady())
            failWith(SyncFailure::Kind::storageUnavailable);
        pass->generation = m_auth.generation();
        pass->local = state->store().snapshotForSync();
        if (!pass->local.matches(state->syncSnapshot()))
            failWith(SyncFailure::Kind::localChanged);
        m_auth.credentials(pass->cancellation,
            resume<AuthCredentials>(
                pass, [this, pass](const AuthCredentials& credentials) { afterCredentials(pass, credentials); }));
    });
}

void SyncCoordinator::afterCredentials(const PassPtr& pass, const AuthCredentials& credentials)
{
    pass->credentials = credentials;
    if (credentials.generation != pass->generation)
        failWith(SyncFailure::Kind::accountChanged);
    check(pass);
    pass->owner = SyncOwner{m_projectURL, credentials.userID};
    if (pass->choice)
        choicePass(pass);
    else
        plainPass(pass);
}

// ---------------------------------------------------------------- the plain pass

void SyncCoordinator::plainPass(const PassPtr& pass)
{
    m_remote.read(pass->credentials, pass->cancellation,
        resume<CloudSyncSnapshot>(pass, [this, pass](const CloudSyncSnapshot& cloud) { afterRead(pass, cloud); }));
}

void SyncCoordinator::afterRead(const PassPtr& pass, const CloudSyncSnapshot& cloud)
{
    pass->cloud = cloud;
    check(pass);
    checkCloudReply(pass, cloud);
    requireSyncable(cloud.snapshot);
    rereadLocal(pass);

    const SyncRecord record = m_state->store().syncRecord();
    const bool enabled = m_approvedGeneration == pass->credentials.generation && record.owner
        && *record.owner == pass->owner && record.baseline;
    if (!enabled) {
        const bool sameAccount = !record.owner || *record.owner == pass->owner;
        raiseReview(
            pass, sameAccount ? SyncReview::Reason::firstSync : SyncReview::Reason::differentAccount, reviewText);
        return;
    }
    // The cloud copy is gone although this library was synced with it: reconciling against
    // the empty stand-in the backend returns would take the empty value for every component
    // that did not change here, and upload and apply an empty library. The user decides.
    if (!cloud.has_cloud) {
        raiseReview(pass, SyncReview::Reason::firstSync, reviewText);
        return;
    }
    const std::optional<SyncSnapshot> merged = SyncSnapshot::reconcile(*record.baseline, pass->local, cloud.snapshot);
    if (!merged) {
        raiseReview(pass, SyncReview::Reason::competingEdits, competingText);
        return;
    }
    pass->next = *merged;
    requireSyncable(pass->next);
    check(pass);
    rereadLocal(pass);
    // Writing what the cloud already holds would only make a new revision, and two computers
    // doing that in turn keep failing each other's compare-and-swap.
    if (pass->next.matches(cloud.snapshot)) {
        finishWithoutWrite(pass);
        return;
    }
    write(pass);
}

void SyncCoordinator::finishWithoutWrite(const PassPtr& pass)
{
    const SyncRecord record = m_state->store().syncRecord();
    const bool recorded = record.owner && *record.owner == pass->owner && record.baseline
        && record.baseline->matches(pass->cloud.snapshot) && pass->local.matches(pass->cloud.snapshot);
    if (!recorded)
        m_state->applySyncedSnapshot(pass->cloud.snapshot, pass->local, pass->owner);
    enable(pass);
}

// ---------------------------------------------------------------- the choice pass

void SyncCoordinator::choicePass(const PassPtr& pass)
{
    if (!m_review || !pass->reviewID || *pass->reviewID != m_review->id)
        failWith(SyncFailure::Kind::reviewRequired);
    const SyncReview review = *m_review;
    if (!(review.owner == pass->owner) || review.generation != pass->credentials.generation)
        failWith(SyncFailure::Kind::reviewRequired);
    if (!pass->local.matches(review.local))
        failWith(SyncFailure::Kind::localChanged);
    pass->cloud = review.cloud;
    if (*pass->choice == Choice::useCloud && !pass->cloud.has_cloud)
        failWith(SyncFailure::Kind::reviewRequired);
    pass->next = *pass->choice == Choice::useLocal ? pass->local : pass->cloud.snapshot;
    m_state->store().archiveSync(pass->local, pass->cloud, pass->owner);
    requireSyncable(pass->next);
    check(pass);
    rereadLocal(pass);
    write(pass);
}

// ---------------------------------------------------------------- writing and committing

void SyncCoordinator::write(const PassPtr& pass)
{
    m_remote.compareAndSwap(pass->next, pass->cloud.revision, pass->credentials, pass->cancellation,
        resume<CloudSyncSnapshot>(pass, [this, pass](const CloudSyncSnapshot& stored) { commit(pass, stored); }));
}

void SyncCoordinator::commit(const PassPtr& pass, const CloudSyncSnapshot& stored)
{
    check(pass);
    checkCloudReply(pass, stored);
    requireSyncable(stored.snapshot);
    if (!stored.has_cloud || !stored.snapshot.matches(pass->next))
        failWith(SyncFailure::Kind::invalidResponse);
    rereadLocal(pass);
    m_state->applySyncedSnapshot(stored.snapshot, pass->local, pass->owner);
    enable(pass);
}

void SyncCoordinator::enable(const PassPtr& pass)
{
    m_approvedGeneration = pass->credentials.generation;
    setReview(std::nullopt);
    setMessage(syncedText);
    end(pass);
}

void SyncCoordinator::raiseReview(const PassPtr& pass, SyncReview::Reason reason, const QString& message)
{
    setReview(
        SyncReview{QUuid::createUuid(), reason, pass->owner, pass->credentials.generation, pass->local, pass->cloud});
    setMessage(message);
    end(pass);
}

// ---------------------------------------------------------------- checks

void SyncCoordinator::check(const PassPtr& pass) const
{
    m_auth.validate(pass->credentials, pass->cancellation);
    if (m_operationID != pass->id)
        failWith(SyncFailure::Kind::accountChanged);
    if (!m_state || !m_state->storageReady())
        failWith(SyncFailure::Kind::storageUnavailable);
}

void SyncCoordinator::rereadLocal(const PassPtr& pass) const
{
    const SyncSnapshot again = m_state->store().snapshotForSync();
    if (!again.matches(m_state->syncSnapshot()) || !again.matches(pass->local))
        failWith(SyncFailure::Kind::localChanged);
}

void SyncCoordinator::checkCloudReply(const PassPtr& pass, const CloudSyncSnapshot& reply) const
{
    if (reply.user_id != pass->credentials.userID || !isWellFormedRevision(reply.revision))
        failWith(SyncFailure::Kind::invalidResponse);
}

// ---------------------------------------------------------------- the end of a pass

void SyncCoordinator::guarded(const PassPtr& pass, const std::function<void()>& body)
{
    try {
        body();
    } catch (...) {
        fail(pass, ErrorValue::current());
    }
}

template <class T> Completion<T> SyncCoordinator::resume(const PassPtr& pass, std::function<void(const T&)> next)
{
    QPointer<SyncCoordinator> self(this);
    return [self, pass, next = std::move(next)](Result<T> outcome) {
        if (!self)
            return;
        self->guarded(pass, [&] { next(outcome.value()); });
    };
}

void SyncCoordinator::fail(const PassPtr& pass, const ErrorValue& error)
{
    if (isCurrent(pass) && pass->restartsLeft > 0 && isCloudChanged(error)) {
        --pass->restartsLeft;
        begin(pass);
        return;
    }
    if (isCurrent(pass)) {
        m_approvedGeneration.reset();
        setReview(std::nullopt);
        setMessage(error.is<CancellationError>() ? cancelledText : describe(error));
    }
    end(pass);
}

void SyncCoordinator::end(const PassPtr& pass)
{
    if (isCurrent(pass)) {
        m_worker.reset();
        setSyncing(false);
    }
    if (auto done = std::exchange(pass->done, nullptr))
        done();
}

bool SyncCoordinator::isCurrent(const PassPtr& pass) const
{
    return m_operationID == pass->id;
}

void SyncCoordinator::setReview(std::optional<SyncReview> review)
{
    if (!m_review && !review)
        return;
    m_review = std::move(review);
    Q_EMIT reviewChanged();
}

void SyncCoordinator::setSyncing(bool syncing)
{
    if (m_isSyncing == syncing)
        return;
    m_isSyncing = syncing;
    Q_EMIT isSyncingChanged(syncing);
}

void SyncCoordinator::setMessage(const QString& message)
{
    if (m_message == message)
        return;
    m_message = message;
    Q_EMIT messageChanged(message);
}
