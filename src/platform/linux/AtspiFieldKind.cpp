#include "AtspiFieldKind.h"

#include <atspi/atspi.h>

FieldKind atspiFieldKind(int role, bool multiLine)
{
    switch (AtspiRole(role)) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_TEXT: return multiLine ? FieldKind::multiLine : FieldKind::singleLine;
    case ATSPI_ROLE_PASSWORD_TEXT: return FieldKind::password;
    case ATSPI_ROLE_COMBO_BOX: return FieldKind::singleLine;
    default: return FieldKind::other;
    }
}
