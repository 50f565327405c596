#include "Views/MenuBar/achievements/AchievementUnlockToast.h"

#include "Utilities/Scheduler.h"
#include "Views/Components/FloatingWindow.h"
#include "Views/MenuBar/achievements/AchievementUnlockView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

AchievementUnlockToast& AchievementUnlockToast::shared()
{
    static AchievementUnlockToast toast;
    return toast;
}

AchievementUnlockToast::~AchievementUnlockToast()
{
    // The banner is a window of its own with no parent to take it along; past the end of the
    // application there is nothing left to delete it with.
    if (m_banner && QCoreApplication::instance())
        delete m_banner.data();
}

void AchievementUnlockToast::show(const Achievement& achievement)
{
    if (!FloatingWindow::available())
        return;
    m_queue.append(achievement);
    if (!m_presenting)
        playNext();
}

QRect AchievementUnlockToast::originRectForActiveScreen()
{
    const QSize size(AchievementUnlockView::panelWidth, AchievementUnlockView::panelHeight);
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QRect(QPoint(0, 0), size);
    const QRect area = screen->availableGeometry();
    return QRect(QPoint(area.x() + area.width() - size.width() - edgeMargin, area.y() + edgeMargin), size);
}

void AchievementUnlockToast::playNext()
{
    if (m_queue.isEmpty()) {
        m_presenting = false;
        return;
    }
    m_presenting = true;
    const Achievement next = m_queue.takeFirst();
    // A floating panel of its own: above everything, on every workspace, never given the
    // keyboard and never raising the application.
    auto* banner = new AchievementUnlockView(next, {}, nullptr);
    banner->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus
        | Qt::X11BypassWindowManagerHint | Qt::NoDropShadowWindowHint);
    banner->setAttribute(Qt::WA_ShowWithoutActivating);
    banner->setAttribute(Qt::WA_TranslucentBackground);
    banner->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<AchievementUnlockView> weak(banner);
    banner->setOnDismiss([this, weak] {
        if (weak)
            fadeOutAndClose(weak);
    });
    banner->setGeometry(originRectForActiveScreen());
    if (!FloatingWindow::show(*banner)) {
        delete banner;
        playNext();
        return;
    }
    m_banner = banner;
    banner->start();
}

void AchievementUnlockToast::fadeOutAndClose(AchievementUnlockView* banner)
{
    const QPointer<AchievementUnlockView> own(banner);
    for (int i = 1; i <= fadeSteps; ++i) {
        Scheduler::current().after(fadeSeconds * i / fadeSteps, this, [this, own, i] {
            if (own)
                own->setWindowOpacity(1.0 - double(i) / fadeSteps);
            if (i < fadeSteps)
                return;
            if (own)
                own->close();
            m_banner.clear();
            playNext();
        });
    }
}
