#!/usr/bin/env bash
# Installs the Debian 12 packages needed to build, test and run Velmar and to take
# screenshots in the sandbox. Safe to run again: when everything is present it only
# asks dpkg and returns.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev qt6-svg-dev
    libgl-dev libgpgmepp-dev libgpg-error-dev libuchardet-dev pkg-config
    # the Wayland clipboard-control protocol: the client library and its code generator
    libwayland-dev libwayland-bin
    # the message history: Qt SQL and its SQLite driver
    libqt6sql6-sqlite
    # tests, benchmarks, fuzzing
    libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev git nkf
    # running: Qt's platform plugins and translations, Japanese fonts
    qt6-qpa-plugins qt6-translations-l10n fonts-noto-cjk
    # PGP: the GnuPG engine and the passphrase entry of its agent
    gnupg pinentry-qt
    # the desktop files' checks and the Debian package
    desktop-file-utils appstream groff-base dpkg-dev
    # network-namespace sandbox and real-socket tests
    iproute2 nftables
    # virtual display, clipboard and screenshots
    xvfb xauth xclip imagemagick poppler-utils
    # driving the program under the virtual display for screenshots
    xdotool
    # private D-Bus session bus and a small notification area for the desktop tests
    dbus trayer
    # the Wayland session of the desktop tests: compositor with its bar as notification
    # area, Qt's Wayland platform, clipboard tools, a virtual keyboard, screenshots
    sway qt6-wayland wl-clipboard wtype grim
    # a real input-method framework with Qt's connection to it
    fcitx5 fcitx5-frontend-qt6
    # the Debian package's checks
    lintian
)

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#packages[@]} packages are installed"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
if ((EUID == 0)); then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
else
    echo "install-deps: need root to install packages; run as root or install sudo" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
