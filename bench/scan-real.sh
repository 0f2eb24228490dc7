#!/usr/bin/env bash
# scan-real: the scan engine's speed on real code, one 5 MB file a language.
#
#   bench/scan-real.sh [BUILD_DIR [WORK_DIR]]
#
# Each file is real code run together: whole files of the corpora that
# bench/index-bench.sh unpacks from Debian packages (PHP, Perl, Ruby,
# JavaScript, CSS, HTML; made here first when missing), and for XML the XML
# files the system ships under /usr/share, taken in name order until the file
# holds 5 MB (see gather for the files left out). Then `qv-scan` scans each file with styles and symbols and prints
# its MB/s against the 100 MB/s goal, and the digest of its results (a change
# to the engine that should not change results must leave the digests alone).
set -u
BUILD=${1:-build}
WORK=${2:-${TMPDIR:-/tmp}/quorvel-scan-real}
CORPORA=${CORPORA:-${TMPDIR:-/tmp}/quorvel-index-bench}
QV_SCAN=${QV_SCAN:-$BUILD/bench/qv-scan}
SIZE=$((5 << 20))
[ -x "$QV_SCAN" ] || { echo "scan-real: no $QV_SCAN (build first)" >&2; exit 1; }
HERE=$(cd "$(dirname "$0")" && pwd)

if [ ! -d "$CORPORA/corpus/php" ]; then
  echo "scan-real: making the corpora in $CORPORA (bench/index-bench.sh)" >&2
  bash "$HERE/index-bench.sh" "$BUILD" "$CORPORA" >/dev/null
fi

mkdir -p "$WORK" && WORK=$(cd "$WORK" && pwd)

# Writes whole files, read NUL-separated from standard input, to $1 until it
# holds SIZE bytes. Files of more than 2 MB are left out, so that each file is
# many files' code, and so are files with an end-of-code mark ("__END__",
# "__DATA__"): past the first, the rest would all be data.
gather() {
  local out=$1 file size total=0
  : >"$out"
  while IFS= read -r -d '' file; do
    size=$(stat -c %s "$file")
    [ "$size" -le $((2 << 20)) ] || continue
    grep -q '^__\(END\|DATA\)__' "$file" && continue
    cat "$file" >>"$out"
    total=$((total + size))
    [ "$total" -ge "$SIZE" ] && break
  done
}

declare -A EXTENSION=([php]=php [perl]=pl [ruby]=rb [javascript]=js [css]=css [html]=html [xml]=xml)
files=()
for language in php perl ruby javascript css html xml; do
  out="$WORK/real.${EXTENSION[$language]}"
  if [ ! -s "$out" ]; then
    if [ "$language" = xml ]; then
      find /usr/share/mime /usr/share/xml /usr/share/X11 /usr/share/wayland /usr/share/vulkan \
        -type f -name '*.xml' -print0 2>/dev/null | LC_ALL=C sort -z | gather "$out"
    else
      (cd "$CORPORA/corpus/$language" && find . -type f -print0 | LC_ALL=C sort -z) |
        (cd "$CORPORA/corpus/$language" && gather "$out")
    fi
  fi
  [ -s "$out" ] && files+=("$out") || echo "scan-real: no $language file" >&2
done

"$QV_SCAN" "${files[@]}"
