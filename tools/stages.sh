# Sourced by ./run, ./test and ./package: each stage prints one progress line and keeps its full
# output in LOGDIR/<stage>.log, which is printed only when the stage fails.

# stage NAME COMMAND...: runs COMMAND with its output in the stage's log; exits on failure.
stage() {
  local name=$1 start=$SECONDS
  shift
  STAGE_LOG="$LOGDIR/${name// /-}.log"
  mkdir -p "$LOGDIR"
  printf "%-22s" "$name ..."
  if "$@" >"$STAGE_LOG" 2>&1; then
    echo "ok ($((SECONDS - start)) s)"
  else
    echo "FAILED ($((SECONDS - start)) s); full log: $STAGE_LOG"
    cat "$STAGE_LOG"
    exit 1
  fi
}

# configure DIR FLAGS...: a CMake build folder made once; later builds reconfigure themselves
# when a CMakeLists.txt changes.
configure() {
  local dir=$1
  shift
  if [ -f "$dir/build.ninja" ]; then return; fi
  stage configure cmake -S . -B "$dir" -G Ninja "$@"
}
