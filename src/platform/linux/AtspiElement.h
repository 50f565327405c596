#pragma once

#include "AtspiTextOffsets.h"
#include "platform/AccessibleElement.h"

typedef struct _AtspiAccessible AtspiAccessible;

// A UI element of another application reached through AT-SPI, answering in the engine's
// attribute vocabulary: roles and states mapped onto the AX names, text ranges in UTF-16
// units. Every answer is a fresh request to the application, bounded by the messaging timeout.
class AtspiElement : public AccessibleElement {
public:
    // Takes its own reference to the accessible. `unit` is shared by every element of one
    // application and records what its offsets count once its text has shown it.
    AtspiElement(AtspiAccessible* accessible, qint64 process, std::shared_ptr<AtspiTextOffsets::Unit> unit);
    ~AtspiElement() override;
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;

    void setMessagingTimeout(double seconds) override;
    AccessibilityValue attributeValue(QLatin1StringView attribute) override;
    std::optional<bool> isAttributeSettable(QLatin1StringView attribute) override;
    AccessibilityValue parameterizedAttributeValue(QLatin1StringView attribute, const AccessibilityValue& parameter) override;
    bool setAttributeValue(QLatin1StringView attribute, const AccessibilityValue& value) override;
    bool isEqual(const AccessibleElement& other) const override;

private:
    bool isReachable() const;
    AccessibilityValue role();
    AccessibilityValue enabled();
    AccessibilityValue selection();
    AccessibilityValue text(const TextRange& range);
    bool select(const TextRange& range);
    std::optional<QString> textPrefix(qint64 length);

    AtspiAccessible* accessible_;
    qint64 process_;
    std::shared_ptr<AtspiTextOffsets::Unit> unit_;
};
