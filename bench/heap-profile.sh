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
    echo "== at the peak =="
    sed -n '/^PEAK MEMORY CONSUMERS/,/^MEMORY LEAKS/p' "$scratch/report.txt" | sed '$d'
    echo "== after the open (still allocated at the end) =="
    sed -n '/^MEMORY LEAKS/,/^total runtime/p' "$scratch/report.txt" | head -n $((top * 8))
    grep -E "^(peak heap memory consumption|peak RSS|total memory leaked)" "$scratch/report.txt" || true
    ;;
  massif)
    valgrind --tool=massif --massif-out-file="$scratch/massif.out" --depth=12 --threshold=0.5 \
      "$bench" --open-only "$input" >"$scratch/bench.txt" 2>"$scratch/valgrind.txt" || true
    grep -E "memory:|bytes per byte" "$scratch/bench.txt" || true
    ms_print --threshold=1 "$scratch/massif.out" >"$scratch/report.txt"
    # The peak snapshot's tree, then the last snapshot's (after the open).
    peak=$(sed -n 's/^ *\([0-9]*\) (peak).*/\1/p' "$scratch/report.txt" | head -n 1)
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
