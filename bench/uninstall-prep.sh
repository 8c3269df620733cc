#!/usr/bin/env bash
# uninstall-prep.sh NAME DEST SETUP START_PATH
# uninstall-prep.sh NAME DEST check ""
# hyperfine's --prepare for an uninstall row of bench/run.sh. When a timed
# run has happened since the last call (DEST.ran exists), its removal is
# checked first: the install folder DEST/Tervaset/Orvane must be gone, else
# exit 1 (which fails the row). Then, unless the mode is "check", the row's
# installer (ours: "/q /D", an NSIS one: "/S /D=") installs the payload
# into DEST untimed, the install is checked against the manifest, and its
# unins000.exe is copied to START_PATH, where the timed run starts it.
set -u
name=$1 dest=$2 setup=$3 start_path=$4
folder=$dest/Tervaset/Orvane
if [ -e "$dest.ran" ] && [ -e "$folder" ]; then
  echo "$name: the uninstall left $folder behind" >&2
  exit 1
fi
rm -f "$dest.ran"
[ "$setup" = check ] && exit 0

rm -rf "$dest"
wdest="C:\\bench\\$name"
case $name in
  *ours*) wine "$setup" /q /D "$wdest" >/dev/null 2>&1 ;;
  *) wine "$setup" /S "/D=$wdest\\Tervaset\\Orvane" >/dev/null 2>&1 ;;
esac
python3 "$BENCH_DIR/verify.py" "$BENCH_MANIFEST" "$folder" >/dev/null || exit 1
mkdir -p "$(dirname "$start_path")"
cp "$folder/unins000.exe" "$start_path" || exit 1
sync
touch "$dest.ran"
