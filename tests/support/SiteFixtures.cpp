#include "SiteFixtures.h"

#include "TestSupport.h"

#include <algorithm>

namespace vlm::test {

namespace {

constexpr const char* IndexPage = R"PAGE(<!DOCTYPE html>
<html><head>
<link rel="stylesheet" href="css/site.css?v=3">
<link rev="made" href="made.html">
<style>
@import url("css/print.css");
.tile { background: url(img/tile.gif) }
/* url(img/commented.png) */
.quote::after { content: "url(img/in-string.png)" }
</style>
<script src="//cdn.example.com/lib.js"></script>
<script>fetch("runtime.json")</script>
</head><body>
<picture>
<source srcset="img/wide.webp 1200w, img/wide-2x.webp 2400w" media="(min-width: 800px)">
<img src="img/logo.png" srcset="img/logo-2x.png 2x, img/logo-3x.png 3x" alt="logo">
</picture>
<img src="img/icon.svg" alt="icon">
<img src = '../shared/banner.png'>
<div style="background-image: url('img/bg.png')">tiles</div>
<object data="media/doc.pdf" type="application/pdf"></object>
<video poster="media/poster.jpg" src="media/clip.webm"><track src="media/clip.vtt" kind="captions"></video>
<embed src="media/widget.bin">
<input type="image" src="img/go.png" alt="Go">
<a href="Sub/inner.htm">case-folded folder</a>
<a href="%41.html">escaped name</a>
<a href="/root-absolute.html">from the site's root</a>
<a href='single.html'>single quotes</a>
<a href=" spaced.html ">blanks around</a>
<a data-href="decoy.html" href="real.html">decoy first</a>
<a href="https://example.com/">web</a> <a href="mailto:someone@example.com">mail</a>
<a href="javascript:void(0)">script</a>
<img src="data:image/png;base64,iVBORw0KGgo=" alt="inline">
</body></html>
)PAGE";

constexpr const char* SiteSheet = R"CSS(@import "theme.css";
@font-face { font-family: Missing; src: url(../fonts/Missing.woff2) format("woff2"); }
body { background: url("../img/paper.png") }
/* a comment with url(../img/commented.png) */
)CSS";

constexpr const char* IconPicture =
    R"SVG(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink">
<image href="icon-part.png" width="8" height="8"/>
<use xlink:href="sprite.svg#dot"/>
</svg>
)SVG";

// The binary files: what they hold does not matter, only that they are there.
const std::vector<std::string>& PlainFiles() {
    static const std::vector<std::string> files = {
        "site/css/img/h1.png",   "site/img/paper.png",     "site/img/logo.png",
        "site/img/logo-2x.png",  "site/img/logo-3x.png",   "site/img/wide.webp",
        "site/img/wide-2x.webp", "site/img/go.png",        "site/img/bg.png",
        "site/img/tile.gif",     "site/img/icon-part.png", "site/media/doc.pdf",
        "site/media/poster.jpg", "site/media/clip.webm",   "site/media/clip.vtt",
        "site/media/widget.bin", "shared/banner.png"};
    return files;
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

} // namespace

std::string WriteBrowserSite(const std::string& dir) {
    WriteFile(dir + "site/index.html", IndexPage);
    WriteFile(dir + "site/css/site.css", SiteSheet);
    WriteFile(dir + "site/css/theme.css", "h1 { background-image: url(img/h1.png) }\n");
    WriteFile(dir + "site/css/print.css", "@media print { body { color: black } }\n");
    WriteFile(dir + "site/img/icon.svg", IconPicture);
    WriteFile(dir + "site/img/sprite.svg",
              "<svg xmlns=\"http://www.w3.org/2000/svg\"><symbol id=\"dot\">"
              "<circle r=\"1\"/></symbol></svg>\n");
    WriteFile(dir + "site/sub/inner.htm", "<p>inner <img src=\"../img/logo.png\"></p>\n");
    for (const char* page : {"A.html", "root-absolute.html", "single.html", "spaced.html",
                             "real.html", "decoy.html", "made.html"})
        WriteFile(dir + "site/" + page, std::string("<p>") + page + "</p>\n");
    WriteFile(dir + "site/runtime.json", "{\"loaded\": \"by a script\"}\n");
    for (const std::string& file : PlainFiles())
        WriteFile(dir + file, "bytes of " + file);
    for (const char* file : {"site/img/commented.png", "site/img/in-string.png"})
        WriteFile(dir + file, "never loaded");
    return dir + "site/index.html";
}

std::vector<std::string> BrowserSiteMembers() {
    std::vector<std::string> members = PlainFiles();
    for (const char* file :
         {"site/index.html", "site/css/site.css", "site/css/theme.css", "site/css/print.css",
          "site/img/icon.svg", "site/img/sprite.svg", "site/sub/inner.htm", "site/A.html",
          "site/root-absolute.html", "site/single.html", "site/spaced.html", "site/real.html"})
        members.emplace_back(file);
    return Sorted(std::move(members));
}

std::vector<std::string> BrowserSiteLeftOut() {
    return Sorted({"site/decoy.html", "site/made.html", "site/runtime.json",
                   "site/img/commented.png", "site/img/in-string.png"});
}

} // namespace vlm::test
