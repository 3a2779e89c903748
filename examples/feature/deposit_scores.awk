# Mean score of the known deposit cells against the mean of every other scored cell.
#   awk -f deposit_scores.awk MODEL_UNIT_FILE SCORE_GRID
# The model-unit file is a title line, then "sequence row column size" per unit; the score grid
# is a KVSGDA01 grid (four header lines, the blank value on the fourth, then one line per row).
# Exits 1 when the deposits do not score above the background on average.
FNR == NR { if (FNR > 1) deposit[$2 " " $3] = 1; next }
FNR == 4 { blank = $1 + 0; next }
FNR < 4 { next }
{
    row = FNR - 5
    for (c = 1; c <= NF; ++c) {
        v = $c + 0
        if (v == blank) continue
        if ((row " " (c - 1)) in deposit) { depositSum += v; depositCount++ } else { backSum += v; backCount++ }
    }
}
END {
    if (depositCount == 0 || backCount == 0) { print "no deposit or background cells scored"; exit 1 }
    depositMean = depositSum / depositCount
    backMean = backSum / backCount
    above = depositMean > backMean
    printf "%s: %d deposit cells score %.2f on average, %d background cells %.2f: %s\n", FILENAME,
        depositCount, depositMean, backCount, backMean, (above ? "deposits above background" : "DEPOSITS NOT ABOVE BACKGROUND")
    exit (above ? 0 : 1)
}
