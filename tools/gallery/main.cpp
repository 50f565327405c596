// velmora-gallery: renders every registered interface page offscreen, in the light and the
// dark appearance, to PNG files for checking the interface by eye.
//
//   velmora-gallery [output folder (default ./gallery)] [--page text] [--scale factor] [--list]

#include "Gallery.h"

#include "Utilities/Theme.h"
#include "Views/Components/ViewStyle.h"
#include "platform/MotionSettings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cstdio>

namespace {

// Pages are rendered in their final state: nothing blends in.
class StillMotion final : public MotionSettings {
public:
    bool reduceMotion() const override { return true; }
};

// Stands in for the blurred desktop behind the popover, with the popover's tint over it,
// so that glass surfaces show how they read in place.
class Backdrop : public QWidget {
public:
    explicit Backdrop(QWidget* page)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QLinearGradient desktop(0, 0, width() * 0.3, height());
        if (Theme::appearance() == Appearance::dark) {
            desktop.setColorAt(0, QColor(0x2c, 0x2c, 0x31));
            desktop.setColorAt(1, QColor(0x22, 0x23, 0x28));
        } else {
            desktop.setColorAt(0, QColor(0xe6, 0xe6, 0xeb));
            desktop.setColorAt(1, QColor(0xd9, 0xda, 0xe1));
        }
        painter.fillRect(rect(), desktop);
        painter.fillRect(rect(), Theme::windowTint());
    }
};

// Focus reaches a widget only once its window shows; focus "by Tab" is given with real
// Tab presses, because only those make the window show keyboard focus rings.
void focusAsAsked(QWidget* window)
{
    for (QWidget* child : window->findChildren<QWidget*>()) {
        const QVariant byTab = child->property(galleryFocusProperty);
        if (!byTab.isValid())
            continue;
        if (!byTab.toBool()) {
            child->setFocus();
            continue;
        }
        for (int presses = 0; presses < 100 && QApplication::focusWidget() != child; ++presses) {
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(QApplication::focusWidget() ? QApplication::focusWidget() : window, &tab);
        }
    }
    QApplication::processEvents();
}

QSize pageSize(QWidget* backdrop, QWidget* page)
{
    const int width = page->minimumWidth() == page->maximumWidth() ? page->minimumWidth() : 340;
    const int height = backdrop->hasHeightForWidth() ? backdrop->heightForWidth(width) : backdrop->sizeHint().height();
    return {width, qMax(height, page->minimumHeight())};
}

bool render(const GalleryPage& page, Appearance appearance, const QDir& folder)
{
    Theme::setAppearance(appearance);
    auto* backdrop = new Backdrop(page.build(appearance));
    QWidget* content = backdrop->layout()->itemAt(0)->widget();
    backdrop->resize(pageSize(backdrop, content));
    backdrop->show();
    QApplication::setActiveWindow(backdrop);
    QApplication::processEvents();
    focusAsAsked(backdrop);
    const QString file = folder.filePath(
        page.name + (appearance == Appearance::dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png")));
    const bool saved = backdrop->grab().save(file);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(file));
    delete backdrop;
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    // A screen large enough for pop-up menus next to a page even at twice the scale: on the
    // default small offscreen screen they would be pushed back over the page.
    const QTemporaryDir screenFolder;
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == QLatin1String("offscreen")) {
        const QString screens = screenFolder.filePath(QStringLiteral("screens.json"));
        QFile file(screens);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({"screens": [{"name": "gallery", "x": 0, "y": 0, "width": 3200, "height": 2400,
                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            file.close();
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.toLocal8Bit());
        } else {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
    }
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "--scale") == 0)
            qputenv("QT_SCALE_FACTOR", argv[i + 1]);
    }
    QApplication app(argc, argv);
    useInterfaceFont();
    // Pages may store preferences (recent emoji, say); they go to a folder of the run's own,
    // never to the user's.
    const QTemporaryDir preferences;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, preferences.path());
    StillMotion stillMotion;
    MotionSettings::setCurrent(&stillMotion);

    QString output = QStringLiteral("gallery");
    QString filter;
    bool listOnly = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--page") && i + 1 < args.size())
            filter = args[++i];
        else if (args[i] == QLatin1String("--scale") && i + 1 < args.size())
            ++i;
        else if (args[i] == QLatin1String("--list"))
            listOnly = true;
        else
            output = args[i];
    }

    int failures = 0;
    const QDir folder(output);
    if (!listOnly && !QDir().mkpath(folder.absolutePath())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder.absolutePath()));
        return 1;
    }
    QList<GalleryPage> pages = Gallery::pages();
    std::sort(pages.begin(), pages.end(), [](const GalleryPage& a, const GalleryPage& b) { return a.name < b.name; });
    for (const GalleryPage& page : pages) {
        if (!filter.isEmpty() && !page.name.contains(filter))
            continue;
        if (listOnly) {
            std::printf("%s\n", qPrintable(page.name));
            continue;
        }
        for (const Appearance appearance : {Appearance::light, Appearance::dark})
            failures += render(page, appearance, folder) ? 0 : 1;
    }
    MotionSettings::setCurrent(nullptr);
    return failures == 0 ? 0 : 1;
}
