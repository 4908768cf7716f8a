# Installs, on Debian or Ubuntu, the packages the builds and tests need; sourced by scripts/test and
# scripts/demo. A machine that has them all never touches apt.
#
#   . scripts/lib/install-deps.sh
#   px_install_deps [PACKAGE...]     # default: PX_PACKAGES

# Compilers and test libraries for the host build, the mingw-w64 cross compiler for the exe, and Wine on a
# screenless X server for the end-to-end tests (with xdpyinfo to see the server is up and ImageMagick to
# turn the driver's screenshots into PNGs).
# clang's runtime brings libFuzzer; valgrind checks the host scenarios for leaks. nsis's makensis builds
# the reference installer; locales has what localedef needs for the Japanese round trip's code page 932.
# time (/usr/bin/time) gives scripts/test the CPU seconds of each stage. osslsigncode signs and checks the
# release's Authenticode signatures (scripts/release, tools/sign.sh); openssl makes the tests' throwaway
# certificate authority.
PX_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libbenchmark-dev valgrind python3
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    wine wine32 wine64
    xvfb xauth x11-utils imagemagick
    nsis locales time
    osslsigncode openssl
)

px_package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# A mirror caught mid-sync serves an index whose size or hash does not match its Release file; apt-get
# update then warns ("File has unexpected size ... Mirror sync in progress?", "Hash Sum mismatch") and may
# still exit 0 with that list missing, so that the install finds unmet dependencies. Such a fault passes
# within minutes: the update is tried again after a pause. Its output is shown as it goes and scanned.
PX_APT_UPDATE_TRIES=${PX_APT_UPDATE_TRIES:-5}
PX_APT_UPDATE_PAUSE=${PX_APT_UPDATE_PAUSE:-30}
PX_APT_MIRROR_FAULT='Mirror sync in progress|unexpected size|Hash Sum mismatch|Failed to fetch|Some index files failed'

px_apt_update() {
    local try output status
    output=$(mktemp)
    for ((try = 1; try <= PX_APT_UPDATE_TRIES; try++)); do
        echo "== packages: apt-get update (try $try of $PX_APT_UPDATE_TRIES)"
        status=0
        "$@" env DEBIAN_FRONTEND=noninteractive apt-get update -q 2>&1 | tee "$output" || status=$?
        if [ "$status" -eq 0 ] && ! grep -Eq "$PX_APT_MIRROR_FAULT" "$output"; then
            rm -f "$output"
            return 0
        fi
        if [ "$try" -lt "$PX_APT_UPDATE_TRIES" ]; then
            echo "== packages: the package index is not whole (a mirror mid-sync?); again in $PX_APT_UPDATE_PAUSE s"
            sleep "$PX_APT_UPDATE_PAUSE"
        fi
    done
    rm -f "$output"
    # The last try's lists are the best there are: the install says which package they still lack.
    echo "== packages: apt-get update kept failing after $PX_APT_UPDATE_TRIES tries; installing what it has" >&2
    return 0
}

# px_apt_install [SUDO...] -- [OPTIONS...] PACKAGE...
px_apt_install() {
    local sudo=()
    while [ "$1" != "--" ]; do sudo+=("$1"); shift; done
    shift
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        -o Dpkg::Progress-Fancy=0 "$@"
}

px_install_deps() {
    local packages=("$@")
    [ ${#packages[@]} -gt 0 ] || packages=("${PX_PACKAGES[@]}")
    local missing=() package
    for package in "${packages[@]}"; do
        px_package_installed "$package" || missing+=("$package")
    done
    if [ ${#missing[@]} -eq 0 ]; then
        echo "== packages: all ${#packages[@]} present"
        return 0
    fi
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "missing packages: ${missing[*]}; install them by hand (no apt-get here)" >&2
        return 1
    fi
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    echo "== packages: installing ${missing[*]}"
    # wine32 is an i386 package: the architecture must be known before the package lists are read.
    if printf '%s\n' "${missing[@]}" | grep -qx wine32 \
        && ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "== packages: adding the i386 architecture for wine32"
        "${sudo[@]}" dpkg --add-architecture i386
    fi
    px_apt_update "${sudo[@]}" || return 1
    echo "== packages: apt-get install (a few minutes on a fresh machine)"
    if ! px_apt_install "${sudo[@]}" -- "${missing[@]}"; then
        # With one architecture's security index missing, amd64 and i386 are offered different versions
        # of the same library, which multiarch refuses. The release's own suite offers one version for
        # both: install from it, the security updates following at the next upgrade.
        local release
        release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
        if [ -n "$release" ]; then
            echo "== packages: the install found versions that do not match; again from $release alone"
            px_apt_install "${sudo[@]}" -- -t "$release" "${missing[@]}" || true
        fi
    fi
    for package in "${missing[@]}"; do
        if ! px_package_installed "$package"; then
            echo "package $package did not install" >&2
            return 1
        fi
    done
    echo "== packages: done"
}
