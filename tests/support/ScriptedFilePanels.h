#pragma once

#include "platform/FilePanels.h"

#include <QStringList>
#include <utility>

// File panels that a test answers: each request is noted and waits until the test chooses a
// path (or never, which is how a cancelled panel behaves).
class ScriptedFilePanels final : public FilePanels {
public:
    // "save <proposed name>" or "open", in the order asked.
    QStringList requests;

    void chooseSaveLocation(const QString& fileName, Chosen chosen) override
    {
        requests << QStringLiteral("save ") + fileName;
        m_pending = std::move(chosen);
    }

    void chooseFileToOpen(Chosen chosen) override
    {
        requests << QStringLiteral("open");
        m_pending = std::move(chosen);
    }

    // Answers the last request with `path`; false when no request is waiting.
    bool choose(const QString& path)
    {
        if (!m_pending)
            return false;
        const Chosen chosen = std::exchange(m_pending, nullptr);
        chosen(path);
        return true;
    }

private:
    Chosen m_pending;
};
