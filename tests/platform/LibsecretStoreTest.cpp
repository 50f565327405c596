#include "platform/linux/LibsecretStore.h"
#include "AuthSamples.h"
#include "ErrorCapture.h"
#include "Persistence/KeychainHelper.h"
#include "Persistence/SessionVault.h"
#include "TempDir.h"
#include "Utilities/Uuid.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

using AuthSamples::validSession;

namespace {

// Object paths of the Secret Service items carrying {service, account}, asked over D-Bus
// without going through the code under test.
QList<QDBusObjectPath> itemsOnTheBus(const QString& service, const QString& account)
{
    qDBusRegisterMetaType<QMap<QString, QString>>();
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.secrets"),
        QStringLiteral("/org/freedesktop/secrets"), QStringLiteral("org.freedesktop.Secret.Service"),
        QStringLiteral("SearchItems"));
    call << QVariant::fromValue(
        QMap<QString, QString>{{QStringLiteral("service"), service}, {QStringLiteral("account"), account}});
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2) {
        ADD_FAILURE() << "SearchItems failed: " << reply.errorMessage().toStdString();
        return {};
    }
    return qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(0))
        + qdbus_cast<QList<QDBusObjectPath>>(reply.arguments().at(1));
}

// Each test works on an item of its own, under an address no real project has, and removes it
// again, so a run against a real desktop keyring leaves nothing behind.
class SecretServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            GTEST_SKIP()
                << "No session D-Bus (DBUS_SESSION_BUS_ADDRESS is unset), so no Secret Service to test against; "
                   "run under scripts/with-desktop.sh, which starts a bus and an unlocked gnome-keyring.";
    }

    void TearDown() override
    {
        if (!IsSkipped())
            store->clear(KeychainHelper::sessionService(), account());
    }

    QString account() const { return projectURL.mid(0, projectURL.size() - 1); }

    const QString projectURL = QStringLiteral("https://velmora-test-%1.invalid/").arg(Uuid::generate());
    const std::shared_ptr<LibsecretStore> store = std::make_shared<LibsecretStore>();
    KeychainHelper helper = KeychainHelper::forProject(projectURL, store);
};

} // namespace

TEST_F(SecretServiceTest, WithNoItemReadsNothingAndDeletesWithoutError)
{
    EXPECT_EQ(store->lookup(helper.service(), helper.account()).status, SecretStore::Status::notFound);
    EXPECT_EQ(helper.read(), std::nullopt);
    EXPECT_NO_THROW(helper.remove());
}

TEST_F(SecretServiceTest, KeepsOneItemPerServiceAndAccountAndReplacesItsSecret)
{
    ASSERT_EQ(helper.account(), account());
    helper.write("first");
    helper.write(QByteArray("second\0with a zero byte", 23));
    EXPECT_EQ(itemsOnTheBus(KeychainHelper::sessionService(), account()).size(), 1);
    EXPECT_EQ(helper.read(), QByteArray("second\0with a zero byte", 23));

    KeychainHelper neighbour(account() + QStringLiteral("/other"), KeychainHelper::sessionService(), store);
    neighbour.write("theirs");
    helper.remove();
    EXPECT_TRUE(itemsOnTheBus(KeychainHelper::sessionService(), account()).isEmpty());
    EXPECT_EQ(helper.read(), std::nullopt);
    EXPECT_EQ(neighbour.read(), QByteArray("theirs"));
    neighbour.remove();
    EXPECT_EQ(neighbour.read(), std::nullopt);
}

TEST_F(SecretServiceTest, SessionVaultKeepsTheSessionAsCompactJsonInTheKeyring)
{
    const SessionVault vault(projectURL, std::make_unique<KeychainHelper>(helper));
    vault.save(validSession());
    EXPECT_EQ(vault.load(), validSession());

    const SecretStore::Lookup raw = store->lookup(KeychainHelper::sessionService(), account());
    ASSERT_EQ(raw.status, SecretStore::Status::success);
    ASSERT_TRUE(raw.data);
    EXPECT_TRUE(raw.data->startsWith("{\""));
    EXPECT_FALSE(raw.data->contains('\n'));
    EXPECT_EQ(VelmoraJSON::parse(*raw.data).toObject().value(QStringLiteral("projectURL")).toString(), projectURL);

    const SessionVault otherProject(account(), std::make_unique<KeychainHelper>(helper));
    EXPECT_EQ(thrownBy<AuthError>([&] { otherProject.load(); }), AuthError::invalidStoredSession);

    vault.storage().remove();
    EXPECT_EQ(vault.load(), std::nullopt);
}

