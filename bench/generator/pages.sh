#!/bin/sh
# Benchmark of the gallery pages as the gallery grows: for each count of
# small pictures (1,000, 10,000 and 20,000 by default) one run makes the
# thumbnails, then every shipped template with its own defaults makes its
# pages over the kept thumbnails, so that such a run decodes nothing. For
# each: the pages, their bytes and those of the viewer's data file; the
# pages' own time as the generator gives it (VIGNETOR_STATS=1: wall, and
# CPU in the program and in the system, from the first page made to the
# last in place); the whole run's wall time and peak memory. Times are the
# best of ROUNDS runs, the peak the highest. Bytes and time should grow with
# the gallery, no faster: the last lines give the largest count against the
# smallest.
#
# usage: [SIZES="1000 10000 20000"] [ROUNDS=5] [KEEP=dir] bench/generator/pages.sh [bin-dir]
#   bin-dir holds Vignetor with the shipped templates and viewer files
#   beside it (default: build/bin of this tree).
# needs: time, libvips-tools (vips)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
sizes=${SIZES:-1000 10000 20000}
rounds=${ROUNDS:-5}
[ -x /usr/bin/time ] || { echo "missing: /usr/bin/time" >&2; exit 2; }
command -v vips >/dev/null 2>&1 || { echo "missing: vips (libvips-tools)" >&2; exit 2; }
[ -x "$bin/Vignetor" ] || { echo "no generator at $bin/Vignetor" >&2; exit 2; }
templates=$(cd "$bin" && ls -- *.tpl)

work=$(mktemp -d /tmp/vgn-pages-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
store=${KEEP:-$work}

# One small photo-like JPEG, copied under every name (tee writes a thousand
# copies at a time).
vips gaussnoise "$work/n.v" 64 48 --sigma 40 --mean 128
vips cast "$work/n.v" "$work/c.v" uchar
vips copy "$work/c.v" "$work/p.jpg[Q=85]"
rm -f "$work"/*.v

now() { date +%s.%N; }

# "wall peak-KiB pages-wall pages-user pages-system" of one run; its
# standard output in $work/out.
run() {
  VIGNETOR_STATS=1 /usr/bin/time -f "%e %M" -o "$work/time" "$bin/Vignetor" /h100 /t /g /pThumb \
    "/i$1" "$2" "$3" >"$work/out" 2>"$work/err" || {
    echo "Vignetor failed ($1, $2):" >&2
    tail -5 "$work/err" >&2
    exit 1
  }
  printf '%s %s\n' "$(cat "$work/time")" \
    "$(sed -n 's/^stats: .*pages made in \([0-9.]*\) s (\([0-9.]*\) s user, \([0-9.]*\) s system)$/\1 \2 \3/p' \
      "$work/err")"
}
# The smallest of each column of the lines on stdin, the second (peak) the largest.
best() {
  awk '{ for (i = 1; i <= NF; ++i) if (NR == 1 || (i == 2 ? $i > b[i] : $i < b[i])) b[i] = $i }
       END { for (i = 1; i <= NF; ++i) printf "%s%s", b[i], i < NF ? " " : "\n" }'
}

: >"$work/rows"
for n in $sizes; do
  in=$store/in-$n
  out=$store/out-$n
  if [ ! -d "$in" ]; then
    mkdir -p "$in.new"
    i=1
    while [ "$i" -le "$n" ]; do
      j=$((i + 999))
      [ "$j" -le "$n" ] || j=$n
      # shellcheck disable=SC2046 # the names hold no blanks
      tee $(seq -f "$in.new/p%06g.jpg" "$i" "$j") <"$work/p.jpg" >/dev/null
      i=$((j + 1))
    done
    mv "$in.new" "$in"
  fi
  mkdir -p "$out"
  start=$(now)
  run Grid.tpl "$in" "$out" >/dev/null
  end=$(now)
  echo "$n pictures: thumbnails made in $(awk "BEGIN { printf \"%.1f\", $end - $start }") s" \
    "($(tail -n 1 "$work/out"))"
  for t in $templates; do
    : >"$work/times"
    r=0
    while [ "$r" -lt "$rounds" ]; do
      run "$t" "$in" "$out" >>"$work/times"
      r=$((r + 1))
    done
    grep -q "^0 made, $n kept" "$work/out" || {
      echo "$t over $n pictures did not keep the thumbnails:" >&2
      tail -n 1 "$work/out" >&2
      exit 1
    }
    # The pages this run wrote, and the data file beside them.
    pages=$(grep -c '\.html with [0-9]* picture' "$work/out")
    pagebytes=$(sed -n 's/ with [0-9]* pictures*$//p' "$work/out" | tr '\n' '\0' |
      xargs -0 stat -c %s | awk '{ s += $1 } END { print s + 0 }')
    data=0
    if grep -q 'src="vignetor-viewer-data' "$out/index.html"; then
      data=$(stat -c %s "$out/vignetor-viewer-data.js")
    fi
    # template pictures pages page-bytes data-bytes run-wall peak pages-wall user system
    echo "${t%.tpl} $n $pages $pagebytes $data $(best <"$work/times")" >>"$work/rows"
  done
done

echo
printf '%-10s %8s %5s %11s %10s %11s | %7s %7s %7s | %7s %7s\n' template pictures pages \
  "page bytes" "data bytes" "all bytes" "pages s" "user s" "sys s" "run s" "peak MB"
sort -k1,1 -k2,2n "$work/rows" | awk '{
  printf "%-10s %8d %5d %11d %10d %11d | %7.3f %7.3f %7.3f | %7.2f %7.1f\n",
    $1, $2, $3, $4, $5, $4 + $5, $8, $9, $10, $6, $7 / 1024
}'
echo
echo "largest count against smallest, per template:"
printf '%-10s %8s %9s %8s %8s %8s %8s %8s\n' template pictures "all bytes" "pages s" "user s" "sys s" \
  "run s" "peak"
sort -k1,1 -k2,2n "$work/rows" | awk '
  function r(x, y) { return y > 0 ? sprintf("%.1fx", x / y) : "-" }
  { if (!($1 in first)) { first[$1] = $0 } last[$1] = $0 }
  END {
    for (t in first) {
      split(first[t], a, " "); split(last[t], b, " ")
      printf "%-10s %8s %9s %8s %8s %8s %8s %8s\n", t, r(b[2], a[2]), r(b[4] + b[5], a[4] + a[5]),
        r(b[8], a[8]), r(b[9], a[9]), r(b[10], a[10]), r(b[6], a[6]), r(b[7], a[7])
    }
  }' | sort
echo "(times the best of $rounds runs over kept thumbnails, peak the highest; fixed height 100," \
  "each template's defaults; $(nproc) cores)"
