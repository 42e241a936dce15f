#include "CrashReportFiles.h"

#include <QDir>
#include <QFile>

#include <zlib.h>

namespace kestrova::testing {

QStringList crashReportFiles(const QString &reportsDirectory) {
    return QDir(reportsDirectory).entryList({QStringLiteral("*.envelope.gz")}, QDir::Files, QDir::Name);
}

std::optional<QByteArray> gunzipFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray input = file.readAll();
    z_stream stream{};
    // 15 + 16 accepts only a gzip wrapper, so a raw or zlib-wrapped file fails here.
    if (inflateInit2(&stream, 15 + 16) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef *>(input.data());
    stream.avail_in = static_cast<uInt>(input.size());
    QByteArray output;
    char buffer[16384];
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(buffer);
        stream.avail_out = sizeof buffer;
        result = inflate(&stream, Z_NO_FLUSH);
        output.append(buffer, static_cast<qsizetype>(sizeof buffer - stream.avail_out));
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    return output;
}

std::optional<CrashReportEnvelope> readCrashReport(const QString &path) {
    const auto content = gunzipFile(path);
    if (!content)
        return std::nullopt;
    const QList<QByteArray> lines = content->split('\n');
    if (lines.size() != 3 || !lines.at(2).isEmpty())
        return std::nullopt;
    const auto header =
        nlohmann::ordered_json::parse(lines.at(0).toStdString(), nullptr, /*allow_exceptions=*/false);
    const auto event =
        nlohmann::ordered_json::parse(lines.at(1).toStdString(), nullptr, /*allow_exceptions=*/false);
    if (header.is_discarded() || event.is_discarded())
        return std::nullopt;
    return CrashReportEnvelope{header, event};
}

} // namespace kestrova::testing
