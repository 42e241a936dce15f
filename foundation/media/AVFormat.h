#pragma once

#include "foundation/values/RawRepresentable.h"

#include <QString>

#include <array>
#include <optional>

namespace kestrova {

// A video codec format that the kit can name: its case name (the raw value), the name shown to users and
// the codec's four-character code as files carry it. A closed list; `all` has the cases in their order.
class AVFormat {
public:
    enum class Case {
        hevc,
        h264,
        av1,
        vp9,
        appleProResRAWHQ,
        appleProResRAW,
        appleProRes4444XQ,
        appleProRes4444,
        appleProRes422HQ,
        appleProRes422,
        appleProRes422LT,
        appleProRes422Proxy,
        appleAnimation,
        hap1,
        hap5,
        hapY,
        hapM,
        hapA,
        hap7,
        cineFormHD,
        quickTimeGraphics,
        avidDNxHD,
    };
    using RawValue = QString;
    static const std::array<AVFormat, 22> all;

    constexpr AVFormat(Case value) // NOLINT(google-explicit-constructor): a case is a format
        : m_case(value) {}

    // The case whose raw value is exactly `rawValue` ("hevc", not "HEVC"), or none.
    static std::optional<AVFormat> fromRawValue(const QString &rawValue);

    Case value() const { return m_case; }
    QString rawValue() const;
    // "HEVC", "Apple ProRes 422 HQ", …
    QString description() const;
    // The four-character code, as stored ("rle " ends in a blank; "smc" has three characters).
    QString code() const;
    // The display name and the code without surrounding blanks in parentheses: "HEVC (hvc1)".
    QString debugDescription() const;

private:
    Case m_case;
};

// The kind of content a track of a media file carries, compared by its identifier text: the handler type
// that movie files give each track ("vide", "soun", …).
class MediaType {
public:
    explicit MediaType(QString identifier)
        : m_identifier(std::move(identifier)) {}

    static const MediaType audio;
    static const MediaType closedCaption;
    static const MediaType depthData;
    static const MediaType metadata;
    static const MediaType muxed;
    static const MediaType subtitle;
    static const MediaType text;
    static const MediaType timecode;
    static const MediaType video;

    const QString &identifier() const { return m_identifier; }
    // "Audio", "Closed-caption content", … and "Unknown" for any other identifier.
    QString debugDescription() const;

    friend bool operator==(const MediaType &, const MediaType &) = default;

private:
    QString m_identifier;
};

} // namespace kestrova
