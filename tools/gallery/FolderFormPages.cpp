// Gallery pages of the folder editor: the new-folder and edit-folder screens at the popover's
// size, the parent list open over the form, and the colour swatches in their states.

#include "Gallery.h"

#include "App/State/AppState.h"
#include "Persistence/LocalStore.h"
#include "Views/Components/GlassRowButton.h"
#include "Views/MenuBar/forms/FlowingSwatches.h"
#include "Views/MenuBar/forms/FolderFormView.h"
#include "Views/MenuBar/forms/ParentFolderMenu.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {

constexpr QSize popoverSize(340, 560);

// A small library in a throw-away data folder, kept for the life of the page.
class SampleLibrary : public QObject {
public:
    explicit SampleLibrary(QObject* parent)
        : QObject(parent)
        , m_store(m_dir.path())
        , m_state(m_store)
    {
        m_state.updateSettings([](AppSettings& s) { s.confirmDelete = false; });
        work = *m_state.addGroup(QStringLiteral("Work"), std::nullopt, QStringLiteral("briefcase"),
            QStringLiteral("#3B82F6"), QStringLiteral("private"));
        clients = *m_state.addGroup(QStringLiteral("Clients"), work, QStringLiteral("users"), QStringLiteral("#14B8A6"),
            QStringLiteral("unlisted"));
        m_state.addGroup(QStringLiteral("Invoices"), clients, std::nullopt, std::nullopt, QStringLiteral("private"));
        newsletters = *m_state.addGroup(QStringLiteral("Newsletters, announcements and press releases"), std::nullopt,
            QStringLiteral("mail"), std::nullopt, QStringLiteral("private"));
        m_state.addGroup(QStringLiteral("Writing"), std::nullopt, QStringLiteral("\u270D\uFE0F"), std::nullopt,
            QStringLiteral("public"));
        m_state.addGroup(QStringLiteral("Personal"), std::nullopt, QStringLiteral("home"), QStringLiteral("#EC4899"),
            QStringLiteral("private"));
        m_state.addGroup(
            QStringLiteral("Snippets"), std::nullopt, QStringLiteral("code"), std::nullopt, QStringLiteral("private"));
    }

    AppState& state() { return m_state; }
    Group group(const QString& id) const
    {
        for (const Group& g : m_state.userData().groups) {
            if (g.id == id)
                return g;
        }
        return {};
    }

    QString work;
    QString clients;
    QString newsletters;

private:
    QTemporaryDir m_dir;
    LocalStore m_store;
    AppState m_state;
};

FolderFormView* form(SampleLibrary* library, std::optional<Group> editing, QWidget* page)
{
    auto* view = new FolderFormView(library->state(), std::move(editing), page);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    page->setFixedSize(popoverSize);
    return view;
}

QWidget* buildNewFolder(Appearance)
{
    auto* page = new QWidget;
    auto* library = new SampleLibrary(page);
    library->state().setCurrentGroupId(library->newsletters);
    form(library, std::nullopt, page);
    return page;
}

QWidget* buildEditFolder(Appearance)
{
    auto* page = new QWidget;
    auto* library = new SampleLibrary(page);
    form(library, library->group(library->clients), page);
    return page;
}

// The form with its parent list open where the popup would show it, under the field.
class ParentListShowcase : public QWidget {
public:
    ParentListShowcase()
    {
        auto* library = new SampleLibrary(this);
        m_form = form(library, library->group(library->clients), this);
        QList<ParentFolderMenu::Entry> entries = {{QStringLiteral("None"), std::nullopt}};
        for (const Group& g : m_form->availableParents())
            entries.append({g.name, g.id});
        m_menu = new ParentFolderMenu(entries, library->work, this);
    }

protected:
    // Once the form is laid out, which happens after the page is shown.
    void showEvent(QShowEvent* event) override
    {
        QWidget::showEvent(event);
        QMetaObject::invokeMethod(
            this, [this] { placeMenu(); }, Qt::QueuedConnection);
    }

private:
    void placeMenu()
    {
        const GlassRowButton* field = nullptr;
        for (const GlassRowButton* row : m_form->findChildren<GlassRowButton*>()) {
            if (row->accessibleName() == QLatin1String("Parent folder"))
                field = row;
        }
        const QRect at(field->mapTo(this, QPoint(0, 0)), field->size());
        m_menu->move(at.center().x() - m_menu->width() / 2, at.bottom() + 5 - ParentFolderMenu::shadowMargin);
        m_menu->raise();
    }

    FolderFormView* m_form;
    ParentFolderMenu* m_menu;
};

QWidget* buildParentList(Appearance)
{
    auto* page = new ParentListShowcase;
    page->setFixedSize(popoverSize);
    return page;
}

FlowingSwatches* swatches(const std::optional<QString>& selected, const QString& hex)
{
    auto* picker = new FlowingSwatches(FolderFormView::presetColors());
    picker->setSelectedColor(selected);
    picker->setHexInput(hex);
    return picker;
}

QWidget* buildSwatches(Appearance)
{
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(8);
    column->addWidget(galleryTitle(QStringLiteral("Folder colour swatches")));
    column->addWidget(galleryCaption(QStringLiteral("No colour: the none swatch is outlined")));
    column->addWidget(swatches(std::nullopt, QString()));
    column->addSpacing(6);
    column->addWidget(galleryCaption(QStringLiteral("A preset: Teal carries the white ring")));
    column->addWidget(swatches(QStringLiteral("#14B8A6"), QStringLiteral("#14B8A6")));
    column->addSpacing(6);
    column->addWidget(galleryCaption(QStringLiteral("A colour of one's own: no swatch is marked")));
    column->addWidget(swatches(QStringLiteral("#ABC"), QStringLiteral("#ABC")));
    column->addSpacing(6);
    column->addWidget(galleryCaption(QStringLiteral("Typing in the field: it brightens while it has the focus")));
    FlowingSwatches* typing = swatches(QStringLiteral("#EF4444"), QStringLiteral("#0ea5e9"));
    galleryFocus(typing->hexField());
    column->addWidget(typing);
    column->addStretch(1);
    page->setFixedWidth(340);
    return page;
}

const GalleryPageRegistration newFolder(QStringLiteral("folder-form-new"), &buildNewFolder);
const GalleryPageRegistration editFolder(QStringLiteral("folder-form-edit"), &buildEditFolder);
const GalleryPageRegistration parentList(QStringLiteral("folder-form-parent-list"), &buildParentList);
const GalleryPageRegistration colorSwatches(QStringLiteral("folder-color-swatches"), &buildSwatches);

} // namespace
