// Desktop entry text as the launcher and the autostart entry need it: values escaped and unescaped, Exec
// quoted so that the desktop runs the very program named, whatever its path holds.
#include "integration/DesktopEntry.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrova {
namespace {

TEST(DesktopEntryTest, ExecOfAnyPathReadsBackAsThatPathAndPassesTheValidator) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString plain = QStringLiteral("/opt/kestrova/bin/kestrova");
    const std::vector<QString> programs{
        plain,
        QStringLiteral("/home/bob/My Builds/kestrova"),
        QStringLiteral("/home/bob/a\"quote`tick$dollar\\slash/kestrova"),
        QStringLiteral("/home/bob/100% done/it's (new)/kestrova"),
        QStringLiteral("/home/bob/Ünïcode ~ #;&|<>*?/kestrova"),
    };
    EXPECT_EQ(DesktopEntry::execFor(plain), plain) << "a plain path needs no quotes";
    for (const QString &program : programs) {
        DesktopEntry entry;
        entry.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
        entry.setValue(QStringLiteral("Name"), QStringLiteral("Kestrova"));
        entry.setValue(QStringLiteral("Exec"), DesktopEntry::execFor(program));
        const QString path = folder.filePath(QStringLiteral("entry.desktop"));
        ASSERT_TRUE(entry.write(path));

        const auto reread = DesktopEntry::read(path);
        ASSERT_TRUE(reread);
        const auto arguments =
            DesktopEntry::splitExec(reread->value(QStringLiteral("Exec")).value_or(QString()));
        ASSERT_TRUE(arguments);
        EXPECT_EQ(*arguments, std::vector<QString>{program});

        QProcess validator;
        validator.start(QStringLiteral("desktop-file-validate"), {path});
        ASSERT_TRUE(validator.waitForFinished(30000));
        EXPECT_EQ(validator.exitCode(), 0)
            << program.toStdString() << ": " << validator.readAllStandardOutput().toStdString();
    }
}

TEST(DesktopEntryTest, ReadsOnlyTheMainGroupAndRejectsWhatIsNoEntry) {
    const auto entry = DesktopEntry::parse("# comment\n[Desktop Entry]\nName = Tool\nName[de]=Werkzeug\n"
                                           "Comment=two\\nlines\\\\ \\s\nHidden=true\n[Desktop Action new]\n"
                                           "Exec=/bin/other\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->value(QStringLiteral("Name")), QStringLiteral("Tool"));
    EXPECT_EQ(entry->value(QStringLiteral("Comment")), QStringLiteral("two\nlines\\  "));
    EXPECT_EQ(entry->value(QStringLiteral("Exec")), std::nullopt) << "another group's key";
    EXPECT_EQ(entry->booleanValue(QStringLiteral("Hidden")), true);
    EXPECT_EQ(entry->booleanValue(QStringLiteral("Name")), std::nullopt);

    EXPECT_FALSE(DesktopEntry::parse("Name=Tool\n"));
    EXPECT_FALSE(DesktopEntry::parse("[Desktop Entry]\nName=\xff\xfe\n"));
    EXPECT_FALSE(DesktopEntry::splitExec(QStringLiteral("\"/bin/unclosed")));
    EXPECT_EQ(DesktopEntry::splitExec(QStringLiteral("  /bin/tool  --flag \"two words\" 100%%")),
              (std::vector<QString>{QStringLiteral("/bin/tool"), QStringLiteral("--flag"),
                                    QStringLiteral("two words"), QStringLiteral("100%")}));
}

} // namespace
} // namespace kestrova
