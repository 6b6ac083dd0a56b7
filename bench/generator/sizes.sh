#!/bin/sh
# Benchmark of the sizes a page can ask for beside the thumbnail: the same
# pictures (the mix of generator_bench_pictures: camera and phone JPEGs,
# large PNGs with and without alpha, huge ones) made with a page that wants
# thumbnails only, and with one that wants the 2x thumbnail and the
# web-sized picture (long edge 1600) too, each from one decode per picture.
# Round by round, both runs into fresh output folders; median wall time and
# the highest peak memory of the rounds, and the ratios. Beside them the
# peer's cost of the same step: two vipsthumbnail processes in parallel (each
# on half the pictures) making one picture each, 150 high against 1600 long,
# which is the least a 1,600 px picture costs with this libvips.
#
# usage: [ROUNDS=5] [HEIGHT=150] [KEEP=dir] bench/generator/sizes.sh [bin-dir]
#   bin-dir holds Vignetor and generator_bench_pictures, e.g. after
#   cmake -S . -B build-bench -DWV_GUI=OFF -DWV_BENCH=ON -DCMAKE_BUILD_TYPE=Release
#   cmake --build build-bench --target Vignetor generator_bench_pictures
#   (default: build-bench/bin of this tree).
# needs: time, libvips-tools (vipsthumbnail)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build-bench/bin}
pictures=$bin/generator_bench_pictures
rounds=${ROUNDS:-5}
height=${HEIGHT:-150}
[ -x /usr/bin/time ] || { echo "missing: /usr/bin/time" >&2; exit 2; }
command -v vipsthumbnail >/dev/null || { echo "missing: vipsthumbnail (libvips-tools)" >&2; exit 2; }
for tool in "$bin/Vignetor" "$pictures"; do
  [ -x "$tool" ] || { echo "missing: $tool (build it with WV_BENCH=ON)" >&2; exit 2; }
done

work=$(mktemp -d /tmp/vgn-sizes-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
store=${KEEP:-$work/pictures}
mkdir -p "$store"
if [ ! -d "$store/mix" ]; then
  echo "making the mix in $store/mix ..."
  mkdir -p "$store/mix.new" && "$pictures" mix "$store/mix.new" && mv "$store/mix.new" "$store/mix"
fi
mix=$store/mix
echo "mix: $(find "$mix" -type f | wc -l) pictures, $(du -sh "$mix" | cut -f1)"

# The generator reads templates from its own folder.
prog=$work/program
mkdir -p "$prog"
cp "$bin/Vignetor" "$prog/"
printf '[gallery]\nwebsize=0\nthumb2x=no\n[picture]\n<img src="{{thumb}}">\n' >"$prog/Thumbs.tpl"
printf '[gallery]\nwebsize=1600\nthumb2x=yes\n[picture]\n<a href="{{web}}"><img src="{{thumb}}" srcset="{{srcset}}"></a>\n' \
  >"$prog/Sizes.tpl"

# "wall peak-KiB cpu" of one run into a fresh folder; the CPU time (user and
# system) is steadier than the wall time on a busy machine.
run() {
  rm -rf "$work/out"
  mkdir -p "$work/out"
  /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$prog/Vignetor" "/h$height" /o /pT "/i$1" "$mix" \
    "$work/out" >/dev/null 2>"$work/err" || {
    echo "failed: $1" >&2
    tail -5 "$work/err" >&2
    exit 1
  }
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time"
}

