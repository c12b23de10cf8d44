#!/usr/bin/env bash
# install_test.sh SETUP VERSION TREE [NATIVE_TREE]: the setup program SETUP under a fresh Wine prefix
# of its own (TREE/package/installtest), as a person and an administrator use it: a silent install,
# Orvex from its Start menu shortcut, the controls created by ProgID and class identifier, an install
# over the first, the uninstaller keeping the person's files, a site file handed to the setup
# program, and the uninstaller asked to remove them too (with the recordings the store made, and
# nothing else of the person's). Prints "ok"/"FAIL" a line; exits 1 on a failure.
set -uo pipefail
setup=$1 version=$2 tree=$3 native=${4:-}
root=$(cd "$(dirname "$0")/../.." && pwd)
bench=$root/tools/winebench/winebench
T=$tree/package/installtest
C=$T/winebench/prefix/drive_c
PF="$C/Program Files/Orvex"
WPF='C:\Program Files\Orvex'
shipped=(Orvex.exe Lustrel.dll Conduix.dll Pellux.dll Lumbrel.dll Panlink.dll lingua_res.dll xvidcore.dll Orvmods.dll uninstall.exe)
start=$SECONDS
failures=0

ok() { echo "ok - $1"; }
fail() { echo "FAIL - $1"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then ok "$what"; else fail "$what"; fi; }
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
ic() { "$bench" exec "$T" wine "$tree/bin/installcheck.exe" "$@" 2>>"$T/installcheck.err" | tr -d '\r'; return "${PIPESTATUS[0]}"; }
same() { cmp -s "$1" "$2"; }
gone() { local f; for f in "$@"; do [ ! -e "$f" ] || { echo "  still there: $f"; return 1; }; done; }
present() { local f; for f in "$@"; do [ -f "$f" ] || { echo "  missing: $f"; return 1; }; done; }
has_line() { grep -qxF -- "$2" <<<"$1" || { echo "  no line '$2' in:"; sed 's/^/    /' <<<"$1"; return 1; }; }
empty() { [ -z "$1" ] || { sed 's/^/  left: /' <<<"$1"; return 1; }; }
desktop_link() { (cd "$C" && find . -ipath '*desktop/Orvex.lnk'); }
same_path() { [ "${1,,}" = "${2,,}" ] || { echo "  '$1' is not '$2'"; return 1; }; }

# A fresh prefix and a session of its own; both go when the test ends. The prefix is a copy of one
# booted once for this tree and kept (WB/pristine, about 700 MB): a copy takes a second or two, a boot
# 5 s on an idle machine and 30 s on a busy one. A new Wine version boots a new one. The Windows
# user's folders (Videos among them) are links into the session's HOME: it starts empty too.
mkdir -p "$T/bin"
ln -sf "$tree/bin/winebench-keepalive.exe" "$T/bin/winebench-keepalive.exe"
WB=$T/winebench
"$bench" stop "$T"
rm -rf "$WB/prefix" "$WB/prefix.stamp" "${WB:?}/home" "$T/installcheck.err" "$T/data"
trap '"$bench" stop "$T"' EXIT
wine_version=$(wine --version 2>/dev/null)
if [ ! -d "$WB/pristine" ] || [ "$(cat "$WB/pristine.stamp" 2>/dev/null)" != "$wine_version" ]; then
  rm -rf "$WB/pristine" "$WB/pristine.stamp"
  # Booted, then its server ended (which writes the registry out) before the copy.
  "$bench" boot "$T" && "$bench" exec "$T" sh -c 'wineserver -k; wineserver -w' \
    && cp -a "$WB/prefix" "$WB/pristine" && echo "$wine_version" >"$WB/pristine.stamp" \
    || { echo "FAIL - no Wine prefix"; exit 1; }
  rm -rf "$WB/prefix" "$WB/prefix.stamp" "${WB:?}/home"
  echo "(prefix booted and kept in $((SECONDS - start)) s)"
fi
cp -a "$WB/pristine" "$WB/prefix" && touch "$WB/prefix.stamp" || { echo "FAIL - no copy of the prefix"; exit 1; }
"$bench" start "$T" || { echo "FAIL - no Wine session"; exit 1; }
echo "(prefix and session in $((SECONDS - start)) s)"

# The site files an administrator makes with dvrtool.
D=$T/data
mkdir -p "$D"
sites() { # sites FILE ADDRESS USER
  if [ -x "$native/bin/dvrtool" ]; then
    "$native/bin/dvrtool" sites add "$1" --address "$2" --port 50000 --user "$3" --password 1111 --location Hall >/dev/null
  else
    printf '[SETUP_INFO]\r\nNUMBER=2\r\n\r\n[DVR1]\r\nTYPE=0\r\nIP=%s\r\nPORT=50000\r\nID=%s\r\nPWD=1111\r\nDDNS_MEMBER=\r\nDDNS_NAME=\r\nLOCATION=Hall    \r\n' "$2" "$3" >"$1"
  fi
}
sites "$D/person.ini" 192.168.0.10 admin
sites "$D/admin.ini" 10.1.2.3 manager

