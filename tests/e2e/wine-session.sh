#!/usr/bin/env bash
# Starts or stops the Wine session that every end-to-end test of a run shares:
# a virtual X server, a Wine prefix of its own inside the build tree (booted
# once per run) and a persistent wineserver. Windows run in Wine's virtual
# desktop, which draws their captions and closes them without the wait that
# Wine makes when there is no window manager.
#
#   wine-session.sh start DIR win32|win64 [GRPCONV.EXE]   writes DIR/env.sh for the tests to source
#   wine-session.sh stop DIR
# win32 makes a 32-bit prefix, for the shipped 32-bit programs; win64 a
# 64-bit one. Programs are started through the loader of the prefix's kind,
# $WINELOADER in env.sh, never through the `wine` command: that one always
# takes the 32-bit loader when it is installed, which a machine that cannot
# execute 32-bit programs cannot run.
# GRPCONV.EXE, when given, is the stand-in for the platform's group
# converter, which Wine lacks: it is copied into the prefix's Windows
# directory once the prefix is booted.
#
# Wine takes its ANSI code page from LC_CTYPE, which also gives the character
# set it reads Unix file names in, and its own language from LC_MESSAGES,
# each only from a locale the C library loads. The session runs in C.UTF-8
# (code page 1252, UTF-8 names, English) whatever the caller's locale, unless
# QV_WINE_CTYPE and QV_WINE_MESSAGES name others, with QV_WINE_LOCPATH when
# they were compiled outside the system's locales.
set -euo pipefail

action=$1
dir=$(realpath -m "$2")
arch=${3:-}
grpconv=${4:-}

# Runs one step of the set-up, bounded; on failure says which and stops.
step() {
  local what=$1 seconds=$2
  shift 2
  if ! timeout "$seconds" "$@" </dev/null >"$dir/step.log" 2>&1; then
    echo "wine-session: $what failed (or took over $seconds s): $*" >&2
    tail -n 5 "$dir/step.log" >&2
    exit 1
  fi
}

stop() {
  [ -f "$dir/env.sh" ] || return 0
  # shellcheck source=/dev/null
  source "$dir/env.sh"
  timeout 20 wineserver -k 2>/dev/null || true
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$dir/xvfb.pid"
  fi
  rm -f "$dir/env.sh"
}

case "$action" in
  stop)
    stop
    ;;
  start)
    case "$arch" in
      win32) loader=/usr/lib/wine/wine ;;
      win64) loader=/usr/lib/wine/wine64 ;;
      *) echo "wine-session: the prefix's kind must be win32 or win64, not '$arch'" >&2; exit 2 ;;
    esac
    [ -x "$loader" ] || { echo "wine-session: $loader is missing: Wine for $arch is not installed" >&2; exit 1; }
    stop
    mkdir -p "$dir"
    rm -rf "$dir/prefix"

    echo "wine-session: starting Xvfb"
    fifo="$dir/displayfd"
    rm -f "$fifo"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >"$dir/xvfb.log" 2>&1 &
    echo $! >"$dir/xvfb.pid"
    display=$(timeout 20 head -n1 "$fifo") || { echo "wine-session: Xvfb did not report a display within 20 s" >&2; exit 1; }
    rm -f "$fifo"

    cat >"$dir/env.sh" <<ENV
export DISPLAY=:$display
export WINEPREFIX=$dir/prefix
export WINEARCH=$arch
export WINELOADER=$loader
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
${QV_WINE_LOCPATH:+export LOCPATH=$QV_WINE_LOCPATH}
unset LC_ALL
export LANG=C.UTF-8 LC_CTYPE=${QV_WINE_CTYPE:-C.UTF-8} LC_MESSAGES=${QV_WINE_MESSAGES:-C.UTF-8}
ENV
    # shellcheck source=/dev/null
    source "$dir/env.sh"

    echo "wine-session: booting the prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # Whatever stays up after this script must not hold its output open:
    # CTest waits for the end of a test's output.
    wineserver -p </dev/null >/dev/null 2>&1  # stays up between the tests instead of quitting after each
    step "booting the prefix" 120 "$WINELOADER" wineboot --init
    if [ -n "$grpconv" ]; then
      echo "wine-session: installing the group converter stand-in $grpconv"
      cp "$grpconv" "$WINEPREFIX/drive_c/windows/grpconv.exe"
    fi
    step "setting the virtual desktop" 60 "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
    step "setting the desktop's size" 60 "$WINELOADER" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f
    # A program that crashes is ended after the debugger prints where,
    # instead of waiting on a crash dialog that nobody answers.
    step "turning the crash dialog off" 60 "$WINELOADER" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    # Drive D: is a CD-ROM drive over the folder cdrom of the session, where
    # with-cd-drive.sh mounts a kit's image; it is empty otherwise. Wine's
    # mount manager reads the drive types when the server starts, below.
    mkdir -p "$dir/cdrom"
    ln -sfn "$dir/cdrom" "$WINEPREFIX/dosdevices/d:"
    # In a 64-bit prefix, reg.exe writes the 32-bit view unless told.
    view=()
    if [ "$WINEARCH" = win64 ]; then view=(/reg:64); fi
    step "making D: a CD-ROM drive" 60 "$WINELOADER" reg add 'HKLM\Software\Wine\Drives' /v d: /d cdrom /f "${view[@]}"
    # From Debian's fonts-wine, when it is there: the bitmap font of the
    # kit's time for the pages' 8-point "MS Sans Serif", and Marlett, whose
    # glyphs draw the close box and the scroll arrows. Wine takes the fonts
    # of the Windows directory, not those of its own data folder.
    for font in /usr/share/wine/fonts/sserife.fon /usr/share/wine/fonts/marlett.ttf; do
      if [ -f "$font" ]; then
        echo "wine-session: font $font"
        cp "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
      fi
    done
    # The desktop that booting started is not yet the virtual one: start
    # the server afresh so that the setting takes.
    wineserver -k
    wineserver -w
    wineserver -p </dev/null >/dev/null 2>&1
    # The virtual desktop's process stays up for the whole session; started
    # anew for each test it would cost every test seconds.
    echo "wine-session: starting the virtual desktop"
    setsid "$WINELOADER" explorer.exe /desktop=Default,1024x768 </dev/null >"$dir/desktop.log" 2>&1 &
    for _ in $(seq 120); do
      xwininfo -root -children 2>/dev/null | grep -q 'Wine desktop' && break
      sleep 0.5
    done
    xwininfo -root -children 2>/dev/null | grep -q 'Wine desktop' ||
      { echo "wine-session: the virtual desktop did not appear within 60 s" >&2; exit 1; }
    echo "wine-session: ready on display :$display"
    ;;
  *)
    echo "usage: $0 start DIR win32|win64 [GRPCONV.EXE] | stop DIR" >&2
    exit 2
    ;;
esac
