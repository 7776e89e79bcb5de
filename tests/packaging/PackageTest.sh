#!/usr/bin/env bash
# The Debian package end to end: made by CPack from the build tree, checked by lintian, its
# control data and file list checked, unpacked into a fresh root, its desktop entry, software
# centre description, file type and udev rules validated, and the installed programs started
# from that root: veltra-cli --version, veltra-cli in English (its translation found in the
# installed data folder), and the program on a virtual X server, connected to the installed
# reader simulator, showing its main window.
#   PackageTest.sh BUILD_DIR CPACK VERSION
set -euo pipefail
build=$1
cpack=$2
version=$3

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# --- The package ---------------------------------------------------------------------------
"$cpack" --config "$build/CPackConfig.cmake" -B "$work/dist" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/dist/quarnel-veltra_"$version"_*.deb)
[ -f "${debs[0]}" ] || fail "no package quarnel-veltra_${version}_*.deb in $(ls "$work/dist")"
deb=${debs[0]}

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quarnel-veltra ] || fail "package name $(field Package)"
[ "$(field Version)" = "$version" ] || fail "version $(field Version)"
depends=$(field Depends)
# Computed from the programs' libraries, not written by hand.
for lib in libc6 libqt6widgets6 libqt6network6 libudev1 libxkbcommon0; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
grep -q "libhidapi-hidraw0" <<<"$(field Recommends)" || fail "hidapi not recommended"

# udev, the menu, the icon cache and the file types pick the new files up by themselves; the
# only maintainer scripts are CPack's ldconfig calls for the device library.
dpkg-deb -e "$deb" "$work/control"
for script in preinst prerm; do
  [ ! -e "$work/control/$script" ] || fail "unexpected maintainer script $script"
done
for script in postinst postrm; do
  if [ -e "$work/control/$script" ] &&
    grep -v '^\(#!/bin/sh\|set -e\|if \[ "$1" = "\(configure\|remove\)" \]; then\|\s*ldconfig\|fi\|\)$' \
      "$work/control/$script"; then
    fail "$script does more than ldconfig"
  fi
done
grep -qx 'activate-noawait ldconfig' "$work/control/triggers" || fail "no ldconfig trigger"
grep -q "^libqnlink 1 quarnel-veltra" "$work/control/shlibs" || fail "no shlibs entry"

# Everything in its place.
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for path in /usr/bin/quarnel-veltra /usr/bin/veltra-cli /usr/bin/qn-sim /usr/bin/veltra-trace \
  /usr/include/qnlink.h /usr/share/quarnel-veltra/Quarnel-VeltraEng.qm \
  /usr/share/doc/quarnel-veltra/Quarnel-Veltra-Handbuch.pdf \
  /usr/share/doc/quarnel-veltra/Quarnel-Veltra-Manual-en.pdf \
  /usr/share/doc/quarnel-veltra/copyright /usr/share/doc/quarnel-veltra/changelog.gz \
  /usr/share/man/man1/veltra-cli.1.gz /usr/share/man/man1/qn-sim.1.gz \
  /usr/share/man/man1/quarnel-veltra.1.gz /usr/share/man/man1/veltra-trace.1.gz \
  /usr/share/man/de/man1/veltra-cli.1.gz \
  /usr/share/icons/hicolor/48x48/apps/quarnel-veltra.png \
  /usr/share/icons/hicolor/256x256/apps/quarnel-veltra.png \
  /usr/share/mime/packages/quarnel-veltra-mkr.xml \
  /lib/udev/rules.d/70-quarnel-veltra.rules /lib/udev/rules.d/71-quarnel-veltra-ftdi.rules; do
  grep -qx "$path" "$work/files" || fail "$path is not in the package"
done
grep -q '^/usr/lib/.*libqnlink\.so\.1$' "$work/files" || fail "no libqnlink.so.1"
! grep -q '^/usr/bin/.*\.\(qm\|pdf\)$' "$work/files" || fail "data files in /usr/bin"

lintian --fail-on error "$deb" >"$work/lintian.log" 2>&1 || { cat "$work/lintian.log"; fail "lintian"; }

# --- Unpacked into a fresh root ------------------------------------------------------------
root=$work/root
dpkg -x "$deb" "$root"
lib=$(dirname "$(find "$root/usr/lib" -name 'libqnlink.so.1' | head -n 1)")
objdump -p "$lib/libqnlink.so.1" | grep -q 'SONAME *libqnlink\.so\.1$' || fail "soname"

desktop-file-validate "$root"/usr/share/applications/*.desktop || fail "desktop entry"
grep -q '^MimeType=application/x-quarnel-veltra-mkr;' "$root"/usr/share/applications/*.desktop ||
  fail "the desktop entry does not open .mkr files"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "metainfo"
cp -r "$root/usr/share/mime" "$work/mime"
update-mime-database "$work/mime" >/dev/null 2>&1
grep -q 'application/x-quarnel-veltra-mkr:\*\.mkr' "$work/mime/globs2" || fail ".mkr file type"
for page in man1/veltra-cli.1.gz man1/qn-sim.1.gz de/man1/veltra-cli.1.gz; do
  zcat "$root/usr/share/man/$page" | grep -q '^\.TH' || fail "man page $page"
done
zcat "$root/usr/share/man/man1/veltra-cli.1.gz" | grep -q 'check\\-update' ||
  fail "the veltra-cli man page lacks its commands"
for pdf in Quarnel-Veltra-Handbuch.pdf Quarnel-Veltra-Manual-en.pdf; do
  head -c 5 "$root/usr/share/doc/quarnel-veltra/$pdf" | grep -q '%PDF-' || fail "$pdf"
done

# --- The installed programs ----------------------------------------------------------------
export LD_LIBRARY_PATH=$lib
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The update check asks a server that refuses at once.
export VELTRA_UPDATE_URL=https://127.0.0.1:9/
[ "$("$root/usr/bin/veltra-cli" --version)" = "veltra-cli $version" ] || fail "veltra-cli --version"
[ "$("$root/usr/bin/quarnel-veltra" --version)" = "quarnel-veltra $version" ] ||
  fail "quarnel-veltra --version"
"$root/usr/bin/veltra-cli" --lang en --help 2>&1 | grep -q '^Usage: veltra-cli' ||
  fail "veltra-cli did not find its English translation"

"$root/usr/bin/qn-sim" --state "$work/sim-state" >"$work/sim.out" 2>"$work/sim.err" &
pids+=($!)
for _ in $(seq 1 50); do
  [ -s "$work/sim.out" ] && break
  sleep 0.1
done
port=$(head -n 1 "$work/sim.out")
[ -n "$port" ] || fail "the installed qn-sim did not start"
"$root/usr/bin/veltra-cli" identify --port "$port:1" >"$work/identify.out" ||
  fail "veltra-cli identify against qn-sim"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")
unset QT_QPA_PLATFORM
"$root/usr/bin/quarnel-veltra" --port "$port" >"$work/program.log" 2>&1 &
program=$!
pids+=($program)
shown=""
for _ in $(seq 1 150); do
  if ! kill -0 "$program" 2>/dev/null; then
    cat "$work/program.log"
    fail "the program ended"
  fi
  # The main window, its title naming the reader it connected to.
  shown=$(xwininfo -root -tree 2>/dev/null | grep '"Quarnel Veltra V[0-9.]* <' || true)
  [ -n "$shown" ] && break
  sleep 0.2
done
[ -n "$shown" ] || { xwininfo -root -tree; cat "$work/program.log"; fail "no main window"; }
echo "main window: $shown"
echo "package test passed: $(basename "$deb")"
