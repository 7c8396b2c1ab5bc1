#!/usr/bin/env bash
# Times vlm against Info-ZIP zip and 7-Zip on the same trees, in one run, and prints the
# ratios: `vlm zip` of a tree against `zip -r -6 -P` and `7zz a -tzip` (ZipCrypto), and a
# parse-mode `vlm build` against `vlm zip -@ --absolute` and Info-ZIP's `zip -@` of the
# build's own file list (medians, and CPU time against Info-ZIP's).
#
#   bench/compare.sh [-v VLM] [-r RUNS] [-j JOBS] [-B] [TREE HOME]...
#
# Without trees it uses a generated site of 50,000 files and, when present, the Rust
# documentation of the rustup toolchain (std/ for the zip runs, the whole reach of
# book/index.html for the build). HOME is the build's home page, relative to TREE. -B
# leaves out the zip comparisons.
# Needs hyperfine, zip, 7zz and python3; VLM defaults to build-bench/vlm, then build/vlm.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
vlm=""
runs=5
jobs=""
zips=1
while getopts "v:r:j:B" opt; do
    case "$opt" in
    v) vlm="$OPTARG" ;;
    r) runs="$OPTARG" ;;
    j) jobs="--jobs $OPTARG" ;;
    B) zips=0 ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ -z "$vlm" ]; then
    for candidate in "$here/build-bench/vlm" "$here/build/vlm" "$here/build-nogui/vlm"; do
        [ -x "$candidate" ] && vlm="$candidate" && break
    done
fi
[ -x "$vlm" ] || { echo "no vlm program (build one or give -v VLM)" >&2; exit 1; }
for tool in hyperfine zip 7zz python3; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The build looks for the viewer program in the program folder; any file will do here.
mkdir -p "$work/prog/Languages"
printf 'MZ' >"$work/prog/VLMView.exe"
export VLM_PROGRAM_DIR="$work/prog"

# A site of n pages in folders of 100, each linking to the next few, with text of mixed
# length and some pictures: every file is reached from index.html.
generate_site() {
    python3 - "$1" "$2" <<'PY'
import os, random, sys
root, n = sys.argv[1], int(sys.argv[2])
random.seed(7)
words = "archive viewer page link folder member index table chapter section note".split()
def name(i):
    return "index.html" if i == 0 else f"d{i // 100:03}/p{i}.html"
for i in range(n):
    path = os.path.join(root, name(i))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if i % 10 == 9:
        with open(path[:-5] + ".png", "wb") as f:
            f.write(os.urandom(random.randint(500, 20000)))
    up = "../" if i else ""
    links = "".join(f'<li><a href="{up}{name(j)}#top">page {j}</a></li>\n'
                    for j in range(i + 1, min(n, i + 3)))
    if i % 10 == 9:
        links += f'<img src="{os.path.basename(path)[:-5]}.png" alt="picture">\n'
    text = " ".join(random.choice(words) for _ in range(random.randint(50, 3000)))
    with open(path, "w") as f:
        f.write(f"<html><head><title>Page {i}</title></head><body><h1>Page {i}</h1>\n"
                f"<ul>\n{links}</ul><p>{text}</p></body></html>\n")
PY
}

mean() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["mean"])' "$@"; }
median() { python3 -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]["median"])' "$@"; }
cpu() { python3 -c 'import json,sys; r=json.load(open(sys.argv[1]))["results"][int(sys.argv[2])]; print(r["user"] + r["system"])' "$@"; }
ratio() { python3 -c 'import sys; print(f"{float(sys.argv[1]) / float(sys.argv[2]):.2f}")' "$1" "$2"; }
size() { stat -c %s "$1"; }

