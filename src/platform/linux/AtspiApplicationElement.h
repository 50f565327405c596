#pragma once

#include "platform/AccessibleElement.h"

class AtspiAccessibility;

// An application as the engine asks it for its focused element. AT-SPI cannot be asked that
// directly; the answer is the focus the tracker last saw in this process, confirmed with a fresh
// request that it still holds the focus.
class AtspiApplicationElement : public AccessibleElement {
public:
    AtspiApplicationElement(AtspiAccessibility& accessibility, qint64 process);

    void setMessagingTimeout(double seconds) override;
    AccessibilityValue attributeValue(QLatin1StringView attribute) override;
    std::optional<bool> isAttributeSettable(QLatin1StringView attribute) override;
    AccessibilityValue parameterizedAttributeValue(QLatin1StringView attribute, const AccessibilityValue& parameter) override;
    bool setAttributeValue(QLatin1StringView attribute, const AccessibilityValue& value) override;
    bool isEqual(const AccessibleElement& other) const override;

private:
    AtspiAccessibility& m_accessibility;
    qint64 m_process;
};
