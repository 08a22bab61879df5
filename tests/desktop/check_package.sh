#!/usr/bin/env bash
# Builds the Debian package from BUILD_DIR into a temporary folder and checks its
# name, its control fields and its file list with dpkg-deb, and the whole package
# with lintian (no error, no warning). Never installs it.
#   check_package.sh BUILD_DIR VERSION
set -euo pipefail

build_dir=$1
version=$2
out=$(mktemp -d "${TMPDIR:-/tmp}/velmar-deb.XXXXXX")
trap 'rm -rf "$out"' EXIT

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# The maintainer is named when the package is made.
maintainer="Package Tester <tester@velmar.invalid>"
VELMAR_MAINTAINER=$maintainer cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$out" \
    >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }

deb="$out/velmar_${version}_amd64.deb"
[[ -f "$deb" ]] || { ls "$out" >&2; echo "FAIL: no $deb" >&2; exit 1; }

info=$(dpkg-deb --info "$deb")
field() { dpkg-deb --field "$deb" "$1"; }

[[ "$(field Package)" == velmar ]] || fail "Package is '$(field Package)'"
[[ "$(field Version)" == "$version" ]] || fail "Version is '$(field Version)'"
[[ "$(field Architecture)" == amd64 ]] || fail "Architecture is '$(field Architecture)'"
[[ -n "$(field Description)" ]] || fail "no Description"
[[ "$(field Maintainer)" == "$maintainer" ]] || fail "Maintainer is '$(field Maintainer)'"

# Depends: the libraries come from dpkg-shlibdeps, with versions; the rest is what
# the program loads or runs without linking it.
depends=$(field Depends)
for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6svg6; do
    grep -Eq "(^|, )${lib//+/\\+} \(>= [^)]+\)" <<<"$depends" || fail "Depends lacks a versioned $lib: $depends"
done
for pkg in qt6-qpa-plugins qt6-translations-l10n fonts-noto-cjk gnupg pinentry-qt; do
    grep -Eq "(^|, )$pkg(,|$| )" <<<"$depends" || fail "Depends lacks $pkg: $depends"
done
dups=$(tr ',' '\n' <<<"$depends" | sed 's/ *(.*//; s/^ *//' | sort | uniq -d)
[[ -z "$dups" ]] || fail "Depends names a package twice: $dups"

# Contents: exactly these files (directories aside), the program executable and the
# sound module it loads when a sound first plays.
expected=$(printf '%s\n' \
    ./usr/bin/velmar \
    "./usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/velmar/libvelmar_sound.so" \
    ./usr/share/applications/org.velmar.Velmar.desktop \
    ./usr/share/doc/velmar/README.md \
    ./usr/share/doc/velmar/changelog.gz \
    ./usr/share/doc/velmar/copyright \
    ./usr/share/icons/hicolor/scalable/apps/org.velmar.Velmar.svg \
    ./usr/share/man/man1/velmar.1.gz \
    ./usr/share/metainfo/org.velmar.Velmar.metainfo.xml)
contents=$(dpkg-deb --contents "$deb")
files=$(awk '$1 !~ /^d/ { print $6 }' <<<"$contents" | sort)
[[ "$files" == "$expected" ]] || fail "files differ:"$'\n'"$(diff <(echo "$expected") <(echo "$files") || true)"
grep -Eq '^-rwxr-xr-x root/root .* \./usr/bin/velmar$' <<<"$contents" \
    || fail "velmar is not an executable owned by root: $(grep velmar$ <<<"$contents")"

# What was packed is what the desktop tools accept.
dpkg-deb --extract "$deb" "$out/root"
desktop-file-validate "$out/root/usr/share/applications/org.velmar.Velmar.desktop" \
    || fail "packed desktop entry"
appstreamcli validate --no-net "$out/root/usr/share/metainfo/org.velmar.Velmar.metainfo.xml" \
    >/dev/null || fail "packed metainfo"
man_warnings=$(gzip -dc "$out/root/usr/share/man/man1/velmar.1.gz" | groff -man -ww -z 2>&1)
[[ -z "$man_warnings" ]] || fail "packed manual page: $man_warnings"

# Debian's own check of the whole package: no error and no warning.
if lintian_out=$(lintian --fail-on error,warning --tag-display-limit 0 "$deb" 2>&1); then
    :
else
    fail "lintian:"$'\n'"$(grep -v 'root privileges' <<<"$lintian_out")"
fi

if ((failures)); then
    echo "$info" >&2
    exit 1
fi
echo "velmar_${version}_amd64.deb: Depends: $depends"
