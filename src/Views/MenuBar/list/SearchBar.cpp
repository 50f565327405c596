#include "Views/MenuBar/list/SearchBar.h"

#include "App/State/AppState.h"
#include "Utilities/Theme.h"
#include "Views/Components/SymbolButton.h"
#include "Views/Components/SymbolLabel.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

namespace {

constexpr int outerMargin = 18;
constexpr int innerMargin = 14;
constexpr int bottomMargin = 10;

QColor clear()
{
    return Qt::transparent;
}

} // namespace

SearchBar::SearchBar(AppState& appState, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_glass(new SymbolLabel(QStringLiteral("magnifyingglass"), 12, SymbolWeight::regular, &Theme::textMuted, this))
    , m_field(new QLineEdit(this))
    , m_clear(new SymbolButton(
          QStringLiteral("xmark.circle.fill"), 12, SymbolWeight::regular, &Theme::textMuted, QSize(28, 28), this))
{
    const QString title = QStringLiteral("Search shortcuts…");
    m_field->setPlaceholderText(title);
    m_field->setFrame(false);
    m_field->setFont(uiFont(13));
    m_field->setAccessibleName(QStringLiteral("Search shortcuts and folders"));
    m_field->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_clear->setCircleFill(&clear);
    // The field keeps its width whether or not the clear button shows.
    QSizePolicy clearPolicy = m_clear->sizePolicy();
    clearPolicy.setRetainSizeWhenHidden(true);
    m_clear->setSizePolicy(clearPolicy);
    m_clear->setAccessibleName(QStringLiteral("Clear search"));
    connect(m_clear, &SymbolButton::clicked, this, [this] { m_appState.setSearchQuery(QString()); });
    connect(m_field, &QLineEdit::textEdited, this, [this](const QString& text) { m_appState.setSearchQuery(text); });
    connect(&appState, &AppState::searchQueryChanged, this, &SearchBar::refresh);
    connect(&Theme::instance(), &Theme::appearanceChanged, this, &SearchBar::applyColors);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(outerMargin + innerMargin, 0, outerMargin + innerMargin - 7, bottomMargin);
    row->setSpacing(8);
    row->addWidget(m_glass, 0, Qt::AlignVCenter);
    row->addWidget(m_field, 1, Qt::AlignVCenter);
    row->addWidget(m_clear, 0, Qt::AlignVCenter);
    setFixedHeight(barHeight + bottomMargin);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    applyColors();
    refresh();
}

void SearchBar::focusField()
{
    m_field->setFocus(Qt::ShortcutFocusReason);
}

void SearchBar::refresh()
{
    const QString& query = m_appState.searchQuery();
    if (m_field->text() != query)
        m_field->setText(query);
    m_clear->setVisible(!query.isEmpty());
}

void SearchBar::applyColors()
{
    QPalette palette = m_field->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Theme::text());
    palette.setColor(QPalette::PlaceholderText, Theme::textMuted());
    m_field->setPalette(palette);
    update();
}

void SearchBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule
        = QRectF(outerMargin, 0, width() - 2 * outerMargin, barHeight).adjusted(0.25, 0.25, -0.25, -0.25);
    QPainterPath shape;
    shape.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.fillPath(shape, Theme::surfaceGlass());
    painter.strokePath(shape, QPen(Theme::borderSubtle(), 0.5));
}
