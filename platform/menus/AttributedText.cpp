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

namespace {

// The attribute when every run has the same value of it.
template <typename Value>
std::optional<Value> sharedByAllRuns(const std::vector<AttributedText::Run> &runs,
                                     std::optional<Value> TextAttributes::*attribute) {
    if (runs.empty())
        return std::nullopt;
    const auto &first = runs.front().attributes.*attribute;
    for (const auto &run : runs)
        if (run.attributes.*attribute != first)
            return std::nullopt;
    return first;
}

} // namespace

std::optional<QFont> AttributedText::wholeStringFont() const {
    return sharedByAllRuns(m_runs, &TextAttributes::font);
}

std::optional<TextColor> AttributedText::wholeStringColor() const {
    return sharedByAllRuns(m_runs, &TextAttributes::color);
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
