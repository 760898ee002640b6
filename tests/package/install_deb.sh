#!/usr/bin/env bash
# The Debian package as a user gets it: made by cpack from the build folder, then
# installed - for real with apt when TRAVIK_CI=1 and root (and purged again at the end),
# otherwise unpacked into a throwaway root - and its programs, desktop entry, file types
# and manual pages used from there.
# usage: install_deb.sh BUILD_DIR SOURCE_DIR DEMO_FLS
set -euo pipefail
build=$1 source=$2 demo=$3
dir=$(mktemp -d)
installed=""
cleanup() {
  [ -z "$installed" ] || apt-get purge -y -qq travik >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB -B "$dir/out" --config "$build/CPackConfig.cmake" >"$dir/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$dir/cpack.log")"
debs=("$dir"/out/travik_*_amd64.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single travik_*_amd64.deb: $(ls "$dir/out")"
deb=${debs[0]}

# The control data: what apt needs to pull in everything the programs use at run time.
dpkg-deb -f "$deb" Package Section Maintainer Depends > "$dir/control"
for want in 'Package: travik' 'Section: devel' 'Maintainer: .*<.*@.*>' \
            'Depends:.*python3' 'Depends:.*fonts-liberation' 'Depends:.*libqt6gui6' \
            'Depends:.*libqt6widgets6' 'Depends:.*libc6'; do
  grep -q "^$want" "$dir/control" || fail "control lacks '$want': $(cat "$dir/control")"
done
dpkg-deb -c "$deb" | awk '{print $6}' > "$dir/contents"
for f in usr/bin/travik usr/bin/travik-cli usr/share/applications/travik.desktop \
         usr/share/mime/packages/travik.xml usr/share/icons/hicolor/scalable/apps/travik.svg \
         usr/share/icons/hicolor/48x48/apps/travik.png usr/share/icons/hicolor/256x256/apps/travik.png \
         usr/share/man/man1/travik.1.gz usr/share/man/man1/travik-cli.1.gz; do
  grep -qx "\./$f" "$dir/contents" || fail "package lacks $f"
done

# A travik the machine already had is left alone: then the package is only unpacked.
if [ "${TRAVIK_CI:-}" = 1 ] && [ "$(id -u)" -eq 0 ] && ! dpkg-query -W travik >/dev/null 2>&1; then
  installed=yes
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$dir/apt.log" 2>&1 ||
    fail "apt-get install: $(cat "$dir/apt.log")"
  root="" how="installed with apt"
else
  dpkg-deb -x "$deb" "$dir/root"
  root=$dir/root how="unpacked"
fi
bin=$root/usr/bin share=$root/usr/share

# Nothing of the source or build folder is named in the programs: what they need at run
# time must come from where they are installed.
for p in travik travik-cli; do
  ! grep -qaF -e "$source" -e "$build" "$bin/$p" || fail "$p names the source or build folder"
done

# The installed programs at work, on a copy of the demo, with a throwaway home.
export HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config
mkdir -p "$HOME"
cp "$demo" "$dir/demo.fls"
"$bin/travik-cli" --help > "$dir/help.txt" && grep -q '^usage: travik-cli COMMAND' "$dir/help.txt" ||
  fail "travik-cli --help"
"$bin/travik-cli" run "$dir/demo.fls" --start 0 --steps 5000 --lcd > "$dir/run.txt" 2>/dev/null ||
  fail "travik-cli run"
"$build/src/travik-cli" run "$dir/demo.fls" --start 0 --steps 5000 --lcd > "$dir/run-build.txt" 2>/dev/null
cmp -s "$dir/run.txt" "$dir/run-build.txt" || fail "installed travik-cli prints another run"
QT_QPA_PLATFORM=offscreen "$bin/travik" "$dir/demo.fls" --screenshot "$dir/shot.png" 2>"$dir/gui.err" ||
  fail "travik --screenshot: $(cat "$dir/gui.err")"
[ "$(head -c 8 "$dir/shot.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "the screenshot is no PNG"

# The Python module, where the build made one: in the package, and found by the
# installed travik-cli beside itself, not in the build.
if [ -f "$build/python/travik.pyi" ]; then
  site=$root/usr/lib/python3/dist-packages
  ls "$site"/travik*.so >/dev/null 2>&1 || fail "package lacks the Python module"
  printf 'import os, sys, travik\nd = travik.Document.open(sys.argv[1])\nprint(os.path.realpath(travik.__file__))\n' > "$dir/s.py"
  "$bin/travik-cli" script "$dir/s.py" "$dir/demo.fls" > "$dir/script.txt" 2>"$dir/script.err" ||
    fail "travik-cli script: $(cat "$dir/script.err")"
  grep -q "^$site/travik" "$dir/script.txt" || fail "the script imported $(cat "$dir/script.txt")"
  grep -q 'Depends: python3 (>= 3\.[0-9]*~), python3 (<< 3\.' "$dir/control" ||
    fail "no python3 version bounds: $(cat "$dir/control")"
fi

desktop-file-validate "$share/applications/travik.desktop" || fail "desktop-file-validate"
# The file type as the desktop's MIME database sees it, built in a folder of our own.
mkdir -p "$dir/mime/packages"
cp "$share/mime/packages/travik.xml" "$dir/mime/packages/"
XDG_DATA_HOME=$dir update-mime-database "$dir/mime" 2>"$dir/mime.err" || fail "update-mime-database: $(cat "$dir/mime.err")"
[ ! -s "$dir/mime.err" ] || fail "update-mime-database: $(cat "$dir/mime.err")"
grep -q 'application/x-travik-flash:\*\.fls$' "$dir/mime/globs2" || fail "no *.fls glob"
grep -q "MimeType=application/x-travik-flash;" "$share/applications/travik.desktop" ||
  fail "the desktop entry does not open the flash type"

for page in travik travik-cli; do
  MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" >"$dir/$page.txt" 2>"$dir/$page.err" ||
    fail "man $page: $(cat "$dir/$page.err")"
  [ ! -s "$dir/$page.err" ] || fail "man $page warns: $(cat "$dir/$page.err")"
  grep -q "^NAME" "$dir/$page.txt" && ! grep -q '@' "$dir/$page.txt" ||
    fail "man $page renders wrongly"
done
echo "package ok: $(basename "$deb"), $how"
