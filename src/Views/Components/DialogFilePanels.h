#pragma once

#include "platform/FilePanels.h"

#include <QPointer>
#include <QWidget>

// The file panels as Qt file dialogs, window-modal over `parent`. Qt shows the desktop's own
// dialog where it can (through the desktop portal when the platform theme uses it) and its
// own otherwise.
class DialogFilePanels final : public FilePanels {
public:
    explicit DialogFilePanels(QWidget* parent);

    void chooseSaveLocation(const QString& fileName, Chosen chosen) override;
    void chooseFileToOpen(Chosen chosen) override;

private:
    QPointer<QWidget> m_parent;
};
