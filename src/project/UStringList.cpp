#include "project/UStringList.h"

#include "platform/UFileStream.h"
#include "platform/UText.h"

namespace vlm {

void TStringList::Add(std::string_view line) {
    FLines.emplace_back(line);
    Changed();
}

void TStringList::Put(int index, std::string_view line) {
    FLines.at(static_cast<size_t>(index)) = std::string(line);
    Changed();
}

void TStringList::Delete(int index) {
    FLines.erase(FLines.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (FLines.empty())
        return;
    FLines.clear();
    Changed();
}

void TStringList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        Changed();
}

int TStringList::IndexOfName(std::string_view name) const {
    for (size_t i = 0; i < FLines.size(); ++i) {
        const size_t eq = FLines[i].find('=');
        if (eq != std::string::npos && SameText(std::string_view(FLines[i]).substr(0, eq), name))
            return static_cast<int>(i);
    }
    return -1;
}

std::string TStringList::Value(std::string_view name) const {
    const int index = IndexOfName(name);
    if (index < 0)
        return {};
    const std::string& line = FLines[static_cast<size_t>(index)];
    return line.substr(line.find('=') + 1);
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
    int index = IndexOfName(name);
    if (!value.empty()) {
        // A new entry is an appended empty line that is then replaced: two changes.
        if (index < 0) {
            Add("");
            index = Count() - 1;
        }
        Put(index, std::string(name) + "=" + std::string(value));
    } else if (index >= 0) {
        Delete(index);
    }
}

std::string TStringList::Text() const {
    std::string text;
    for (const std::string& line : FLines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> TStringList::SplitLines(std::string_view text) {
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos)
        text = text.substr(0, nul);
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        lines.emplace_back(text.substr(pos, end - pos));
        if (end < text.size() && text[end] == '\r')
            ++end;
        if (end < text.size() && text[end] == '\n')
            ++end;
        pos = end;
    }
    return lines;
}

void TStringList::SetText(std::string_view text) {
    BeginUpdate();
    try {
        Clear();
        for (const std::string& line : SplitLines(text))
            Add(line);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStringList::LoadFromFile(std::string_view fileName) {
    TFileStream stream(fileName, TFileMode::OpenRead);
    std::string bytes;
    char buffer[65536];
    while (const size_t n = stream.Read(buffer, sizeof buffer))
        bytes.append(buffer, n);
    SetText(bytes);
    FStoppedAtNul = bytes.find('\0') != std::string::npos;
}

void TStringList::SaveToFile(std::string_view fileName) const {
    TFileStream stream(fileName, TFileMode::Create);
    stream.WriteText(Text());
    stream.Close();
}

} // namespace vlm
