# Sourced first by a script that runs Wine: runs the script again in a
# private mount namespace in which each /dev/ttyS* is covered by /dev/null,
# and stops if a cover is missing.  Wine maps /dev/ttyS* to COM ports by
# itself, and no run may reach the machine's own serial ports (/dev/ttyS0
# may be its console).
if [ "${IRTICK_SERIAL_PORTS_COVERED:-}" != yes ]; then
  exec unshare --mount --propagation private -- \
    env IRTICK_SERIAL_PORTS_COVERED=yes bash "$0" "$@"
fi
nullDevice=$(stat -Lc '%t:%T' /dev/null)
for port in /dev/ttyS*; do
  [ -e "$port" ] || continue
  mount --bind /dev/null "$port"
  if [ "$(stat -Lc '%t:%T' "$port")" != "$nullDevice" ]; then
    echo "stop: $port is not covered by /dev/null" >&2
    exit 1
  fi
done
