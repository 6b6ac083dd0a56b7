#!/bin/sh
# A large run from the form, end to end: COUNT small JPEGs (20,000 by
# default: 8 different ones of 40 to 85 KB, hard-linked under numbered
# names), the form started with its settings pointing at them (output into
# the same folder, the first start's other choices: thumbnails 100 high,
# prefix Thumb, the page from Filmstrip2), Create pressed as a user would
# (xdotool). form_run_probe watches from outside: the time from Create to
# the console closing and the page being opened, how fast the console answers
# the window manager's ping every 100 ms while the generator fills it with a
# line a picture, and the form's memory. The generator runs under
# /usr/bin/time (a wrapper in the program directory) for its exact peak.
# Each round is a first run into a folder of pictures only, then Create once
# more with nothing changed (the run record is read and every thumbnail kept).
#
# usage: [COUNT=20000] [ROUNDS=1] [KEEP=dir] bench/form/run.sh [bin-dir]
#   bin-dir holds wVignetor, Vignetor, the shipped templates and
#   form_run_probe (default: build-bench/bin of this tree), after
#   cmake -S . -B build-bench -DWV_BENCH=ON -DCMAKE_BUILD_TYPE=Release
#   cmake --build build-bench --target wVignetor Vignetor shipped_files form_run_probe
#   (a build of its own: the install test wants no benchmark in build/bin).
#   Without DISPLAY it starts a private Xvfb with openbox. KEEP=dir keeps the
#   pictures there for the next time.
# The page is then opened in headless chromium (page.mjs; WEB_MODULES, default
# bin-dir/../web/node_modules, holds playwright-core): load, first thumbnail,
# viewer, last thumbnail.
# needs: libvips-tools (vips), xdotool, time, perl; xvfb and openbox without a
#        display; node and chromium for the page
set -eu

here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build-bench/bin}" && pwd)
count=${COUNT:-20000}
rounds=${ROUNDS:-1}
for tool in vips xdotool perl /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done
for f in wVignetor Vignetor Filmstrip2.tpl form_run_probe; do
  [ -e "$bin/$f" ] || { echo "missing: $bin/$f" >&2; exit 2; }
done

