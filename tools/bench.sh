#!/usr/bin/env bash
# Builds the add-in and its benchmark in out/ and runs the benchmark under
# Wine, printing one table: each row the add-in's figure, the baseline's
# figure from the same run, their ratio and the target. Arguments go to the
# benchmark (e.g. --quick, --reps 9, --only 1,2). Takes 5 to 10 minutes;
# progress goes to stderr.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/tools/build.sh" --target tordel_bench >/dev/null
export WINEPREFIX="${WINEPREFIX:-$here/out/wineprefix}"  # a prefix of its own keeps other runs from stopping it
echo "tordel benchmark - $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(wine --version 2>/dev/null)," \
  "load average $(cut -d' ' -f1-3 /proc/loadavg)"
status=0
table=$(mktemp)
"$here/tools/wine-run.sh" "$here/out/bench/tordel_bench.exe" "$@" | tee "$table" || status=$?
# A wineserver stopped under it (another run's "wineserver -k" on the same
# prefix) ends the benchmark without a table and without an error code.
if ! grep -q '^| Measured' "$table"; then
  echo "bench: no table was printed; was the Wine prefix stopped by another run?" >&2
  status=1
fi
rm -f "$table"
echo "load average afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
exit $status
