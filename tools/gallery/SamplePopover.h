#pragma once

#include "App/State/AppState.h"
#include "Persistence/LocalStore.h"
#include "Utilities/ToastManager.h"
#include "Views/Components/ConfirmationOverlay.h"
#include "Views/MenuBar/recovery/StorageRecoveryView.h"
#include "Views/MenuBar/shell/MenuBarPopover.h"

#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

// Writes `bytes` to the file `name` in `folder`.
void writeSampleFile(const QString& folder, const QString& name, const QByteArray& bytes);

// Two folders and three shortcuts, the first one "/sig".
UserData sampleLibrary();

// A popover over its own store in a private temporary folder, which `prepare` fills first,
// showing `screen`.
class SamplePopover : public QWidget {
public:
    explicit SamplePopover(
        const std::function<void(const QString& folder)>& prepare, const PopoverScreen& screen = PopoverScreen::main());
    ~SamplePopover() override;

    AppState& state() { return *m_state; }
    ToastManager& toast() { return m_toast; }
    MenuBarPopover* popover() const { return m_popover; }

private:
    QTemporaryDir m_folder;
    ToastManager m_toast;
    std::unique_ptr<LocalStore> m_store;
    std::unique_ptr<AppState> m_state;
    MenuBarPopover* m_popover;
};
