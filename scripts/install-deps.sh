#!/bin/bash
# Installs the Debian 12 packages Wendlow needs to build, run and test, and nothing else.
# Safe to run again: it asks dpkg what is missing first and touches apt only when something is.
# Runs as root, or through sudo when started by another user.
set -euo pipefail

# The one list of what the project needs. Keep it sorted by purpose, one reason per group.
PACKAGES=(
    # toolchain
    g++ cmake make pkg-config
    # Qt 6.4: widgets, QtTest, moc (the OpenGL module is not used)
    qt6-base-dev qt6-base-dev-tools
    # libraries behind platform/
    libsqlite3-dev libsimpleini-dev libcurl4-openssl-dev libmpg123-dev libsdl2-dev
    liblunar-date-dev libglib2.0-dev
    # without a CJK font every character shows as a box
    fonts-wqy-microhei
    # fuzz targets (libFuzzer ships in the compiler runtime)
    clang libclang-rt-14-dev
    # black-box GUI tests: a virtual display, the accessibility bus and input injection
    xvfb xauth at-spi2-core dbus dbus-x11 python3-pyatspi python3-xlib xdotool
    # test oracles and fixtures: local SMTP server, lunar calendar, MP3 encoder, SQLite shell, iconv
    python3-aiosmtpd python3-lunardate lame sqlite3 libc-bin openssl
)

export DEBIAN_FRONTEND=noninteractive

# Prints those of the given packages that are not fully installed; one dpkg-query call for all.
not_installed() {
    local -A installed=()
    local name state
    while read -r name state; do
        if [[ $state == "install ok installed" ]]; then installed[$name]=1; fi
    done < <(dpkg-query -W -f='${Package} ${Status}\n' "$@" 2>/dev/null || true)
    for name in "$@"; do
        [[ -n ${installed[$name]:-} ]] || echo "$name"
    done
}

mapfile -t missing < <(not_installed "${PACKAGES[@]}")

if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#PACKAGES[@]} packages are installed"
    exit 0
fi

if ((EUID == 0)); then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    # sudo drops the environment, so hand the front end over explicitly.
    as_root=(sudo env DEBIAN_FRONTEND=noninteractive)
else
    echo "install-deps: not root and no sudo; as root run: apt-get install ${missing[*]}" >&2
    exit 1
fi

# A mirror can drop a connection now and then; a CI run should not fail on that alone.
retry() {
    local attempt
    for attempt in 1 2 3; do
        "$@" && return 0
        ((attempt < 3)) && { echo "install-deps: '$*' failed, retrying" >&2; sleep 5; }
    done
    return 1
}

echo "install-deps: installing ${#missing[@]} missing packages: ${missing[*]}"
retry "${as_root[@]}" apt-get update -q
retry "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

mapfile -t still_missing < <(not_installed "${missing[@]}")
if ((${#still_missing[@]} > 0)); then
    echo "install-deps: still not installed: ${still_missing[*]}" >&2
    exit 1
fi
echo "install-deps: done"
