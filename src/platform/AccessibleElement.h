#pragma once

#include <QLatin1StringView>
#include <QString>
#include <memory>
#include <optional>
#include <variant>

// A range of text in UTF-16 code units (what the engine's QString offsets count). Back ends
// whose accessibility interface counts characters (AT-SPI counts code points) convert at
// the boundary. Negative values are passed on as read; the caller rejects them.
struct TextRange {
    qint64 location = 0;
    qint64 length = 0;

    friend bool operator==(const TextRange&, const TextRange&) = default;
};

class AccessibleElement;

// The answer to an attribute query. `std::monostate` means no answer: the query failed,
// timed out or the attribute has no value. A value of a type the caller did not expect
// counts as no answer too.
using AccessibilityValue = std::variant<std::monostate, bool, QString, TextRange, std::shared_ptr<AccessibleElement>>;

// Attribute, role and subrole names the engine asks about. Back ends map their own roles and
// states onto these (AT-SPI: entry -> textField, text -> textArea, combo box -> comboBox,
// password text -> subrole secureTextField; enabled = SENSITIVE and ENABLED; selected
// range settable = EDITABLE).
namespace AX {
// Of an application element: its focused element (an AccessibleElement).
inline constexpr QLatin1StringView focusedUIElement{"AXFocusedUIElement"};
// TextRange: the selection, or the caret as a range of length 0. Settable on editable text.
inline constexpr QLatin1StringView selectedTextRange{"AXSelectedTextRange"};
inline constexpr QLatin1StringView role{"AXRole"}; // QString
inline constexpr QLatin1StringView subrole{"AXSubrole"}; // QString
inline constexpr QLatin1StringView enabled{"AXEnabled"}; // bool
// Parameterised by a TextRange: the text in that range (QString).
inline constexpr QLatin1StringView stringForRange{"AXStringForRange"};

inline constexpr QLatin1StringView textFieldRole{"AXTextField"};
inline constexpr QLatin1StringView textAreaRole{"AXTextArea"};
inline constexpr QLatin1StringView comboBoxRole{"AXComboBox"};
inline constexpr QLatin1StringView secureTextFieldSubrole{"AXSecureTextField"};
} // namespace AX

// One UI element of another application, reached through the desktop's accessibility
// interface. Every query is a request to that application and may fail or time out; none
// throws. Main thread only.
class AccessibleElement {
public:
    virtual ~AccessibleElement() = default;

    // Bounds each later request on this element to `seconds` (the engine uses 0.03).
    virtual void setMessagingTimeout(double seconds) = 0;

    virtual AccessibilityValue attributeValue(QLatin1StringView attribute) = 0;

    // Whether the attribute can be set; nothing when the query itself failed.
    virtual std::optional<bool> isAttributeSettable(QLatin1StringView attribute) = 0;

    virtual AccessibilityValue parameterizedAttributeValue(QLatin1StringView attribute,
        const AccessibilityValue& parameter)
        = 0;

    // True when the application reports success.
    virtual bool setAttributeValue(QLatin1StringView attribute, const AccessibilityValue& value) = 0;

    // Both objects stand for the same UI element of the same application (two queries for
    // the focused element of an unchanged application give equal elements).
    virtual bool isEqual(const AccessibleElement& other) const = 0;

    // Whether a selected text range that was set successfully is in place once the request
    // has been answered, so that reading it back would only repeat the answer. Applications
    // that apply it later (browsers) say false.
    virtual bool appliesSelectionAtOnce() const { return false; }
};