# A recording as the store lays it out (README, "The recording store"): ROOT/SITE with site.txt and
# a day of one camera and the sound. The uninstaller reads no bytes of it but site.txt.
recording() { # recording ROOT ADDRESS
  local s=$1/${2}_50000 d=$1/${2}_50000/20261208
  mkdir -p "$d/cam01" "$d/audio"
  printf 'address=%s\nport=50000\n' "$2" >"$s/site.txt"
  for f in cam01/1765152000000.seg cam01/1765152000000.idx cam01/motion.mot audio/1765152000000.seg \
           audio/1765152000000.idx segments.sum; do head -c 96 /dev/urandom >"$d/$f"; done
}
recorded() { present "$1/${2}_50000/site.txt" "$1/${2}_50000/20261208/"{cam01/1765152000000.seg,cam01/1765152000000.idx,cam01/motion.mot,audio/1765152000000.seg,audio/1765152000000.idx,segments.sum}; }

# ---- a silent install ----
ic run "$(winpath "$setup")" /S
check "silent install exits 0" test $? -eq 0
check "the programs are in Program Files\\Orvex" present "${shipped[@]/#/$PF/}"
check "an empty site list in CONFIG" same "$PF/CONFIG/H264Site.ini" <(printf '[SETUP_INFO]\r\nNUMBER=1\r\n')
reg=$(ic registry)
check "Pellux, its ProgID and type library registered" has_line "$reg" 'HKCR\PELLUX.PelluxCtrl.1'
check "the module controls registered" has_line "$reg" 'HKCR\CLSID\{BA04A117-26C3-4C87-A3BA-F3D7A1D8C4FE}'
check "installed programs: version" has_line "$reg" "uninstall.DisplayVersion=$version"
check "installed programs: publisher" has_line "$reg" "uninstall.Publisher=Orvex developers"
check "installed programs: uninstaller" has_line "$reg" "uninstall.UninstallString=\"$WPF\\uninstall.exe\""
size=$(sed -n 's/^uninstall.EstimatedSize=//p' <<<"$reg")
check "installed programs: size ($size KB)" test "${size:-0}" -gt 1000

# One version everywhere: Orvex's file version (its "Ver" line), every binary's product version.
check "Orvex's file version" has_line "$(ic version "$WPF\\Orvex.exe")" "file=$version product=$version"
check "Pellux keeps its own file version" has_line "$(ic version "$WPF\\Pellux.dll")" "file=0,9,1,24 product=$version"
for f in Lustrel Conduix Lumbrel Panlink lingua_res Orvmods; do
  check "$f.dll's version" has_line "$(ic version "$WPF\\$f.dll")" "file=$version product=$version"
done

