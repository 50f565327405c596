#pragma once

#include "platform/AccessibleElement.h"

#include <QString>
#include <QVersionNumber>
#include <optional>

typedef struct _AtspiAccessible AtspiAccessible;

// The field kind of an AT-SPI role (an AtspiRole) and whether its states say multi-line.
FieldKind atspiFieldKind(int role, bool multiLine);

// Whether a field is proven to show the text it holds, for toolkits that show a field hiding
// its text exactly like any other (GTK 4.8: same role, same states, its real text handed out).
// GTK answers the text itself from the field's contents but the text at an offset from the line
// it draws, which holds the invisible character where the field hides its text. Proven when the
// drawn line is the text and holds two different characters at least (a hidden field draws one
// character throughout); false when it differs or cannot tell (an empty field); nothing when
// the application did not answer.
std::optional<bool> atspiShowsItsText(AtspiAccessible* accessible);

// The toolkit an application draws with, as it names itself: "gtk" or "GTK" for GTK 3 and 4,
// "Qt" for Qt 5 and 6, "Gecko" for Firefox and Thunderbird.
struct AtspiToolkit {
    QString name;
    QVersionNumber version;

    bool isGtk() const { return name.compare(QLatin1String("GTK"), Qt::CaseInsensitive) == 0; }
    bool isQt() const { return name.compare(QLatin1String("Qt"), Qt::CaseInsensitive) == 0; }
};

// Asked once per application bus name; nothing when the application did not answer (it is asked
// again).
std::optional<AtspiToolkit> atspiToolkit(AtspiAccessible* accessible);

// The GTK version an application draws with (a null version for other toolkits), asked once per
// application bus name; nothing when the application did not answer (it is asked again).
std::optional<QVersionNumber> atspiGtkVersion(AtspiAccessible* accessible);
