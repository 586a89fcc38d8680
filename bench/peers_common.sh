# Shared by the whole-command comparisons (sourced, after $cli is set):
# checking the tools, the work folder, and keeping the best time of a command.

# peers_setup TOOL...: stops when a tool or $cli is missing, then makes the
# work folder $work, removed when the script ends.
peers_setup() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-deps.sh)" >&2; exit 1; }
  done
  [ -x "$cli" ] || { echo "missing $cli: build first" >&2; exit 1; }
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}

# run_once NAME COMMAND: runs the command (through bash -c), keeps the best
# wall and CPU (user + system) seconds in $work/NAME.time as "WALL CPU".
# A run that fails, or is stopped after RUN_TIMEOUT seconds (default 120),
# is reported and not counted.
run_once() {
  local name=$1 command=$2 out real user sys cpu bestReal bestCpu
  if ! out=$( { TIMEFORMAT='%R %U %S'
    time timeout -s KILL "${RUN_TIMEOUT:-120}" bash -c "$command" >/dev/null 2>&1; } 2>&1 ); then
    echo "$name: a run failed or did not finish; not counted" >&2
    return 0
  fi
  read -r real user sys <<<"$out"
  cpu=$(echo "$user + $sys" | bc)
  if [ -f "$work/$name.time" ]; then
    read -r bestReal bestCpu <"$work/$name.time"
    real=$(echo "if ($real < $bestReal) $real else $bestReal" | bc)
    cpu=$(echo "if ($cpu < $bestCpu) $cpu else $bestCpu" | bc)
  fi
  echo "$real $cpu" >"$work/$name.time"
}

# require_runs NAME...: stops when a command had no counted run.
require_runs() {
  local name
  for name in "$@"; do
    [ -f "$work/$name.time" ] || { echo "$name: no run finished" >&2; exit 1; }
  done
}

# t NAME: the best wall seconds.
t() { cut -d' ' -f1 "$work/$1.time"; }
