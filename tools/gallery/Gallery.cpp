#include "Gallery.h"

#include "Views/Components/ThemedLabel.h"

#include <QVariant>

QList<GalleryPage>& Gallery::pages()
{
    static QList<GalleryPage> pages;
    return pages;
}

GalleryPageRegistration::GalleryPageRegistration(const QString& name, std::function<QWidget*(Appearance)> build)
{
    Gallery::pages().append({name, std::move(build)});
}

void galleryFocus(QWidget* widget, bool byTab)
{
    widget->setProperty(galleryFocusProperty, byTab);
}

QWidget* galleryTitle(const QString& text)
{
    return new ThemedLabel(text, 15, QFont::DemiBold, &Theme::text);
}

QWidget* galleryCaption(const QString& text)
{
    auto* label = new ThemedLabel(text, 11, QFont::Normal, &Theme::textMuted);
    label->setWordWrap(true);
    return label;
}
