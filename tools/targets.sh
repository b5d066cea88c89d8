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
  if machine_runs_32bit; then
    run_target=i686; run_tree=out
    run_reason="i686 (the shipped 32-bit build), since this machine runs 32-bit code"
  else
    run_target=x86_64; run_tree=out64
    run_reason="x86_64 (the 64-bit test build), since this machine cannot execute 32-bit code"
  fi
}
