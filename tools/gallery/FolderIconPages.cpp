// Gallery page of the folder icons: every built-in icon in display order at the sizes the
// screens use, and how other icon keys are drawn.

#include "Gallery.h"

#include "Models/FolderIconCatalog.h"
#include "Views/Components/FolderIconView.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/Components/ViewStyle.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace {

constexpr int columns = 6;

// A glass tile holding one icon key at 28 and 16 px over a caption.
class IconTile : public QWidget {
public:
    IconTile(const std::optional<QString>& key, const QString& caption, const QList<CustomIcon>& uploads = {})
    {
        setFixedSize(96, 82);
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(4, 10, 4, 6);
        column->setSpacing(4);
        auto* icons = new QHBoxLayout;
        icons->setSpacing(8);
        icons->addStretch(1);
        icons->addWidget(new FolderIconView(key, 28, uploads), 0, Qt::AlignBottom);
        icons->addWidget(new FolderIconView(key, 16, uploads), 0, Qt::AlignBottom);
        icons->addStretch(1);
        column->addLayout(icons);
        auto* label = new ThemedLabel(caption, 10, QFont::Normal, &Theme::textSecondary);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setWordWrap(true);
        column->addWidget(label, 1);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Theme::borderSubtle(), 1));
        painter.setBrush(Theme::surfaceGlass());
        painter.drawPath(continuousRoundedRect(QRectF(rect()).adjusted(3.5, 3.5, -3.5, -3.5), 10));
    }
};

QWidget* grid(const QList<QWidget*>& tiles)
{
    auto* holder = new QWidget;
    auto* layout = new QGridLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (qsizetype i = 0; i < tiles.size(); ++i)
        layout->addWidget(tiles[i], int(i / columns), int(i % columns));
    return holder;
}

QWidget* buildFolderIcons(Appearance)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(6);
    column->addWidget(galleryTitle(QStringLiteral("Folder icons")));
    column->addWidget(galleryCaption(QStringLiteral("The %1 built-in icons in the order the chooser lists them, "
                                                    "at 28 and 16 px in the text colour.")
                                         .arg(FolderIconCatalog::orderedKeys().size())));
    column->addSpacing(4);
    QList<QWidget*> builtIns;
    for (const QString& key : FolderIconCatalog::orderedKeys())
        builtIns.append(new IconTile(key, key));
    column->addWidget(grid(builtIns));

    column->addSpacing(10);
    column->addWidget(
        galleryCaption(QStringLiteral("Other keys: an emoji, text, an upload in its own colours "
                                      "(drawn as a silhouette), and three that fall back or show nothing.")));
    column->addSpacing(4);
    const QList<CustomIcon> uploads = {
        {QStringLiteral("U1"), QStringLiteral("Rocket"),
            QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 32 32\">"
                           "<path fill=\"#d33\" d=\"M16 2c5 4 7 10 6 17H10C9 12 11 6 16 2z\"/>"
                           "<circle cx=\"16\" cy=\"12\" r=\"3\" fill=\"#fff\"/>"
                           "<path fill=\"#f90\" d=\"M10 19l-4 7 6-3zM22 19l4 7-6-3zM13 21h6l-3 9z\"/></svg>")},
        {QStringLiteral("B1"), QStringLiteral("Broken"), QStringLiteral("<svg viewBox=\"0 0 24 24\"><path d=")},
    };
    column->addWidget(grid({
        new IconTile(QStringLiteral("\U0001F680"), QStringLiteral("emoji")),
        new IconTile(QStringLiteral("Star"), QStringLiteral("\"Star\": text")),
        new IconTile(QStringLiteral("custom:U1"), QStringLiteral("upload"), uploads),
        new IconTile(QStringLiteral("custom:gone"), QStringLiteral("upload gone: folder"), uploads),
        new IconTile(QStringLiteral("custom:B1"), QStringLiteral("broken upload: folder"), uploads),
        new IconTile(QStringLiteral(" "), QStringLiteral("a space: nothing")),
    }));
    column->addStretch(1);
    page->setFixedWidth(columns * 96 + 36);
    return page;
}

const GalleryPageRegistration folderIcons(QStringLiteral("folder-icons"), &buildFolderIcons);

} // namespace
