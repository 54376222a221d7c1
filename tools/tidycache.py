#!/usr/bin/env python3
"""Runs clang-tidy on each unit of a compile database, reusing earlier results.

A unit's findings depend only on its preprocessed text, the clang-tidy version, the checks, the
header filter and the .clang-tidy files of the tree; those make the key of a result kept in the
user's cache folder. A warm CI run then runs clang-tidy only on the units a change touched: the
preprocessor is about a tenth of clang-tidy's time. Paths under the tree are stored relative to
it, so clones in other folders share the cache. Units without a database entry always run.

Usage: tidycache.py ROOT DB_DIR UNITS_FILE JOBS CLANG_TIDY CHECKS HEADER_FILTER SUMMARY_FILE
Writes clang-tidy's findings to stdout, its diagnostics to stderr and one line on how many
results were reused to SUMMARY_FILE; exits non-zero when a run of clang-tidy failed.
"""
import concurrent.futures
import hashlib
import json
import os
import shlex
import subprocess
import sys
import threading

root, db_dir, units_file, jobs, clang_tidy, checks, header_filter, summary = sys.argv[1:9]
root = os.path.realpath(root)
cache = os.path.join(os.environ.get("XDG_CACHE_HOME") or os.path.expanduser("~/.cache"),
                     "stellagrim", "tidy")
marker = "@ROOT@"

with open(units_file) as f:
    units = [u for u in f.read().split("\0") if u]
with open(os.path.join(db_dir, "compile_commands.json")) as f:
    entries = {os.path.realpath(e["file"]): e for e in json.load(f)}


def config_text():
    parts = ["comments kept", subprocess.run([clang_tidy, "--version"], capture_output=True, text=True).stdout,
             checks, header_filter]
    for folder, dirs, files in sorted(os.walk(root)):
        dirs[:] = sorted(d for d in dirs if not d.startswith(".") and not d.startswith("build"))
        if ".clang-tidy" in files:
            with open(os.path.join(folder, ".clang-tidy")) as f:
                parts.append(os.path.relpath(folder, root) + "\n" + f.read())
    return "\0".join(parts)


config = config_text().encode()


def preprocessed(entry):
    """The unit's text as the compiler sees it, or None when it cannot be made."""
    args = entry.get("arguments") or shlex.split(entry["command"])
    out, skip = [], False
    for arg in args:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        elif arg != "-c":
            out.append(arg)
    # Comments kept: a NOLINT changes what clang-tidy reports.
    result = subprocess.run(out + ["-E", "-C"], cwd=entry["directory"], capture_output=True)
    if result.returncode != 0:
        return None
    return result.stdout.replace(root.encode() + b"/", marker.encode() + b"/")


def run(unit):
    entry = entries.get(os.path.realpath(unit))
    key = None
    if entry is not None:
        text = preprocessed(entry)
        if text is not None:
            digest = hashlib.sha256(config)
            digest.update(b"\0" + os.path.relpath(os.path.realpath(unit), root).encode() + b"\0")
            digest.update(text)
            key = digest.hexdigest()
            path = os.path.join(cache, key[:2], key)
            if os.path.exists(path):
                with open(path) as f:
                    return 0, f.read().replace(marker + "/", root + "/"), "", True
    result = subprocess.run([clang_tidy, "-p", db_dir, "--quiet", "--checks=" + checks,
                             "--header-filter=" + header_filter, unit],
                            capture_output=True, text=True)
    if result.returncode == 0 and key is not None:
        path = os.path.join(cache, key[:2], key)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        tmp = "%s.%d.%d" % (path, os.getpid(), threading.get_ident())
        with open(tmp, "w") as f:
            f.write(result.stdout.replace(root + "/", marker + "/"))
        os.replace(tmp, path)
    return result.returncode, result.stdout, result.stderr, False


status = 0
hits = 0
with concurrent.futures.ThreadPoolExecutor(max_workers=int(jobs)) as pool:
    for code, out, err, reused in pool.map(run, units):
        sys.stdout.write(out)
        sys.stderr.write(err)
        status = status or code
        hits += reused
with open(summary, "w") as f:
    f.write("%d of %d results reused from %s\n" % (hits, len(units), cache))
sys.exit(1 if status else 0)
