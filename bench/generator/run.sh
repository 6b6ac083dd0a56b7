#!/bin/sh
# Benchmark of the thumbnail generator on what users have.
#
# 1. The mix: 40 pictures made by generator_bench_pictures (camera and phone
#    JPEGs, some upright by EXIF, progressive downloads, Display P3 photos and
#    screenshots, large PNGs with and without alpha, a grey photo, three huge
#    ones). Side by side, round by round, thumbnails 100 high: Vignetor,
#    Vignetor with its vector code off (VIGNETOR_VECTOR=off: the plain
#    target), two vipsthumbnail processes in parallel (each on half of the
#    pictures), the decoding alone in two processes in parallel (the same
#    halves), one vipsthumbnail process and mogrify -thumbnail; median wall
#    and CPU time, CPU per picture, and the highest peak memory of the
#    rounds. For two processes at once the peak is their sum (the larger one
#    is shown too).
# 2. The decode-only limit of the mix: the CPU time of decoding alone (JPEGs
#    shrunk on load as far as the thumbnail allows), divided by the cores.
# 3. Flat memory: the mix copied to 1,000 pictures, Vignetor and one
#    vipsthumbnail process once each; peaks against the 40 of the mix.
# 4. The scale series: 40, 400 and 4,000 small-to-medium pictures, Vignetor's
#    wall time and peak memory.
#
# usage: [ROUNDS=5] [FLAT=1000] [SCALE="40 400 4000"] [KEEP=dir] [TOOLS="..."]
#        [BEFORE=path] bench/generator/run.sh [bin-dir]
#   bin-dir holds Vignetor and generator_bench_pictures, e.g. after
#   cmake -S . -B build-bench -DWV_GUI=OFF -DWV_BENCH=ON -DCMAKE_BUILD_TYPE=Release
#   cmake --build build-bench --target Vignetor generator_bench_pictures
#   (default: build-bench/bin of this tree). FLAT=0 or SCALE= leave those
#   parts out. KEEP=dir keeps the pictures there and uses them again next time.
#   TOOLS picks the rows of part 1 (default "gen plain vt2 decode vt mogrify");
#   BEFORE, another build's Vignetor, adds a row for it ("before").
# needs: libvips-tools (vipsthumbnail), imagemagick (mogrify), time
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build-bench/bin}
gen=$bin/Vignetor
pictures=$bin/generator_bench_pictures
rounds=${ROUNDS:-5}
flat=${FLAT:-1000}
scale=${SCALE-40 400 4000}
tools=${TOOLS:-gen plain vt2 decode vt mogrify}
before=${BEFORE:-}
[ -z "$before" ] || tools="$tools before"
case " $tools " in *" gen "*) ;; *) tools="gen $tools" ;; esac
for tool in vipsthumbnail mogrify /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done
for tool in "$gen" "$pictures"; do
  [ -x "$tool" ] || { echo "missing: $tool (build it with WV_BENCH=ON)" >&2; exit 2; }
done

