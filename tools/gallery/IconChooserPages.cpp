// Gallery pages of the icon chooser over a folder editor: each tab, the emoji search, the
// recent emoji and the uploads with an error line.

#include "Gallery.h"

#include "App/State/AppState.h"
#include "Persistence/LocalStore.h"
#include "Utilities/EmojiRecents.h"
#include "Views/MenuBar/chooser/EmojiTabContent.h"
#include "Views/MenuBar/chooser/IconChooserSheet.h"
#include "Views/MenuBar/chooser/IconTileGrid.h"
#include "Views/MenuBar/chooser/IconUploadContent.h"
#include "Views/MenuBar/forms/FolderFormView.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>

namespace {

// A library of its own in a temporary folder, alive as long as the page that shows it.
class GalleryLibrary {
public:
    GalleryLibrary()
        : store(folder.path())
        , state(store)
    {
    }

    QTemporaryDir folder;
    LocalStore store;
    AppState state;
};

struct Upload {
    const char* name;
    const char* svg;
};

// Icons a user might bring: in their own colours, drawn as silhouettes like the built-ins.
constexpr Upload sampleUploads[] = {
    {"Rocket",
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 32 32"><path fill="#d33" d="M16 2c5 4 7 10 6 17H10)"
        R"(C9 12 11 6 16 2z"/><circle cx="16" cy="12" r="3" fill="#fff"/><path fill="#f90" d="M10 19l-4 7 6-3z)"
        R"(M22 19l4 7-6-3zM13 21h6l-3 9z"/></svg>)"},
    {"Leaf",
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path fill="#2a7" d="M20 3C9 3 4 8 4 15)"
        R"(c0 2 .5 3.5 1.3 4.7L3 22l1.4 1.4 2.4-2.4C8 21.6 9.5 22 11 22c7 0 10-6 9-19zM8 18c2-5 5-8 9-10)"
        R"(-3 3-6 6-7.6 10.4z"/></svg>)"},
    {"Anchor",
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M12 2a3 3 0 0 1 1 5.83V10h3v2h-3)"
        R"(v7.9c2.8-.4 5-2.5 5.8-5.2L16 15l2-5 3 4.6-1.6-.7C18.5 18.9 15.5 22 12 22s-6.5-3.1-7.4-8.1L3 14.6 6 10)"
        R"(l2 5-2.8-.3c.8 2.7 3 4.8 5.8 5.2V12H8v-2h3V7.83A3 3 0 0 1 12 2zm0 2a1 1 0 1 0 0 2 1 1 0 0 0 0-2z"/></svg>)"},
    {"Team logo",
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path fill-rule="evenodd" d="M12 2)"
        R"(a10 10 0 1 1 0 20 10 10 0 0 1 0-20zm0 4a6 6 0 1 0 0 12 6 6 0 0 0 0-12zm0 3a3 3 0 1 1 0 6 3 3 0 0 1)"
        R"( 0-6z"/></svg>)"},
    {"Cloud sync",
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M6.5 19a4.5 4.5 0 0 1-.6-9)"
        R"(A6.5 6.5 0 0 1 18.5 9a5 5 0 0 1 0 10zm5.5-9l-4 4h3v3h2v-3h3z"/></svg>)"},
    {"Diamond mark",
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 24 24"><path d="M12 2l10 10-10 10L2 12z)"
        R"(m0 5l-5 5 5 5 5-5z"/></svg>)"},
};

void setRecentEmoji(const QStringList& emoji)
{
    QSettings().remove(EmojiRecents::settingsKey());
    for (auto it = emoji.crbegin(); it != emoji.crend(); ++it)
        EmojiRecents::remember(*it);
}

struct ChooserPage {
    QWidget* page;
    IconChooserSheet* chooser;
    GalleryLibrary* library;
};

// `initial` is the folder's icon; with uploads, `markedUpload` names the upload that is.
ChooserPage chooserPage(std::optional<QString> initial, bool withUploads, int markedUpload = -1)
{
    auto* library = new GalleryLibrary;
    if (withUploads) {
        for (const Upload& upload : sampleUploads)
            library->state.addCustomIcon(QString::fromUtf8(upload.name), QString::fromUtf8(upload.svg));
    }
    if (markedUpload >= 0)
        initial = library->state.userData().customIcons.at(markedUpload).iconKey();
    // The folder being edited, under the chooser.
    library->state.addGroup(
        QStringLiteral("Projects"), std::nullopt, initial, QStringLiteral("#5E5CE6"), QStringLiteral("private"));
    auto* editor = new FolderFormView(library->state, library->state.userData().groups.first());
    editor->setFixedSize(340, 560);
    QObject::connect(editor, &QObject::destroyed, [library] { delete library; });
    auto* chooser = new IconChooserSheet(library->state, initial, editor);
    editor->presentIconChooser(chooser);
    chooser->present();
    return {editor, chooser, library};
}

