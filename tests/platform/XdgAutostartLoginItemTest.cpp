#include "platform/linux/XdgAutostartLoginItem.h"

#include "TempDir.h"
#include "Utilities/VelmoraError.h"

#include <QFile>
#include <QSettings>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QString execLine(const QByteArray& entry)
{
    for (const QByteArray& line : entry.split('\n')) {
        if (line.startsWith("Exec="))
            return QString::fromUtf8(line.mid(5));
    }
    return {};
}

TEST(XdgAutostart, RegisteringWritesADesktopEntryThatStartsTheProgram)
{
    TempDir dir;
    XdgAutostartLoginItem item(dir.file(QStringLiteral("autostart")), QStringLiteral("/opt/velmora/bin/velmora"));
    item.registerApplication();

    EXPECT_EQ(item.entryPath(), dir.file(QStringLiteral("autostart/velmora.desktop")));
    EXPECT_EQ(dir.read(QStringLiteral("autostart/velmora.desktop")),
        QByteArray("[Desktop Entry]\n"
                   "Type=Application\n"
                   "Name=Velmora\n"
                   "Comment=Text expander\n"
                   "Icon=com.velmora.Velmora\n"
                   "Exec=/opt/velmora/bin/velmora\n"
                   "Terminal=false\n"
                   "X-GNOME-Autostart-enabled=true\n"));
}

TEST(XdgAutostart, RegisteringTwiceKeepsOneEntryAndUnregisteringRemovesIt)
{
    TempDir dir;
    XdgAutostartLoginItem item(dir.file(QStringLiteral("autostart")), QStringLiteral("/usr/bin/velmora"));
    item.registerApplication();
    item.registerApplication();
    EXPECT_TRUE(dir.exists(QStringLiteral("autostart/velmora.desktop")));

    item.unregisterApplication();
    EXPECT_FALSE(dir.exists(QStringLiteral("autostart/velmora.desktop")));
    item.unregisterApplication();
}

TEST(XdgAutostart, UnregisteringWithoutAnEntryOrFolderSucceeds)
{
    TempDir dir;
    XdgAutostartLoginItem item(dir.file(QStringLiteral("missing/autostart")), QStringLiteral("/usr/bin/velmora"));
    EXPECT_NO_THROW(item.unregisterApplication());
    EXPECT_FALSE(dir.exists(QStringLiteral("missing")));
}

TEST(XdgAutostart, AProgramPathWithReservedCharactersIsQuotedAndEscaped)
{
    EXPECT_EQ(execLine(XdgAutostartLoginItem::entry(QStringLiteral("/home/ann/My Apps/velmora"))),
        QStringLiteral("\"/home/ann/My Apps/velmora\""));
    EXPECT_EQ(execLine(XdgAutostartLoginItem::entry(QStringLiteral("/home/ann/100%/velmora"))),
        QStringLiteral("/home/ann/100%%/velmora"));
    // A quoted backslash or dollar is escaped for the command line, and every backslash once
    // more for the string value.
    EXPECT_EQ(execLine(XdgAutostartLoginItem::entry(QStringLiteral("/tmp/a$b\\c/velmora"))),
        QStringLiteral("\"/tmp/a\\\\$b\\\\\\\\c/velmora\""));
}

TEST(XdgAutostart, TheDefaultFolderIsTheUsersAutostartFolder)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    TempDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    EXPECT_EQ(XdgAutostartLoginItem::defaultFolder(), dir.file(QStringLiteral("autostart")));
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(XdgAutostart, AFolderThatCannotBeWrittenIsReportedWithItsReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser may write into any folder";
    TempDir dir;
    ASSERT_EQ(::mkdir(QFile::encodeName(dir.file(QStringLiteral("autostart"))).constData(), 0500), 0);
    XdgAutostartLoginItem item(dir.file(QStringLiteral("autostart")), QStringLiteral("/usr/bin/velmora"));
    try {
        item.registerApplication();
        FAIL() << "no error";
    } catch (const VelmoraError& error) {
        EXPECT_TRUE(error.errorDescription().contains(QStringLiteral("velmora.desktop")))
            << error.errorDescription().toStdString();
    }
}

TEST(XdgAutostart, AFileWhereTheFolderShouldBeIsReported)
{
    TempDir dir;
    dir.write(QStringLiteral("autostart"), "not a folder");
    XdgAutostartLoginItem item(dir.file(QStringLiteral("autostart")), QStringLiteral("/usr/bin/velmora"));
    EXPECT_THROW(item.registerApplication(), VelmoraError);
}

} // namespace
