#include "foundation/media/DesktopThumbnailer.h"
#include "foundation/media/Thumbnail.h"
#include "platform/testing/TemporaryHome.h"
#include "platform/testing/TestMedia.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <sys/stat.h>
#include <utime.h>

using namespace kestrova;

namespace {

class DesktopThumbnailerTest : public ::testing::Test {
protected:
    // Installs a thumbnailer entry in the user's data folder, where it comes before the system's.
    void install(const QString &name, const QByteArray &entry) {
        const QString folder = home.dataHome() + QStringLiteral("/thumbnailers");
        ASSERT_TRUE(QDir().mkpath(folder));
        QFile file(folder + QLatin1Char('/') + name + QStringLiteral(".thumbnailer"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(entry);
    }
    // An executable script in the scratch folder.
    QString script(const QString &name, const QByteArray &body) {
        const QString path = scratch.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }
    QString write(const QString &name, const QByteArray &bytes) {
        QFile file(scratch.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    static QString cached(const QString &folder, const QString &path) {
        const QUrl url = QUrl::fromLocalFile(path);
        return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
               QStringLiteral("/thumbnails/") + folder + QLatin1Char('/') +
               QString::fromLatin1(
                   QCryptographicHash::hash(url.toEncoded(), QCryptographicHash::Md5).toHex()) +
               QStringLiteral(".png");
    }

    kestrova::testing::TemporaryHome home;
    QTemporaryDir scratch;
};

bool isGone(pid_t process) {
    QFile status(QStringLiteral("/proc/%1/stat").arg(process));
    if (!status.open(QIODevice::ReadOnly))
        return true;
    // A zombie waits only for its parent to collect it.
    const QByteArray fields = status.readAll();
    return fields.mid(fields.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

TEST_F(DesktopThumbnailerTest, EntriesAreReadLikeTheDesktopReadsThem) {
    const auto entry = DesktopThumbnailer::fromEntry(
        QStringLiteral("viewer"),
        "# comment\n[Other Group]\nExec=false\n[Thumbnailer Entry]\nTryExec=cp\n"
        "Exec=cp \"--a b\" %i\\s%u %% %f %o -s%s\nMimeType=text/x-one;text/x-two;\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->mimeTypes(), QStringList({QStringLiteral("text/x-one"), QStringLiteral("text/x-two")}));
    const std::vector<QByteArray> command = entry->commandLine(
        "/tmp/a b/Grüße\xff.mov", QUrl::fromLocalFile(QStringLiteral("/tmp/a b/x.mov")), "/out.png", 256);
    ASSERT_EQ(command.size(), 7U);
    EXPECT_TRUE(command[0].endsWith("/cp"));
    EXPECT_EQ(command[1], "--a b");
    EXPECT_EQ(command[2], "/tmp/a b/Grüße\xff.mov");
    EXPECT_EQ(command[3], "file:///tmp/a%20b/x.mov");
    EXPECT_EQ(command[4], "%");
    EXPECT_EQ(command[5], "/out.png");
    EXPECT_EQ(command[6], "-s256");

    // No program, a program not installed, an unclosed quote, no types: no thumbnailer.
    EXPECT_FALSE(DesktopThumbnailer::fromEntry(QStringLiteral("a"), "[Thumbnailer Entry]\nMimeType=a/b;\n"));
    EXPECT_FALSE(DesktopThumbnailer::fromEntry(
        QStringLiteral("b"),
        "[Thumbnailer Entry]\nTryExec=no-such-program-here\nExec=cp %i %o\nMimeType=a/b;\n"));
    EXPECT_FALSE(DesktopThumbnailer::fromEntry(QStringLiteral("c"),
                                               "[Thumbnailer Entry]\nExec=cp \"%i %o\nMimeType=a/b;\n"));
    EXPECT_FALSE(DesktopThumbnailer::fromEntry(QStringLiteral("d"), "[Thumbnailer Entry]\nExec=cp %i %o\n"));

    // The user's own entry comes before the system's for the same type.
    install(QStringLiteral("mine"), "[Thumbnailer Entry]\nExec=cp %i %o\nMimeType=application/pdf;\n");
    const auto chosen = DesktopThumbnailer::forContentType(QStringLiteral("application/pdf"));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->name(), QStringLiteral("mine"));
    EXPECT_FALSE(DesktopThumbnailer::forContentType(QStringLiteral("application/x-kestrova-nothing")));
}

// Thumbnailers that hang, write garbage or write without end are stopped and their work ignored; a
// hanging one is killed together with what it started.
TEST_F(DesktopThumbnailerTest, MisbehavingThumbnailersAreStoppedAndIgnored) {
    const QString document = write(QStringLiteral("document.pdf"), "%PDF-1.4\n");
    const QUrl url = QUrl::fromLocalFile(document);
    const QString pids = scratch.filePath(QStringLiteral("pids"));
    const QString hanging = script(QStringLiteral("hang"), "echo $$ >>'" + QFile::encodeName(pids) +
                                                               "'\nsleep 600 &\necho $! >>'" +
                                                               QFile::encodeName(pids) + "'\nwait\n");
    const ThumbnailerLimits quick{.timeLimit = std::chrono::milliseconds(300)};
    auto thumbnailer = DesktopThumbnailer::fromEntry(
        QStringLiteral("hang"),
        "[Thumbnailer Entry]\nExec=" + QFile::encodeName(hanging) + " %i %o\nMimeType=application/pdf;\n");
    ASSERT_TRUE(thumbnailer);
    EXPECT_FALSE(thumbnailer->run(QFile::encodeName(document), url, 128, quick));
    QFile started(pids);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    const QList<QByteArray> processes = started.readAll().split('\n');
    ASSERT_GE(processes.size(), 2);
    QDeadlineTimer deadline(5000);
    for (const QByteArray &process : processes) {
        if (process.isEmpty())
            continue;
        while (!isGone(process.toInt()) && !deadline.hasExpired())
            QThread::yieldCurrentThread();
        EXPECT_TRUE(isGone(process.toInt())) << process.toStdString() << " still runs";
    }

    const QString garbage =
        write(QStringLiteral("garbage.bin"), QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(500, 'x'));
    thumbnailer = DesktopThumbnailer::fromEntry(QStringLiteral("garbage"),
                                                "[Thumbnailer Entry]\nExec=cp " + QFile::encodeName(garbage) +
                                                    " %o\nMimeType=application/pdf;\n");
    ASSERT_TRUE(thumbnailer);
    EXPECT_FALSE(thumbnailer->run(QFile::encodeName(document), url, 128));

    // Writing past the size limit stops the writer (a sparse 100 MB file costs no disk).
    thumbnailer = DesktopThumbnailer::fromEntry(
        QStringLiteral("endless"),
        "[Thumbnailer Entry]\nExec=truncate -s 100M %o\nMimeType=application/pdf;\n");
    ASSERT_TRUE(thumbnailer);
    EXPECT_FALSE(thumbnailer->run(QFile::encodeName(document), url, 128, {.outputSizeLimit = 1024 * 1024}));
    // A good picture written under the same limits is taken.
    QImage page(300, 150, QImage::Format_RGB32);
    page.fill(Qt::darkCyan);
    const QString picture = scratch.filePath(QStringLiteral("page.png"));
    ASSERT_TRUE(page.save(picture));
    thumbnailer = DesktopThumbnailer::fromEntry(QStringLiteral("copy"),
                                                "[Thumbnailer Entry]\nExec=cp " + QFile::encodeName(picture) +
                                                    " %o\nMimeType=application/pdf;\n");
    const auto made =
        thumbnailer->run(QFile::encodeName(document), url, 128, {.outputSizeLimit = 1024 * 1024});
    ASSERT_TRUE(made);
    EXPECT_EQ(made->size(), QSize(128, 64));
    // It runs with bounded memory and output, whatever it does.
    const QString limitsSeen = scratch.filePath(QStringLiteral("limits"));
    const QString reporting =
        script(QStringLiteral("report"), "ulimit -v >'" + QFile::encodeName(limitsSeen) + "'\nulimit -f >>'" +
                                             QFile::encodeName(limitsSeen) + "'\n");
    thumbnailer = DesktopThumbnailer::fromEntry(QStringLiteral("report"),
                                                "[Thumbnailer Entry]\nExec=" + QFile::encodeName(reporting) +
                                                    "\nMimeType=application/pdf;\n");
    ASSERT_TRUE(thumbnailer);
    thumbnailer->run(QFile::encodeName(document), url, 128);
    QFile seen(limitsSeen);
    ASSERT_TRUE(seen.open(QIODevice::ReadOnly));
    // In kilobytes, then in blocks of 512 bytes.
    EXPECT_EQ(seen.readAll(), QByteArray("1048576\n32768\n"));
    // Never on a FIFO, which the thumbnailer would wait on.
    const QString fifo = scratch.filePath(QStringLiteral("pipe.pdf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(thumbnailer->run(QFile::encodeName(fifo), QUrl::fromLocalFile(fifo), 128));
}

// Through the thumbnail look-up: a failure is remembered for the version of the file it failed on, so a
// failing thumbnailer runs once, not every time the file's submenu opens.
TEST_F(DesktopThumbnailerTest, FailuresAreRememberedUntilTheFileChanges) {
    const QString document = write(QStringLiteral("report.pdf"), "%PDF-1.4\n");
    const QUrl url = QUrl::fromLocalFile(document);
    QDir runs(scratch.filePath(QStringLiteral("runs")));
    ASSERT_TRUE(runs.mkpath(QStringLiteral(".")));
    // Leaves one new file behind per run and writes no picture.
    install(QStringLiteral("counting"), "[Thumbnailer Entry]\nExec=mktemp " +
                                            QFile::encodeName(runs.filePath(QStringLiteral("run.XXXXXX"))) +
                                            "\nMimeType=application/pdf;\n");
    EXPECT_FALSE(url::quickLookThumbnail(url, QSizeF(400, 400), 1, false));
    EXPECT_FALSE(url::quickLookThumbnail(url, QSizeF(400, 400), 1, false));
    EXPECT_EQ(runs.entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(QFile::exists(cached(QStringLiteral("fail/kestrova-" KESTROVA_VERSION), document)));

    struct utimbuf later {
        0, 1'000'000'000
    };
    ASSERT_EQ(::utime(QFile::encodeName(document).constData(), &later), 0);
    EXPECT_FALSE(url::quickLookThumbnail(url, QSizeF(400, 400), 1, false));
    EXPECT_EQ(runs.entryList(QDir::Files).size(), 2);
}

// A small PDF whose one page takes the document thumbnailer seconds of work (36 MB of drawing commands,
// compressed): it is stopped at the time limit.
TEST_F(DesktopThumbnailerTest, APdfBombIsStoppedAtTheTimeLimit) {
    const auto thumbnailer = DesktopThumbnailer::forContentType(QStringLiteral("application/pdf"));
    if (!thumbnailer || thumbnailer->name() != QLatin1String("evince"))
        GTEST_SKIP() << "the document thumbnailer is not installed";
    // qCompress puts the length before the zlib stream.
    const QByteArray drawing = qCompress(QByteArray("0 0 m 200 200 l S ").repeated(2'000'000), 9).mid(4);
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Contents 4 0 R >>",
        "<< /Length " + QByteArray::number(drawing.size()) + " /Filter /FlateDecode >>\nstream\n" + drawing +
            "\nendstream"};
    QByteArray pdf = "%PDF-1.4\n";
    QByteArray table = "xref\n0 5\n0000000000 65535 f \n";
    for (qsizetype index = 0; index < objects.size(); ++index) {
        table += QByteArray::number(pdf.size()).rightJustified(10, '0') + " 00000 n \n";
        pdf += QByteArray::number(index + 1) + " 0 obj\n" + objects[index] + "\nendobj\n";
    }
    pdf += table + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + QByteArray::number(pdf.size()) +
           "\n%%EOF\n";
    const QString bomb = write(QStringLiteral("bomb.pdf"), pdf);
    EXPECT_FALSE(thumbnailer->run(QFile::encodeName(bomb), QUrl::fromLocalFile(bomb), 256,
                                  {.timeLimit = std::chrono::milliseconds(500)}));
}

// The desktop's own thumbnailers (installed by scripts/install-deps): a movie's frame and a document's
// first page land in the shared cache, named and stamped as the desktop's file views expect.
TEST_F(DesktopThumbnailerTest, MoviesAndDocumentsGetTheDesktopsThumbnails) {
    for (const auto &[name, type] :
         {std::pair{QStringLiteral("ffmpegthumbnailer"), QStringLiteral("video/mp4")},
          std::pair{QStringLiteral("evince"), QStringLiteral("application/pdf")}}) {
        const auto thumbnailer = DesktopThumbnailer::forContentType(type);
        if (!thumbnailer || thumbnailer->name() != name)
            GTEST_SKIP() << name.toStdString() << " is not installed";
    }
    const QString movie = scratch.filePath(QStringLiteral("holiday clip.mp4"));
    ASSERT_TRUE(kestrova::testing::writeTestMovie(movie, {.size = QSize(320, 160), .frameCount = 25}));
    const QString document = scratch.filePath(QStringLiteral("letter.pdf"));
    ASSERT_TRUE(kestrova::testing::writeTestPdf(document));

    for (const QString &path : {movie, document}) {
        const QUrl url = QUrl::fromLocalFile(path);
        const auto thumbnail = url::quickLookThumbnail(url, QSizeF(200, 200), 1, false);
        ASSERT_TRUE(thumbnail) << path.toStdString();
        EXPECT_LE(std::max(thumbnail->width(), thumbnail->height()), 200);
        EXPECT_GE(std::max(thumbnail->width(), thumbnail->height()), 100);
        // Made for the 256-pixel folder and found there again.
        QImageReader stored(cached(QStringLiteral("large"), path));
        const QImage saved = stored.read();
        ASSERT_FALSE(saved.isNull()) << path.toStdString();
        EXPECT_EQ(saved.text(QStringLiteral("Thumb::URI")), QString::fromLatin1(url.toEncoded()));
        struct stat status {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &status), 0);
        EXPECT_EQ(saved.text(QStringLiteral("Thumb::MTime")), QString::number(status.st_mtim.tv_sec));
        EXPECT_EQ(QFileInfo(cached(QStringLiteral("large"), path)).permissions() & 0x0077, 0);
        EXPECT_TRUE(url::cachedThumbnail(url, QSize(200, 200)));
    }
    // The movie is twice as wide as high, and so is its thumbnail.
    const auto frame = url::cachedThumbnail(QUrl::fromLocalFile(movie), QSize(256, 256));
    ASSERT_TRUE(frame);
    EXPECT_NEAR(double(frame->width()) / frame->height(), 2.0, 0.1);
}
