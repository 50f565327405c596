// Gallery pages of the shortcut form: a new shortcut before anything is typed, an edited
// shortcut in a folder, and a refused save with the new-folder row open.

#include "Gallery.h"
#include "MenuShot.h"

#include "App/State/AppState.h"
#include "Persistence/LocalStore.h"
#include "Views/Components/GlassTextArea.h"
#include "Views/Components/GlassTextInput.h"
#include "Views/MenuBar/forms/FolderMenuButton.h"
#include "Views/MenuBar/forms/NewFolderRow.h"
#include "Views/MenuBar/forms/ShortcutFormView.h"

#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>

namespace {

// A library of its own in a temporary folder, alive as long as the page that shows it.
class SampleLibrary : public QObject {
public:
    SampleLibrary()
        : store(dir.path())
        , state(store)
    {
        UserData data = UserData::empty();
        data.groups = {sampleFolder(QStringLiteral("F1"), QStringLiteral("Clients")),
            sampleFolder(QStringLiteral("F2"), QStringLiteral("Support replies"))};
        data.shortcuts
            = {sampleShortcut(QStringLiteral("S1"), QStringLiteral("/sig"),
                   QStringLiteral("Kind regards,\nAda Lovelace\nAnalytical Engines Ltd."), QStringLiteral("F1")),
                sampleShortcut(QStringLiteral("S2"), QStringLiteral("/thanks"),
                    QStringLiteral("Thanks for reaching out. Happy to help!"), std::nullopt)};
        state.replaceLibrary(data);
    }

    QTemporaryDir dir;
    LocalStore store;
    AppState state;

private:
    static Group sampleFolder(const QString& id, const QString& name)
    {
        Group folder;
        folder.id = id;
        folder.name = name;
        return folder;
    }

    static Shortcut sampleShortcut(
        const QString& id, const QString& trigger, const QString& expansion, std::optional<QString> groupId)
    {
        return Shortcut{id, trigger, expansion, std::move(groupId), 0, std::nullopt};
    }
};

ShortcutFormView* formPage(SampleLibrary* library, std::optional<Shortcut> editing)
{
    auto* form = new ShortcutFormView(library->state, std::move(editing));
    library->setParent(form);
    form->setFixedSize(340, 560);
    return form;
}

QWidget* buildNew(Appearance)
{
    return formPage(new SampleLibrary, std::nullopt);
}

QWidget* buildEdit(Appearance)
{
    auto* library = new SampleLibrary;
    return formPage(library, library->state.userData().shortcuts.first());
}

QWidget* buildRefused(Appearance)
{
    ShortcutFormView* form = formPage(new SampleLibrary, std::nullopt);
    form->triggerField()->setText(QStringLiteral("/thanks"));
    form->expansionArea()->setText(QStringLiteral("Thank you! I'll get back to you today."));
    form->save();
    form->newFolderRow()->open();
    form->newFolderRow()->nameInput()->setText(QStringLiteral("Follow-ups"));
    return form;
}

QWidget* buildFolderPullDown(Appearance)
{
    auto* library = new SampleLibrary;
    ShortcutFormView* form = formPage(library, library->state.userData().shortcuts.first());
    return new MenuShot(form, QSize(0, 0), [form](MenuShot& shot) {
        const MenuShot::Translucency translucency;
        form->folderMenu()->click();
        QMenu* menu = form->folderMenu()->menu();
        shot.layOver(menu, menu->actions().at(1));
    });
}

const GalleryPageRegistration newShortcut(QStringLiteral("shortcut-form-new"), &buildNew);
const GalleryPageRegistration editShortcut(QStringLiteral("shortcut-form-edit"), &buildEdit);
const GalleryPageRegistration refusedShortcut(QStringLiteral("shortcut-form-refused"), &buildRefused);
const GalleryPageRegistration folderPullDown(QStringLiteral("menu-folder-pull-down"), &buildFolderPullDown);

} // namespace
