# Shared by the install and package tests: starts an installed Corvalin
# without a display and checks what a Linux user and a script rely on.
#   check_installed_program PROGRAM WORK_FOLDER

fail() { echo "FAIL: $*" >&2; exit 1; }

width_of() { /usr/bin/identify -format '%w' "$1"; }

check_installed_program() {
  local program=$1 work=$2
  [ -x "$program" ] || fail "no program at $program"
  unset DISPLAY WAYLAND_DISPLAY
  export XDG_CONFIG_HOME="$work/config"

  [ "$("$program" --version)" = "Corvalin 2.3" ] || fail "--version"
  local help
  help=$("$program" --help) || fail "--help exit status"
  for option in --width= --fit= --json --dry-run --files-from= --version; do
    printf '%s\n' "$help" | grep -q -e "^  $option" || fail "--help does not list $option"
  done
  [ "$(printf '%s\n' "$help" | head -1)" = "Aufruf: corvalin [OPTION]... [DATEI|VERZEICHNIS]..." ] \
      || fail "--help first line"
  [ "$("$program" -h)" = "$help" ] || fail "-h differs from --help"
  local switches
  switches=$("$program" /? | tr '\r' '\n')
  for switch in '/?' /auto= /dir= /target= /threads= /text=; do
    printf '%s\n' "$switches" | grep -q -F -e "$switch" || fail "/? does not show $switch"
  done

  # A batch as a script runs it: every picture of the folder, copies 12 wide.
  mkdir -p "$work/pictures/sub"
  /usr/bin/convert -size 48x24 xc:red "$work/pictures/red.bmp"
  /usr/bin/convert -size 30x60 gradient:blue-white "$work/pictures/sub/blue.png"
  "$program" /auto=1 "/dir=$work/pictures/" /recursiv=1 /copy=1 /adapt=2 /width=12 \
      >"$work/out.txt" || fail "batch run exit status"
  [ "$(width_of "$work/pictures/Neu_red.bmp")" = 12 ] || fail "red.bmp not converted"
  [ "$(width_of "$work/pictures/sub/Neu_blue.png")" = 12 ] || fail "blue.png not converted"
  grep -q "Neu_red.bmp" "$work/out.txt" || fail "no result line for red.bmp"

  # The same with the long options, read back as JSON Lines.
  "$program" --recursive --fit=width --width=6 --prefix=Klein_ --json "$work/pictures" >"$work/out.json" \
      || fail "long options exit status"
  [ "$(width_of "$work/pictures/sub/Klein_blue.png")" = 6 ] || fail "long options: blue.png not converted"
  grep -q '"failed":0' "$work/out.json" || fail "long options: no JSON totals"

  # A picture handed over as a file manager does: its folder is searched.
  mkdir -p "$work/opened"
  /usr/bin/convert -size 20x20 xc:green "$work/opened/green.gif"
  "$program" "$work/opened/green.gif" /auto=1 /adapt=2 /width=5 >/dev/null \
      || fail "run on an opened picture"
  [ "$(width_of "$work/opened/Neu_green.gif")" = 5 ] || fail "opened picture's folder not converted"
}
