#include "foundation/cli/CLI.h"
#include "foundation/errors/GeneralError.h"
#include "foundation/testing/ReportedErrors.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrova;

namespace {

ParsedCommandLineArguments parse(std::initializer_list<const char *> arguments) {
    QStringList list;
    for (const char *argument : arguments)
        list << QString::fromUtf8(argument);
    return parseCommandLineArguments(list);
}

TEST(CommandLineTest, OptionsTakeTheNextPlainArgumentAndADoubleDashEndsTheList) {
    auto parsed = parse({"--verbose", "--name", "Box", "file.txt"});
    EXPECT_EQ(parsed.positionalArguments, QStringList{QStringLiteral("file.txt")});
    EXPECT_EQ(parsed.options,
              (std::map<QString, CommandLineOptionValue>{{QStringLiteral("verbose"), true},
                                                         {QStringLiteral("name"), QStringLiteral("Box")}}));

    parsed = parse({"a", "--flag", "--", "b"});
    EXPECT_EQ(parsed.positionalArguments, QStringList{QStringLiteral("a")});
    EXPECT_EQ(parsed.options, (std::map<QString, CommandLineOptionValue>{{QStringLiteral("flag"), true}}));

    parsed = parse({"--a", "x", "y", "--b"});
    EXPECT_EQ(parsed.options.at(QStringLiteral("a")), CommandLineOptionValue(QStringLiteral("x")));
    EXPECT_EQ(parsed.options.at(QStringLiteral("b")), CommandLineOptionValue(true));
    EXPECT_EQ(parsed.positionalArguments, QStringList{QStringLiteral("y")});

    EXPECT_EQ(parse({"--", "a"}), ParsedCommandLineArguments{});
    EXPECT_EQ(parse({}), ParsedCommandLineArguments{});
    EXPECT_EQ(parse({"--n", "1", "--n", "2"}).options.at(QStringLiteral("n")),
              CommandLineOptionValue(QStringLiteral("2")));
    // A single dash is a value or a positional argument; "--" alone is no option named "".
    parsed = parse({"--out", "-", "-v"});
    EXPECT_EQ(parsed.options.at(QStringLiteral("out")), CommandLineOptionValue(QStringLiteral("-")));
    EXPECT_EQ(parsed.positionalArguments, QStringList{QStringLiteral("-v")});

    // The process's own arguments are read from the process.
    EXPECT_EQ(CLI::executableName(),
              QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget().section(u'/', -1));
    EXPECT_TRUE(CLI::executableURL().isLocalFile());
    EXPECT_TRUE(CLI::workingDirectory().path().endsWith(QLatin1Char('/')));
}

class Pipe {
public:
    Pipe() { EXPECT_EQ(::pipe(m_ends), 0); }
    ~Pipe() {
        closeReading();
        closeWriting();
    }
    int reading() const { return m_ends[0]; }
    int writing() const { return m_ends[1]; }
    void closeReading() { closeEnd(0); }
    void closeWriting() { closeEnd(1); }
    QByteArray readAll() {
        closeWriting();
        QByteArray data;
        char buffer[256];
        ssize_t count;
        while ((count = ::read(reading(), buffer, sizeof buffer)) > 0)
            data.append(buffer, count);
        return data;
    }

private:
    void closeEnd(int end) {
        if (m_ends[end] >= 0)
            ::close(m_ends[end]);
        m_ends[end] = -1;
    }
    int m_ends[2] = {-1, -1};
};

TEST(CommandLineTest, StreamsWriteUtf8AndReportAReaderThatWentAway) {
    Pipe output;
    CLI::printTo(FileHandle(output.writing()), QStringLiteral(", "), QStringLiteral("!\n"), "Grüße", 2, 1.5,
                 true);
    EXPECT_EQ(output.readAll(), QByteArray("Grüße, 2, 1.5, true!\n"));

    // A closed pipe is reported and does not end the process.
    Pipe gone;
    gone.closeReading();
    kestrova::testing::ReportedErrors reported;
    FileHandle(gone.writing()).write(QStringLiteral("lost"));
    ASSERT_EQ(reported.errors().size(), 1);
    EXPECT_EQ(reported.errors().first().domain(), QStringLiteral("Kestrova.GeneralError"));
    EXPECT_FALSE(reported.errors().first().localizedDescription().isEmpty());
}

TEST(CommandLineTest, StandardInputGivesTextLinesAndRefusesBrokenUtf8) {
    const FileHandle previous = CLI::standardInput();
    const auto feed = [](Pipe &pipe, const QByteArray &bytes) {
        ASSERT_EQ(::write(pipe.writing(), bytes.constData(), size_t(bytes.size())), bytes.size());
        pipe.closeWriting();
        CLI::setStandardInput(FileHandle(pipe.reading()));
    };
    {
        Pipe input;
        feed(input, "two line feeds\n\n");
        EXPECT_EQ(CLI::standardInputText(), QStringLiteral("two line feeds\n"));
    }
    {
        Pipe input;
        feed(input, "caf\xC3");
        EXPECT_EQ(CLI::standardInputText(), std::nullopt);
    }
    {
        Pipe input;
        feed(input, "first\r\nsecond\nlast");
        EXPECT_EQ(CLI::readLine(), QStringLiteral("first"));
        EXPECT_EQ(CLI::readLine(false), QStringLiteral("second\n"));
        EXPECT_EQ(CLI::readLine(), QStringLiteral("last"));
        EXPECT_EQ(CLI::readLine(), std::nullopt);
    }
    CLI::setStandardInput(previous);
}

TEST(CommandLineTest, AFailureEndsTheToolWithItsMessage) {
    EXPECT_EQ(CLI::runOrExit([] { return 7; }), 7);
    EXPECT_EXIT(CLI::runOrExit([]() -> int { throw GeneralError(QStringLiteral("The disk is gone.")); }),
                ::testing::ExitedWithCode(1), "The disk is gone.\n");
}

// Runs `work` in a child process and gives its exit status.
int inChild(const std::function<int()> &work) {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST(CommandLineTest, RevertSudoDropsGroupsGroupAndUserOrFailsAloud) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "dropping root rights needs root";
    // Without a usable SUDO_UID nothing changes.
    for (const char *value : {"", "abc", "12x", "4294967296", "-5"}) {
        EXPECT_EQ(inChild([value] {
                      ::setenv("SUDO_UID", value, 1);
                      CLI::revertSudo();
                      return ::getuid() == 0 && ::getgid() == 0 ? 0 : 1;
                  }),
                  0)
            << value;
    }
    // With one, the user, the group and the supplementary groups are all dropped, for good.
    EXPECT_EQ(inChild([] {
                  ::setenv("SUDO_UID", "65534", 1);
                  ::setenv("SUDO_GID", "65534", 1);
                  try {
                      CLI::revertSudo();
                  } catch (const Error &) {
                      return 2;
                  }
                  gid_t groups[64];
                  const int count = ::getgroups(64, groups);
                  for (int index = 0; index < count; ++index) {
                      if (groups[index] == 0)
                          return 3;
                  }
                  if (::getuid() != 65534 || ::geteuid() != 65534 || ::getgid() != 65534 ||
                      ::getegid() != 65534)
                      return 4;
                  return ::setuid(0) == 0 ? 5 : 0;
              }),
              0);
}

} // namespace
