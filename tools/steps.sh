# Step output for the check scripts (sourced): the step's name with the
# seconds since the script started, and how long the step took.
started=$(date +%s)
stepStarted=$started
Step() {
  local now
  now=$(date +%s)
  echo "== $* ($(( now - started )) s since start)"
  stepStarted=$now
}
StepDone() {
  echo "   done in $(( $(date +%s) - stepStarted )) s"
}