work=$(mktemp -d /tmp/vgn-form-bench-XXXXXX)
xpid=
wmpid=
cleanup() {
  [ -z "$wmpid" ] || kill "$wmpid" 2>/dev/null || true
  [ -z "$xpid" ] || kill "$xpid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

if [ -z "${DISPLAY:-}" ]; then
  for tool in Xvfb openbox xprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool (no DISPLAY)" >&2; exit 2; }
  done
  mkfifo "$work/displayfd"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/displayfd" 2>/dev/null &
  xpid=$!
  read -r number <"$work/displayfd"
  export DISPLAY=":$number"
  openbox --sm-disable >/dev/null 2>&1 &
  wmpid=$!
  i=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    i=$((i + 1))
    [ "$i" -lt 100 ] || { echo "openbox did not start" >&2; exit 1; }
    sleep 0.1
  done
fi

# The pictures.
store=${KEEP:-$work/store}
pictures=$store/pictures-$count
if [ ! -d "$pictures" ]; then
  echo "making $count pictures ..."
  mkdir -p "$store/kinds" "$pictures.new"
  i=1
  while [ "$i" -le 8 ]; do
    vips gaussnoise "$store/kinds/n.v" $((320 + i * 16)) $((240 + i * 8)) --sigma $((20 + i * 5)) \
      --mean 128
    vips cast "$store/kinds/n.v" "$store/kinds/c.v" uchar
    vips bandjoin "$store/kinds/c.v $store/kinds/c.v $store/kinds/c.v" "$store/kinds/p.v"
    vips copy "$store/kinds/p.v" "$store/kinds/p$i.jpg[Q=85]"
    i=$((i + 1))
  done
  rm -f "$store/kinds"/*.v
  perl -e 'my ($from, $to, $n) = @ARGV; my @kinds = map { "$from/p$_.jpg" } 1 .. 8;
           for my $i (1 .. $n) { link($kinds[$i % 8], sprintf("%s/pic%05d.jpg", $to, $i))
             or die "link: $!\n" }' "$store/kinds" "$pictures.new" "$count"
  mv "$pictures.new" "$pictures"
fi

# The program directory: the form, the templates it lists, and a generator
# that is the real one under /usr/bin/time.
program=$work/program
mkdir -p "$program" "$work/shims"
cp "$bin/wVignetor" "$program/"
cp "$bin"/*.tpl "$program/"
cat >"$program/Vignetor" <<EOF
#!/bin/sh
exec /usr/bin/time -f "%e %M" -o "$work/generator-time" "$bin/Vignetor" "\$@"
EOF
chmod +x "$program/Vignetor"
# The page is recorded, not shown: a browser of our own is the default for
# pages (the desktop's lookup reads these folders first).
# shellcheck disable=SC2016
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s"\n' "$work/page-log" >"$work/shims/browser"
chmod +x "$work/shims/browser"
cp "$work/shims/browser" "$work/shims/xdg-open"
mkdir -p "$work/data/applications"
printf '[Desktop Entry]\nType=Application\nName=Page log\nExec=%s %%u\nMimeType=text/html;\n' \
  "$work/shims/browser" >"$work/data/applications/page-log.desktop"

echo "$rounds round(s) of $count pictures through the form, first run and run again ..."
: >"$work/rounds"
get() { awk -v k="$1" '$1 == k { $1 = ""; sub(/^ /, ""); print }' "$work/probe"; }
r=0
while [ "$r" -lt "$rounds" ]; do
  r=$((r + 1))
  for kind in first again; do
    # A first run: only the pictures in the folder. Again: the same Create
    # once more, with nothing changed.
    [ "$kind" = again ] || find "$pictures" -mindepth 1 ! -name 'pic*.jpg' -delete
    rm -rf "$work/config" "$work/page-log" "$work/generator-time"
    mkdir -p "$work/config/Korvel Software"
    printf '[Default Applications]\ntext/html=page-log.desktop\nx-scheme-handler/file=page-log.desktop\n' \
      >"$work/config/mimeapps.list"
    printf '[wVignetor]\nindir=%s\noutdir=%s\n' "$pictures" "$pictures" \
      >"$work/config/Korvel Software/wVignetor.conf"
    XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" BROWSER="$work/shims/browser" \
      PATH="$work/shims:$PATH" NO_AT_BRIDGE=1 \
      "$bin/form_run_probe" "$program/wVignetor" "$work/page-log" >"$work/probe"
    [ -s "$work/generator-time" ] || {
      echo "the generator did not run" >&2
      cat "$work/probe" >&2
      exit 1
    }
    made=$(find "$pictures" -maxdepth 1 -name 'Thumb*' ! -name '*@2x*' | wc -l)
    page=$(wc -c <"$pictures/index.html" 2>/dev/null || echo 0)
    echo "$kind $(get run_s) $(cut -d' ' -f2 "$work/generator-time") $(get form_peak_kib)" \
      "$(get form_before_kib) $(get form_after_kib) $(get ping_median_ms) $(get ping_p99_ms)" \
      "$(get ping_max_ms) $(get pings) $(get page_opened) $made $page" >>"$work/rounds"
    echo "  round $r, $kind: $(get run_s) s, generator $(cut -d' ' -f2 "$work/generator-time") KiB," \
      "form $(get form_peak_kib) KiB, ping max $(get ping_max_ms) ms;" \
      "generator MiB by tenths of its run: $(get generator_rss_mib_by_tenths);" \
      "slowest pings: $(grep '^slow_ping' "$work/probe" | cut -d' ' -f2- | paste -sd, -)"
  done
done

echo
echo "$count pictures from the form ($(nproc) cores, best wall time of $rounds, highest peaks):"
echo
echo "| run | wall s (Create to console closed) | generator peak MiB | form peak MiB | form before / after MiB | console ping median / p99 / max ms | pings | page opened | thumbnails | index.html bytes |"
echo "|---|---|---|---|---|---|---|---|---|---|"
for kind in first again; do
  awk -v kind="$kind" '
    $1 != kind { next }
    { n++; $1 = "" ; $0 = substr($0, 2) }
    n == 1 || $1 < wall { wall = $1 }
    { if ($2 > gen) gen = $2; if ($3 > form) form = $3; if ($8 > ping) ping = $8
      if ($7 > p99) p99 = $7; if ($6 > med) med = $6
      before = $4; after = $5; pings += $9; opened += $10; made = $11; page = $12 }
    END {
      printf "| %s | %.1f | %.0f | %.0f | %.0f / %.0f | %.0f / %.0f / %.0f | %d | %d of %d | %d | %d |\n",
        kind == "first" ? "first run" : "run again, nothing changed", wall, gen / 1024, form / 1024,
        before / 1024, after / 1024, med, p99, ping, pings, opened, n, made, page
    }' "$work/rounds"
done

# The page in a browser, when node, playwright-core and chromium are there.
modules=${WEB_MODULES:-$bin/../web/node_modules}
if command -v node >/dev/null 2>&1 && [ -d "$modules/playwright-core" ] &&
  { [ -x /usr/bin/chromium ] || [ -x /usr/bin/chromium-browser ]; }; then
  WEB_MODULES=$modules node "$here/page.mjs" "$pictures/index.html" >"$work/page" || {
    echo "the page did not work in chromium" >&2
    exit 1
  }
  pg() { awk -v k="$1" '$1 == k { print $2 }' "$work/page"; }
  echo
  echo "The page in headless chromium at 1280 x 800 (seconds):"
  echo
  echo "| thumbnails | load | first thumbnail shown | viewer opened on it | next picture | last thumbnail shown after End | JS heap MiB |"
  echo "|---|---|---|---|---|---|---|"
  echo "| $(pg page_thumbnails) | $(pg page_load_s) | $(pg first_thumbnail_s) | $(pg viewer_open_s) |" \
    "$(pg viewer_next_s) | $(pg last_thumbnail_s) | $(pg js_heap_mib) |"
else
  echo
  echo "(no node, playwright-core in $modules or chromium: the page was not opened)"
fi
