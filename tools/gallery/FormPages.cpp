// Gallery pages of the form kit: the screen header, text fields, text areas and buttons in
// each of their states.

#include "Gallery.h"

#include "Views/Components/GlassComponents.h"
#include "Views/Components/ThemedLabel.h"
#include "Views/MenuBar/forms/FolderMenuButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

struct FormPage {
    QWidget* page;
    QVBoxLayout* body;
};

// A sub-screen as the popover shows it: the header, then a padded column.
FormPage formPage(const QString& title)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(screenHeader(title, [] {}));
    auto* body = new QVBoxLayout;
    body->setContentsMargins(18, 8, 18, 18);
    body->setSpacing(8);
    column->addLayout(body);
    column->addStretch(1);
    page->setFixedWidth(340);
    return {page, body};
}

void addCaption(QVBoxLayout* body, const QString& text)
{
    body->addSpacing(4);
    body->addWidget(galleryCaption(text));
}

QWidget* buildFields(Appearance)
{
    const FormPage form = formPage(QStringLiteral("Text fields"));
    addCaption(form.body, QStringLiteral("Empty, with its placeholder"));
    form.body->addWidget(glassField(QStringLiteral("Name"), QStringLiteral("Folder name")));
    addCaption(form.body, QStringLiteral("Filled, monospaced"));
    form.body->addWidget(glassField(QStringLiteral("Trigger"), QStringLiteral("/sig"), QStringLiteral("/addr"), true));
    addCaption(form.body, QStringLiteral("Focused: the panel brightens"));
    GlassTextInput* focused = glassField(QStringLiteral("Name"), QStringLiteral("Folder name"), QStringLiteral("Work"));
    galleryFocus(focused->lineEdit());
    form.body->addWidget(focused);
    addCaption(form.body, QStringLiteral("Without a label"));
    form.body->addWidget(glassField(QString(), QStringLiteral("New folder name")));
    addCaption(form.body, QStringLiteral("A pull-down at rest, and under the pointer"));
    for (const bool hovered : {false, true}) {
        auto* pullDown = new FolderMenuButton;
        pullDown->setFolderName(QStringLiteral("Clients"));
        if (hovered) {
            QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
            QApplication::sendEvent(pullDown, &enter);
        }
        form.body->addWidget(pullDown);
    }
    return form.page;
}

QWidget* buildTextAreas(Appearance)
{
    const FormPage form = formPage(QStringLiteral("Text areas"));
    addCaption(form.body, QStringLiteral("Empty, with its placeholder"));
    form.body->addWidget(glassTextArea(QStringLiteral("Expansion"), QStringLiteral("The text your trigger types")));
    addCaption(form.body, QStringLiteral("Longer text scrolls inside the 150 px"));
    form.body->addWidget(glassTextArea(QStringLiteral("Expansion"), QString(),
        QStringLiteral("Kind regards,\nAda Lovelace\nAnalytical Engines Ltd.\n12 St James's Square\nLondon SW1Y 4JH\n"
                       "+44 20 7946 0958\nada@example.com\nhttps://example.com")));
    addCaption(form.body, QStringLiteral("Without a label: the label row keeps its space"));
    form.body->addWidget(glassTextArea(QString(), QStringLiteral("Notes")));
    return form.page;
}

QWidget* pair(QWidget* left, QWidget* right)
{
    auto* holder = new QWidget;
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    row->addWidget(left);
    row->addWidget(right);
    return holder;
}

GlassButton* pressed(GlassButton* button)
{
    button->setDown(true);
    return button;
}

QWidget* buildButtons(Appearance)
{
    const auto nothing = [] {};
    const FormPage form = formPage(QStringLiteral("Buttons"));
    addCaption(form.body, QStringLiteral("Primary: enabled, pressed, disabled"));
    form.body->addWidget(glassButton(QStringLiteral("Save"), false, nothing));
    form.body->addWidget(pressed(glassButton(QStringLiteral("Save"), false, nothing)));
    form.body->addWidget(glassButton(QStringLiteral("Save"), true, nothing));
    addCaption(form.body, QStringLiteral("Secondary: enabled, pressed"));
    form.body->addWidget(glassSecondaryButton(QStringLiteral("Cancel"), nothing));
    form.body->addWidget(pressed(glassSecondaryButton(QStringLiteral("Cancel"), nothing)));
    addCaption(form.body, QStringLiteral("Danger: enabled, pressed"));
    form.body->addWidget(glassDangerButton(QStringLiteral("Delete folder"), nothing));
    form.body->addWidget(pressed(glassDangerButton(QStringLiteral("Delete folder"), nothing)));
    addCaption(form.body, QStringLiteral("Side by side, the second reached with Tab"));
    GlassButton* save = glassButton(QStringLiteral("Save"), false, nothing);
    galleryFocus(save, true);
    form.body->addWidget(pair(glassSecondaryButton(QStringLiteral("Cancel"), nothing), save));
    return form.page;
}

const GalleryPageRegistration fields(QStringLiteral("form-fields"), &buildFields);
const GalleryPageRegistration textAreas(QStringLiteral("form-text-areas"), &buildTextAreas);
const GalleryPageRegistration buttons(QStringLiteral("form-buttons"), &buildButtons);

} // namespace
