#!/bin/sh
# Benchmark of a gallery with videos: PHOTOS photos (20 by default, 4000x3000
# JPEG) and VIDEOS one-minute phone-like videos (3 by default: 1920x1080,
# 30 frames a second, H.264 with grain, AAC sound) through Grid.tpl with
# videos=yes, the gallery in a folder of its own (so every video gets its
# web copy, the heaviest case). Wall time and peak memory (GNU time) of the
# first run and of a re-run over the unchanged folder, medians of REPEAT
# runs (3 by default).
#
# With THUMBSUP set to a thumbsup.js (bench/peers/install-thumbsup installs
# thumbsup 2.18.0 and its tools), the peer runs on the same folder in the same
# rounds: thumbnails 150 px, large pictures 1600 px as ours, its videos as it
# makes them by default. Peak memory is that of the largest process (for the
# peer often an ffmpeg it starts), as GNU time reports it.
#
# usage: [PHOTOS=20] [VIDEOS=3] [SECONDS=60] [REPEAT=3] [THUMBSUP=thumbsup.js] bench/generator/video.sh [build/bin]
# needs: libvips-tools (vips), GNU time, vignetor-test-video (built with the tests)
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../../build/bin}
gen=$bin/Vignetor
maker=${TESTVIDEO:-$bin/../test-bin/vignetor-test-video}
photos=${PHOTOS:-20}
videos=${VIDEOS:-3}
seconds=${SECONDS:-60}
repeat=${REPEAT:-3}
command -v vips >/dev/null 2>&1 || { echo "missing: vips" >&2; exit 2; }
[ -x /usr/bin/time ] || { echo "missing: GNU time (/usr/bin/time)" >&2; exit 2; }
[ -x "$gen" ] || { echo "no generator at $gen" >&2; exit 2; }
[ -x "$maker" ] || { echo "no vignetor-test-video at $maker (build it with the tests)" >&2; exit 2; }

work=$(mktemp -d /tmp/vgn-video-XXXXXX)
trap 'rm -rf "$work"' EXIT INT TERM
in=$work/pictures
mkdir -p "$in"

echo "making $photos photos (4000x3000 JPEG) and $videos videos (${seconds} s, 1080p H.264 + AAC) ..."
vips worley "$work/w.v" 4000 3000 --cell-size 160
vips gaussnoise "$work/n.v" 4000 3000 --sigma 18 --mean 0
vips add "$work/w.v" "$work/n.v" "$work/wn.v"
vips bandjoin "$work/wn.v $work/w.v $work/n.v" "$work/c.v"
vips cast "$work/c.v" "$work/photo.v" uchar
vips copy "$work/photo.v" "$work/photo.jpg[Q=90]"
rm -f "$work"/*.v
i=1
while [ "$i" -le "$photos" ]; do
  cp "$work/photo.jpg" "$in/IMG_$i.jpg"
  i=$((i + 1))
done
i=1
while [ "$i" -le "$videos" ]; do
  "$maker" "$in/VID_$i.mp4" libx264 1920 1080 "$seconds" noisy 30fps
  i=$((i + 1))
done
echo "set: $(du -sh "$in" | cut -f1) in $((photos + videos)) files ($(du -ch "$in"/VID_* | tail -n 1 | cut -f1) of video)"
printf 'videos=yes\n' >"$work/values"

# One run: "seconds kilobytes" (wall time, peak resident memory).
run() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$gen" /h150 /g /pThumb /iGrid.tpl "/x$work/values" \
    "$in" "$1" >"$work/out" 2>"$work/err" || {
    echo "Vignetor failed:" >&2
    cat "$work/err" >&2
    exit 1
  }
  tail -n 1 "$work/time"
}
# One run of the peer into $1: "seconds kilobytes".
peer() {
  /usr/bin/time -f '%e %M' -o "$work/time" node "$THUMBSUP" --input "$in" --output "$1" \
    --thumb-size 150 --large-size 1600 --log default >"$work/peer.out" 2>&1 || {
    echo "thumbsup failed:" >&2
    tail -n 20 "$work/peer.out" >&2
    exit 1
  }
  tail -n 1 "$work/time"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$work/first"
: >"$work/again"
: >"$work/peerfirst"
: >"$work/peeragain"
k=1
while [ "$k" -le "$repeat" ]; do
  out=$work/gallery$k
  run "$out" >>"$work/first"
  [ "$k" -eq 1 ] && tail -n 1 "$work/out" | sed 's/^/  first run: /'
  run "$out" >>"$work/again"
  [ "$k" -eq 1 ] && tail -n 1 "$work/out" | sed 's/^/  re-run:    /'
  [ "$k" -eq 1 ] && echo "  copies: $(du -ch "$out"/*@web.mp4 | tail -n 1 | cut -f1) for $videos videos"
  rm -rf "$out"
  if [ -n "${THUMBSUP:-}" ]; then
    peer "$work/peer$k" >>"$work/peerfirst"
    peer "$work/peer$k" >>"$work/peeragain"
    rm -rf "$work/peer$k"
  fi
  k=$((k + 1))
done

printf '\n%-18s %12s %16s   (median of %d)\n' run seconds "peak memory MiB" "$repeat"
for r in first again peerfirst peeragain; do
  [ -s "$work/$r" ] || continue
  s=$(cut -d' ' -f1 "$work/$r" | median)
  m=$(cut -d' ' -f2 "$work/$r" | median)
  case $r in
    first) name="Vignetor first" ;;
    again) name="Vignetor re-run" ;;
    peerfirst) name="thumbsup first" ;;
    *) name="thumbsup re-run" ;;
  esac
  printf '%-18s %12s %16s\n' "$name" "$s" "$(awk "BEGIN { printf \"%.0f\", $m / 1024 }")"
done
[ -n "${THUMBSUP:-}" ] || echo "peer: not measured (THUMBSUP unset; bench/peers/install-thumbsup installs it)"
