#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
#
# Builds the Debian package from a build folder, unpacks it into a scratch root as dpkg would
# install it (dpkg -x: files only, no maintainer scripts), checks that it carries what a desktop
# needs and declares what Vantrel loads at run time, and runs the unpacked program's self-test.
#
#   package-selftest.sh BUILD-FOLDER
set -euo pipefail
build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/vantrel-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "package-selftest: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
debs=("$work"/out/vantrel_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single package in $work/out"
deb=${debs[0]}

# What the program only loads or reads at run time, and the libraries it links.
depends=$(dpkg-deb -f "$deb" Depends)
for package in fonts-dejavu-core tesseract-ocr-eng qt6-image-formats-plugins hicolor-icon-theme libqt6widgets6 \
    libqt6dbus6 libxcb1; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done

root=$work/root
dpkg -x "$deb" "$root"
for file in usr/bin/vantrel usr/libexec/vantrel/vantrel-app usr/share/applications/vantrel.desktop \
    usr/share/metainfo/org.vantrel.Vantrel.metainfo.xml usr/share/icons/hicolor/scalable/apps/vantrel.svg \
    usr/share/icons/hicolor/16x16/apps/vantrel.png usr/share/icons/hicolor/256x256/apps/vantrel.png \
    usr/share/dbus-1/interfaces/org.vantrel.Vantrel1.xml usr/share/doc/vantrel/copyright \
    usr/share/bash-completion/completions/vantrel usr/share/zsh/vendor-completions/_vantrel; do
    [ -s "$root/$file" ] || fail "the package lacks /$file"
done
# The unpacked programs must run on the system's libraries alone, never on the build folder's.
for program in usr/bin/vantrel usr/libexec/vantrel/vantrel-app; do
    if readelf -d "$root/$program" | grep -Eq 'RPATH|RUNPATH'; then
        fail "/$program carries a library search path: $(readelf -d "$root/$program" | grep PATH)"
    fi
done
# The command a desktop shortcut runs stays light: Qt's core and D-Bus libraries, nothing more.
needed=$(readelf -d "$root/usr/bin/vantrel" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
for library in $needed; do
    case $library in
        libQt6Core.so.* | libQt6DBus.so.* | libstdc++.so.* | libgcc_s.so.* | libc.so.* | libm.so.*) ;;
        *) fail "the launcher /usr/bin/vantrel loads $library (all: $needed)" ;;
    esac
done

"$root/usr/bin/vantrel" --version | grep -qx "Vantrel [0-9.]*" || fail "--version printed no version"
mkdir "$work/selftest"
output=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/vantrel" --selftest "$work/selftest" 2>&1) \
    || { echo "$output" >&2; fail "the unpacked self-test failed"; }
grep -qx "ALL PASSED" <<<"$output" || { echo "$output" >&2; fail "the self-test did not pass"; }
[ -s "$work/selftest/editor-render.png" ] || fail "the self-test wrote no editor-render.png"
echo "package-selftest: $(basename "$deb") unpacks and passes its self-test"
