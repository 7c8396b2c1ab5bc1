// The three forms of the site report: text for a terminal, JSON for scripts and one
// self-contained HTML page for people.
#include "pipeline/UProgress.h"
#include "report/UReport.h"

#include <array>
#include <cstdio>
#include <ostream>

#include "platform/UText.h"

namespace vlm {

namespace {

constexpr size_t TextListLimit = 50;
constexpr size_t TextLargest = 5;

// A JSON string: quotes, backslashes and control characters escaped, bytes that are not
// UTF-8 replaced by U+FFFD so that every parser takes the document. Written straight into
// the stream, the plain runs in one piece: a report holds hundreds of thousands of them.
struct TJson {
    std::string_view Text;
};

TJson Json(std::string_view text) {
    return {text};
}

std::ostream& operator<<(std::ostream& out, TJson json) {
    const std::string_view text = json.Text;
    out.put('"');
    size_t plain = 0; // where the bytes not written yet start
    for (size_t i = 0; i < text.size();) {
        // Printable ASCII other than the quote and the backslash goes as it is: skip a run.
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
            ++i;
            continue;
        }
        const size_t length = c < 0x80 ? 1 : Utf8SequenceLength(text, i);
        if (length > 1 || (length == 1 && c >= 0x20 && c != '"' && c != '\\')) {
            i += length;
            continue;
        }
        out.write(text.data() + plain, static_cast<std::streamsize>(i - plain));
        if (length == 0) {
            out << "\\ufffd";
        } else if (c == '"' || c == '\\') {
            out.put('\\');
            out.put(static_cast<char>(c));
        } else {
            std::array<char, 8> escape{};
            std::snprintf(escape.data(), escape.size(), "\\u%04x", c);
            out << escape.data();
        }
        plain = ++i;
    }
    out.write(text.data() + plain, static_cast<std::streamsize>(text.size() - plain));
    out.put('"');
    return out;
}

// Paths on a terminal: control characters could move the cursor or change colours.
std::string Shown(std::string_view text) {
    std::string out;
    for (const char c : text)
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return out;
}

std::string Where(const std::string& page, uint64_t line) {
    return Shown(page) + ":" + std::to_string(line);
}

// A heading with the count and the first items, a line each.
template <typename List, typename F>
void TextList(std::ostream& out, const List& items, const std::string& heading, F line) {
    if (items.empty())
        return;
    out << "\n" << heading << " (" << std::to_string(items.size()) << "):\n";
    size_t shown = 0;
    for (const auto& item : items) {
        if (shown++ == TextListLimit)
            break;
        out << "  " << line(item) << "\n";
    }
    if (items.size() > TextListLimit)
        out << "  ... and " << std::to_string(items.size() - TextListLimit)
            << " more (--json or --html list them all)\n";
}

uint64_t OrphanBytes(const TSiteReport& report) {
    uint64_t bytes = 0;
    for (const TOrphanFile& orphan : report.Orphans)
        bytes += orphan.Size;
    return bytes;
}

} // namespace

std::string TakenByText(TTakenBy by) {
    switch (by) {
    case TTakenBy::HomePage:
        return "home page";
    case TTakenBy::Reference:
        return "reference";
    case TTakenBy::Mask:
        return "mask";
    case TTakenBy::Settings:
        return "settings";
    case TTakenBy::LanguageFile:
        return "language file";
    }
    return {};
}

std::string FileReason(const TReportFile& file) {
    switch (file.By) {
    case TTakenBy::Reference:
        return "referenced by " + file.Page + ":" + std::to_string(file.Line) + " as \"" +
               file.Written + "\"" + (file.ByLetterCase ? " (by letter case)" : "");
    case TTakenBy::Mask:
        return "mask " + file.Page;
    default:
        return TakenByText(file.By);
    }
}

std::string SkippedLinkReason(bool aboveHome) {
    return aboveHome ? "leads to a folder above the home page's folder"
                     : "leads to a folder that is walked already";
}

std::string BrokenReason(const TBrokenReference& broken) {
    if (broken.Untaken)
        return "not in the output";
    switch (broken.Why) {
    case TReferenceOutcome::NotIncluded:
        return "outside the include masks";
    case TReferenceOutcome::Excluded:
        return "excluded by a mask";
    case TReferenceOutcome::NotAFile:
        return "not a regular file";
    case TReferenceOutcome::ThroughLink:
        return "through a folder link not followed";
    default:
        return "missing";
    }
}