QWidget* buildIconsTab(Appearance)
{
    // Reached with the keyboard: the cursor's ring stands on the folder's icon.
    const ChooserPage chooser = chooserPage(QStringLiteral("star"), false);
    galleryFocus(chooser.chooser->iconGrid(), true);
    return chooser.page;
}

QWidget* buildEmojiTab(Appearance)
{
    setRecentEmoji({QStringLiteral("\U0001F680"), QStringLiteral("\u2764\uFE0F"), QStringLiteral("\U0001F389"),
        QStringLiteral("\u2615"), QStringLiteral("\U0001F4DA"), QStringLiteral("\U0001F3B5"),
        QStringLiteral("\U0001F331")});
    const ChooserPage chooser = chooserPage(QStringLiteral("\U0001F680"), false);
    chooser.chooser->setTab(IconChooserSheet::Tab::emoji);
    return chooser.page;
}

QWidget* buildEmojiSearch(Appearance)
{
    const ChooserPage chooser = chooserPage(QStringLiteral("\u2764\uFE0F"), false);
    chooser.chooser->setTab(IconChooserSheet::Tab::emoji);
    chooser.chooser->emojiContent()->setQuery(QStringLiteral("heart"));
    galleryFocus(chooser.chooser->emojiContent()->searchField());
    return chooser.page;
}

QWidget* buildEmojiCategory(Appearance)
{
    const ChooserPage chooser = chooserPage(std::nullopt, false);
    chooser.chooser->setTab(IconChooserSheet::Tab::emoji);
    chooser.chooser->emojiContent()->setActiveCategory(EmojiCategoryFilter::category(QStringLiteral("food")));
    return chooser.page;
}

QWidget* buildNoRecentEmoji(Appearance)
{
    setRecentEmoji({});
    const ChooserPage chooser = chooserPage(std::nullopt, false);
    chooser.chooser->setTab(IconChooserSheet::Tab::emoji);
    chooser.chooser->emojiContent()->setActiveCategory(EmojiCategoryFilter::recent());
    return chooser.page;
}

QWidget* buildUploadTab(Appearance)
{
    const ChooserPage chooser = chooserPage(std::nullopt, true, 1);
    chooser.chooser->setTab(IconChooserSheet::Tab::upload);
    // A refused paste, to show the error line.
    QGuiApplication::clipboard()->setText(QStringLiteral("<svg viewBox=\"0 0 24 24\"><path d=\"M2 2h20v20H2z\">"));
    IconUploadContent* upload = chooser.chooser->uploadContent();
    QEventLoop wait;
    QObject::connect(upload, &IconUploadContent::uploadsFinished, &wait, &QEventLoop::quit);
    upload->pasteFromClipboard();
    wait.exec();
    return chooser.page;
}

QWidget* buildEmptyUploadTab(Appearance)
{
    const ChooserPage chooser = chooserPage(std::nullopt, false);
    chooser.chooser->setTab(IconChooserSheet::Tab::upload);
    return chooser.page;
}

const GalleryPageRegistration iconsTab(QStringLiteral("icon-chooser-1-icons"), &buildIconsTab);
const GalleryPageRegistration emojiTab(QStringLiteral("icon-chooser-2-emoji"), &buildEmojiTab);
const GalleryPageRegistration emojiSearch(QStringLiteral("icon-chooser-3-emoji-search"), &buildEmojiSearch);
const GalleryPageRegistration emojiCategory(QStringLiteral("icon-chooser-4-emoji-category"), &buildEmojiCategory);
const GalleryPageRegistration noRecentEmoji(QStringLiteral("icon-chooser-5-no-recent-emoji"), &buildNoRecentEmoji);
const GalleryPageRegistration uploadTab(QStringLiteral("icon-chooser-6-upload"), &buildUploadTab);
const GalleryPageRegistration emptyUploadTab(QStringLiteral("icon-chooser-7-upload-empty"), &buildEmptyUploadTab);

} // namespace
