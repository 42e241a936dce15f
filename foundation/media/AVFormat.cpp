#include "AVFormat.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace kestrova {
namespace {

struct FormatEntry {
    AVFormat::Case value;
    const char *rawValue;
    const char *description;
    const char *code;
};

// In the order of the cases.
constexpr FormatEntry kFormats[] = {
    {AVFormat::Case::hevc, "hevc", "HEVC", "hvc1"},
    {AVFormat::Case::h264, "h264", "H264", "avc1"},
    {AVFormat::Case::av1, "av1", "AV1", "av01"},
    {AVFormat::Case::vp9, "vp9", "VP9", "vp09"},
    {AVFormat::Case::appleProResRAWHQ, "appleProResRAWHQ", "Apple ProRes RAW HQ", "aprh"},
    {AVFormat::Case::appleProResRAW, "appleProResRAW", "Apple ProRes RAW", "aprn"},
    {AVFormat::Case::appleProRes4444XQ, "appleProRes4444XQ", "Apple ProRes 4444 XQ", "ap4x"},
    {AVFormat::Case::appleProRes4444, "appleProRes4444", "Apple ProRes 4444", "ap4h"},
    {AVFormat::Case::appleProRes422HQ, "appleProRes422HQ", "Apple ProRes 422 HQ", "apch"},
    {AVFormat::Case::appleProRes422, "appleProRes422", "Apple ProRes 422", "apcn"},
    {AVFormat::Case::appleProRes422LT, "appleProRes422LT", "Apple ProRes 422 LT", "apcs"},
    {AVFormat::Case::appleProRes422Proxy, "appleProRes422Proxy", "Apple ProRes 422 Proxy", "apco"},
    {AVFormat::Case::appleAnimation, "appleAnimation", "Apple Animation", "rle "},
    {AVFormat::Case::hap1, "hap1", "Vidvox Hap", "Hap1"},
    {AVFormat::Case::hap5, "hap5", "Vidvox Hap Alpha", "Hap5"},
    {AVFormat::Case::hapY, "hapY", "Vidvox Hap Q", "HapY"},
    {AVFormat::Case::hapM, "hapM", "Vidvox Hap Q Alpha", "HapM"},
    {AVFormat::Case::hapA, "hapA", "Vidvox Hap Alpha-Only", "HapA"},
    {AVFormat::Case::hap7, "hap7", "Vidvox Hap", "Hap7"},
    {AVFormat::Case::cineFormHD, "cineFormHD", "CineForm HD", "CFHD"},
    {AVFormat::Case::quickTimeGraphics, "quickTimeGraphics", "QuickTime Graphics", "smc"},
    {AVFormat::Case::avidDNxHD, "avidDNxHD", "Avid DNxHD", "AVdh"},
};
static_assert(std::size(kFormats) == std::tuple_size_v<decltype(AVFormat::all)>);

const FormatEntry &entry(AVFormat::Case value) {
    return kFormats[static_cast<std::size_t>(value)];
}

// The media types with a name, in the order they are compared.
const std::pair<const MediaType *, const char *> kMediaTypeNames[] = {
    {&MediaType::audio, "Audio"},
    {&MediaType::closedCaption, "Closed-caption content"},
    {&MediaType::depthData, "Depth data"},
    {&MediaType::metadata, "Metadata"},
    {&MediaType::muxed, "Muxed media"},
    {&MediaType::subtitle, "Subtitles"},
    {&MediaType::text, "Text"},
    {&MediaType::timecode, "Time code"},
    {&MediaType::video, "Video"},
};

} // namespace

const std::array<AVFormat, 22> AVFormat::all = []<std::size_t... index>(std::index_sequence<index...>) {
    return std::array<AVFormat, 22>{AVFormat(kFormats[index].value)...};
}
(std::make_index_sequence<std::size(kFormats)>());

std::optional<AVFormat> AVFormat::fromRawValue(const QString &rawValue) {
    const auto found = std::find_if(std::begin(kFormats), std::end(kFormats), [&](const FormatEntry &format) {
        return rawValue == QLatin1String(format.rawValue);
    });
    if (found == std::end(kFormats))
        return std::nullopt;
    return AVFormat(found->value);
}

QString AVFormat::rawValue() const {
    return QString::fromLatin1(entry(m_case).rawValue);
}

QString AVFormat::description() const {
    return QString::fromLatin1(entry(m_case).description);
}

QString AVFormat::code() const {
    return QString::fromLatin1(entry(m_case).code);
}

QString AVFormat::debugDescription() const {
    return description() + QStringLiteral(" (") + code().trimmed() + QLatin1Char(')');
}

const MediaType MediaType::audio(QStringLiteral("soun"));
const MediaType MediaType::closedCaption(QStringLiteral("clcp"));
const MediaType MediaType::depthData(QStringLiteral("dpth"));
const MediaType MediaType::metadata(QStringLiteral("meta"));
const MediaType MediaType::muxed(QStringLiteral("muxx"));
const MediaType MediaType::subtitle(QStringLiteral("sbtl"));
const MediaType MediaType::text(QStringLiteral("text"));
const MediaType MediaType::timecode(QStringLiteral("tmcd"));
const MediaType MediaType::video(QStringLiteral("vide"));

QString MediaType::debugDescription() const {
    for (const auto &[type, name] : kMediaTypeNames) {
        if (*type == *this)
            return QString::fromLatin1(name);
    }
    return QStringLiteral("Unknown");
}

} // namespace kestrova