// The keyring may ask to be unlocked, so the calls run off this thread, in the order asked, and
// each answer comes back here.
TEST_F(SecretServiceTest, TheVaultsCallsRunOffTheInterfaceThreadInTheOrderAsked)
{
    const SessionVault vault(projectURL, std::make_unique<KeychainHelper>(helper));
    QObject receiver;
    QStringList answers;
    std::optional<AuthSession> loadedAfterSave;
    std::optional<AuthSession> loadedAfterRemove = validSession();
    const auto noted = [&](const QString& call, const SessionVault::Failure& failure) {
        EXPECT_EQ(QThread::currentThread(), receiver.thread());
        answers << call + (failure ? QStringLiteral(" failed") : QString());
    };
    vault.saveLater(validSession(), &receiver,
        [&](const SessionVault::Failure& failure) { noted(QStringLiteral("save"), failure); });
    vault.loadLater(&receiver, [&](const Result<std::optional<AuthSession>>& loaded) {
        noted(QStringLiteral("load"),
            loaded.succeeded() ? SessionVault::Failure() : SessionVault::Failure(loaded.error()));
        loadedAfterSave = loaded.succeeded() ? loaded.value() : std::nullopt;
    });
    vault.removeLater(
        &receiver, [&](const SessionVault::Failure& failure) { noted(QStringLiteral("remove"), failure); });
    vault.loadLater(&receiver, [&](const Result<std::optional<AuthSession>>& loaded) {
        noted(QStringLiteral("load"),
            loaded.succeeded() ? SessionVault::Failure() : SessionVault::Failure(loaded.error()));
        loadedAfterRemove = loaded.succeeded() ? loaded.value() : validSession();
    });
    EXPECT_TRUE(answers.isEmpty()) << "nothing is answered before the event loop runs";

    ASSERT_TRUE(QTest::qWaitFor([&] { return answers.size() == 4; }, 10000)) << answers.join(u", ").toStdString();
    EXPECT_EQ(answers, (QStringList{"save", "load", "remove", "load"}));
    EXPECT_EQ(loadedAfterSave, validSession());
    EXPECT_EQ(loadedAfterRemove, std::nullopt);
    EXPECT_TRUE(itemsOnTheBus(KeychainHelper::sessionService(), account()).isEmpty());
}

namespace {
// Runs in a child process: its session bus address leads nowhere, and HOME and the XDG folders
// are empty temporary folders that must stay empty.
int probeWithoutSecretService()
{
    const TempDir home;
    qputenv("DBUS_SESSION_BUS_ADDRESS",
        QFile::encodeName(QStringLiteral("unix:path=") + home.file(QStringLiteral("no-bus"))));
    for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(variable, QFile::encodeName(home.path()));
    LibsecretStore store;
    const QString service = KeychainHelper::sessionService();
    const SecretStore::Status stored = store.store(service, QStringLiteral("https://x.invalid"), "secret");
    const SecretStore::Status found = store.lookup(service, QStringLiteral("https://x.invalid")).status;
    const SecretStore::Status cleared = store.clear(service, QStringLiteral("https://x.invalid"));
    const bool untouched = QDir(home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    fprintf(stderr, "store %d lookup %d clear %d, home untouched %d\n", int(stored), int(found), int(cleared),
        int(untouched));
    return stored == SecretStore::Status::unavailable && found == SecretStore::Status::unavailable
            && cleared == SecretStore::Status::unavailable && untouched
        ? 0
        : 1;
}
} // namespace

TEST(SecretServiceUnreachable, EveryCallAnswersNotAvailableAndNothingFallsBackToAFile)
{
    // A fresh process, so that no connection of this one is reused.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(probeWithoutSecretService()), ::testing::ExitedWithCode(0), "");
}

namespace {
// A session bus and a gnome-keyring of their own, for a test that must lock the keyring without
// disturbing anything else that shares the desktop session. Both are children of this process
// and are stopped by their ids when it goes.
class PrivateKeyring {
public:
    ~PrivateKeyring()
    {
        for (QProcess* process : {&m_keyring, &m_bus}) {
            process->terminate();
            process->waitForFinished(5000);
        }
    }

