#!/usr/bin/env bash
# Checks the Debian package as a distribution would: its files, its dependencies, lintian, the desktop entry
# and the AppStream metadata, and that the programs unpacked from it run: scripts/check-package.sh [build]
set -euo pipefail
build=$(cd "${1:-build-release}" && pwd)
debs=("$build"/corvat_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "expected one corvat_*.deb in $build" >&2; exit 1; }
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
id=com.quoratel.Corvat
fail() { echo "check-package: $*" >&2; exit 1; }

programs=(corvat corvat-virtual-target corvat-flash)

expected=(
  ./usr/lib/corvat/HEX2BIN.EXE ./usr/lib/corvat/demo.bin ./usr/lib/corvat/demo.hex
  ./usr/share/applications/$id.desktop ./usr/share/metainfo/$id.metainfo.xml
  ./usr/share/doc/corvat/copyright ./usr/share/doc/corvat/changelog.gz
)
for p in "${programs[@]}"; do
  expected+=(./usr/lib/corvat/$p "./usr/bin/$p -> ../lib/corvat/$p" ./usr/share/man/man1/$p.1.gz)
done
for size in 16 24 32 48 64 128 256; do expected+=(./usr/share/icons/hicolor/${size}x${size}/apps/$id.png); done
listing=$(dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }')
for f in "${expected[@]}"; do grep -qxF -- "$f" <<<"$listing" || fail "missing from the package: $f"; done
# Nothing is installed anywhere else, and the program folder holds nothing unexpected.
unexpected=$(grep -vE '^\./usr/(bin|lib/corvat|share/(applications|metainfo|doc/corvat|man/man1|icons/hicolor))(/.*)?$|^\./(usr/((lib|share(/(man|icons|doc))?)/)?)?$' <<<"$listing" || true)
[ -z "$unexpected" ] || fail "unexpected files: $unexpected"

depends=$(dpkg-deb -f "$deb" Depends)
for d in fonts-arphic-uming fonts-wqy-microhei xdg-utils libqt6widgets6 libqt6serialport6; do
  grep -q "$d" <<<"$depends" || fail "Depends lacks $d: $depends"
done

# Errors fail the check; warnings are printed for the record.
lintian --allow-root --fail-on error "$deb" || fail "lintian reports errors"

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$id.desktop" || fail "desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" || fail "metainfo does not validate"

# Through the /usr/bin links, without a display, as a fresh install runs them.
for p in "${programs[@]}"; do
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/$p" --version)
  [ "$out" = "$p $version" ] || fail "$p --version printed \"$out\", expected \"$p $version\""
done
echo "check-package: $(basename "$deb") is sound"
