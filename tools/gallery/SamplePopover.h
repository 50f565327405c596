#pragma once

#include "App/AppState.h"
#include "Models/UserData.h"
#include "Persistence/LocalStore.h"
#include "Utilities/ToastManager.h"

#include <QTemporaryDir>
#include <QWidget>
#include <functional>
#include <memory>

class MenuBarPopover;

// Writes `bytes` to the file `name` in `folder`.
void writeSampleFile(const QString& folder, const QString& name, const QByteArray& bytes);

// Two folders and three shortcuts.
UserData sampleLibrary();

// Writes sampleLibrary() as the library of the store in `folder`.
void withLibrary(const QString& folder);

// A popover over its own store in a private temporary folder, which `prepare` fills first.
class SamplePopover : public QWidget {
public:
    explicit SamplePopover(const std::function<void(const QString& folder)>& prepare);
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
