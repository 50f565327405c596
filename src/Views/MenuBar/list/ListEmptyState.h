#pragma once

#include <QWidget>

class GlassButton;
class SymbolLabel;
class TextButton;
class ThemedLabel;

// What the main list shows when the open folder shows nothing: "No matches" with a way to
// clear the search while searching, else the invitation to add a first shortcut.
class ListEmptyState : public QWidget {
    Q_OBJECT
public:
    static constexpr int addButtonWidth = 160;

    explicit ListEmptyState(bool searching, QWidget* parent = nullptr);

    bool isSearching() const { return m_searching; }
    ThemedLabel* message() const { return m_message; }
    // "Clear search" while searching, else null.
    TextButton* clearButton() const { return m_clear; }
    // "Add shortcut" while not searching, else null.
    GlassButton* addButton() const { return m_add; }

Q_SIGNALS:
    void clearSearchRequested();
    void addShortcutRequested();

private:
    bool m_searching;
    SymbolLabel* m_symbol;
    ThemedLabel* m_message;
    TextButton* m_clear = nullptr;
    GlassButton* m_add = nullptr;
};
