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
PX_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-dev libgtest-dev libbenchmark-dev valgrind python3
    g++-mingw-w64-i686 binutils-mingw-w64-i686
    wine wine32 wine64
    xvfb xauth x11-utils imagemagick
    nsis locales
)

px_package_installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
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
    echo "== packages: apt-get update"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
    echo "== packages: apt-get install (a few minutes on a fresh machine)"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        -o Dpkg::Progress-Fancy=0 "${missing[@]}"
    for package in "${missing[@]}"; do
        if ! px_package_installed "$package"; then
            echo "package $package did not install" >&2
            return 1
        fi
    done
    echo "== packages: done"
}
