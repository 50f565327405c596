#pragma once

#include <optional>

typedef struct _AtspiAccessible AtspiAccessible;

// A text's caret and how many selections it has, asked of its application in one go: the two
// questions go out together and are answered one after the other as they arrive, so the wait
// is about one round trip through the application's event loop rather than two.
struct AtspiCaretLook {
    int caret = 0;
    int selections = 0;
};

// Nothing when either question was not answered (an error, no answer within
// `timeoutMilliseconds`); nothing asked, and `asked` false, when the application's connection
// is not known.
std::optional<AtspiCaretLook> lookAtCaret(AtspiAccessible* text, int timeoutMilliseconds, bool& asked);
