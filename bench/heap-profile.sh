#!/bin/sh
# heap-profile.sh: where the editor's memory goes with a large PHP file open.
#
#   bench/heap-profile.sh [BUILD_DIR] [SIZE_MB]
#
# Writes SIZE_MB (10 unless given) of packaged PHP, opens it in the editor
# window headless (editor-bench --open-only) under heaptrack, or under
# valgrind's massif where heaptrack is missing, and prints the allocation
# sites that hold the most at the peak and after the open (what is still
# allocated when the bench ends, right after the file is coloured).
# HEAP_PROFILE_TOOL=massif picks massif; HEAP_PROFILE_TOP=N the number of
# sites (15 unless given). The raw profile is left in the scratch folder,
# whose name is printed.
set -eu

build=${1:-build}
size_mb=${2:-10}
top=${HEAP_PROFILE_TOP:-15}
bench="$build/bench/editor-bench"
if [ ! -x "$bench" ]; then
  echo "heap-profile: $bench is not built" >&2
  exit 1
fi

tool=${HEAP_PROFILE_TOOL:-}
if [ -z "$tool" ]; then
  if command -v heaptrack >/dev/null 2>&1 && command -v heaptrack_print >/dev/null 2>&1; then
    tool=heaptrack
  elif command -v valgrind >/dev/null 2>&1 && command -v ms_print >/dev/null 2>&1; then
    tool=massif
  else
    echo "heap-profile: neither heaptrack nor valgrind (massif) is installed" >&2
    exit 1
  fi
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/heap-profile.XXXXXX")
input="$scratch/real-${size_mb}mb.php"
from=$("$bench" --real "$input" $((size_mb * 1048576)))
echo "heap-profile: $(wc -c <"$input") bytes of $from, with $tool; profile in $scratch"

case "$tool" in
  heaptrack)
    # The bench ends with _exit right after the open: what heaptrack calls
    # leaked is what the open left allocated.
    heaptrack -o "$scratch/heap" "$bench" --open-only "$input" >"$scratch/bench.txt" 2>&1 || true
    grep -E "memory:|bytes per byte" "$scratch/bench.txt" || true
    profile=$(ls "$scratch"/heap.* 2>/dev/null | head -n 1)
    if [ -z "$profile" ]; then
      echo "heap-profile: heaptrack wrote no profile" >&2
      cat "$scratch/bench.txt" >&2
      exit 1
    fi
    heaptrack_print -f "$profile" --print-peaks 1 --print-leaks 1 --print-allocators 0 \
      --print-temporary 0 --peak-limit "$top" --sub-peak-limit 3 >"$scratch/report.txt" 2>&1 || true
    echo
    # Each site as its size, its count of allocations and the first three
    # frames of this program's own code under it (the merged backtraces of
    # heaptrack_print, indented, are the call paths that make it up).
    summary() {
      python3 - "$scratch/report.txt" "$1" "$2" <<'PY'
import re, signal, sys
signal.signal(signal.SIGPIPE, signal.SIG_DFL)
lines = open(sys.argv[1]).read().split("\n")
first, last = sys.argv[2], sys.argv[3]
head = re.compile(r"^(\S+) (peak memory consumed|leaked|consumed) over (\d+) calls from:?$")
inside, i = False, 0
while i < len(lines):
    line = lines[i]
    if line == first:
        inside = True
    elif line == last or line.startswith(last):
        inside = False
    m = head.match(line.strip()) if inside else None
    if not m:
        i += 1
        continue
    frames, j = [], i + 1
    while j < len(lines) and lines[j].strip() and not head.match(lines[j].strip()):
        f = lines[j].strip()
        at = lines[j + 1].strip() if j + 1 < len(lines) else ""
        if not f.startswith(("at ", "in ")) and at.startswith("at ../") and not f.startswith("std::"):
            frames.append(re.sub(r"\(.*", "", f) + " " + at[3:].replace("../", ""))
        j += 1
    indent = "    " if line.startswith(" ") or m.group(2) == "consumed" else ""
    print("%s%s in %s allocations: %s" % (indent, m.group(1), m.group(3), " <- ".join(frames[:3]) or "(outside the program)"))
    i = j
PY
    }
    echo "== at the peak =="
    if command -v python3 >/dev/null 2>&1; then summary "PEAK MEMORY CONSUMERS" "MEMORY LEAKS"
    else sed -n '/^PEAK MEMORY CONSUMERS/,/^MEMORY LEAKS/p' "$scratch/report.txt" | sed '$d'; fi
    echo "== after the open (still allocated at the end) =="
    if command -v python3 >/dev/null 2>&1; then summary "MEMORY LEAKS" "total runtime" | head -n $((top * 4))
    else sed -n '/^MEMORY LEAKS/,/^total runtime/p' "$scratch/report.txt" | head -n $((top * 8)); fi
    grep -E "^(peak heap memory consumption|peak RSS|total memory leaked)" "$scratch/report.txt" || true
    ;;
  massif)
    valgrind --tool=massif --massif-out-file="$scratch/massif.out" --depth=12 --threshold=0.5 \
      "$bench" --open-only "$input" >"$scratch/bench.txt" 2>"$scratch/valgrind.txt" || true
    grep -E "memory:|bytes per byte" "$scratch/bench.txt" || true
    ms_print --threshold=1 "$scratch/massif.out" >"$scratch/report.txt"
    # The peak snapshot's tree, then the last snapshot's (after the open).
    peak=$(grep -o '[0-9]* (peak)' "$scratch/report.txt" | head -n 1 | cut -d' ' -f1)
    echo
    echo "== at the peak (snapshot ${peak:-?}) =="
    awk -v want="${peak:-x}" '
      /^ *n +time/ { getline; getline; n = $1 } 
      /^[0-9.]+% \(/ && n == want { show = 1 }
      show && /^-+$/ { show = 0 }
      show { print }' "$scratch/report.txt" | head -n $((top * 4))
    echo "== after the open (last detailed snapshot) =="
    awk '/^[0-9.]+% \(/ { block = "" ; keep = 1 } keep { block = block $0 "\n" } /^-+$/ { if (keep) last = block; keep = 0 }
      END { printf "%s", last }' "$scratch/report.txt" | head -n $((top * 4))
    ;;
  *)
    echo "heap-profile: unknown tool $tool (heaptrack or massif)" >&2
    exit 1
    ;;
esac
