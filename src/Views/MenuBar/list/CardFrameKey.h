#pragma once

#include <QList>
#include <QRectF>
#include <QString>

// How the cards of the main list report where they are: every card gives a one-entry value
// (its item id and its frame in the list's content coordinates), and the list combines them
// into one value in card order. Rubber-band selection and arrow-key moves read that value,
// so cards scrolled out of sight still count.
struct CardFrameKey {
    struct Entry {
        QString id;
        QRectF frame;

        bool operator==(const Entry&) const = default;
    };
    using Value = QList<Entry>;

    static Value defaultValue() { return {}; }

    // Merges `next` into `value`: an id already present takes the later frame in its place,
    // new ids are appended in their order.
    static void reduce(Value& value, const Value& next);
};
