#!/bin/sh
# Runs contract.exe under Wine in a prefix of its own, with an X server without a screen for the
# dialogs and message boxes of the user32 rows; fails when any run has a failing row. A 32-bit
# prefix runs it twice, as the NT line (winxp) and as the consumer line (win98); a 64-bit one
# (Debian's wine64 beside wine32) once, under WoW64 as Windows XP x64 (winxp64).
#
# usage: run_under_wine.sh path/to/contract.exe prefix-folder [win32|win64]
set -u

exe=$1
export WINEPREFIX=$2
export WINEARCH=${3:-win32}
case $WINEARCH in
    win32) versions="winxp win98" ;;
    win64) versions="winxp64" ;;
    *) echo "unknown prefix kind $WINEARCH"; exit 2 ;;
esac
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$WINEPREFIX"
# Xvfb picks a free display itself and writes its number, so parallel runs never collide.
display_file="$WINEPREFIX/xvfb-display"
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null; wait $xvfb_pid 2>/dev/null' EXIT
tries=0
while [ ! -s "$display_file" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
if [ ! -s "$display_file" ]; then
    echo "Xvfb did not report a display"
    exit 1
fi
export DISPLAY=":$(cat "$display_file")"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 || { echo "wineboot failed for $WINEPREFIX"; exit 1; }
fi
# With no window manager on the X server, a managed window waits seconds for one at every show.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

status=0
for version in $versions; do
    # Wine reports the version named under AppDefaults for this exe name alone.
    if ! wine reg add 'HKCU\Software\Wine\AppDefaults\contract.exe' /v Version /d "$version" /f \
        >/dev/null 2>&1; then
        echo "cannot set the Windows version $version"
        status=1
        continue
    fi
    echo "== $WINEARCH $version"
    wine "$exe" || status=1
done

wineserver -k >/dev/null 2>&1
exit $status
