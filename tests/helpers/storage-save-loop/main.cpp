// Saves the library and the statistics through the local store in an endless loop. Before the
// first save it prints "start <round>" (the round the files were at), and after each finished
// round "<round>", each line in one write so that a kill never splits it.
//
// Exit codes: 2 the store was not ready after loading, 3 a save was refused.

#include "Persistence/LocalStore.h"
#include "SaveLoopRounds.h"

#include <QByteArray>
#include <cstdio>
#include <unistd.h>

namespace {

void report(const QByteArray& line)
{
    const QByteArray text = line + '\n';
    if (::write(STDOUT_FILENO, text.constData(), size_t(text.size())) != text.size())
        std::_Exit(4);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-storage-save-loop <data folder>\n");
        return 1;
    }
    LocalStore store(QString::fromLocal8Bit(argv[1]));
    store.loadData();
    store.loadSettings();
    qint64 round = store.loadStats().totalExpansions;
    if (!store.isReady()) {
        const auto issue = store.firstIssue();
        std::fprintf(stderr, "storage not ready: %s\n", issue ? qPrintable(store.issues().value(*issue)) : "");
        return 2;
    }
    report("start " + QByteArray::number(round));
    for (;;) {
        ++round;
        if (!store.saveData(SaveLoopRounds::library(round)) || !store.saveStats(SaveLoopRounds::stats(round)))
            return 3;
        report(QByteArray::number(round));
    }
}