void WriteReportText(const TSiteReport& r, std::ostream& out) {
    out << "Site report of \"" << Shown(r.ProjectFile) << "\"\n";
    out << "Home page: " << Shown(r.HomePage) << "\n";
    out << "Files found by: " << (r.Parsing ? "following links" : "masks") << "\n";
    out << "Files: " << std::to_string(r.Files.size()) << ", " << FormatSize(r.TotalBytes)
        << "; estimated output: " << FormatSize(r.EstimatedOutputBytes) << "\n";
    if (!r.Types.empty()) {
        out << "By type:";
        for (const TTypeTotal& type : r.Types)
            out << " " << (type.Extension.empty() ? std::string("(none)") : Shown(type.Extension))
                << " " << std::to_string(type.Files) << " (" << FormatSize(type.Bytes) << ")";
        out << "\n";
    }
    out << "Largest:";
    for (size_t i = 0; i < r.Largest.size() && i < TextLargest; ++i) {
        const TReportFile& file = r.Files[r.Largest[i]];
        out << "\n  " << Shown(file.StoredName) << " (" << FormatSize(file.Size) << ")";
    }
    out << "\nBroken references: " << std::to_string(r.Broken.size())
        << "; files left out: " << std::to_string(r.Orphans.size()) << " ("
        << FormatSize(OrphanBytes(r)) << ")\n";
    for (const std::string& hint : r.Hints)
        out << "Hint: " << hint << "\n";
    TextList(out, r.Errors, "Errors: a build fails on these", [](const TLeftOutFile& e) {
        return "\"" + Shown(e.FileName) + "\": " + Shown(e.Reason);
    });
    TextList(out, r.Broken, "Broken references", [](const TBrokenReference& b) {
        return Where(b.Page, b.Line) + ": \"" + Shown(b.Written) + "\" -> " + Shown(b.Path) + ": " +
               BrokenReason(b);
    });
    TextList(out, r.Orphans, "Files under the home page's folder that the build leaves out",
             [](const TOrphanFile& o) {
                 return Shown(o.Path) + " (" + FormatSize(o.Size) + ")" +
                        (o.ExcludedBy.empty() ? "" : ", excluded by " + Shown(o.ExcludedBy)) +
                        (o.Reason.empty() ? "" : ", " + o.Reason);
             });
    TextList(out, r.CaseOnlyNames, "Names that differ only in letter case",
             [](const std::vector<std::string>& group) {
                 std::string line;
                 for (const std::string& path : group)
                     line += (line.empty() ? "" : ", ") + Shown(path);
                 return line;
             });
    TextList(out, r.CaseReferences, "References that found their file only by letter case",
             [](const TCaseReference& c) {
                 std::string line = Where(c.Page, c.Line) + ": \"" + Shown(c.Written) + "\" ->";
                 for (const std::string& file : c.Files)
                     line += " " + Shown(file);
                 return line;
             });
    TextList(out, r.OutsideFiles, "Files taken from outside the home page's folder",
             [&r](size_t i) { return Shown(r.Files[i].Path); });
    TextList(out, r.HiddenFolders, "Dot-folders under the home page's folder not looked into",
             [](const std::string& path) { return Shown(path); });
    TextList(out, r.SkippedLinks, "Folder links not followed",
             [](const TSkippedLink& l) { return Shown(l.Path) + ": " + l.Reason; });
}

namespace {

// A JSON array of items, one a line, and the comma or line end after it.
template <typename List, typename F>
void JsonList(std::ostream& out, const char* name, const List& items, F item, bool last = false) {
    out << "\"" << name << "\": [";
    bool first = true;
    for (const auto& value : items) {
        out << (first ? "\n  " : ",\n  ");
        item(value);
        first = false;
    }
    out << (first ? "]" : "\n]") << (last ? "\n" : ",\n");
}

struct TJsonStrings {
    const std::vector<std::string>& Items;
};

TJsonStrings JsonStrings(const std::vector<std::string>& items) {
    return {items};
}

std::ostream& operator<<(std::ostream& out, TJsonStrings strings) {
    out << "[";
    for (size_t i = 0; i < strings.Items.size(); ++i)
        out << (i ? ", " : "") << Json(strings.Items[i]);
    return out << "]";
}

void JsonFiles(std::ostream& out, const TSiteReport& r) {
    JsonList(out, "files", r.Files, [&out](const TReportFile& f) {
        out << "{\"path\": " << Json(f.Path) << ", \"member\": " << Json(f.StoredName)
            << ", \"size\": " << std::to_string(f.Size)
            << ", \"reason\": " << Json(TakenByText(f.By));
        if (f.By == TTakenBy::Reference)
            out << ", \"page\": " << Json(f.Page) << ", \"line\": " << std::to_string(f.Line)
                << ", \"reference\": " << Json(f.Written)
                << ", \"byLetterCase\": " << (f.ByLetterCase ? "true" : "false");
        if (f.By == TTakenBy::Mask)
            out << ", \"mask\": " << Json(f.Page);
        out << "}";
    });
}

} // namespace

