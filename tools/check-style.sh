#!/usr/bin/env bash
# Style gate, run by CI before the tests so that a fault fails fast: clang-format differences,
# identifier-naming findings (clang-tidy, the naming check only) and include-layering breaches.
# Prints one line per finding and a summary; exits 1 if there is any finding.
#
# Usage: tools/check-style.sh [build-dir]
#   build-dir (or $BUILD_DIR, default build-test) supplies compile_commands.json; if it has none,
#   it is configured (the configure step only: nothing is built).
#   $JOBS: parallel jobs (default: nproc). $CLANG_FORMAT, $CLANG_TIDY: tools to use.
set -uo pipefail
# An argument is a path from the caller's folder; $BUILD_DIR, as in tools/test.sh, one from the root.
build=${1:-}
if [[ -n "$build" && "$build" != /* ]]; then
    build=$PWD/$build
fi
cd "$(dirname "$0")/.." || exit 2
root=$(pwd -P)
build=${build:-${BUILD_DIR:-build-test}}
jobs=${JOBS:-$(nproc)}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

pick_tool() {
    local name=$1 override=$2
    if [[ -n "$override" ]]; then
        echo "$override"
    elif command -v "$name-14" >/dev/null 2>&1; then
        echo "$name-14"
    elif command -v "$name" >/dev/null 2>&1; then
        echo "$name"
    fi
}
clang_format=$(pick_tool clang-format "${CLANG_FORMAT:-}")
clang_tidy=$(pick_tool clang-tidy "${CLANG_TIDY:-}")

format_count=0
naming_count=0
layering_count=0
tool_errors=0

stage_start=$SECONDS
stage() {
    echo "check-style: $1 took $((SECONDS - stage_start)) s"
    stage_start=$SECONDS
}

# Our C/C++ sources. All of them are ours (no third-party code lives in these folders).
source_dirs=(platform engine game hiscore_server tests bench tools)
mapfile -t sources < <(find "${source_dirs[@]}" -type f \
    \( -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' -o -name '*.h' \
    -o -name '*.hh' -o -name '*.hpp' -o -name '*.inl' \) 2>/dev/null | LC_ALL=C sort)

# --- clang-format -------------------------------------------------------------------------------
if [[ -z "$clang_format" ]]; then
    echo "format: clang-format not found (tools/install-deps.sh installs it)"
    tool_errors=$((tool_errors + 1))
else
    if ! "$clang_format" --version | grep -q ' 14\.'; then
        echo "check-style: note: $("$clang_format" --version) is not clang-format 14;" \
            "its output may differ from the one CI uses"
    fi
    # --dry-run reports each difference as "file:line:col: warning: ..." and still exits 0, so
    # a non-zero status means the tool itself failed.
    printf '%s\0' "${sources[@]}" |
        xargs -0 -r -P "$jobs" -n 20 "$clang_format" --dry-run >/dev/null 2>"$tmp/format.out"
    format_status=$?
    while IFS= read -r line; do
        echo "format: $line"
        format_count=$((format_count + 1))
    done < <(grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): ' "$tmp/format.out" |
        sed -E 's/: warning: code should be clang-formatted.*$/: differs from clang-format/')
    if ((format_status != 0 && format_count == 0)); then
        echo "format: clang-format failed:"
        sed 's/^/    /' "$tmp/format.out" | head -20
        tool_errors=$((tool_errors + 1))
    fi
fi
stage "clang-format"

# --- clang-tidy: identifier naming --------------------------------------------------------------
# Main files: our .cpp files outside tests/ and bench/. Headers are checked through the files
# that include them (the .clang-tidy HeaderFilterRegex), each with the rules of its own folder.
mapfile -t tidy_files < <(find engine game hiscore_server platform -type f \
    \( -name '*.cpp' -o -name '*.cc' -o -name '*.c' \) | LC_ALL=C sort)
if [[ -z "$clang_tidy" ]]; then
    echo "naming: clang-tidy not found (tools/install-deps.sh installs it)"
    tool_errors=$((tool_errors + 1))
else
    if [[ ! -f "$build/compile_commands.json" ]]; then
        echo "check-style: configuring $build for its compile database"
        generator=()
        if [[ ! -f "$build/CMakeCache.txt" ]] && command -v ninja >/dev/null 2>&1; then
            generator=(-G Ninja)
        fi
        if ! cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
            -DSTELLAGRIM_BENCH=ON -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >"$tmp/configure.out" 2>&1 ||
            [[ ! -f "$build/compile_commands.json" ]]; then
            echo "naming: could not configure $build for a compile database:"
            tail -20 "$tmp/configure.out" | sed 's/^/    /'
            tool_errors=$((tool_errors + 1))
        fi
    fi
    # The compile database lists what the build compiles: a unity batch (several of our sources
    # with their target's flags) or a single source. Each of our files is checked once, inside
    # its batch when it has one: its headers are then parsed once for the whole batch. Findings
    # in the sources of a batch are reported as in headers, so the header filter of the
    # top-level .clang-tidy is passed explicitly (the batches live in the build folder, which
    # may be outside the tree); each finding is still judged by the rules of its own folder.
    db_ok=false
    if [[ -f "$build/compile_commands.json" ]]; then
        if python3 - "$build/compile_commands.json" "$tmp" "$root" "${tidy_files[@]}" \
            >"$tmp/db.out" 2>&1 <<'EOF'; then
import json, os, re, sys
src, tmp, root, wanted = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
build = os.path.dirname(os.path.realpath(src))
include = re.compile(r'^[ \t]*#[ \t]*include[ \t]+"([^"]+[.](?:c|cc|cpp|cxx))"', re.M)
wanted_paths = {os.path.realpath(os.path.join(root, w)): w for w in wanted}
def resolve(batch, inc):
    # As the compiler finds it: next to the batch, else from the repository root.
    near = os.path.join(os.path.dirname(batch), inc)
    return os.path.realpath(near if os.path.exists(near) else os.path.join(root, inc))
batches, singles, covered = [], {}, set()
for e in json.load(open(src)):
    path = os.path.normpath(os.path.join(e["directory"], e["file"]))
    members = []
    # Unity batches are generated sources; others made at build time may not exist yet.
    if os.path.realpath(path).startswith(build + "/") and os.path.exists(path):
        with open(path, errors="replace") as f:
            members = [resolve(path, inc) for inc in include.findall(f.read())]
    if members:
        ours = [m for m in members if m in wanted_paths]
        if ours:
            batches.append(dict(e, file=path))
            covered.update(ours)
    elif os.path.realpath(path) in wanted_paths:
        # A source compiled by several targets (the hiscore server's private copies) once.
        singles.setdefault(os.path.realpath(path), dict(e, file=path))
entries = batches + [e for p, e in singles.items() if p not in covered]
covered.update(singles)
os.makedirs(os.path.join(tmp, "db"), exist_ok=True)
with open(os.path.join(tmp, "db", "compile_commands.json"), "w") as f:
    json.dump(entries, f, indent=1)
missing = [w for p, w in wanted_paths.items() if p not in covered]
with open(os.path.join(tmp, "units"), "w") as f:
    f.write("".join(e["file"] + "\0" for e in entries))
    f.write("".join(os.path.join(root, w) + "\0" for w in missing))
if missing:
    print("check-style: note: not in %s, flags guessed from a neighbour: %s"
          % (src, " ".join(sorted(missing))))
with open(os.path.join(root, ".clang-tidy")) as f:
    filters = re.findall(r"^HeaderFilterRegex:[ \t]*'([^']*)'", f.read(), re.M)
if len(filters) != 1:
    sys.exit("no HeaderFilterRegex in %s/.clang-tidy" % root)
with open(os.path.join(tmp, "header-filter"), "w") as f:
    f.write(filters[0])
EOF
            db_ok=true
            cat "$tmp/db.out"
        else
            echo "naming: could not read $build/compile_commands.json:"
            tail -5 "$tmp/db.out" | sed 's/^/    /'
            tool_errors=$((tool_errors + 1))
        fi
    fi
    if $db_ok; then
        # Results are kept in the user's cache folder, keyed by each unit's preprocessed text.
        python3 tools/tidycache.py "$root" "$tmp/db" "$tmp/units" "$jobs" "$clang_tidy" \
            '-*,readability-identifier-naming' "$(cat "$tmp/header-filter")" "$tmp/tidy.sum" \
            >"$tmp/tidy.out" 2>"$tmp/tidy.err"
        tidy_status=$?
        [[ -f "$tmp/tidy.sum" ]] && echo "check-style: clang-tidy: $(cat "$tmp/tidy.sum")"
        # A header's finding is reported once per file including it.
        while IFS= read -r line; do
            echo "naming: $line"
            naming_count=$((naming_count + 1))
        done < <(grep -E '^[^ ]+:[0-9]+:[0-9]+: (warning|error): ' "$tmp/tidy.out" |
            sed -e "s|^$root/||" | LC_ALL=C sort -u)
        if ((tidy_status != 0 && naming_count == 0)); then
            echo "naming: clang-tidy failed:"
            grep -v 'warnings\? generated\.$' "$tmp/tidy.err" | head -20 | sed 's/^/    /'
            tool_errors=$((tool_errors + 1))
        fi
    fi
fi
stage "clang-tidy (naming, ${#tidy_files[@]} files, $jobs jobs)"

# --- include layering ---------------------------------------------------------------------------
# Sets $target to the repository-relative path an include names, resolved the way the compiler
# does: a quoted name next to the including file first (always so for ./ and ../ names), then from
# the repository root (the only include root of our code).
resolve_include() {
    local file=$1 kind=$2 name=$3 path=$3 part
    local -a parts out=()
    if [[ "$kind" == '"' && ("$name" == ./* || "$name" == ../* || -e "${file%/*}/$name") ]]; then
        path="${file%/*}/$name"
    fi
    IFS=/ read -r -a parts <<<"$path"
    for part in "${parts[@]}"; do
        case "$part" in
        '' | .) ;;
        ..) if ((${#out[@]})); then unset 'out[-1]'; fi ;;
        *) out+=("$part") ;;
        esac
    done
    local IFS=/
    target="${out[*]}"
}

# Each engine layer uses only the ones below it, and so does each layer of the game:
# game/common, game/visual, game/world, game/shell.
forbidden_for() {
    case "$1" in
    engine/core/*) layer=engine/core forbidden='engine/(script|system|media|ui)/' ;;
    engine/script/*) layer=engine/script forbidden='engine/(system|media|ui)/' ;;
    engine/system/*) layer=engine/system forbidden='engine/(media|ui)/' ;;
    game/common/*) layer=game/common forbidden='game/(visual|world|shell)/' ;;
    game/visual/*) layer=game/visual forbidden='game/(world|shell)/' ;;
    game/world/*) layer=game/world forbidden='game/shell/' ;;
    *) layer='' forbidden='' ;;
    esac
}

visual_from_world='(GStateKey|GStateNameTable|LineMove|GStepMobile|GMobile|GWndMobile|GSCanMove|GSMoveType|GFinishMobileLstnr)'
include_re='^[[:space:]]*#[[:space:]]*include[[:space:]]*([<"])([^>"]+)[>"]'
while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    lineno=${rest%%:*}
    text=${rest#*:}
    [[ "$text" =~ $include_re ]] || continue
    kind=${BASH_REMATCH[1]}
    name=${BASH_REMATCH[2]}
    if [[ "$file" != platform/* && "$file" != tests/platform/* && "$name" =~ ^(SDL2/)?SDL ]]; then
        echo "layering: $file:$lineno: includes $name (SDL only in platform/, tests/platform/)"
        layering_count=$((layering_count + 1))
    fi
    forbidden_for "$file"
    if [[ -n "$forbidden" ]]; then
        resolve_include "$file" "$kind" "$name"
        if [[ "$target" =~ ^$forbidden ]]; then
            above=${BASH_REMATCH[0]%/}
            # The state keys and the movers are world classes that the visual library compiles in.
            if [[ "$layer" != game/visual || ! "$target" =~ ^game/world/$visual_from_world\.h$ ]]; then
                echo "layering: $file:$lineno: includes $name ($layer is below $above)"
                layering_count=$((layering_count + 1))
            fi
        fi
    fi
done < <(printf '%s\0' "${sources[@]}" | xargs -0 -r grep -HnE "$include_re")
stage "layering"

total=$((format_count + naming_count + layering_count + tool_errors))
echo "check-style: $format_count format, $naming_count naming, $layering_count layering" \
    "finding(s)$( ((tool_errors)) && echo ", $tool_errors tool error(s)")"
((total == 0))
