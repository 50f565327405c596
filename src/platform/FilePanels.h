#pragma once

#include <QString>
#include <functional>

// The desktop's dialogs for choosing a JSON file to write or to read. Each call returns at
// once; `chosen` runs later with the chosen path, on the main thread, or never when the user
// cancels.
class FilePanels {
public:
    using Chosen = std::function<void(const QString& path)>;

    virtual ~FilePanels() = default;

    // Asks where to save, proposing `fileName` in the dialog's default folder.
    virtual void chooseSaveLocation(const QString& fileName, Chosen chosen) = 0;
    // Asks for one existing file to open.
    virtual void chooseFileToOpen(Chosen chosen) = 0;
};
