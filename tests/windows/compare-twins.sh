#!/usr/bin/env bash
# Compares the directories left by the Windows host and by its Linux twin, file by file:
#   compare-twins.sh WINDOWS_WORKDIR LINUX_WORKDIR
# Prints one line per file and fails when a file differs or exists on one side only.
set -euo pipefail
windows=$(cd "$1" && pwd) linux=$(cd "$2" && pwd)
same=0 different=0
while IFS= read -r name; do
  shown=$(printf '%s' "$name" | iconv -f GBK -t UTF-8 2>/dev/null || printf '%s' "$name")
  if [ ! -e "$windows/$name" ]; then
    echo "only on Linux:   $shown"; different=$((different + 1))
  elif [ ! -e "$linux/$name" ]; then
    echo "only on Windows: $shown"; different=$((different + 1))
  elif cmp -s "$windows/$name" "$linux/$name"; then
    echo "identical:       $shown ($(stat -c %s "$windows/$name") bytes)"; same=$((same + 1))
  else
    echo "DIFFERENT:       $shown ($(cmp "$windows/$name" "$linux/$name" 2>&1 | head -1))"; different=$((different + 1))
  fi
done < <( (cd "$windows" && find . -type f -printf '%P\n'; cd "$linux" && find . -type f -printf '%P\n') | LC_ALL=C sort -u)
echo "$same passed, $different failed"
[ "$different" -eq 0 ]