work=$(mktemp -d /tmp/vgn-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
store=${KEEP:-$work/pictures}
mkdir -p "$store"

if [ ! -d "$store/mix" ]; then
  echo "making the mix in $store/mix ..."
  mkdir -p "$store/mix.new" && "$pictures" mix "$store/mix.new" && mv "$store/mix.new" "$store/mix"
fi
if [ ! -d "$store/small" ]; then
  mkdir -p "$store/small.new" && "$pictures" small "$store/small.new" &&
    mv "$store/small.new" "$store/small"
fi
mix=$store/mix
count=$(find "$mix" -type f | wc -l)
echo "mix: $count pictures, $(du -sh "$mix" | cut -f1)"

# The same pictures again as hard links: $1 source folder, $2 target, $3 count.
copies() {
  mkdir -p "$2"
  n=0
  while [ "$n" -lt "$3" ]; do
    for f in "$1"/*; do
      [ "$n" -lt "$3" ] || break
      n=$((n + 1))
      ln "$f" "$2/$n-$(basename "$f")"
    done
  done
}

now() { date +%s.%N; }
fresh() { rm -rf "$work/out"; mkdir -p "$work/out"; }
# "wall peak-KiB - cpu" of one command, its output thrown away.
timed() {
  start=$(now)
  /usr/bin/time -f "%M %U %S" -o "$work/peak" "$@" >/dev/null 2>"$work/err" || {
    echo "failed: $*" >&2; tail -5 "$work/err" >&2; exit 1; }
  end=$(now)
  echo "$(awk "BEGIN { printf \"%.3f\", $end - $start }") $(awk '{ printf "%d - %.2f", $1, $2 + $3 }' "$work/peak")"
}

files=$(find "$mix" -type f | sort)
first=$(echo "$files" | awk 'NR % 2 == 1')
second=$(echo "$files" | awk 'NR % 2 == 0')

gen_run() { timed "$gen" /h100 /o /pT "$1" "$work/out"; }
plain_run() { VIGNETOR_VECTOR=off timed "$gen" /h100 /o /pT "$1" "$work/out"; }
before_run() { timed "$before" /h100 /o /pT "$1" "$work/out"; }
vt_run() {
  # shellcheck disable=SC2086
  timed vipsthumbnail --size x100 -o "$work/out/tn_%s.jpg" $(find "$1" -type f | sort)
}
# "wall peak-sum peak-largest cpu" of two commands at once, $1 and $2 each
# a command whose last arguments are the halves of the pictures.
pair() {
  start=$(now)
  # shellcheck disable=SC2086
  /usr/bin/time -f "%M %U %S" -o "$work/peak.a" $1 $first >/dev/null 2>&1 &
  a=$!
  # shellcheck disable=SC2086
  /usr/bin/time -f "%M %U %S" -o "$work/peak.b" $2 $second >/dev/null 2>&1 &
  b=$!
  wait "$a" "$b"
  end=$(now)
  pa=$(cut -d' ' -f1 "$work/peak.a")
  pb=$(cut -d' ' -f1 "$work/peak.b")
  cpu=$(cat "$work/peak.a" "$work/peak.b" | awk '{ c += $2 + $3 } END { printf "%.2f", c }')
  echo "$(awk "BEGIN { printf \"%.3f\", $end - $start }") $((pa + pb)) $((pa > pb ? pa : pb)) $cpu"
}
vt2_run() {
  pair "vipsthumbnail --size x100 -o $work/out/tn_%s.jpg" "vipsthumbnail --size x100 -o $work/out/tn_%s.jpg"
}
decode_run() { pair "$pictures decode 100" "$pictures decode 100"; }
mogrify_run() {
  # shellcheck disable=SC2086
  timed mogrify -path "$work/out" -thumbnail x100 $files
}

echo "decode-only limit ..."
: >"$work/decode"
i=0
while [ "$i" -lt 3 ]; do
  # shellcheck disable=SC2086
  "$pictures" decode 100 $files >>"$work/decode"
  i=$((i + 1))
done
decode_cpu=$(sort -n "$work/decode" | sed -n 2p)
cores=$(nproc)

echo "$rounds rounds ..."
for tool in $tools; do : >"$work/runs.$tool"; done
r=0
while [ "$r" -lt "$rounds" ]; do
  r=$((r + 1))
  for tool in $tools; do
    fresh
    "${tool}_run" "$mix" >>"$work/runs.$tool"
  done
  echo "  round $r: Vignetor $(tail -1 "$work/runs.gen" | cut -d' ' -f1) s"
done

# "median-wall highest-peak highest-largest median-cpu" of a runs file
# (largest is "-" where one process ran).
median() { sort -n | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
summary() {
  w=$(cut -d' ' -f1 "$1" | median)
  c=$(cut -d' ' -f4 "$1" | median)
  awk -v w="$w" -v c="$c" '{ if ($2 > m) m = $2; if ($3 != "-" && $3 > l) l = $3 }
    END { print w, m, (l == "" ? "-" : l), c }' "$1"
}
label() {
  case $1 in
    gen) echo "Vignetor" ;;
    plain) echo "Vignetor, vector code off" ;;
    before) echo "Vignetor before" ;;
    vt) echo "vipsthumbnail, one process" ;;
    vt2) echo "vipsthumbnail, two in parallel" ;;
    decode) echo "decoding alone, two in parallel" ;;
    mogrify) echo "mogrify -thumbnail" ;;
  esac
}

echo
echo "Thumbnails 100 high of the mix ($count pictures, $(du -sh "$mix" | cut -f1)), $cores cores, median of $rounds rounds:"
echo
labels=
for tool in $tools; do labels="$labels$tool=$(label "$tool");"; done
for tool in $tools; do echo "$tool $(summary "$work/runs.$tool")"; done | awk -v cpu="$decode_cpu" \
  -v cores="$cores" -v n="$count" -v labels="$labels" '
  BEGIN { k = split(labels, pairs, ";"); for (i = 1; i <= k; i++) { split(pairs[i], p, "="); name[p[1]] = p[2] } }
  { tool[NR] = $1; w[NR] = $2; m[NR] = $3; l[NR] = $4; c[NR] = $5; at[$1] = NR }
  END {
    g = at["gen"]
    print "| tool | wall s | CPU s | CPU ms per picture | peak MiB | Vignetor wall / its wall | Vignetor peak / its peak |"
    print "|---|---|---|---|---|---|---|"
    for (i = 1; i <= NR; i++) {
      peak = sprintf("%.0f", m[i] / 1024)
      if (l[i] != "-") peak = peak sprintf(" (largest process %.0f)", l[i] / 1024)
      printf "| %s | %.2f | %.2f | %.0f | %s | %.2fx | %.2fx |\n", name[tool[i]], w[i], c[i], 1000 * c[i] / n, peak, w[g] / w[i], m[g] / m[i]
    }
    printf "\nDecode-only limit: %.2f s of CPU, %.2f s on %d cores; Vignetor at %.2fx of it", cpu, cpu / cores, cores, w[g] / (cpu / cores)
    printf " (its CPU time %.2fx the decoding alone).\n", c[g] / cpu
    if ("vt2" in at) printf "Goal: Vignetor wall at most 0.5x that of two vipsthumbnail processes: %.2fx.\n", w[g] / w[at["vt2"]]
    if ("decode" in at) printf "Goal: Vignetor wall at most 1.15x the decoding alone in two processes: %.2fx.\n", w[g] / w[at["decode"]]
    if ("plain" in at) printf "Vector code on / off: wall %.2fx, CPU %.2fx.\n", w[g] / w[at["plain"]], c[g] / c[at["plain"]]
  }'
mix_peak=$(summary "$work/runs.gen" | cut -d' ' -f2)

if [ "$flat" -gt 0 ]; then
  echo
  echo "flat memory: $flat pictures of the mix ..."
  copies "$mix" "$work/flat" "$flat"
  fresh
  g=$(gen_run "$work/flat")
  fresh
  v=$(vt_run "$work/flat")
  rm -rf "$work/flat"
  echo "$g $v" | awk -v n="$flat" -v count="$count" -v m40="$mix_peak" '{
    printf "\n| %d pictures of the mix | wall s | peak MiB | peak / its peak for %d |\n", n, count
    print "|---|---|---|---|"
    printf "| Vignetor | %.1f | %.0f | %.2fx |\n", $1, $2 / 1024, $2 / m40
    printf "| vipsthumbnail | %.1f | %.0f | |\n", $5, $6 / 1024
    printf "\nVignetor peak / vipsthumbnail peak over the same %d pictures: %.2fx\n", n, $2 / $6
  }'
fi

if [ -n "$scale" ]; then
  echo
  echo "| small-to-medium pictures | Vignetor wall s | ms per picture | peak MiB |"
  echo "|---|---|---|---|"
  for n in $scale; do
    copies "$store/small" "$work/scale" "$n"
    fresh
    gen_run "$work/scale" | awk -v n="$n" '{ printf "| %d | %.2f | %.1f | %.0f |\n", n, $1, 1000 * $1 / n, $2 / 1024 }'
    rm -rf "$work/scale"
  done
fi
echo
echo "(one run on this machine: $cores cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo); vips $(vips --version | cut -d- -f2))"
