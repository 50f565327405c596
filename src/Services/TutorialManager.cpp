#include "Services/TutorialManager.h"

#include "Utilities/Notifications.h"
#include "Utilities/Scheduler.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSettings>

const QList<TutorialStep>& TutorialStep::all()
{
    using P = TooltipPosition;
    using A = AdvanceMode;
    static const QList<TutorialStep> steps{
        {QStringLiteral("headerLogo"), QStringLiteral("A few keys. Your words."),
            QStringLiteral("Save a reply, prompt, or everyday detail. Bring it back with a shortcut."), P::below,
            A::tapToContinue, false},
        {QStringLiteral("firstCard"), QStringLiteral("Small shortcut. Full text."),
            QStringLiteral("Finish typing a saved shortcut in a supported text field to insert its text."), P::below,
            A::tapToContinue, false},
        {QStringLiteral("addButton"), QStringLiteral("Make one yours"), QStringLiteral("Click +, then New shortcut."),
            P::below, A::onNewShortcutScreen, true},
        {QStringLiteral("triggerField"), QStringLiteral("Keep it short"),
            QStringLiteral("Choose something easy to remember. This example is yours to change."), P::below,
            A::tapToContinue, true},
        {QStringLiteral("expansionField"), QStringLiteral("Put your words here"),
            QStringLiteral("A reply, an AI prompt, a signature. This is the text your shortcut inserts."), P::above,
            A::tapToContinue, true},
        {QStringLiteral("saveButton"), QStringLiteral("Save your shortcut"),
            QStringLiteral("Click Save when it looks right. Nothing is added until you save."), P::above,
            A::onShortcutSaved, true},
        {std::nullopt, QStringLiteral("Ready when you are"),
            QStringLiteral("Try your shortcut in ChatGPT, or close this guide and use your own app. Accessibility "
                           "access must be enabled."),
            P::center, A::tryShortcut, false},
        {std::nullopt, QString(), QString(), P::center, A::onExpansion, false},
    };
    return steps;
}

