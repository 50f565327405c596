#pragma once

#include "platform/PrimarySelection.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <utility>

typedef struct _XDisplay Display;
typedef unsigned long XID;

// PRIMARY through a connection of its own for another owner's text, read with a short bound
// (a silent owner costs at most that), and through QClipboard for this process's own
// selection and for putting a selection back.
class X11PrimarySelection final : public PrimarySelection {
public:
    // The longest an owner may take to hand over its text.
    static constexpr int readMilliseconds = 50;

    X11PrimarySelection();
    ~X11PrimarySelection() override;
    X11PrimarySelection(const X11PrimarySelection&) = delete;
    X11PrimarySelection& operator=(const X11PrimarySelection&) = delete;

    void save() override;
    void restore() override;

private:
    bool open();
    XID owner() const;
    std::optional<QByteArray> readText();

    Display* m_display = nullptr;
    XID m_window = 0;
    // The owner and contents save() found; no owner: nothing to put back.
    XID m_owner = 0;
    QList<std::pair<QString, QByteArray>> m_saved;
};
