#!/usr/bin/env bash
# Prepares, from the Unix side, what engine_tests cannot make inside Wine:
#  - linkcase/: a tree with Unix symbolic links. Wine cannot make links
#    itself (CreateSymbolicLinkW reports success and creates nothing,
#    FSCTL_SET_REPARSE_POINT is not supported), but it shows a Unix link to a
#    folder as a reparse point and opens the target of every Unix link, so a
#    delete that follows links would empty the sentinel.
#  - aclcase/closed: a folder without "other" permissions. Wine keeps no DACL
#    of its own for files and derives one from the mode bits, "other" being
#    Everyone; only such a folder starts without an Everyone entry.
#   prepare-wine-fixtures.sh DIR
set -eu
dir=$1
links=$dir/linkcase
rm -rf "$links"
mkdir -p "$links/tree/sub" "$links/sentinel/inner"
echo keep > "$links/sentinel/keep.txt"
echo keep > "$links/sentinel/inner/keep2.txt"
echo a > "$links/tree/a.txt"
echo b > "$links/tree/sub/b.txt"
ln -s ../sentinel "$links/tree/dirlink"
ln -s ../sentinel/keep.txt "$links/tree/filelink"
ln -s ../../sentinel/inner "$links/tree/sub/deeplink"
ln -s sentinel "$links/toplink"
ln -s sentinel/keep.txt "$links/topfilelink"

acl=$dir/aclcase
rm -rf "$acl"
mkdir -p "$acl"
mkdir -m 0750 "$acl/closed"
