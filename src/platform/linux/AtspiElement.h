#pragma once

#include "AtspiTextOffsets.h"
#include "platform/AccessibleElement.h"

#include <QDeadlineTimer>

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiStateSet AtspiStateSet;

// A UI element of another application reached through AT-SPI: roles and states mapped onto
// field kinds, text ranges in UTF-16 units. Requests are bounded by the messaging timeout. Each costs a round trip
// through the other application's event loop, and the engine asks several questions about one element at once, so an
// element reads its role once and its states at most once per few milliseconds; selection and text are always asked
// afresh, and only as much text as the range asked for (plus, where the application counts characters, the way from the
// last place converted).
class AtspiElement : public AccessibleElement {
public:
    // Toolkits whose fields need rules of their own.
    enum class Toolkit {
        other,
        // Not known yet (the application did not answer in time): none of its fields is
        // offered for editing, as it may be any of those below.
        unknown,
        // GTK 4 (4.8): an entry that hides its text shows exactly like any other entry (role
        // "text", its text readable), so a single-line field counts as a password field unless
        // what it draws proves otherwise.
        gtk4,
        // Firefox, Thunderbird: the caret of an editable region or a mail body may live in a
        // paragraph below the focused element.
        gecko,
        // GTK 3. Programs that only draw with GTK (LibreOffice's GTK face) may answer under its
        // name through a bridge of their own, so a selection is read back as anywhere else.
        gtk3,
        // Qt: a selection set over the bus is in place when the request is answered.
        qt,
    };

    // Takes its own references to the accessible and to `states`, the state set just read (or
    // null). `unit` is shared by every element of one application and records what its offsets
    // count once its text has shown it.
    // `keysOvertakePaste`: see handlesKeysBehindPasteFirst().
    AtspiElement(AtspiAccessible* accessible, AtspiStateSet* states, qint64 process,
        std::shared_ptr<AtspiTextOffsets::Unit> unit, Toolkit toolkit = Toolkit::other, bool keysOvertakePaste = false);
    ~AtspiElement() override;
    bool appliesSelectionAtOnce() const override { return m_toolkit == Toolkit::qt; }
    bool appliesSelectionBeforeLaterKeys() const override { return m_toolkit == Toolkit::gecko; }
    bool handlesKeysBehindPasteFirst() const override { return m_keysOvertakePaste; }
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;

    void setMessagingTimeout(double seconds) override;
    std::optional<FieldKind> kind() override;
    std::optional<bool> isEnabled() override;
    std::optional<bool> isEditable() override;
    std::optional<TextRange> selectedRange() override;
    std::optional<QString> textIn(TextRange range) override;
    bool select(TextRange range) override;
    bool isEqual(const AccessibleElement& other) const override;

    // How long a state set read from the application stands for the current states.
    static constexpr int stateLifetimeMilliseconds = 10;

private:
    bool isReachable() const;
    // The current state set (not a new reference), or null when the application did not answer.
    AtspiStateSet* states();
    std::optional<int> atspiRole();
    // Whether the toolkit lets this element's text be replaced (see Toolkit).
    bool isEditableByToolkit();
    // The object whose text holds the caret: the element itself, or in Gecko's editable
    // regions and mail bodies the paragraph below it where the caret is (its place in the
    // element's text is an embedded-object character). Looked for once per element; not a new
    // reference.
    AtspiAccessible* textHolder();
    // A place where the application's offset and the UTF-16 offset are known to meet; the
    // field's start is always one.
    struct Anchor {
        qint64 offset = 0;
        qint64 utf16 = 0;
    };
    // Text the application returned from its offset `start` on, with the UTF-16 offset of its
    // first character.
    struct Stretch {
        QString text;
        qint64 start = 0;
        qint64 origin = 0;
        // The index in `text` of a UTF-16 offset; nothing outside it or inside a surrogate pair.
        std::optional<qint64> indexOf(qint64 utf16) const;
    };
    std::optional<QString> textBetween(qint64 start, qint64 end);
    // The text between application offsets `from` and `to`, read together with the way to an
    // anchor (the nearest one when none is given), which then moves to the stretch's end. Only
    // a range known to lie within the text can tell which unit the application counts.
    std::optional<Stretch> stretch(qint64 from, qint64 to, std::optional<Anchor> anchor, bool withinText);
    // A stretch holding at least the UTF-16 range.
    std::optional<Stretch> stretchOf(const TextRange& range);

    AtspiAccessible* m_accessible;
    AtspiAccessible* m_textHolder = nullptr;
    Toolkit m_toolkit = Toolkit::other;
    bool m_keysOvertakePaste = false;
    AtspiStateSet* m_states = nullptr;
    QDeadlineTimer m_statesExpiry;
    std::optional<int> m_role;
    qint64 m_process;
    std::shared_ptr<AtspiTextOffsets::Unit> m_unit;
    // Where the last look at the text left the two counts; text before it is not read again.
    std::optional<Anchor> m_anchor;
    // How many selections the last look at the selection found: selecting right after it
    // need not ask again (a selection is replaced, or added where there was none).
    std::optional<int> m_selections;
    // The messaging timeout last set; libatspi's own until then.
    static inline int s_timeoutMilliseconds = 800;
};