lnk=$(cd "$C" && find . -path '*Start Menu/Programs/Orvex/Orvex.lnk' | head -n1)
check "a Start menu shortcut" test -n "$lnk"
check "no desktop shortcut unless asked" empty "$(desktop_link)"
lnk=C:${lnk#.}
mapfile -t target < <(ic shortcut "${lnk//\//\\}")
check "the shortcut's target is the installed Orvex" same_path "${target[0]:-}" "$WPF\\Orvex.exe"
check "Orvex starts from it and shows its window" ic orvex "${target[0]:-none}" "${target[1]:-}"
check "Pellux is created by its ProgID from the installed DLL" same_path "$(ic create PELLUX.PelluxCtrl.1)" "$WPF\\Pellux.dll"
check "the player module by its class identifier" same_path "$(ic create '{BA04A117-26C3-4C87-A3BA-F3D7A1D8C4FE}')" "$WPF\\Orvmods.dll"

# ---- the person's files, then an install over the first ----
cp "$D/person.ini" "$PF/CONFIG/H264Site.ini"
head -c 140 /dev/urandom >"$PF/ViewSetup.dat"
printf '[Connect Information]\r\nURL=192.168.0.10\r\n' >"$C/windows/PelluxInfo.INF"
printf 'BM' >"$PF/Camera 1.bmp"
cp "$PF/ViewSetup.dat" "$D/ViewSetup.dat"
cp "$C/windows/PelluxInfo.INF" "$D/PelluxInfo.INF"
# Recordings: in the viewer's default folder (Videos\Orvex) beside a clip of the person's own, and in
# a folder they chose, beside a folder of theirs that has a site.txt too and a note in the site folder.
videos=$(ic videos)
V=$C${videos#[Cc]:}; V=${V//\\//}/Orvex
R=$C/Recs
check "the person's Videos folder ($videos)" test -d "${V%/Orvex}"
recording "$V" 192.168.0.10
printf 'clip' >"$V/My clip.avi"
recording "$R" 10.1.2.3
printf 'mine' >"$R/10.1.2.3_50000/notes.txt"
mkdir -p "$R/Holiday"; printf 'Lisbon\r\n' >"$R/Holiday/site.txt"
printf '[Recording]\r\nFolder=C:\\Recs\\\r\n' >"$PF/ViewRecord.ini"
cp "$PF/ViewRecord.ini" "$D/ViewRecord.ini"
ic run "$(winpath "$setup")" /S
check "install over the first exits 0" test $? -eq 0
check "it keeps the site file" same "$PF/CONFIG/H264Site.ini" "$D/person.ini"
check "it keeps the viewer settings" same "$PF/ViewSetup.dat" "$D/ViewSetup.dat"
check "Pellux still created after it" same_path "$(ic create PELLUX.PelluxCtrl.1)" "$WPF\\Pellux.dll"

# ---- the uninstaller, as it comes ----
ic run "$WPF\\uninstall.exe" /S
check "uninstall exits 0" test $? -eq 0
reg=$(ic registry)
check "no registration of the controls and no entry left" empty "$reg"
check "no program files left" gone "${shipped[@]/#/$PF/}" "$C/ProgramData/Microsoft/Windows/Start Menu/Programs/Orvex"
check "the site file stays" same "$PF/CONFIG/H264Site.ini" "$D/person.ini"
check "the viewer settings stay" same "$PF/ViewSetup.dat" "$D/ViewSetup.dat"
check "the recordings folder setting stays" same "$PF/ViewRecord.ini" "$D/ViewRecord.ini"
check "the recordings stay, with the person's clip" recorded "$V" 192.168.0.10
check "and so do those in the chosen folder" recorded "$R" 10.1.2.3
check "the person's own files stay" present "$V/My clip.avi" "$R/10.1.2.3_50000/notes.txt" "$R/Holiday/site.txt"
check "the last connection stays" same "$C/windows/PelluxInfo.INF" "$D/PelluxInfo.INF"
check "the person's picture stays" present "$PF/Camera 1.bmp"

# ---- an administrator's site file, then the uninstaller asked to remove everything ----
ic run "$(winpath "$setup")" /S "/SITES=$(winpath "$D/admin.ini")"
check "install with /SITES exits 0" test $? -eq 0
check "/SITES installs the given site file" same "$PF/CONFIG/H264Site.ini" "$D/admin.ini"
check "the person's site file kept beside it" same "$PF/CONFIG/H264Site.ini.bak" "$D/person.ini"
ic run "$(winpath "$setup")" /S "/SITES=$(winpath "$D/missing.ini")"
check "a missing /SITES file stops the setup program" test $? -ne 0
check "and leaves the site file alone" same "$PF/CONFIG/H264Site.ini" "$D/admin.ini"
ic run "$WPF\\uninstall.exe" /S /PURGE
check "uninstall /PURGE exits 0" test $? -eq 0
check "/PURGE removes the sites and settings" gone "$PF/CONFIG" "$PF/ViewSetup.dat" "$PF/ViewRecord.ini" "$C/windows/PelluxInfo.INF" "${shipped[@]/#/$PF/}"
check "and the recordings the store made, in both folders" gone "$V/192.168.0.10_50000" "$R/10.1.2.3_50000/site.txt" "$R/10.1.2.3_50000/20261208"
check "but not the person's other files" present "$PF/Camera 1.bmp" "$V/My clip.avi" "$R/10.1.2.3_50000/notes.txt" "$R/Holiday/site.txt"
check "no registration left" empty "$(ic registry)"

# ---- another folder ----
ic run "$(winpath "$setup")" /S /DESKTOP '/D=C:\Apps\DVR Orvex'
check "install into a chosen folder exits 0" test $? -eq 0
check "the programs are there" present "${shipped[@]/#/$C/Apps/DVR Orvex/}"
check "Pellux registered from there" same_path "$(ic create PELLUX.PelluxCtrl.1)" 'C:\Apps\DVR Orvex\Pellux.dll'
check "/DESKTOP makes a desktop shortcut" test -n "$(desktop_link)"
rm "$V/My clip.avi"
recording "$V" 192.168.0.10
ic run 'C:\Apps\DVR Orvex\uninstall.exe' /S /PURGE
check "its uninstaller leaves no folder" gone "$C/Apps/DVR Orvex"
check "and no Videos\\Orvex folder when only the store's files were in it" gone "$V"
check "and no desktop shortcut" empty "$(desktop_link)"

[ -s "$T/installcheck.err" ] && { echo "installcheck said:"; sed 's/^/    /' "$T/installcheck.err"; }
echo "$failures failed; $((SECONDS - start)) s"
if [ "$failures" -eq 0 ]; then
  "$bench" stop "$T"
  rm -rf "$WB/prefix" "$WB/prefix.stamp" # 700 MB; a failed run's stays for a look
fi
[ "$failures" -eq 0 ]