void WriteReportJson(const TSiteReport& r, std::ostream& out) {
    out << "{\n";
    out << "\"project\": " << Json(r.ProjectFile) << ",\n\"homePage\": " << Json(r.HomePage)
        << ",\n\"homeRoot\": " << Json(r.HomeRoot)
        << ",\n\"mode\": " << (r.Parsing ? "\"links\"" : "\"masks\"")
        << ",\n\"output\": " << (r.Executable ? "\"exe\"" : "\"vlm\"") << ",\n";
    out << "\"totals\": {\"files\": " << std::to_string(r.Files.size())
        << ", \"bytes\": " << std::to_string(r.TotalBytes)
        << ", \"estimatedOutputBytes\": " << std::to_string(r.EstimatedOutputBytes)
        << ", \"brokenReferences\": " << std::to_string(r.Broken.size())
        << ", \"orphans\": " << std::to_string(r.Orphans.size())
        << ", \"orphanBytes\": " << std::to_string(OrphanBytes(r))
        << ", \"externalReferences\": " << std::to_string(r.ExternalReferences)
        << ", \"errors\": " << std::to_string(r.Errors.size()) << "},\n";
    JsonList(out, "errors", r.Errors, [&out](const TLeftOutFile& e) {
        out << "{\"path\": " << Json(e.FileName) << ", \"reason\": " << Json(e.Reason) << "}";
    });
    JsonFiles(out, r);
    JsonList(out, "broken", r.Broken, [&out](const TBrokenReference& b) {
        out << "{\"page\": " << Json(b.Page) << ", \"line\": " << std::to_string(b.Line)
            << ", \"reference\": " << Json(b.Written) << ", \"path\": " << Json(b.Path)
            << ", \"reason\": " << Json(BrokenReason(b)) << "}";
    });
    JsonList(out, "orphans", r.Orphans, [&out](const TOrphanFile& o) {
        out << "{\"path\": " << Json(o.Path) << ", \"size\": " << std::to_string(o.Size)
            << ", \"excludedBy\": " << Json(o.ExcludedBy) << ", \"reason\": " << Json(o.Reason)
            << "}";
    });
    JsonList(out, "hints", r.Hints, [&out](const std::string& h) { out << Json(h); });
    JsonList(out, "caseOnlyNames", r.CaseOnlyNames,
             [&out](const std::vector<std::string>& g) { out << JsonStrings(g); });
    JsonList(out, "caseReferences", r.CaseReferences, [&out](const TCaseReference& c) {
        out << "{\"page\": " << Json(c.Page) << ", \"line\": " << std::to_string(c.Line)
            << ", \"reference\": " << Json(c.Written) << ", \"files\": " << JsonStrings(c.Files)
            << "}";
    });
    JsonList(out, "outside", r.OutsideFiles,
             [&out, &r](size_t i) { out << Json(r.Files[i].Path); });
    JsonList(out, "types", r.Types, [&out](const TTypeTotal& t) {
        out << "{\"extension\": " << Json(t.Extension) << ", \"files\": " << std::to_string(t.Files)
            << ", \"bytes\": " << std::to_string(t.Bytes) << "}";
    });
    JsonList(out, "largest", r.Largest, [&out, &r](size_t i) {
        out << "{\"path\": " << Json(r.Files[i].Path)
            << ", \"size\": " << std::to_string(r.Files[i].Size) << "}";
    });
    JsonList(out, "hiddenFolders", r.HiddenFolders,
             [&out](const std::string& p) { out << Json(p); });
    JsonList(
        out, "skippedLinks", r.SkippedLinks,
        [&out](const TSkippedLink& l) {
            out << "{\"path\": " << Json(l.Path) << ", \"reason\": " << Json(l.Reason) << "}";
        },
        true);
    out << "}\n";
}

} // namespace vlm
