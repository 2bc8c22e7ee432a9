#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Checks that every project include in the source folders points down the rows of layers that
# HACKING.md draws (the block between <!-- layers --> and <!-- /layers -->).
# Usage: scripts/check-layers.sh
set -euo pipefail
cd "$(dirname "$0")/.."
python3 - <<'PY'
import os, re, sys
text = open("HACKING.md", encoding="utf-8").read()
block = re.search(r"<!-- layers -->\s*```\n(.*?)```\s*<!-- /layers -->", text, re.S)
if not block:
    sys.exit("check-layers: no layers block in HACKING.md")
row_of = {}
for row, line in enumerate(block.group(1).split("\n")):
    for folder in line.split():
        row_of[folder] = row

def folder_of(path):
    # the longest listed folder that the path lies in
    best = None
    for folder in row_of:
        if path == folder or path.startswith(folder + "/"):
            if best is None or len(folder) > len(best):
                best = folder
    return best

include = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
bad = []
for top in sorted({f.split("/")[0] for f in row_of}):
    for root, _, files in os.walk(top):
        for name in files:
            if not name.endswith((".h", ".cpp", ".c", ".rc", ".in")):
                continue
            path = os.path.join(root, name)
            src = folder_of(path)
            if src is None:
                continue
            for target in include.findall(open(path, encoding="utf-8", errors="replace").read()):
                dst = folder_of(target)
                if dst is None or dst == src:
                    continue
                if row_of[dst] <= row_of[src]:
                    bad.append(f"{path}: includes {target} ({dst} is not below {src})")
for line in bad:
    print(line, file=sys.stderr)
sys.exit(1 if bad else 0)
PY
