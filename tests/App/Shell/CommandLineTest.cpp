#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The velmora program started as a user starts it from a terminal, without any display.
class CommandLine : public ::testing::Test {
protected:
    struct Answer {
        int status = -1;
        QString out;
        QString err;
    };

    Answer run(const QStringList& arguments)
    {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(VELMORA_PROGRAM), arguments);
        if (!program.waitForStarted() || !program.waitForFinished(60000)) {
            program.kill();
            program.waitForFinished();
            return {};
        }
        if (program.exitStatus() != QProcess::NormalExit)
            return {};
        return {program.exitCode(), QString::fromLocal8Bit(program.readAllStandardOutput()),
            QString::fromLocal8Bit(program.readAllStandardError())};
    }

    QTemporaryDir home;
};

} // namespace

TEST_F(CommandLine, EveryHelpItOffersIsPrintedWithoutADisplay)
{
    const Answer help = run({QStringLiteral("--help")});
    ASSERT_EQ(help.status, 0) << help.err.toStdString();
    ASSERT_TRUE(help.out.contains(QStringLiteral("--help-all")));

    const Answer all = run({QStringLiteral("--help-all")});
    EXPECT_EQ(all.status, 0) << all.err.toStdString();
    EXPECT_TRUE(all.out.contains(QStringLiteral("velmora-url"))) << all.out.toStdString();
    EXPECT_TRUE(all.out.contains(QStringLiteral("--platform"))) << "with Qt's own options: " << all.out.toStdString();
}

TEST_F(CommandLine, AnUnknownOptionIsAnErrorButQtsOwnAreLeftToQt)
{
    for (const QString& option : {QStringLiteral("--bogus"), QStringLiteral("-x")}) {
        const Answer refused = run({option});
        EXPECT_EQ(refused.status, 2) << option.toStdString();
        EXPECT_TRUE(refused.out.isEmpty());
        EXPECT_TRUE(refused.err.contains(option.mid(option.lastIndexOf(u'-') + 1))) << refused.err.toStdString();
    }
    // Qt's options pass, in both forms, a value after one however it reads; without a display
    // the program then says what is missing.
    const QList<QStringList> qtOptions = {{QStringLiteral("-reverse")},
        {QStringLiteral("-geometry"), QStringLiteral("10x10")}, {QStringLiteral("-fontengine=freetype")},
        {QStringLiteral("-title"), QStringLiteral("-x")}, {QStringLiteral("--style=fusion"), QStringLiteral("-sync")}};
    for (const QStringList& arguments : qtOptions) {
        const Answer qtOption = run(arguments);
        EXPECT_EQ(qtOption.status, 1) << arguments.join(u' ').toStdString() << ": " << qtOption.err.toStdString();
        EXPECT_TRUE(qtOption.err.contains(QStringLiteral("display"), Qt::CaseInsensitive));
    }
    const Answer mixed = run({QStringLiteral("-title"), QStringLiteral("X"), QStringLiteral("--bogus")});
    EXPECT_EQ(mixed.status, 2) << "an unknown option among Qt's is still refused";
    EXPECT_TRUE(mixed.err.contains(QStringLiteral("bogus"))) << mixed.err.toStdString();
}