# The same "wall peak-KiB cpu" of two vipsthumbnail processes, each on half
# the pictures, with the size option $1; the peak is the larger process's.
files=$(find "$mix" -type f | sort)
first=$(echo "$files" | awk 'NR % 2 == 1')
second=$(echo "$files" | awk 'NR % 2 == 0')
peer() {
  rm -rf "$work/out"
  mkdir -p "$work/out"
  start=$(date +%s.%N)
  # shellcheck disable=SC2086
  /usr/bin/time -f "%M %U %S" -o "$work/peer.a" vipsthumbnail --size "$1" -o "$work/out/tn_%s.jpg" \
    $first >/dev/null 2>&1 &
  a=$!
  # shellcheck disable=SC2086
  /usr/bin/time -f "%M %U %S" -o "$work/peer.b" vipsthumbnail --size "$1" -o "$work/out/tn_%s.jpg" \
    $second >/dev/null 2>&1 &
  b=$!
  wait "$a" "$b"
  end=$(date +%s.%N)
  cat "$work/peer.a" "$work/peer.b" | awk -v wall="$(awk "BEGIN { print $end - $start }")" \
    '{ if ($1 > m) m = $1; c += $2 + $3 } END { printf "%.2f %d %.2f\n", wall, m, c }'
}

: >"$work/thumbs"
: >"$work/sizes"
: >"$work/peer150"
: >"$work/peer1600"
r=1
while [ "$r" -le "$rounds" ]; do
  run Thumbs.tpl >>"$work/thumbs"
  run Sizes.tpl >>"$work/sizes"
  made=$(find "$work/out" -name '*@web.*' | wc -l)
  peer x$height >>"$work/peer150"
  peer 1600x1600 >>"$work/peer1600"
  echo "round $r: thumbnails only $(tail -n 1 "$work/thumbs"), 1x+2x+web $(tail -n 1 "$work/sizes")," \
    "vipsthumbnail $height $(tail -n 1 "$work/peer150"), 1600 $(tail -n 1 "$work/peer1600") (wall s, peak KiB, CPU s)"
  r=$((r + 1))
done
echo "web-sized pictures made in the last round: $made"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# "wall cpu peak-KiB" of the rounds in FILE: medians, and the highest peak.
summary() {
  echo "$(cut -d' ' -f1 "$1" | median) $(cut -d' ' -f3 "$1" | median) $(cut -d' ' -f2 "$1" | sort -n | tail -n 1)"
}
set -- $(summary "$work/thumbs") $(summary "$work/sizes") $(summary "$work/peer150") $(summary "$work/peer1600")
t1=$1 c1=$2 m1=$3 t2=$4 c2=$5 m2=$6 p1=$7 pc1=$8 pm1=$9 p2=${10} pc2=${11} pm2=${12}
row() { printf '%-22s %10s %10s %14.1f\n' "$1" "$2" "$3" "$(awk "BEGIN { print $4 / 1024 }")"; }
echo
printf '%-22s %10s %10s %14s\n' "run" "wall (s)" "CPU (s)" "peak (MiB)"
row "thumbnails only" "$t1" "$c1" "$m1"
row "1x, 2x and web-sized" "$t2" "$c2" "$m2"
row "vipsthumbnail x$height" "$p1" "$pc1" "$pm1"
row "vipsthumbnail 1600" "$p2" "$pc2" "$pm2"
awk "BEGIN { printf \"wall %+.0f%% (target at most +50%%), CPU %+.0f%%, peak x%.2f (target at most x1.2)\n\", ($t2 / $t1 - 1) * 100, ($c2 / $c1 - 1) * 100, $m2 / $m1 }"
# The machine's speed drifts between rounds; the two runs of one round are
# seconds apart, so the median of the rounds' own ratios is the steadier figure.
paired=$(paste -d' ' "$work/thumbs" "$work/sizes" | awk '{ print ($4 / $1 - 1) * 100 }' | median)
peerPaired=$(paste -d' ' "$work/peer150" "$work/peer1600" | awk '{ print ($4 / $1 - 1) * 100 }' | median)
awk "BEGIN { printf \"wall, median of the rounds' own ratios: %+.0f%% (the peer's: %+.0f%%)\n\", $paired, $peerPaired }"
awk "BEGIN { printf \"the peer, one 1600 px picture instead of one thumbnail: wall %+.0f%%, CPU %+.0f%%\n\", ($p2 / $p1 - 1) * 100, ($pc2 / $pc1 - 1) * 100 }"
