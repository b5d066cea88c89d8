# Sourced by the scripts: which Windows targets this machine can run.
# The shipped DLL is i686; x86_64 is the test vehicle for machines that
# cannot execute 32-bit code at all.

# True when 32-bit x86 code runs here: the 32-bit Wine loader starts.
machine_runs_32bit() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Sets run_target (i686 or x86_64), run_tree (out or out64) and
# run_reason (a sentence saying why) for the demo, the benchmark and the
# screenshots: the shipped i686 build where it can run, x86_64 elsewhere.
pick_run_target() {
  # TORDEL_RUN_TARGET=x86_64 picks the 64-bit test build even where 32-bit code runs.
  if [ "${TORDEL_RUN_TARGET:-}" = x86_64 ]; then
    run_target=x86_64; run_tree=out64
    run_reason="x86_64 (the 64-bit test build), as TORDEL_RUN_TARGET asks"
  elif machine_runs_32bit; then
    run_target=i686; run_tree=out
    run_reason="i686 (the shipped 32-bit build), since this machine runs 32-bit code"
  else
    run_target=x86_64; run_tree=out64
    run_reason="x86_64 (the 64-bit test build), since this machine cannot execute 32-bit code"
  fi
}

# Points FASM_EXE and FASM2_CMD at the real assemblers in ../shared/assemblers
# beside the source tree, unless they are set already or the files are not
# there. Sets assemblers_note to a sentence saying what was found.
find_real_assemblers() {
  local shared
  shared=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/shared/assemblers
  if [ -z "${FASM_EXE:-}" ] && [ -f "$shared/fasm/FASM.EXE" ]; then export FASM_EXE="$shared/fasm/FASM.EXE"; fi
  if [ -z "${FASM2_CMD:-}" ] && [ -f "$shared/fasm2/fasm2.cmd" ]; then export FASM2_CMD="$shared/fasm2/fasm2.cmd"; fi
  if [ -z "${FASM_EXE:-}${FASM2_CMD:-}" ]; then
    assemblers_note="no real assemblers at hand ($shared holds neither fasm/FASM.EXE nor fasm2/fasm2.cmd, and FASM_EXE and FASM2_CMD are not set)"
  else
    assemblers_note="flat assembler: ${FASM_EXE:-none}; fasm2: ${FASM2_CMD:-none}"
  fi
}
