// An ordered list of text lines with Name=Value entries, as the project file and the
// settings member keep them.
//
// The name of a line is the text before its first "="; names compare without regard to
// ASCII letter case; the first matching line wins. Writing a non-empty value replaces that
// line in place (even with the same value) or appends a new one; writing the empty value
// deletes it. Lines that are blank, have no "=" or repeat a name are kept as they are.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vlm {

class TStringList {
public:
    TStringList() = default;
    virtual ~TStringList() = default;
    TStringList(const TStringList&) = default;
    TStringList& operator=(const TStringList&) = default;

    int Count() const { return static_cast<int>(FLines.size()); }
    const std::string& operator[](int index) const { return FLines.at(static_cast<size_t>(index)); }
    const std::vector<std::string>& Lines() const { return FLines; }

    void Add(std::string_view line);
    void Put(int index, std::string_view line);
    void Delete(int index);
    void Clear();

    // Index of the first line whose name matches, or -1.
    int IndexOfName(std::string_view name) const;
    // The value of the first matching line; the empty text when none matches.
    std::string Value(std::string_view name) const;
    void SetValue(std::string_view name, std::string_view value);

    // Every line followed by CR LF: the bytes a save writes.
    std::string Text() const;
    // Replaces the lines by those of text, split at CR, LF and CR LF; a NUL ends the text.
    void SetText(std::string_view text);

    // Loads the whole file as one text. Raises EFOpenError or EReadError.
    void LoadFromFile(std::string_view fileName);
    // Whether the last LoadFromFile stopped at a NUL byte, leaving the rest of the file
    // unread: such a file is no text file, and writing the lines back would lose the rest.
    bool LoadStoppedAtNul() const { return FStoppedAtNul; }
    // Writes the text in place (creating or truncating the file). Raises EFCreateError or
    // EWriteError. For temporary files; project files are saved atomically.
    void SaveToFile(std::string_view fileName) const;

    // Splits text into lines at CR, LF and CR LF, stopping at the first NUL.
    static std::vector<std::string> SplitLines(std::string_view text);

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    bool InBatch() const { return FUpdateCount > 0; }

protected:
    // Runs after every insertion, replacement, deletion or clearing, and when a batch closes.
    virtual void Changed() {}

private:
    std::vector<std::string> FLines;
    int FUpdateCount = 0;
    bool FStoppedAtNul = false;
};

} // namespace vlm
