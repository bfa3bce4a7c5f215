#!/usr/bin/env bash
# A private CUPS scheduler for the printing tests, so that they leave the machine as they found
# it: its configuration, spool, logs and socket live in a temporary folder, the system's scheduler
# and configuration are never touched, and nothing listens on the network.
#
#   cups-test-setup.sh start OWNER_PID
#     Starts the scheduler, adds the cups-pdf queue "VorlinoPDF" (not the default queue) and
#     prints four lines:
#       CUPS_SERVER=<its socket>   (set it in the environment of the tests and of lpstat/lpadmin)
#       SPOOL=<its spool folder, where the job control files are>
#       OUT=<the folder where the queue writes the PDF files of the calling user>
#       ROOT=<the temporary folder>
#     A watcher stops the scheduler and removes the folder as soon as OWNER_PID has ended, so that
#     a test that crashes or is killed leaves nothing behind either.
#   cups-test-setup.sh stop ROOT
#     Stops that scheduler and removes the folder at once.
#
# Exit status: 0 done; 77 no CUPS scheduler can run here, with the reason on standard error (the
# tests then skip themselves); anything else is a failure.
set -uo pipefail
export LC_ALL=C

QUEUE=VorlinoPDF
PDF_CONF=/etc/cups/cups-pdf.conf

skip() {
  echo "cups-test-setup: $*" >&2
  exit 77
}
fail() {
  echo "cups-test-setup: $*" >&2
  exit 1
}

# Stops the scheduler whose folder is $1 and removes the folder.
stop_scheduler() {
  local root=$1 pid
  [ -n "$root" ] && [ -f "$root/.vorlino-cups" ] || return 0
  pid=$(cat "$root/cupsd.pid" 2>/dev/null)
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null
  fi
  rm -rf "$root"
}

case "${1:-}" in
stop)
  stop_scheduler "${2:-}"
  exit 0
  ;;
start)
  owner=${2:-}
  [ -n "$owner" ] && kill -0 "$owner" 2>/dev/null || fail "start needs the PID of the test"
  ;;
*)
  fail "usage: cups-test-setup.sh start OWNER_PID | stop ROOT"
  ;;
esac

for tool in /usr/sbin/cupsd /usr/sbin/lpadmin /usr/sbin/lpinfo /usr/sbin/cupsenable \
  /usr/sbin/cupsaccept lpstat; do
  command -v "$tool" >/dev/null 2>&1 || skip "CUPS is not installed ($tool is missing)"
done
[ -e /usr/lib/cups/backend/cups-pdf ] || skip "the cups-pdf backend is not installed"
# The scheduler runs cups-pdf as root only when it runs as root itself.
[ "$(id -u)" -eq 0 ] || skip "the cups-pdf queue needs a scheduler run as root"

root=$(mktemp -d "${TMPDIR:-/tmp}/vorlino-cups.XXXXXX") || fail "no temporary folder"
touch "$root/.vorlino-cups"
trap 'stop_scheduler "$root"' EXIT
# Filters run as the user lp: they must reach the spool.
chmod 755 "$root"
mkdir -p "$root/conf/ppd" "$root/spool/tmp" "$root/state" "$root/cache" "$root/log"
chgrp lp "$root/spool" "$root/spool/tmp" "$root/cache" 2>/dev/null
chmod 710 "$root/spool"
chmod 1770 "$root/spool/tmp"
chmod 770 "$root/cache"
socket=$root/cups.sock

cat >"$root/conf/cups-files.conf" <<EOF
ServerRoot $root/conf
RequestRoot $root/spool
TempDir $root/spool/tmp
StateDir $root/state
CacheDir $root/cache
ErrorLog $root/log/error_log
AccessLog $root/log/access_log
PageLog $root/log/page_log
Printcap $root/printcap
User lp
Group lp
SystemGroup root
FileDevice No
EOF
cat >"$root/conf/cupsd.conf" <<EOF
Listen $socket
Browsing No
LogLevel warn
DefaultAuthType None
WebInterface No
PreserveJobFiles No
PreserveJobHistory Yes
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF

/usr/sbin/cupsd -f -c "$root/conf/cupsd.conf" -s "$root/conf/cups-files.conf" \
  </dev/null >"$root/log/cupsd.out" 2>&1 &
echo $! >"$root/cupsd.pid"
export CUPS_SERVER=$socket
running=
for _ in $(seq 1 100); do
  if lpstat -r 2>/dev/null | grep -qx "scheduler is running"; then
    running=yes
    break
  fi
  kill -0 "$(cat "$root/cupsd.pid")" 2>/dev/null || break
  sleep 0.1
done
[ -n "$running" ] || skip "the private CUPS scheduler does not start: $(tail -n 3 "$root/log/cupsd.out" "$root/log/error_log" 2>/dev/null | tr '\n' ' ')"

# The generic cups-pdf driver, with options when both forms exist.
models=$(/usr/sbin/lpinfo -m 2>/dev/null | awk '{print $1}' | grep -i 'cups-pdf')
model=$(echo "$models" | grep -i '_opt\.ppd$' | head -n 1)
[ -n "$model" ] || model=$(echo "$models" | head -n 1)
[ -n "$model" ] || fail "CUPS knows no cups-pdf driver (lpinfo -m)"
/usr/sbin/lpadmin -p "$QUEUE" -E -v cups-pdf:/ -m "$model" 2>/dev/null ||
  fail "the queue $QUEUE cannot be added"
/usr/sbin/cupsenable "$QUEUE" && /usr/sbin/cupsaccept "$QUEUE" ||
  fail "the queue $QUEUE cannot be enabled"

# cups-pdf writes to its "Out" folder, in which ${HOME} and ${USER} stand for the job's owner.
out=$(awk '$1 == "Out" { $1 = ""; sub(/^[ \t]+/, ""); print; exit }' "$PDF_CONF" 2>/dev/null)
[ -n "$out" ] || out='${HOME}/PDF'
user=$(id -un)
home=$(getent passwd "$user" | cut -d: -f6)
[ -n "$home" ] || home=$HOME
out=${out//'${HOME}'/$home}
out=${out//'${USER}'/$user}

# The watcher outlives this script; its own output goes nowhere, so that the caller is not kept
# waiting on it.
setsid bash -c '
  while kill -0 "$1" 2>/dev/null && [ -d "$2" ]; do sleep 1; done
  exec bash "$3" stop "$2"' watcher "$owner" "$root" "$(readlink -f "$0")" \
  </dev/null >/dev/null 2>&1 &
trap - EXIT

echo "CUPS_SERVER=$socket"
echo "SPOOL=$root/spool"
echo "OUT=$out"
echo "ROOT=$root"
