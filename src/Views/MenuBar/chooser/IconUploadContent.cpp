#include "Views/MenuBar/chooser/IconUploadContent.h"

#include "App/State/AppState.h"
#include "Models/FolderIconCatalog.h"
#include "Utilities/Theme.h"
#include "Views/Components/PaintedButton.h"
#include "Views/Components/SymbolIcon.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ThemedMenu.h"
#include "Views/Components/ViewStyle.h"
#include "Views/MenuBar/chooser/IconTileGrid.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>
#include <QVBoxLayout>

#include <memory>

namespace {

constexpr int padding = 18;
constexpr QLatin1StringView svgMimeType("image/svg+xml");

// A glass button that draws a symbol and a title, either stacked (the drop zone, inside a
// dashed outline) or side by side (the paste button, a capsule).
class UploadButton final : public PaintedButton {
public:
    enum class Shape { dropZone, capsule };

    UploadButton(Shape shape, const QString& symbol, const QString& title, QWidget* parent)
        : PaintedButton(title, parent)
        , m_shape(shape)
        , m_symbol(symbol)
    {
        setFont(uiFont(12));
        setFocusPolicy(Qt::StrongFocus);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setFixedHeight(sizeHint().height());
    }

    // Called with the dropped .svg files, in order; a drop that holds none is accepted all the
    // same and changes nothing.
    void acceptFileDrops(std::function<void(const QStringList&)> onDrop)
    {
        m_onDrop = std::move(onDrop);
        setAcceptDrops(true);
    }

    QSize sizeHint() const override
    {
        const int text = fontMetrics().height();
        if (m_shape == Shape::dropZone)
            return {200, 22 + SymbolIcon::sideFor(22) + 8 + text + 22};
        return {200, 9 + qMax(text, SymbolIcon::sideFor(12)) + 9};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        beginPaint(painter);
        const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const QColor ink = m_shape == Shape::dropZone ? Theme::textMuted() : Theme::text();
        if (m_shape == Shape::dropZone) {
            const QPainterPath shape = continuousRoundedRect(QRectF(rect()), 10);
            painter.fillPath(shape, underMouse() ? Theme::surfaceGlassHover() : Theme::surfaceGlass());
            QPen dashes(Theme::borderSubtle(), 1);
            dashes.setDashPattern({5, 4});
            painter.strokePath(continuousRoundedRect(bounds, 9.5), dashes);
            const int side = SymbolIcon::sideFor(22);
            const QRectF symbol((width() - side) / 2.0, 22, side, side);
            SymbolIcon::paint(painter, symbol, m_symbol, ink, SymbolWeight::light);
            painter.setFont(font());
            painter.setPen(ink);
            painter.drawText(QRectF(0, symbol.bottom() + 8, width(), fontMetrics().height()), Qt::AlignCenter, text());
        } else {
            const qreal radius = bounds.height() / 2;
            painter.setPen(QPen(Theme::borderSubtle(), 1));
            painter.setBrush(underMouse() ? Theme::surfaceGlassHover() : Theme::surfaceGlass());
            painter.drawRoundedRect(bounds, radius, radius);
            const int side = SymbolIcon::sideFor(12);
            const int textWidth = fontMetrics().horizontalAdvance(text());
            const qreal left = (width() - side - 6 - textWidth) / 2.0;
            SymbolIcon::paint(painter, QRectF(left, (height() - side) / 2.0, side, side), m_symbol, ink);
            painter.setFont(font());
            painter.setPen(ink);
            painter.drawText(
                QRectF(left + side + 6, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
        }
        if (showsKeyboardFocus(this)) {
            painter.setOpacity(1);
            const QRectF ring = QRectF(rect()).adjusted(1, 1, -1, -1);
            const QPainterPath path = m_shape == Shape::dropZone ? continuousRoundedRect(ring, 9) : [&] {
                QPainterPath capsule;
                capsule.addRoundedRect(ring, ring.height() / 2, ring.height() / 2);
                return capsule;
            }();
            painter.strokePath(path, QPen(Theme::borderSelected(), 2));
        }
    }

    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }

    void dragMoveEvent(QDragMoveEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }

    void dropEvent(QDropEvent* event) override
    {
        QStringList paths;
        for (const QUrl& url : event->mimeData()->urls()) {
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).suffix().compare(u"svg", Qt::CaseInsensitive) == 0)
                paths.append(url.toLocalFile());
        }
        event->acceptProposedAction();
        if (m_onDrop)
            m_onDrop(paths);
    }

private:
    Shape m_shape;
    QString m_symbol;
    std::function<void(const QStringList&)> m_onDrop;
};

// The error line of a batch: the first refusal, naming its icon when several came at once.
QString batchError(const QList<std::pair<QString, QString>>& failures, qsizetype batchSize)
{
    const auto& [name, message] = failures.first();
    QString text = batchSize > 1 ? QStringLiteral("%1: %2").arg(name, message) : message;
    if (failures.size() == 2)
        text += QStringLiteral(" 1 more file wasn't added.");
    else if (failures.size() > 2)
        text += QStringLiteral(" %1 more files weren't added.").arg(failures.size() - 1);
    return text;
}

QString customKey(const QString& id)
{
    return FolderIconCatalog::customPrefix + id;
}

} // namespace