# vlm zip, Info-ZIP and 7-Zip on one folder.
compare_zip() {
    [ "$zips" = 1 ] || return 0
    local tree="$1" label="$2"
    local parent base
    parent="$(dirname "$tree")"
    base="$(basename "$tree")"
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$work/zip.json" \
        --prepare "rm -f $work/v.zip $work/i.zip $work/s.zip" \
        -n "vlm zip" "$vlm zip $work/v.zip $tree --password pw --level 6 $jobs" \
        -n "Info-ZIP zip" "bash -c 'cd $parent && zip -q -r -6 -P pw $work/i.zip $base'" \
        -n "7-Zip" "7zz a -bd -bso0 -tzip -mx=5 -mem=ZipCrypto -ppw $work/s.zip $tree" >&2
    # One more run of each for the archive sizes (every timed run removes all three).
    "$vlm" zip "$work/v.zip" "$tree" --password pw --level 6 $jobs >/dev/null
    (cd "$parent" && zip -q -r -6 -P pw "$work/i.zip" "$base")
    local v i s
    v="$(mean "$work/zip.json" 0)"
    i="$(mean "$work/zip.json" 1)"
    s="$(mean "$work/zip.json" 2)"
    echo "$label: vlm zip $(printf %.3f "$v") s, Info-ZIP $(printf %.3f "$i") s, 7-Zip $(printf %.3f "$s") s"
    echo "$label: vlm zip / Info-ZIP = $(ratio "$v" "$i") (time), $(ratio "$(size "$work/v.zip")" "$(size "$work/i.zip")") (size); 7-Zip / Info-ZIP = $(ratio "$s" "$i") (time)"
    echo "$label: vlm zip peak memory $(/usr/bin/time -f %M "$vlm" zip "$work/m.zip" "$tree" --password pw $jobs 2>&1 >/dev/null | tail -1) KB"
    rm -f "$work"/*.zip
}

# A parse-mode vlm build from home, and Info-ZIP zipping the list of files it took.
compare_build() {
    local home="$1" label="$2"
    local project="$work/p.vlp"
    "$vlm" new "$project" --force >/dev/null
    "$vlm" set "$project" "HomePage=$home" "OutputFile=$work/out.vlm" >/dev/null
    "$vlm" build "$project" --yes --quiet $jobs
    # The members as stored (full paths without the leading "/"), less the settings member.
    "$vlm" list "$work/out.vlm" |
        sed -nE 's/^ *[0-9]+ +[0-9]+ +[A-Za-z]+ +0x[0-9A-F]+ +[0-9A-F]+ +[0-9-]+ [0-9:]+ +[a-z]+ //p' |
        (cd / && while IFS= read -r name; do if [ -f "$name" ]; then printf '%s\n' "$name"; fi; done) \
            >"$work/list"
    echo "$label: $(wc -l <"$work/list") files in the build's list" >&2
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$work/build.json" \
        --prepare "rm -f $work/i.zip $work/z.zip" \
        -n "vlm build" "$vlm build $project --yes --quiet $jobs" \
        -n "vlm zip -@ of the list" "bash -c '$vlm zip $work/z.zip -@ --absolute --level 6 --password pw $jobs < $work/list'" \
        -n "Info-ZIP zip of the list" "bash -c 'cd / && zip -q -6 -P pw $work/i.zip -@ < $work/list'" >&2
    local v z i
    v="$(median "$work/build.json" 0)"
    z="$(median "$work/build.json" 1)"
    i="$(median "$work/build.json" 2)"
    echo "$label: medians: vlm build $(printf %.3f "$v") s, vlm zip -@ $(printf %.3f "$z") s, Info-ZIP $(printf %.3f "$i") s"
    echo "$label: vlm build / vlm zip -@ = $(ratio "$v" "$z"), vlm build / Info-ZIP = $(ratio "$v" "$i") (time)"
    echo "$label: CPU (user + system) vlm build $(printf %.3f "$(cpu "$work/build.json" 0)") s, Info-ZIP $(printf %.3f "$(cpu "$work/build.json" 2)") s: $(ratio "$(cpu "$work/build.json" 0)" "$(cpu "$work/build.json" 2)")"
    echo "$label: vlm build peak memory $(/usr/bin/time -f %M "$vlm" build "$project" --yes --quiet $jobs 2>&1 >/dev/null | tail -1) KB"
    echo "$label: load while measuring: $(cut -d' ' -f1-3 /proc/loadavg)"
    rm -f "$work/out.vlm" "$work/i.zip" "$work/z.zip"
}

echo "machine: $(nproc) hardware threads; vlm: $vlm ${jobs:-(default jobs)}"
if [ $# -gt 0 ]; then
    while [ $# -ge 2 ]; do
        compare_zip "$(realpath "$1")" "$1"
        compare_build "$(realpath "$1")/$2" "$1"
        shift 2
    done
    exit 0
fi

site="$work/site"
echo "generating a site of 50,000 files..." >&2
generate_site "$site" 45455
compare_zip "$site" "generated site"
compare_build "$site/index.html" "generated site"
rm -rf "$site"

rust="$(ls -d "$HOME"/.rustup/toolchains/*/share/doc/rust/html 2>/dev/null | head -1 || true)"
if [ -n "$rust" ] && [ -d "$rust/std" ]; then
    compare_zip "$rust/std" "Rust std documentation"
    compare_build "$rust/book/index.html" "Rust documentation from the book's index"
else
    echo "no Rust documentation under ~/.rustup: skipped" >&2
fi
