#include "AttributedText.h"

namespace kestrova::platform {

AttributedText::AttributedText(const QString &text, const Attributes &attributes) {
    append(text, attributes);
}

void AttributedText::append(const QString &text, const Attributes &attributes) {
    if (text.isEmpty())
        return;
    m_runs.push_back({m_text.size(), text.size(), attributes});
    m_text += text;
    mergeRuns();
}

void AttributedText::append(const AttributedText &other) {
    for (const Run &run : other.m_runs)
        append(other.m_text.mid(run.start, run.length), run.attributes);
}

std::optional<QFont> AttributedText::wholeStringFont() const {
    if (m_runs.empty())
        return std::nullopt;
    const auto &font = m_runs.front().attributes.font;
    for (const Run &run : m_runs)
        if (run.attributes.font != font)
            return std::nullopt;
    return font;
}

std::optional<TextColor> AttributedText::wholeStringColor() const {
    if (m_runs.empty())
        return std::nullopt;
    const auto &color = m_runs.front().attributes.color;
    for (const Run &run : m_runs)
        if (run.attributes.color != color)
            return std::nullopt;
    return color;
}

template <typename Change> void AttributedText::changeEachRun(Change &&change) {
    for (Run &run : m_runs)
        change(run.attributes);
    mergeRuns();
}

void AttributedText::setFont(const QFont &font) {
    changeEachRun([&](Attributes &attributes) { attributes.font = font; });
}

void AttributedText::setColor(const TextColor &color) {
    changeEachRun([&](Attributes &attributes) { attributes.color = color; });
}

void AttributedText::setFontSize(qreal pointSize, const QFont &fallbackFont) {
    changeEachRun([&](Attributes &attributes) {
        QFont font = attributes.font.value_or(fallbackFont);
        font.setPointSizeF(pointSize);
        attributes.font = font;
    });
}

void AttributedText::mergeRuns() {
    std::vector<Run> merged;
    for (const Run &run : m_runs) {
        if (!merged.empty() && merged.back().attributes == run.attributes) {
            merged.back().length += run.length;
            continue;
        }
        merged.push_back(run);
    }
    m_runs = std::move(merged);
}

} // namespace kestrova::platform
