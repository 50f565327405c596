#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariant>
#include <functional>

// Direction of an arrow-key move of the main list's selection; the object of
// "velmoraMoveSelection".
enum class NavDirection { up, down, left, right };
Q_DECLARE_METATYPE(NavDirection)

// Names of the in-process notifications; each text is its member name.
namespace Notifications {
inline const QString velmoraNewShortcut = QStringLiteral("velmoraNewShortcut");
inline const QString velmoraEditShortcut = QStringLiteral("velmoraEditShortcut");
inline const QString velmoraNewFolder = QStringLiteral("velmoraNewFolder");
inline const QString velmoraFocusSearch = QStringLiteral("velmoraFocusSearch");
inline const QString velmoraOpenSettings = QStringLiteral("velmoraOpenSettings");
inline const QString velmoraMoveSelection = QStringLiteral("velmoraMoveSelection");
// The selected card's own menu, asked for from the keyboard.
inline const QString velmoraOpenSelectionMenu = QStringLiteral("velmoraOpenSelectionMenu");
inline const QString velmoraResetToMain = QStringLiteral("velmoraResetToMain");
inline const QString velmoraDismissOverlays = QStringLiteral("velmoraDismissOverlays");
inline const QString velmoraClosePopover = QStringLiteral("velmoraClosePopover");
inline const QString velmoraOpenAchievements = QStringLiteral("velmoraOpenAchievements");
} // namespace Notifications

// The in-process notification bus, used on the main thread only. Observers run
// synchronously, in the order they subscribed, inside `post`.
class NotificationCenter : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& instance();

    void post(const QString& name, const QVariant& object = {});

    // Calls `handler` for every post of `name` until `context` is destroyed or the returned
    // connection is disconnected.
    QMetaObject::Connection observe(
        const QString& name, QObject* context, std::function<void(const QVariant& object)> handler);

Q_SIGNALS:
    void posted(const QString& name, const QVariant& object);
};
