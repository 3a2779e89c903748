#!/usr/bin/env bash
# Compares the directories left by the Windows host and by its Linux twin, file by file:
#   compare-twins.sh WINDOWS_WORKDIR LINUX_WORKDIR
# The grids, reports and dumps the jobs write as text end their lines in CRLF on Windows and LF
# on Linux, and must match once CRLF is read as LF; the BP network and training result end their
# lines in LF on both; every other file (the inputs, the host's own files, binary grids) must match
# byte for byte. Prints one line per file and fails when a file differs, ends its lines otherwise,
# or exists on one side only.
set -euo pipefail
windows=$(cd "$1" && pwd) linux=$(cd "$2" && pwd)
same=0 different=0

# The line ends of a file, by its name (UTF-8): crlf, lf or bytes (not compared as text).
line_ends() {
  case $1 in
    bp_trained.net | bp_trained_result.txt) echo lf ;;
    norm*.grd | norm2_kind2.txt | hxf_*.txt | mean*.grd | std*.grd | bp_class_*.grd | \
      hierarchy_prospectivity.kvsgda01 | hierarchy_*report.txt | hierarchy_forecast.txt | \
      feature_*_report.txt | feature_*_score.kvsgda01 | \
      层次分析报告.txt | 成矿预测.kvsgda01 | 断裂_*.grd | *_归一化.grd | 分类结果.grd) echo crlf ;;
    *) echo bytes ;;
  esac
}

as_lf() { LC_ALL=C sed -z 's/\r\n/\n/g' "$1"; }
count_bytes() { LC_ALL=C tr -cd "$1" <"$2" | wc -c; }

# Why a file's line ends are wrong for its kind; nothing when they are right.
line_end_fault() {
  local kind=$1 win=$2 lin=$3
  case $kind in
    lf)
      if [ "$(count_bytes '\r' "$win")" -ne 0 ]; then echo "CR on Windows"; fi ;;
    crlf)
      local lines crlfs
      lines=$(count_bytes '\n' "$win")
      crlfs=$(($(stat -c %s "$win") - $(as_lf "$win" | wc -c)))
      if [ "$crlfs" -eq 0 ] || [ "$crlfs" -ne "$lines" ]; then
        echo "$((lines - crlfs)) of $lines lines without CRLF on Windows"
      elif [ "$(count_bytes '\r' "$lin")" -ne 0 ]; then
        echo "CR on Linux"
      fi ;;
  esac
}

while IFS= read -r name; do
  shown=$(printf '%s' "$name" | iconv -f GBK -t UTF-8 2>/dev/null || printf '%s' "$name")
  if [ ! -e "$windows/$name" ]; then
    echo "only on Linux:   $shown"; different=$((different + 1))
    continue
  elif [ ! -e "$linux/$name" ]; then
    echo "only on Windows: $shown"; different=$((different + 1))
    continue
  fi
  kind=$(line_ends "$shown")
  fault=$(line_end_fault "$kind" "$windows/$name" "$linux/$name")
  if [ "$kind" = crlf ]; then
    difference=$(as_lf "$windows/$name" | cmp - "$linux/$name" 2>&1 | head -1 || true)
  else
    difference=$(cmp "$windows/$name" "$linux/$name" 2>&1 | head -1 || true)
  fi
  if [ -n "$fault" ]; then
    echo "LINE ENDS:       $shown ($fault)"; different=$((different + 1))
  elif [ -n "$difference" ]; then
    echo "DIFFERENT:       $shown ($difference)"; different=$((different + 1))
  else
    case $kind in crlf) note=", CRLF on Windows" ;; lf) note=", LF" ;; *) note="" ;; esac
    echo "identical:       $shown ($(stat -c %s "$linux/$name") bytes on Linux$note)"; same=$((same + 1))
  fi
done < <( (cd "$windows" && find . -type f -printf '%P\n'; cd "$linux" && find . -type f -printf '%P\n') | LC_ALL=C sort -u)
echo "$same passed, $different failed"
[ "$different" -eq 0 ]