QByteArray OnboardState::encode() const
{
    // Written by hand: a JSON object would sort its keys, and the stored form keeps them in
    // the record's own order.
    const auto flag = [](bool value) { return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false"); };
    return QByteArrayLiteral("{\"seeded\":") + flag(seeded) + QByteArrayLiteral(",\"tutorialShown\":")
        + flag(tutorialShown) + QByteArrayLiteral(",\"tutorialCompleted\":") + flag(tutorialCompleted) + '}';
}

std::optional<OnboardState> OnboardState::decode(const QByteArray& bytes)
{
    const QJsonDocument document = QJsonDocument::fromJson(bytes);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    for (const char* key : {"seeded", "tutorialShown", "tutorialCompleted"}) {
        if (!o.value(QLatin1String(key)).isBool())
            return std::nullopt;
    }
    return OnboardState{o.value(QStringLiteral("seeded")).toBool(), o.value(QStringLiteral("tutorialShown")).toBool(),
        o.value(QStringLiteral("tutorialCompleted")).toBool()};
}

TutorialManager& TutorialManager::shared()
{
    static TutorialManager manager;
    return manager;
}

void TutorialManager::setPresenters(Presenters presenters)
{
    m_presenters = std::move(presenters);
}

TutorialStep TutorialManager::step() const
{
    const auto& steps = TutorialStep::all();
    if (m_currentStep >= 0 && m_currentStep < steps.size())
        return steps.at(m_currentStep);
    return TutorialStep{};
}

OnboardState TutorialManager::onboardState() const
{
    return OnboardState::decode(QSettings().value(QLatin1String(storageKey)).toByteArray()).value_or(OnboardState{});
}

void TutorialManager::setTriggerSource(std::function<std::optional<QStringList>()> source)
{
    m_triggerSource = std::move(source);
}

void TutorialManager::setOnboardState(const OnboardState& state)
{
    QSettings().setValue(QLatin1String(storageKey), state.encode());
}

QStringList TutorialManager::libraryTriggers() const
{
    return m_triggerSource ? m_triggerSource().value_or(QStringList()) : QStringList();
}

QString TutorialManager::exampleTrigger() const
{
    return exampleTrigger(libraryTriggers());
}

QString TutorialManager::exampleTrigger(const QStringList& avoiding)
{
    QSet<QString> taken;
    for (const QString& t : avoiding)
        taken.insert(t.toLower());
    QString base = QStringLiteral("/hello");
    if (!taken.contains(base))
        return base;
    for (qint64 n = 2;; ++n) {
        QString candidate = base + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

QString TutorialManager::firstTrigger() const
{
    const QStringList triggers = libraryTriggers();
    return triggers.isEmpty() ? QStringLiteral("/fix") : triggers.first();
}

QStringList TutorialManager::getUserTriggers() const
{
    if (!m_triggerSource || !m_triggerSource())
        return {QStringLiteral("/fix"), QStringLiteral("/explain")};
    return libraryTriggers().mid(0, 5);
}

void TutorialManager::start()
{
    renewRun();
    closePanel();
    m_savedTrigger.reset();
    setStep(0);
    setActive(true);
    OnboardState state = onboardState();
    state.tutorialShown = true;
    setOnboardState(state);
}

void TutorialManager::startAfter(double seconds)
{
    Scheduler::current().after(seconds, this, [this] { start(); });
}

void TutorialManager::next()
{
    if (m_currentStep >= 7) {
        complete();
        return;
    }
    setStep(m_currentStep + 1);
    if (step().advance == TutorialStep::AdvanceMode::onExpansion)
        openChatSiteAndShowHelper();
}

void TutorialManager::skip()
{
    renewRun();
    setActive(false);
    setStep(0);
    closePanel();
}

void TutorialManager::complete()
{
    renewRun();
    setActive(false);
    setStep(0);
    closePanel();
    OnboardState state = onboardState();
    state.tutorialCompleted = true;
    setOnboardState(state);
}

void TutorialManager::notifyScreenChanged(const QString& screenTag)
{
    if (!m_isActive)
        return;
    const TutorialStep current = step();
    switch (current.advance) {
    case TutorialStep::AdvanceMode::tapToContinue:
    case TutorialStep::AdvanceMode::onShortcutSaved: {
        static const QSet<QString> formTargets{
            QStringLiteral("triggerField"), QStringLiteral("expansionField"), QStringLiteral("saveButton")};
        if (screenTag == QLatin1String("main") && formTargets.contains(current.targetId.value_or(QString())))
            skip();
        break;
    }
    case TutorialStep::AdvanceMode::onNewShortcutScreen:
        if (screenTag == QLatin1String("newShortcut"))
            next();
        break;
    case TutorialStep::AdvanceMode::tryShortcut:
    case TutorialStep::AdvanceMode::onExpansion: break;
    }
}

void TutorialManager::notifyShortcutSaved(const QString& trigger)
{
    // Return in the form's fields saves as well, so a save while the form's steps are
    // being read counts as the save step.
    static constexpr int firstFormStep = 3;
    static constexpr int saveStep = 5;
    if (!m_isActive || m_currentStep < firstFormStep || m_currentStep > saveStep)
        return;
    m_savedTrigger = trigger;
    setStep(saveStep + 1);
}

void TutorialManager::notifyExpansion()
{
    if (!m_isActive || step().advance != TutorialStep::AdvanceMode::onExpansion || m_expansionSeen)
        return;
    m_expansionSeen = true;
    closePanel();
    afterInThisRun(0.6, [this] {
        if (m_presenters.showCelebration)
            m_presenters.showCelebration();
        afterInThisRun(4.5, [this] { complete(); });
    });
}

void TutorialManager::registerFrame(const QString& id, const QRect& frame)
{
    Scheduler::current().after(0, this, [this, id, frame] {
        if (m_targetFrames.value(id) == frame && m_targetFrames.contains(id))
            return;
        m_targetFrames.insert(id, frame);
        Q_EMIT targetFramesChanged();
    });
}

void TutorialManager::openChatSiteAndShowHelper()
{
    NotificationCenter::instance().post(Notifications::velmoraClosePopover);
    if (m_presenters.openChatSite)
        m_presenters.openChatSite();
    afterInThisRun(1.5, [this] {
        if (!m_isActive || step().advance != TutorialStep::AdvanceMode::onExpansion)
            return;
        if (m_presenters.showHelper)
            m_presenters.showHelper(m_savedTrigger ? QStringList{*m_savedTrigger} : getUserTriggers());
    });
}

void TutorialManager::renewRun()
{
    ++m_run;
    m_expansionSeen = false;
}

void TutorialManager::afterInThisRun(double seconds, std::function<void()> work)
{
    Scheduler::current().after(seconds, this, [this, run = m_run, work = std::move(work)] {
        if (run == m_run)
            work();
    });
}

void TutorialManager::closePanel()
{
    if (m_presenters.closePanel)
        m_presenters.closePanel();
}

void TutorialManager::setActive(bool active)
{
    if (m_isActive == active)
        return;
    m_isActive = active;
    Q_EMIT isActiveChanged(active);
}

void TutorialManager::setStep(int step)
{
    if (m_currentStep == step)
        return;
    m_currentStep = step;
    Q_EMIT currentStepChanged(step);
}
