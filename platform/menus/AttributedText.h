#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <optional>
#include <vector>

namespace kestrova::platform {

// A colour for text, either a fixed one or a role that the presenter maps to the current palette, so that
// secondary text follows the light or dark look.
struct TextColor {
    enum class Role { custom, label, secondaryLabel };

    Role role = Role::custom;
    QColor color;

    static TextColor custom(const QColor &color) { return {Role::custom, color}; }
    static TextColor secondaryLabel() { return {Role::secondaryLabel, {}}; }
    bool operator==(const TextColor &) const = default;
};

// The font and colour of a run of text; none means the presenter's default.
struct TextAttributes {
    std::optional<QFont> font = {};
    std::optional<TextColor> color = {};
    bool operator==(const TextAttributes &) const = default;
};

// Text with runs of font and colour, the styled title of a menu item. Line feeds in the text are kept:
// pre-wrapped explanations are several lines, and presenters show them as such. The runs always cover the
// whole text; neighbouring runs with equal attributes are merged.
class AttributedText {
public:
    using Attributes = TextAttributes;
    struct Run {
        qsizetype start = 0;
        qsizetype length = 0;
        Attributes attributes = {};
        bool operator==(const Run &) const = default;
    };

    AttributedText() = default;
    explicit AttributedText(const QString &text, const Attributes &attributes = {});

    const QString &text() const { return m_text; }
    bool isEmpty() const { return m_text.isEmpty(); }
    const std::vector<Run> &runs() const { return m_runs; }

    // Appends text with its own attributes.
    void append(const QString &text, const Attributes &attributes = {});
    void append(const AttributedText &other);

    // The font or colour only when one run of it covers the whole text; none for an empty text or when
    // any part of it has another value or none.
    std::optional<QFont> wholeStringFont() const;
    std::optional<TextColor> wholeStringColor() const;

    // Sets the attribute over the whole text.
    void setFont(const QFont &font);
    void setColor(const TextColor &color);

    // Every run takes the size: a run with a font keeps its font at the new size, a run without one gets
    // `fallbackFont` at that size.
    void setFontSize(qreal pointSize, const QFont &fallbackFont);

    bool operator==(const AttributedText &) const = default;

private:
    template <typename Change> void changeEachRun(Change &&change);
    void mergeRuns();

    QString m_text;
    std::vector<Run> m_runs;
};

} // namespace kestrova::platform
