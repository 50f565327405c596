#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <optional>

class IconTileGrid;
class QAbstractButton;
class QLineEdit;
class QScrollArea;

// Which emoji the Emoji tab lists while its search is empty.
struct EmojiCategoryFilter {
    enum class Kind { category, all, recent };

    Kind kind = Kind::all;
    QString categoryId; // for `category` only

    static EmojiCategoryFilter all() { return {Kind::all, {}}; }
    static EmojiCategoryFilter recent() { return {Kind::recent, {}}; }
    static EmojiCategoryFilter category(const QString& id) { return {Kind::category, id}; }

    friend bool operator==(const EmojiCategoryFilter&, const EmojiCategoryFilter&) = default;
};

// The Emoji tab of the icon chooser: the search field "Search emoji…", a sideways row of
// chips ("All", "Recent" and the eight categories) and, below a divider, the emoji in a
// scrolling grid. A search shows its matches whatever chip is chosen; a chip clears the
// search. "All" lists the recent emoji (when there are any) and then every category under
// its name. The recent list is read each time the grid is filled, so it always shows what
// the last picks left there.
class EmojiTabContent : public QWidget {
    Q_OBJECT
public:
    // `initial`: the folder's icon key, marked wherever that emoji shows.
    explicit EmojiTabContent(std::optional<QString> initial, QWidget* parent = nullptr);

    QString query() const;
    void setQuery(const QString& query);
    const EmojiCategoryFilter& activeCategory() const { return m_filter; }
    // As a press of the filter's chip: also clears the search.
    void setActiveCategory(const EmojiCategoryFilter& filter);

    QLineEdit* searchField() const { return m_search; }
    QList<QAbstractButton*> chips() const { return m_chips; }
    IconTileGrid* grid() const { return m_grid; }
    QScrollArea* body() const { return m_body; }

Q_SIGNALS:
    void picked(const QString& emoji);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fill();

    std::optional<QString> m_initial;
    EmojiCategoryFilter m_filter;
    QList<EmojiCategoryFilter> m_chipFilters; // in the order of m_chips
    QLineEdit* m_search = nullptr;
    QList<QAbstractButton*> m_chips;
    QScrollArea* m_chipRow = nullptr;
    IconTileGrid* m_grid = nullptr;
    QScrollArea* m_body = nullptr;
};
