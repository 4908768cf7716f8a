#!/bin/sh
# Runs contract.exe under Wine twice, as the NT line (winxp) and as the consumer line (win98),
# in a 32-bit prefix of its own; fails when either run has a failing row.
#
# usage: run_under_wine.sh path/to/contract.exe prefix-folder
set -u

exe=$1
export WINEPREFIX=$2
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || { echo "wineboot failed for $WINEPREFIX"; exit 1; }
fi

status=0
for version in winxp win98; do
    # Wine reports the version named under AppDefaults for this exe name alone.
    if ! wine reg add 'HKCU\Software\Wine\AppDefaults\contract.exe' /v Version /d "$version" /f \
        >/dev/null 2>&1; then
        echo "cannot set the Windows version $version"
        status=1
        continue
    fi
    echo "== $version"
    wine "$exe" || status=1
done

wineserver -k >/dev/null 2>&1
exit $status
