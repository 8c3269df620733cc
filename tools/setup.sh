#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian machine, and
# fetches the zlib source package whose contrib/minizip we compile.  Safe to
# run again: it does nothing but a few checks when everything is present.
set -euo pipefail

DEPS_DIR=${PIVSET_DEPS:-/var/cache/pivset}
PACKAGES=(
  cmake ninja-build make pkg-config python3 git ca-certificates
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-tools libz-mingw-w64-dev
  g++ clang libclang-rt-14-dev clang-format-14 zlib1g-dev googletest
  wine wine64 fonts-wine xvfb xauth x11-utils xdotool xcompmgr imagemagick fonts-wqy-microhei
  osslsigncode openssl dpkg-dev bzip2 xz-utils unzip zip locales python3-yaml
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The product's users run code page 936. Wine takes the ANSI code page from
# the locale, and converts file names to the host's only when the glibc
# locale exists: without it a Chinese name cannot be created at all.
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
  echo "setup: generating the zh_CN.UTF-8 locale"
  as_root localedef -i zh_CN -c -f UTF-8 zh_CN.UTF-8
fi

# zlib's source package: the binary packages ship no minizip sources.  Derive a
# deb-src entry from the machine's own apt sources (main suite only; the
# security suite serves no sources) so no host name is written here.
ZLIB_DIR="$DEPS_DIR/zlib"
if [ ! -f "$ZLIB_DIR/contrib/minizip/unzip.c" ]; then
  echo "setup: fetching the zlib source package"
  as_root mkdir -p "$DEPS_DIR"
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/lists/partial" "$tmp/parts" "$tmp/dl"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    awk 'BEGIN{RS="";ORS="\n\n"} /Types: deb/ && !/security/ {print; exit}' /etc/apt/sources.list.d/debian.sources \
      | sed -E 's/^Types: .*/Types: deb-src/; s/^Suites: ([^ ]+).*/Suites: \1/' > "$tmp/parts/src.sources"
  else
    grep -hE '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
      | grep -v security | head -n 1 | sed -E 's/^deb /deb-src /' > "$tmp/parts/src.list"
  fi
  opts=(-o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$tmp/parts"
        -o Dir::State::Lists="$tmp/lists" -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
  apt-get "${opts[@]}" update -qq
  (cd "$tmp/dl" && apt-get "${opts[@]}" source --download-only zlib >/dev/null)
  orig=$(ls "$tmp"/dl/zlib_*.orig.tar.* | head -n 1)
  as_root rm -rf "$ZLIB_DIR" && as_root mkdir -p "$ZLIB_DIR"
  as_root tar -xf "$orig" -C "$ZLIB_DIR" --strip-components=1
  test -f "$ZLIB_DIR/contrib/minizip/unzip.c"
fi
echo "setup: ready (minizip sources in $ZLIB_DIR/contrib/minizip)"
