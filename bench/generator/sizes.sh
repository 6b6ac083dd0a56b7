#!/bin/sh
# Benchmark of the sizes a page can ask for beside the thumbnail: the same
# pictures (the mix of generator_bench_pictures: camera and phone JPEGs,
# large PNGs with and without alpha, huge ones) made with a page that wants
# thumbnails only, and with one that wants the 2x thumbnail and the
# web-sized picture (long edge 1600) too, each from one decode per picture.
# Round by round, both runs into fresh output folders; median wall time and
# the highest peak memory of the rounds, and the ratios.
#
# usage: [ROUNDS=5] [HEIGHT=150] [KEEP=dir] bench/generator/sizes.sh [bin-dir]
#   bin-dir holds Vignetor and generator_bench_pictures, e.g. after
#   cmake -S . -B build-bench -DWV_GUI=OFF -DWV_BENCH=ON -DCMAKE_BUILD_TYPE=Release
#   cmake --build build-bench --target Vignetor generator_bench_pictures
#   (default: build-bench/bin of this tree).
# needs: time
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build-bench/bin}
pictures=$bin/generator_bench_pictures
rounds=${ROUNDS:-5}
height=${HEIGHT:-150}
[ -x /usr/bin/time ] || { echo "missing: /usr/bin/time" >&2; exit 2; }
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

: >"$work/thumbs"
: >"$work/sizes"
r=1
while [ "$r" -le "$rounds" ]; do
  run Thumbs.tpl >>"$work/thumbs"
  run Sizes.tpl >>"$work/sizes"
  echo "round $r: thumbnails only $(tail -n 1 "$work/thumbs"), 1x+2x+web $(tail -n 1 "$work/sizes") (wall s, peak KiB, CPU s)"
  r=$((r + 1))
done
ls "$work/out" | grep -c '@web' | sed 's/^/web-sized pictures made in the last round: /'

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
t1=$(cut -d' ' -f1 "$work/thumbs" | median)
t2=$(cut -d' ' -f1 "$work/sizes" | median)
m1=$(cut -d' ' -f2 "$work/thumbs" | sort -n | tail -n 1)
m2=$(cut -d' ' -f2 "$work/sizes" | sort -n | tail -n 1)
c1=$(cut -d' ' -f3 "$work/thumbs" | median)
c2=$(cut -d' ' -f3 "$work/sizes" | median)
echo
printf '%-22s %10s %10s %14s\n' "run" "wall (s)" "CPU (s)" "peak (MiB)"
printf '%-22s %10s %10s %14.1f\n' "thumbnails only" "$t1" "$c1" "$(awk "BEGIN { print $m1 / 1024 }")"
printf '%-22s %10s %10s %14.1f\n' "1x, 2x and web-sized" "$t2" "$c2" "$(awk "BEGIN { print $m2 / 1024 }")"
awk "BEGIN { printf \"wall %+.0f%% (target at most +50%%), CPU %+.0f%%, peak x%.2f (target at most x1.2)\n\", ($t2 / $t1 - 1) * 100, ($c2 / $c1 - 1) * 100, $m2 / $m1 }"
