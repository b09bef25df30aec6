#include "station/app/OutputTail.h"

void OutputTail::Append(const char* data, std::size_t n)
{
    total += n;
    for (std::size_t i = 0; i < n; ++i) {
        const char c = data[i];
        if (c == '\n') {
            EndLine();
        } else if (c != '\r') {
            if (current.size() < maxLineBytes) current += c;
            else currentCut = true;
        }
    }
}

void OutputTail::EndLine()
{
    if (currentCut) current += "...";
    lines.push_back(std::move(current));
    current.clear();
    currentCut = false;
    while (lines.size() > maxLines) lines.pop_front();
}

std::string OutputTail::Text() const
{
    std::string text;
    // With an unfinished last line, one older line makes way for it.
    const bool partial = !current.empty();
    std::size_t from = partial && lines.size() >= maxLines ? 1 : 0;
    for (std::size_t i = from; i < lines.size(); ++i) text += (text.empty() ? "" : "\n") + lines[i];
    if (partial) text += (text.empty() ? "" : "\n") + current + (currentCut ? "..." : "");
    return text;
}