    // Starts both in `home`; false (with the reason on stderr) when either fails to come up.
    bool start(const QString& home)
    {
        for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            qputenv(variable, QFile::encodeName(home));
        // Without a display the unlock prompt cannot be shown and fails at once, as it does
        // for a user who dismisses it.
        qunsetenv("DISPLAY");
        qunsetenv("WAYLAND_DISPLAY");
        m_bus.start(QStringLiteral("dbus-daemon"),
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!m_bus.waitForReadyRead(5000)) {
            fprintf(stderr, "dbus-daemon did not start\n");
            return false;
        }
        address = QString::fromUtf8(m_bus.readLine().trimmed());
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        m_keyring.start(QStringLiteral("gnome-keyring-daemon"),
            {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        // An empty password on stdin unlocks (and first creates) the login keyring. Nothing here
        // runs an event loop, so the write is pushed out explicitly.
        m_keyring.waitForStarted(5000);
        m_keyring.write("\n");
        m_keyring.waitForBytesWritten(5000);
        m_keyring.closeWriteChannel();
        const QDBusConnection bus = connection();
        for (QDeadlineTimer deadline(5000); !deadline.hasExpired(); QThread::msleep(20)) {
            if (bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")))
                return true;
        }
        fprintf(stderr, "gnome-keyring-daemon did not register the Secret Service\n");
        return false;
    }

    QDBusConnection connection() const
    {
        return QDBusConnection::connectToBus(address, QStringLiteral("private-keyring"));
    }

    bool lockDefaultCollection() const
    {
        const QString secrets = QStringLiteral("org.freedesktop.secrets");
        const QString root = QStringLiteral("/org/freedesktop/secrets");
        const QString serviceInterface = QStringLiteral("org.freedesktop.Secret.Service");
        QDBusMessage readAlias
            = QDBusMessage::createMethodCall(secrets, root, serviceInterface, QStringLiteral("ReadAlias"));
        readAlias << QStringLiteral("default");
        const QDBusMessage alias = connection().call(readAlias);
        if (alias.type() != QDBusMessage::ReplyMessage)
            return false;
        QDBusMessage lock = QDBusMessage::createMethodCall(secrets, root, serviceInterface, QStringLiteral("Lock"));
        lock << QVariant::fromValue(QList<QDBusObjectPath>{qvariant_cast<QDBusObjectPath>(alias.arguments().at(0))});
        return connection().call(lock).type() == QDBusMessage::ReplyMessage;
    }

    QString address;

private:
    QProcess m_bus;
    QProcess m_keyring;
};

// Runs in a child process, which owns the private bus and keyring.
int probeLockedKeyring()
{
    const TempDir home;
    PrivateKeyring keyring;
    if (!keyring.start(home.path()))
        return 2;
    const auto store = std::make_shared<LibsecretStore>();
    KeychainHelper helper(QStringLiteral("https://x.invalid"), KeychainHelper::sessionService(), store);
    helper.write("stored while unlocked");
    if (!keyring.lockDefaultCollection()) {
        fprintf(stderr, "could not lock the keyring\n");
        return 3;
    }
    const auto onRead = thrownBy<KeychainHelper::StorageError>([&] { helper.read(); });
    const auto onDelete = thrownBy<KeychainHelper::StorageError>([&] { helper.remove(); });
    const SecretStore::Status onStore = store->store(helper.service(), helper.account(), "replacement");
    fprintf(stderr, "read %d, delete %d, store %d\n", onRead ? int(onRead->status()) : 0,
        onDelete ? int(onDelete->status()) : 0, int(onStore));
    const bool locked = onRead && onRead->status() == SecretStore::Status::locked && onDelete
        && onDelete->status() == SecretStore::Status::locked && onStore == SecretStore::Status::locked;
    return locked ? 0 : 1;
}
} // namespace

TEST(SecretServiceLocked, ALockedItemIsReportedAsLockedNeitherAsMissingNorAsDeleted)
{
    for (const char* program : {"dbus-daemon", "gnome-keyring-daemon"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty())
            GTEST_SKIP() << program << " is not installed, so no private keyring can be started.";
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(probeLockedKeyring()), ::testing::ExitedWithCode(0), "");
}
