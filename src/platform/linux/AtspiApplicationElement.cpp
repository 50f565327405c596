#include "AtspiApplicationElement.h"

#include "AtspiAccessibility.h"

AtspiApplicationElement::AtspiApplicationElement(AtspiAccessibility& accessibility, qint64 process)
    : m_accessibility(accessibility)
    , m_process(process)
{
}

void AtspiApplicationElement::setMessagingTimeout(double)
{
    // Nothing is asked of the application itself; its focused element gets the timeout.
}

AccessibilityValue AtspiApplicationElement::attributeValue(QLatin1StringView attribute)
{
    if (attribute != AX::focusedUIElement)
        return {};
    if (std::shared_ptr<AccessibleElement> focused = m_accessibility.focusedElement(m_process))
        return focused;
    return {};
}

std::optional<bool> AtspiApplicationElement::isAttributeSettable(QLatin1StringView)
{
    return false;
}

AccessibilityValue AtspiApplicationElement::parameterizedAttributeValue(QLatin1StringView, const AccessibilityValue&)
{
    return {};
}

bool AtspiApplicationElement::setAttributeValue(QLatin1StringView, const AccessibilityValue&)
{
    return false;
}

bool AtspiApplicationElement::isEqual(const AccessibleElement& other) const
{
    const auto* application = dynamic_cast<const AtspiApplicationElement*>(&other);
    return application && application->m_process == m_process;
}
