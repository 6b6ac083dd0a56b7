# Shared by the tests of the installed program: what both launchers must do
# wherever they were installed. Needs $WORK (a fresh folder) and $VERSION.

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# What the system holds of this program: the package's state and every place
# an install of it could land. A test leaves it as it found it.
ours_in_system() {
  dpkg-query -W -f='${Package} ${Status} ${Version}\n' wvignetor 2>/dev/null || true
  ls -d /opt/wvignetor* /usr/bin/vignetor /usr/bin/wvignetor /usr/lib/wvignetor \
    /usr/local/bin/vignetor /usr/local/bin/wvignetor /usr/local/lib/wvignetor \
    /usr/share/applications/example.korvel.wvignetor.desktop 2>/dev/null || true
}
SYSTEM_BEFORE="$(ours_in_system)"
system_unchanged() {
  [ "$(ours_in_system)" = "$SYSTEM_BEFORE" ] ||
    fail "the system changed: before \"$SYSTEM_BEFORE\", after \"$(ours_in_system)\""
}

# Whether process PID still runs (an ended child waits as a zombie until it is
# reaped, and kill -0 still finds it).
running() {
  # One read: a process reaped between two looks at /proc would look alive.
  local state
  state="$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" || return 1
  [ -n "$state" ] && [ "$state" != Z ]
}

# The desktop's "open" of a page, as a log: what the form opens after a run.
# The default application of web pages (and xdg-open, should that be asked).
stub_browser() {
  mkdir -p "$WORK/stubs" "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
  printf '#!/bin/sh\necho "$@" >>"%s/opened.log"\n' "$WORK" >"$WORK/stubs/xdg-open"
  chmod +x "$WORK/stubs/xdg-open"
  export PATH="$WORK/stubs:$PATH"
  printf '[Desktop Entry]\nType=Application\nName=Page log\nExec=%s %%u\nMimeType=text/html;\n' \
    "$WORK/stubs/xdg-open" >"$XDG_DATA_HOME/applications/wv-page-log.desktop"
  printf '[Default Applications]\ntext/html=wv-page-log.desktop\nx-scheme-handler/file=wv-page-log.desktop\n' \
    >"$XDG_CONFIG_HOME/mimeapps.list"
}

# The user's own template, with a mark to find on its page.
write_user_template() {
  mkdir -p "$XDG_DATA_HOME/wVignetor/templates"
  cat >"$XDG_DATA_HOME/wVignetor/templates/Mine.tpl" <<'TPL'
[desc]
A template of the user's own.
[head]
<!DOCTYPE html><title>{{title}}</title><p>made from Mine</p>
[picture]
<img src="{{thumb}}" alt="{{name}}">
[foot]
</html>
TPL
}

# --version and --help of both launchers in BIN, without a display.
check_requests() {
  local bin="$1" program_dir="$2" out line
  out="$("$bin/vignetor" --version)" || fail "vignetor --version exit $?"
  [ "$out" = "Vignetor $VERSION" ] || fail "vignetor --version said: $out"
  out="$(env -u DISPLAY "$bin/wvignetor" --version)" || fail "wvignetor --version exit $?"
  [ "$out" = "wVignetor $VERSION" ] || fail "wvignetor --version said: $out"
  for launcher in vignetor wvignetor; do
    for request in --help -h; do
      out="$(env -u DISPLAY "$bin/$launcher" "$request")" || fail "$launcher $request exit $?"
      line="$(grep -F "  $program_dir: " <<<"$out")" || fail "$launcher $request lacks $program_dir: $out"
      for shipped in Albums.tpl Filmstrip2.tpl Grid.tpl Justified.tpl Table.tpl; do
        grep -qF "$shipped" <<<"$line" || fail "$launcher $request does not list $shipped: $out"
      done
      grep -qF "  $XDG_DATA_HOME/wVignetor/templates: Mine.tpl" <<<"$out" ||
        fail "$launcher $request does not list the user's template: $out"
      grep -qF "help page: $program_dir/Vignetor.html" <<<"$out" ||
        fail "$launcher $request does not name the help page: $out"
    done
  done
  [ "$("$bin/vignetor" /h20 >/dev/null 2>&1; echo $?)" = 2 ] || fail "a usage error does not exit 2"
}

# The generator by hand makes a page from the user's template.
check_generator() {
  local bin="$1" program_dir="$2"
  # The installed generator, not only the test build, exports liborc's two
  # functions, through which its lock reaches libvips' calls (stripping
  # would lose them).
  for symbol in orc_program_compile orc_program_free; do
    nm -D --defined-only "$program_dir/Vignetor" | grep -q " T $symbol\$" ||
      fail "the installed Vignetor does not export $symbol: the liborc lock is not in effect"
  done
  mkdir -p "$WORK/byhand"
  convert -size 64x48 xc:steelblue "$WORK/byhand/sky.jpg"
  "$bin/vignetor" /h20 /iMine.tpl /pt_ "$WORK/byhand" "$WORK/byhand" >"$WORK/byhand.log" 2>&1 ||
    fail "vignetor exit $?: $(cat "$WORK/byhand.log")"
  grep -q "made from Mine" "$WORK/byhand/index.html" || fail "the page is not from Mine.tpl"
  grep -q 'src="t_sky.jpg"' "$WORK/byhand/index.html" || fail "the page lacks the thumbnail"
  [ -f "$WORK/byhand/t_sky.jpg" ] || fail "no thumbnail"
  # A shipped template brings the viewer's files from the program directory.
  "$bin/vignetor" /h20 /iGrid.tpl /pg_ "$WORK/byhand" "$WORK/grid" >"$WORK/grid.log" 2>&1 ||
    fail "vignetor with Grid.tpl exit $?: $(cat "$WORK/grid.log")"
  for f in vignetor-viewer.js vignetor-viewer.css photoswipe.umd.min.js photoswipe.css \
           photoswipe-LICENSE.txt; do
    cmp -s "$WORK/grid/$f" "$program_dir/$f" || fail "the page's $f is not the program's"
  done
}

