// Reads the clipboard of $DISPLAY as another X client does: kestrova-clipboard-read [MIME-TYPE]
// Writes the data of the type (text/plain by default) to standard output, byte for byte; with
// --formats, the offered types one a line. Exits 1 when the type is not offered.
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstdio>

int main(int argc, char **argv) {
    QGuiApplication application(argc, argv);
    const QStringList arguments = QGuiApplication::arguments();
    const QString type = arguments.size() > 1 ? arguments.at(1) : QStringLiteral("text/plain");
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return 1;
    if (type == QLatin1String("--formats")) {
        for (const QString &format : data->formats())
            std::printf("%s\n", qPrintable(format));
        return 0;
    }
    if (!data->hasFormat(type))
        return 1;
    const QByteArray bytes = data->data(type);
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    return 0;
}
