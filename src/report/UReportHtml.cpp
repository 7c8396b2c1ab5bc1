// The site report as one self-contained HTML page: every table sorts by a click on its
// heading (a little inline script), a bar shows the bytes by type, and nothing is fetched
// from the network.
#include "pipeline/UProgress.h"
#include "report/UReport.h"

#include <array>
#include <ostream>

namespace vlm {

namespace {

std::string Html(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            // Control characters would make the page invalid; they are shown as U+FFFD.
            out += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? std::string("\xEF\xBF\xBD")
                                                                     : std::string(1, c);
        }
    }
    return out;
}

constexpr const char* PageStyle = R"(<style>
body{font-family:system-ui,sans-serif;margin:1.5em;color:#222;background:#fff}
h1{font-size:1.4em}h2{font-size:1.15em;margin-top:1.6em}
table{border-collapse:collapse;margin:.5em 0;font-size:.92em}
th,td{border:1px solid #ccc;padding:.25em .6em;text-align:left;vertical-align:top}
th{background:#eee;cursor:pointer;user-select:none}th:after{content:" \2195";color:#999}
td.n{text-align:right;font-variant-numeric:tabular-nums}
.bar{display:flex;height:1.6em;border:1px solid #999;margin:.5em 0;max-width:60em}
.bar span{display:block;height:100%}
.legend span{display:inline-block;width:.9em;height:.9em;margin:0 .3em 0 1em;vertical-align:middle}
.ok{color:#161}.bad{color:#b00}.sum td{border:none;padding:.1em .8em .1em 0}
</style>
)";

constexpr const char* SortScript = R"(<script>
document.querySelectorAll("table.sortable").forEach(function(table){
  table.querySelectorAll("th").forEach(function(th,col){
    th.addEventListener("click",function(){
      var body=table.tBodies[0],rows=Array.prototype.slice.call(body.rows);
      var up=th.getAttribute("data-dir")!=="up";th.setAttribute("data-dir",up?"up":"down");
      rows.sort(function(a,b){
        var x=a.cells[col],y=b.cells[col];
        var p=x.getAttribute("data-v"),q=y.getAttribute("data-v");
        var r=(p!==null&&q!==null)?(Number(p)-Number(q)):x.textContent.localeCompare(y.textContent);
        return up?r:-r;});
      rows.forEach(function(row){body.appendChild(row);});});});});
</script>
)";

constexpr std::array<const char*, 10> Colours = {"#4e79a7", "#f28e2b", "#e15759", "#76b7b2",
                                                 "#59a14f", "#edc948", "#b07aa1", "#ff9da7",
                                                 "#9c755f", "#bab0ac"};

std::string Cell(const std::string& text) {
    return "<td>" + Html(text) + "</td>";
}

std::string Number(uint64_t value) {
    return "<td class=\"n\" data-v=\"" + std::to_string(value) + "\">" + std::to_string(value) +
           "</td>";
}

std::string Bytes(uint64_t value) {
    return "<td class=\"n\" data-v=\"" + std::to_string(value) + "\">" + Html(FormatSize(value)) +
           "</td>";
}

// A section: its title with the count, and a sortable table of the items, a row each
// (a run of cells), or "None.".
template <typename List, typename F>
void Section(std::ostream& out, const std::string& title, const List& items,
             std::initializer_list<const char*> heads, F row) {
    out << "<h2>" << Html(title) << " (" << std::to_string(items.size()) << ")</h2>\n";
    if (items.empty()) {
        out << "<p class=\"ok\">None.</p>\n";
        return;
    }
    out << "<table class=\"sortable\"><thead><tr>";
    for (const char* head : heads)
        out << "<th>" << head << "</th>";
    out << "</tr></thead><tbody>\n";
    for (const auto& item : items)
        out << "<tr>" << row(item) << "</tr>\n";
    out << "</tbody></table>\n";
}

std::string TypeBar(const TSiteReport& r) {
    if (r.TotalBytes == 0)
        return {};
    std::string bar = "<div class=\"bar\">";
    std::string legend = "<div class=\"legend\">";
    for (size_t i = 0; i < r.Types.size(); ++i) {
        const TTypeTotal& type = r.Types[i];
        const std::string colour = i < Colours.size() - 1 ? Colours[i] : Colours.back();
        const double share =
            100.0 * static_cast<double>(type.Bytes) / static_cast<double>(r.TotalBytes);
        const std::string name = type.Extension.empty() ? "(none)" : type.Extension;
        const std::string title = name + ": " + FormatSize(type.Bytes);
        bar += "<span style=\"width:" + std::to_string(share) + "%;background:" + colour +
               "\" title=\"" + Html(title) + "\"></span>";
        if (i < Colours.size() - 1)
            legend += "<span style=\"background:" + colour + "\"></span>" + Html(title);
    }
    if (r.Types.size() >= Colours.size())
        legend += "<span style=\"background:" + std::string(Colours.back()) + "\"></span>others";
    return bar + "</div>" + legend + "</div>\n";
}

std::string Summary(const TSiteReport& r) {
    uint64_t orphanBytes = 0;
    for (const TOrphanFile& orphan : r.Orphans)
        orphanBytes += orphan.Size;
    const auto line = [](const char* name, const std::string& value, bool bad = false) {
        return std::string("<tr><td>") + name + "</td><td" + (bad ? " class=\"bad\"" : "") + ">" +
               Html(value) + "</td></tr>\n";
    };
    std::string out = "<table class=\"sum\">\n";
    out += line("Project", r.ProjectFile);
    out += line("Home page", r.HomePage);
    out += line("Files found by", r.Parsing ? "following links" : "masks");
    out += line("Files", std::to_string(r.Files.size()) + " (" + FormatSize(r.TotalBytes) + ")");
    out += line("Estimated output", FormatSize(r.EstimatedOutputBytes));
    out += line("Broken references", std::to_string(r.Broken.size()), !r.Broken.empty());
    out += line("Files left out",
                std::to_string(r.Orphans.size()) + " (" + FormatSize(orphanBytes) + ")");
    out += line("External references", std::to_string(r.ExternalReferences));
    return out + "</table>\n";
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : "\n") + item;
    return text;
}

} // namespace

void WriteReportHtml(const TSiteReport& r, std::ostream& out) {
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n"
           "<title>Site report: "
        << Html(r.ProjectFile) << "</title>\n"
        << PageStyle << "</head><body>\n";
    out << "<h1>Site report</h1>\n" << Summary(r) << TypeBar(r);
    for (const std::string& hint : r.Hints)
        out << "<p>Hint: " << Html(hint) << "</p>\n";
    if (!r.Errors.empty())
        Section(out, "Errors: a build fails on these", r.Errors, {"File", "Why"},
                [](const TLeftOutFile& e) { return Cell(e.FileName) + Cell(e.Reason); });
    Section(out, "Broken references", r.Broken, {"Page", "Line", "Reference", "Path", "Why"},
            [](const TBrokenReference& b) {
                return Cell(b.Page) + Number(b.Line) + Cell(b.Written) + Cell(b.Path) +
                       Cell(BrokenReason(b));
            });
    Section(out, "Files under the home page's folder that the build leaves out", r.Orphans,
            {"File", "Size", "Excluded by", "Why"}, [](const TOrphanFile& o) {
                return Cell(o.Path) + Bytes(o.Size) + Cell(o.ExcludedBy) + Cell(o.Reason);
            });
    Section(out, "Names that differ only in letter case", r.CaseOnlyNames, {"Files"},
            [](const std::vector<std::string>& g) { return Cell(Joined(g)); });
    Section(out, "References that found their file only by letter case", r.CaseReferences,
            {"Page", "Line", "Reference", "Files"}, [](const TCaseReference& c) {
                return Cell(c.Page) + Number(c.Line) + Cell(c.Written) + Cell(Joined(c.Files));
            });
    Section(out, "Folder links not followed", r.SkippedLinks, {"Link", "Why"},
            [](const TSkippedLink& l) { return Cell(l.Path) + Cell(l.Reason); });
    Section(out, "Files taken from outside the home page's folder", r.OutsideFiles, {"File"},
            [&r](size_t i) { return Cell(r.Files[i].Path); });
    Section(out, "Sizes by type", r.Types, {"Type", "Files", "Size"}, [](const TTypeTotal& t) {
        return Cell(t.Extension.empty() ? "(none)" : t.Extension) + Number(t.Files) +
               Bytes(t.Bytes);
    });
    Section(out, "Largest files", r.Largest, {"Member", "Size"},
            [&r](size_t i) { return Cell(r.Files[i].StoredName) + Bytes(r.Files[i].Size); });
    Section(out, "Files the build takes", r.Files, {"Member", "Size", "Why", "File"},
            [](const TReportFile& f) {
                return Cell(f.StoredName) + Bytes(f.Size) + Cell(FileReason(f)) + Cell(f.Path);
            });
    out << SortScript << "</body></html>\n";
}

} // namespace vlm
