#pragma once

#include "AtspiTextOffsets.h"
#include "platform/AccessibleElement.h"

#include <QDeadlineTimer>

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiStateSet AtspiStateSet;

// A UI element of another application reached through AT-SPI, answering in the engine's
// attribute vocabulary: roles and states mapped onto the AX names, text ranges in UTF-16
// units. Requests are bounded by the messaging timeout. Each costs a round trip through the
// other application's event loop, and the engine asks several questions about one element at
// once, so an element reads its role once and its states at most once per few milliseconds;
// selection and text are always asked afresh.
class AtspiElement : public AccessibleElement {
public:
    // Takes its own references to the accessible and to `states`, the state set just read (or
    // null). `unit` is shared by every element of one application and records what its offsets
    // count once its text has shown it.
    AtspiElement(AtspiAccessible* accessible, AtspiStateSet* states, qint64 process,
        std::shared_ptr<AtspiTextOffsets::Unit> unit);
    ~AtspiElement() override;
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;

    void setMessagingTimeout(double seconds) override;
    AccessibilityValue attributeValue(QLatin1StringView attribute) override;
    std::optional<bool> isAttributeSettable(QLatin1StringView attribute) override;
    AccessibilityValue parameterizedAttributeValue(QLatin1StringView attribute, const AccessibilityValue& parameter) override;
    bool setAttributeValue(QLatin1StringView attribute, const AccessibilityValue& value) override;
    bool isEqual(const AccessibleElement& other) const override;

    // How long a state set read from the application stands for the current states.
    static constexpr int stateLifetimeMilliseconds = 10;

private:
    bool isReachable() const;
    // The current state set (not a new reference), or null when the application did not answer.
    AtspiStateSet* states();
    std::optional<int> atspiRole();
    AccessibilityValue role();
    AccessibilityValue enabled();
    AccessibilityValue selection();
    AccessibilityValue text(const TextRange& range);
    bool select(const TextRange& range);
    std::optional<QString> textPrefix(qint64 length);

    AtspiAccessible* m_accessible;
    AtspiStateSet* m_states = nullptr;
    QDeadlineTimer m_statesExpiry;
    std::optional<int> m_role;
    qint64 m_process;
    std::shared_ptr<AtspiTextOffsets::Unit> m_unit;
};