IconUploadContent::IconUploadContent(AppState& appState, std::optional<QString> initial, QWidget* parent)
    : QWidget(parent)
    , m_appState(appState)
    , m_initial(std::move(initial))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(12);

    auto* dropZone = new UploadButton(
        UploadButton::Shape::dropZone, QStringLiteral("arrow.up.doc"), QStringLiteral("Drop SVG here or browse"), this);
    dropZone->acceptFileDrops([this](const QStringList& paths) { uploadFiles(paths); });
    connect(dropZone, &QAbstractButton::clicked, this, &IconUploadContent::chooseFile);
    m_dropZone = dropZone;
    column->addWidget(m_dropZone);

    m_pasteButton = new UploadButton(UploadButton::Shape::capsule, QStringLiteral("doc.on.clipboard"),
        QStringLiteral("Paste SVG from clipboard"), this);
    connect(m_pasteButton, &QAbstractButton::clicked, this, &IconUploadContent::pasteFromClipboard);
    column->addWidget(m_pasteButton);

    m_errorLine = new ThemedLabel(QString(), 11, QFont::Normal, &Theme::danger, this);
    m_errorLine->setWordWrap(true);
    m_errorLine->hide();
    column->addWidget(m_errorLine);

    m_caption = new ThemedLabel(QStringLiteral("Your uploads"), 11, QFont::Normal, &Theme::textMuted, this);
    m_caption->setContentsMargins(0, 4, 0, 0);
    column->addWidget(m_caption);

    m_grid = new IconTileGrid(IconTileGrid::Kind::icons, this);
    m_grid->setMarkedKey(m_initial);
    m_grid->setAccessibleName(QStringLiteral("Your uploads"));
    connect(m_grid, &IconTileGrid::activated, this, &IconUploadContent::picked);
    connect(m_grid, &IconTileGrid::contextMenuRequested, this, &IconUploadContent::showContextMenu);
    column->addWidget(m_grid);
    column->addStretch(1);

    connect(&m_appState, &AppState::userDataChanged, this, &IconUploadContent::refreshUploads);
    refreshUploads();
}

void IconUploadContent::refreshUploads()
{
    const QList<CustomIcon>& icons = m_appState.userData().customIcons;
    QList<IconTileGrid::Tile> tiles;
    for (const CustomIcon& icon : icons)
        tiles.append({customKey(icon.id), icon.name, {}});
    m_grid->setCustomIcons(icons);
    m_grid->setTiles(tiles);
    m_caption->setVisible(!icons.isEmpty());
    m_grid->setVisible(!icons.isEmpty());
}

void IconUploadContent::chooseFile()
{
    auto* dialog = new QFileDialog(this);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilter(QStringLiteral("SVG images (*.svg *.SVG)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& path) { uploadFiles({path}); });
    dialog->open();
}

void IconUploadContent::pasteFromClipboard()
{
    std::optional<QByteArray> bytes;
    if (const QMimeData* data = QGuiApplication::clipboard()->mimeData()) {
        if (data->hasFormat(svgMimeType))
            bytes = data->data(svgMimeType);
        else if (data->hasText())
            bytes = data->text().toUtf8();
    }
    upload([bytes] { return QList<SvgUpload>{SvgUpload::fromClipboard(bytes)}; });
}

void IconUploadContent::uploadFiles(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    upload([paths] {
        QList<SvgUpload> uploads;
        for (const QString& path : paths)
            uploads.append(SvgUpload::fromFile(path));
        return uploads;
    });
}

void IconUploadContent::upload(std::function<QList<SvgUpload>()> read)
{
    auto promise = std::make_shared<QPromise<QList<SvgUpload>>>();
    promise->start();
    // The watcher belongs to the application state, not to this tab: the icons are stored
    // even when the chooser (or the editor under it) has gone by the time they are read.
    auto* watcher = new QFutureWatcher<QList<SvgUpload>>(&m_appState);
    AppState* state = &m_appState;
    const QPointer<IconUploadContent> tab(this);
    connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, state, tab] {
        watcher->deleteLater();
        const QList<SvgUpload> uploads = watcher->future().result();
        std::optional<QString> lastKey;
        QList<std::pair<QString, QString>> failures;
        for (const SvgUpload& upload : uploads) {
            if (!upload.accepted())
                failures.append({upload.name, upload.error});
            else if (const std::optional<QString> id = state->addCustomIcon(upload.name, upload.svg))
                lastKey = customKey(*id);
            else
                failures.append({upload.name, storeFailedText});
        }
        if (!tab)
            return;
        if (!failures.isEmpty()) {
            tab->showError(batchError(failures, uploads.size()));
        } else if (lastKey) {
            tab->showError(std::nullopt);
            Q_EMIT tab->picked(*lastKey);
        }
        Q_EMIT tab->uploadsFinished();
    });
    watcher->setFuture(promise->future());
    QThreadPool::globalInstance()->start([promise, read = std::move(read)] {
        promise->addResult(read());
        promise->finish();
    });
}

void IconUploadContent::deleteIcon(const QString& id)
{
    if (!m_appState.removeCustomIcon(id)) {
        showError(removeFailedText);
        return;
    }
    if (m_initial == customKey(id))
        Q_EMIT iconCleared();
}

void IconUploadContent::showContextMenu(const QString& key, const QPoint& globalPosition)
{
    const std::optional<QString> id = CustomIcon::idFromIconKey(key);
    if (!id)
        return;
    const CustomIcon* icon = m_appState.userData().customIcon(*id);
    const QString name = icon ? icon->name : QString();
    auto* menu = new ThemedMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // Names are shown as typed: an ampersand is not a keyboard accelerator here.
    QAction* remove = menu->addAction(SymbolIcon::icon(QStringLiteral("trash"), &Theme::danger),
        QStringLiteral("Delete ") + QString(name).replace(u'&', QStringLiteral("&&")));
    connect(remove, &QAction::triggered, this, [this, id = *id] { deleteIcon(id); });
    menu->popup(globalPosition);
}

void IconUploadContent::showError(const std::optional<QString>& text)
{
    m_error = text;
    m_errorLine->setText(text.value_or(QString()));
    m_errorLine->setVisible(text.has_value());
}
