#!/usr/bin/env bash
# Installs what cross-building the Windows DLLs and testing them under wine needs on a Debian
# machine (run as root). Installs only what is missing, so a second run does nothing.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

# wine32 is an i386 package: the architecture must be known before the package lists are read.
added_i386=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added_i386=1
fi

packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 llvm wine wine32:i386 locales)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" 2>/dev/null | grep -q '^Status: install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ "$added_i386" = 1 ]; then
  apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes its ANSI code page and its file-name encoding from the Linux locale: the GBK path
# tests need the zh_CN.GBK locale to exist.
# Listed in locale.gen as well, so that a later locale-gen keeps it.
if [ -f /etc/locale.gen ] && ! grep -q '^zh_CN.GBK GBK' /etc/locale.gen; then
  echo 'zh_CN.GBK GBK' >>/etc/locale.gen
fi
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.gbk'; then
  localedef -i zh_CN -f GBK zh_CN.GBK
fi
