#pragma once

#include "platform/KeyboardPoster.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <optional>
#include <utility>

// Keys through the desktop portal's remote-desktop interface (org.freedesktop.portal.RemoteDesktop),
// the sanctioned way for an ordinary program to type on compositors that offer no keyboard of
// their own to clients (GNOME's mutter): a session with the keyboard alone, which the desktop
// asks the user to allow once. The compositor hands the keys to the focused window. The portal
// of Debian 12 keeps no consent beyond the session, so the session is asked for at the first
// field that needs it and kept for as long as this process runs; a refusal, or a session the
// user ends, is not asked again. Keys are sent by key symbol, so that the compositor finds them
// in the user's layout. The paste key and End only, which is all the engine posts here, and never
// a modifier: mutter keeps one modifier state for all keyboards of a seat, so a Ctrl of ours
// would reach a key the user types meanwhile (a space typed then came as Ctrl+Space, a "k" as
// Ctrl+K). Keys go one at a time, each once the portal has taken the one before it, so that
// they cannot overtake each other.
// The portal answers a key once it has handed it on, whether or not its back end (the desktop's
// own part, xdg-desktop-portal-gnome) is there to take it: a back end gone leaves a session that
// takes keys and types nothing. So the session counts as gone once the portal or the back end
// that started it leaves the bus, and before anything is begun that only its keys could finish,
// both must answer.
class PortalRemoteDesktopKeyboard : public QObject, public KeyboardPoster {
    Q_OBJECT
public:
    enum class State {
        // Nothing asked yet.
        idle,
        // The portal is asking the user.
        asking,
        ready,
        // Refused by the user or the portal, ended, or no portal: not asked again.
        unavailable,
    };

    explicit PortalRemoteDesktopKeyboard(QDBusConnection bus, QObject* parent = nullptr);
    ~PortalRemoteDesktopKeyboard() override;

    State state() const { return m_state; }
    // True once the session runs and the processes that carry its keys answer; the first call
    // asks for it.
    bool canPost() override;
    // The process is not asked for: keys go to the focused window, which the caller has just
    // confirmed is that process's. False until the session runs, and for any event with a
    // modifier.
    bool post(qint64 process, const QList<SyntheticKeyEvent>& events) override;
    bool keysPending() const override { return m_inFlight > 0 || !m_queued.isEmpty(); }
    qsizetype withdrawPending() override;
    bool sharesModifierState() const override { return true; }
    bool keysLost() const override { return m_lostPresses > 0; }

Q_SIGNALS:
    void stateChanged(PortalRemoteDesktopKeyboard::State state);

private Q_SLOTS:
    void takeResponse(uint response, const QVariantMap& results);
    void takeClosed();
    void takeOwnerChange(const QString& name, const QString& oldOwner, const QString& newOwner);

private:
    // Calls a portal method that answers through a request object; `next` gets its results.
    void request(const QString& method, QVariantList arguments, QVariantMap options,
        std::function<void(const QVariantMap&)> next);
    void fail();
    void setState(State state);
    void sendKeysym(int keysym, bool press);
    void sendNextKey();
    // Notes which processes carry the session's keys (the portal, and its back ends that offer
    // a remote desktop), to follow them.
    void followCarriers();
    bool carriersAnswer();
    // Presses among the keys not sent yet, the lead key's aside.
    qsizetype queuedPresses() const;
    static std::optional<int> keysymFor(int key);

    QDBusConnection m_bus;
    State m_state = State::idle;
    QString m_session;
    QString m_requestPath;
    std::function<void(const QVariantMap&)> m_next;
    int m_requests = 0;
    // Keys not yet sent, in order; how many are on their way, and whether a press is among them.
    QList<std::pair<int, bool>> m_queued;
    int m_inFlight = 0;
    bool m_pressing = false;
    // Keys whose press has been handed to the portal and whose release has not.
    QList<int> m_down;
    // Presses the portal refused, or left unsent by a session that ended, since the last
    // withdrawPending(): they never reach the application.
    qsizetype m_lostPresses = 0;
    // Well-known name -> the unique name that owned it when the session started.
    QHash<QString, QString> m_carriers;
};
