#!/usr/bin/env bash
# index-bench: the project index against a tag indexer on real code.
#
#   bench/index-bench.sh [BUILD_DIR [WORK_DIR]]
#
# Builds one corpus a language from files Debian packages ship (downloaded
# and unpacked into WORK_DIR, never installed): PHP of the Symfony, Doctrine
# and PEAR packages, the Perl and Ruby standard libraries, JavaScript of node
# packages, CSS, HTML, and the XML of the DocBook packages. Then indexes
# each corpus with `qv-scan FOLDER` and with `ctags -R`, and prints both
# times (CPU of the whole process), their ratio against the goal (ours no
# slower) and the symbols by kind of each.
# The tag indexer comes from Debian (universal-ctags), installed here when
# missing; nothing in the tests needs it.
set -u
BUILD=${1:-build}
WORK=${2:-${TMPDIR:-/tmp}/quorvel-index-bench}
QV_SCAN=${QV_SCAN:-$BUILD/bench/qv-scan}
[ -x "$QV_SCAN" ] || { echo "index-bench: no $QV_SCAN (build first)" >&2; exit 1; }
if ! command -v ctags >/dev/null 2>&1; then
  if [ "$(id -u)" = 0 ]; then apt-get install -y universal-ctags >/dev/null 2>&1; fi
  command -v ctags >/dev/null 2>&1 || { echo "index-bench: ctags is missing (apt-get install universal-ctags)" >&2; exit 1; }
fi

declare -A PACKAGES=(
  [php]="php-symfony-console php-symfony-http-kernel php-symfony-dependency-injection php-symfony-form
         php-symfony-validator php-doctrine-orm php-doctrine-dbal php-pear"
  [perl]="perl-modules-5.36"
  [ruby]="libruby3.1"
  [javascript]="node-typescript node-acorn node-esprima node-uglify-js node-lodash"
  [css]="wordpress libjs-jquery-ui"
  [html]="python3.11-doc"
  [xml]="docbook-xml docbook-xsl"
)
declare -A EXTENSIONS=(
  [php]="php" [perl]="pm pl" [ruby]="rb" [javascript]="js mjs" [css]="css" [html]="html htm" [xml]="xml"
)
declare -A TAG_LANGUAGE=(
  [php]=PHP [perl]=Perl [ruby]=Ruby [javascript]=JavaScript [css]=CSS [html]=HTML [xml]=XML
)

mkdir -p "$WORK/debs" "$WORK/unpacked" "$WORK/corpus"

# Unpacks each package once; a package the archive lacks is left out.
unpack() {
  local package=$1
  [ -d "$WORK/unpacked/$package" ] && return 0
  (cd "$WORK/debs" && ls "${package}"_*.deb >/dev/null 2>&1 || apt-get download "$package" >/dev/null 2>&1) || {
    echo "index-bench: package $package not to be had, left out" >&2
    return 0
  }
  mkdir -p "$WORK/unpacked/$package"
  dpkg-deb -x "$(ls "$WORK/debs/${package}"_*.deb | head -1)" "$WORK/unpacked/$package"
}

# Seconds of CPU (user + system) of a command, its output to a file.
cpu_seconds() {
  local out=$1
  shift
  local TIMEFORMAT='%3U %3S'
  local times
  times=$( { time "$@" >"$out" 2>&1; } 2>&1 )
  awk '{ printf "%.3f", $1 + $2 }' <<<"$times"
}

printf '%-11s %7s %6s %9s %9s %7s  %s\n' corpus MB files ours_s tags_s ratio "goal: ours no slower than the tag indexer"
for language in php perl ruby javascript css html xml; do
  corpus="$WORK/corpus/$language"
  if [ ! -d "$corpus" ]; then
    mkdir -p "$corpus"
    for package in ${PACKAGES[$language]}; do
      unpack "$package"
      [ -d "$WORK/unpacked/$package" ] || continue
      for extension in ${EXTENSIONS[$language]}; do
        (cd "$WORK/unpacked/$package" && find . -type f -name "*.$extension" -size +0 -print0 |
          xargs -0 -r cp --parents -t "$corpus" 2>/dev/null)
      done
    done
  fi
  files=$(find "$corpus/" -type f | wc -l)
  [ "$files" -gt 0 ] || { echo "$language: no files"; continue; }
  mb=$(du -sbL "$corpus/" | awk '{ printf "%.1f", $1 / 1e6 }')
  ours=$(cpu_seconds "$WORK/$language.qv" "$QV_SCAN" "$corpus")
  tags=$(cpu_seconds "$WORK/$language.ctags" ctags -R -f "$WORK/$language.tags" --fields=+K \
    --languages="${TAG_LANGUAGE[$language]}" "$corpus")
  verdict=$(awk -v a="$ours" -v b="$tags" 'BEGIN { r = b > 0 ? a / b : 0; printf "%6.2fx  %s", r, r <= 1 ? "meets" : "misses" }')
  printf '%-11s %7s %6s %9s %9s %s\n' "$language" "$mb" "$files" "$ours" "$tags" "$verdict"
  # The index loop alone, as qv-scan times it (without its start and the languages' load).
  sed -n 's/^\(.* s\) .*MB\/s.*/  ours, index loop: \1/p' "$WORK/$language.qv" | head -1
  echo "  ours by kind: $(sed -n 's/^ *kinds: //p' "$WORK/$language.qv" | head -1)"
  echo "  tags by kind: $(grep -v '^!_' "$WORK/$language.tags" | awk -F';"\t' '{ split($2, f, "\t"); n[f[1]]++ }
    END { s = ""; for (k in n) s = s (s == "" ? "" : ", ") k " " n[k]; print s }')"
done
