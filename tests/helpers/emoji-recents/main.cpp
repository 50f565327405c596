#include "Utilities/EmojiRecents.h"

#include <QCoreApplication>
#include <QTextStream>

// velmora-emoji-recents remember <emoji>...   remembers each in turn
// velmora-emoji-recents load                  prints the stored list, one emoji a line
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("remember")) {
        for (const QString& emoji : arguments.mid(1))
            EmojiRecents::remember(emoji);
        return 0;
    }
    if (arguments.value(0) == QLatin1String("load")) {
        QTextStream out(stdout);
        for (const QString& emoji : EmojiRecents::load())
            out << emoji << '\n';
        return 0;
    }
    return 2;
}