# The visible form of process PID, if any.
form_window() {
  xdotool search --onlyvisible --pid "$1" --name '^Vignetor by Korvel Software$' 2>/dev/null | head -n1 || true
}

# The titles of the visible windows of process PID, for a failure's message.
windows_of() {
  local window
  for window in $(xdotool search --onlyvisible --pid "$1" '' 2>/dev/null); do
    printf '"%s" ' "$(xdotool getwindowname "$window" 2>/dev/null)"
  done
}

# Gives the form of process PID the focus and presses KEY; windows come and
# go meanwhile, so it tries for a while.
press() {
  local window
  for _ in $(seq 100); do
    window="$(form_window "$1")"
    if [ -n "$window" ] && xdotool windowfocus --sync "$window" key "$2" 2>/dev/null; then return 0; fi
    running "$1" || return 1
    sleep 0.2
  done
  return 1
}

# Starts the form with TEMPLATE saved as the last one used, presses Create
# (Enter) and waits for index.html, then closes the form with Escape. The
# saved template is selected only when the form lists it.
create_with_form() {
  local bin="$1" template="$2" gallery="$WORK/gallery-$2" pid window
  mkdir -p "$gallery" "$XDG_CONFIG_HOME/Korvel Software"
  convert -size 64x48 xc:orange "$gallery/sun.jpg"
  printf '[wVignetor]\nindir=%s\noutdir=%s\ntemplate=%s\nindex=1\n' "$gallery" "$gallery" \
    "$template" >"$XDG_CONFIG_HOME/Korvel Software/wVignetor.conf"
  "$bin/wvignetor" >"$WORK/form-$template.log" 2>&1 &
  pid=$!
  # Create (Enter), again only while the form is still there without a page.
  for _ in $(seq 20); do
    press "$pid" Return || break
    for _ in $(seq 50); do
      [ -f "$gallery/index.html" ] || [ -z "$(form_window "$pid")" ] && break
      sleep 0.1
    done
    [ -f "$gallery/index.html" ] || [ -z "$(form_window "$pid")" ] && break
  done
  for _ in $(seq 600); do
    [ -f "$gallery/index.html" ] && break
    running "$pid" || fail "the form ended: $(cat "$WORK/form-$template.log")"
    sleep 0.1
  done
  [ -f "$gallery/index.html" ] || {
    local seen
    seen="$(windows_of "$pid")"
    kill "$pid" 2>/dev/null || true
    fail "Create made no page with $template; windows: ${seen:-none}; the program said: $(cat "$WORK/form-$template.log")"
  }
  # Back from the run, the form closes on Escape and the program ends with 0.
  for _ in $(seq 20); do
    running "$pid" || break
    press "$pid" Escape || true
    for _ in $(seq 30); do running "$pid" || break; sleep 0.1; done
  done
  if running "$pid"; then
    local seen
    seen="$(windows_of "$pid")"
    kill "$pid" 2>/dev/null || true
    fail "the form did not close on Escape; windows: ${seen:-none}"
  fi
  wait "$pid" || fail "the form ended with $?"
  for _ in $(seq 100); do [ -f "$WORK/opened.log" ] && break; sleep 0.1; done
  grep -qF "$gallery/index.html" "$WORK/opened.log" 2>/dev/null || fail "the form did not open the page"
  rm -f "$WORK/opened.log"
  grep -q "^template=$template\$" "$XDG_CONFIG_HOME/Korvel Software/wVignetor.conf" ||
    fail "the form did not save $template as the template used"
  cp "$gallery/index.html" "$WORK/page-$template.html"
}

check_form() {
  local bin="$1"
  create_with_form "$bin" Mine
  grep -q "made from Mine" "$WORK/page-Mine.html" || fail "the form's page is not from Mine.tpl"
  create_with_form "$bin" Filmstrip2
  grep -q "made from Mine" "$WORK/page-Filmstrip2.html" && fail "Filmstrip2 made the page of Mine"
  grep -q '<meta name="generator" content="Vignetor">' "$WORK/page-Filmstrip2.html" ||
    fail "the page is not from Filmstrip2.tpl"
}

# Everything a user would do first, with a fresh home of settings.
check_installed_programs() {
  local bin="$1" program_dir="$2"
  export XDG_DATA_HOME="$WORK/data" XDG_CONFIG_HOME="$WORK/config" BROWSER=true
  write_user_template
  stub_browser
  check_requests "$bin" "$program_dir"
  check_generator "$bin" "$program_dir"
  check_form "$bin"
}
