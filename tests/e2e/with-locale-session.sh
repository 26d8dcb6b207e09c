#!/usr/bin/env bash
# Runs one scenario in a Wine session of its own whose ANSI code page is the
# locale's, as on a Windows set up for that country (ru_RU: 1251, ja_JP: 932,
# zh_TW: 950), instead of the shared session's 1252; its own language stays
# English, so that its buttons read as the driver expects. Wine takes the
# code page from LC_CTYPE when its server starts, and only from a locale that
# the C library loads: LOCALE.UTF-8 (and en_US.UTF-8 for the language) are
# compiled from the system's locale sources, the locales package, into the
# session's directory and found through LOCPATH, so nothing outside the build
# tree changes. The session lies beside the shared one and ends with the
# scenario.
#   with-locale-session.sh SESSION_DIR WORK_ROOT DRIVER.EXE SETUP.EXE SCENARIO LOCALE
set -euo pipefail
here=$(dirname "$(realpath "$0")")
language=$6
session=$(realpath -m "$1")-$language
driver=$(realpath "$3")

locales=$session/locales
for locale in "$language" en_US; do
  [ -f "$locales/$locale.UTF-8/LC_CTYPE" ] && continue
  [ -f "/usr/share/i18n/locales/$locale" ] ||
    { echo "with-locale-session: no locale source /usr/share/i18n/locales/$locale (the locales package)" >&2; exit 1; }
  echo "with-locale-session: compiling $locale.UTF-8 into $locales"
  mkdir -p "$locales"
  localedef -i "$locale" -f UTF-8 "$locales/$locale.UTF-8" ||
    { echo "with-locale-session: localedef cannot compile $locale.UTF-8" >&2; exit 1; }
done
# Exported here as well, so that every script of the session loads them.
export LOCPATH=$locales QV_WINE_LOCPATH=$locales QV_WINE_CTYPE=$language.UTF-8 QV_WINE_MESSAGES=en_US.UTF-8
[ "$(LC_ALL=$language.UTF-8 locale charmap 2>/dev/null)" = UTF-8 ] ||
  { echo "with-locale-session: the C library does not load the compiled $language.UTF-8" >&2; exit 1; }

trap '"$here/wine-session.sh" stop "$session"' EXIT
# A prefix of the shared session's kind, for the programs of the same build.
arch=$(source "$(realpath -m "$1")/env.sh" && echo "$WINEARCH")
"$here/wine-session.sh" start "$session" "$arch" "$(dirname "$driver")/grpconv.exe"
# The scenario itself checks that the session's code page is the one it is for.
"$here/run-scenario.sh" "$session" "$2" "$driver" "$4" "$5"
