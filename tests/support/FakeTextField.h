#pragma once

#include "platform/AccessibleElement.h"

#include <QHash>
#include <memory>
#include <optional>

// A UI element of another application as the accessibility interface shows it: by default
// an enabled, editable text field with the caret at the end of its text. Its attributes
// can be changed to anything a real application might answer. It applies typed keys and
// pastes as an application does, with timings the test chooses.
class FakeTextField final : public AccessibleElement, public std::enable_shared_from_this<FakeTextField> {
public:
    explicit FakeTextField(const QString& text = QString());

    // What the accessibility interface answers.
    QString text;
    TextRange selection;
    AccessibilityValue role = QString(AX::textFieldRole);
    AccessibilityValue subrole;
    AccessibilityValue enabled;
    std::optional<bool> selectionSettable = true;
    // Answered for the selected range instead of `selection` when set.
    std::optional<AccessibilityValue> selectionAnswer;
    bool refusesSelection = false;
    // The next this many selection requests are refused, as a busy application's go unanswered.
    int unansweredSelections = 0;
    // Seconds between an accepted selection request and the selection showing, as browsers
    // apply it; nothing: accepted but never applied. Requests are applied in order.
    std::optional<double> selectionDelay = 0;
    // Says that an accepted selection is in place at once (as GTK 3 and Qt fields do).
    bool saysSelectionAppliesAtOnce = false;

    // When typed keys show in the field: already when the engine sees them (as X11 RECORD
    // often reports them), or `keyDelay` seconds afterwards (0: as soon as the engine has
    // handled the key).
    bool appliesKeysBeforeSeen = false;
    double keyDelay = 0;
    // Seconds between a paste key and the pasted text showing; nothing: pastes are ignored.
    std::optional<double> pasteDelay = 0.01;

    // Replaces the selection with `typed` and puts the caret after it.
    void insert(const QString& typed);
    void moveCaret(qint64 location) { selection = TextRange{location, 0}; }

    double messagingTimeout() const { return m_timeout; }
    int queryCount() const { return m_queries; }
    // How often the attribute was read.
    int readCount(QLatin1StringView attribute) const { return m_reads.value(QString(attribute)); }

    void setMessagingTimeout(double seconds) override { m_timeout = seconds; }
    AccessibilityValue attributeValue(QLatin1StringView attribute) override;
    std::optional<bool> isAttributeSettable(QLatin1StringView attribute) override;
    AccessibilityValue parameterizedAttributeValue(QLatin1StringView attribute, const AccessibilityValue& parameter) override;
    bool setAttributeValue(QLatin1StringView attribute, const AccessibilityValue& value) override;
    bool isEqual(const AccessibleElement& other) const override { return &other == this; }
    bool appliesSelectionAtOnce() const override { return saysSelectionAppliesAtOnce; }

private:
    bool contains(TextRange range) const;

    void applySelection(TextRange range);

    double m_timeout = 0;
    // Requests not yet applied; a later request still waits for the earlier ones.
    int m_pendingSelections = 0;
    int m_queries = 0;
    QHash<QString, int> m_reads;
};
