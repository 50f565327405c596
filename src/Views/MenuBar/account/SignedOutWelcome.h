#pragma once

#include <QWidget>
#include <optional>

class AccountNotice;
class AccountSecondaryButton;
class QAbstractButton;

// What the account screen shows to someone signed out while cloud sign-in is available: a
// small still illustration of an expansion, the welcome, "Continue with Google" (which turns
// into "Connecting…" while a sign-in runs), a Cancel for a sign-in that waits for the
// browser, "Continue offline", and the notice of a failed sign-in. It holds no state: the
// account screen tells it what to show and hears its buttons.
class SignedOutWelcome : public QWidget {
    Q_OBJECT
public:
    explicit SignedOutWelcome(QWidget* parent = nullptr);

    void setLoading(bool loading);
    void setWaitingForBrowser(bool waiting);
    // The failure notice; none when empty.
    void setNotice(const std::optional<QString>& message);

    QAbstractButton* googleButton() const { return m_google; }

Q_SIGNALS:
    void googleRequested();
    void cancelRequested();
    void offlineRequested();

private:
    QAbstractButton* m_google;
    AccountSecondaryButton* m_cancel;
    AccountNotice* m_notice;
};
