#!/usr/bin/env bash
# Prepares the print queue of the printing tests: starts the CUPS scheduler when none answers (it
# is not run as a service on the development and CI machines), adds the cups-pdf queue
# "VorlinoPDF" when it is missing, and prints the folder where that queue writes the PDF files of
# the calling user.
# Exit status: 0 ready (the folder on standard output); 77 no CUPS scheduler can run here, with
# the reason on standard error (the tests then skip themselves); anything else is a failure.
set -uo pipefail
export LC_ALL=C

QUEUE=VorlinoPDF
CONF=/etc/cups/cups-pdf.conf

skip() {
  echo "cups-test-setup: $*" >&2
  exit 77
}
fail() {
  echo "cups-test-setup: $*" >&2
  exit 1
}
scheduler_running() {
  lpstat -r 2>/dev/null | grep -qx "scheduler is running"
}

for tool in /usr/sbin/cupsd /usr/sbin/lpadmin /usr/sbin/lpinfo /usr/sbin/cupsenable \
  /usr/sbin/cupsaccept lpstat; do
  command -v "$tool" >/dev/null 2>&1 || skip "CUPS is not installed ($tool is missing)"
done
[ -e /usr/lib/cups/backend/cups-pdf ] || skip "the cups-pdf backend is not installed"

if ! scheduler_running; then
  [ "$(id -u)" -eq 0 ] || skip "no CUPS scheduler runs and only root can start one"
  /usr/sbin/cupsd >/dev/null 2>&1 || skip "the CUPS scheduler does not start"
  for _ in $(seq 1 100); do
    scheduler_running && break
    sleep 0.1
  done
  scheduler_running || skip "the CUPS scheduler started but does not answer"
fi

if ! lpstat -p "$QUEUE" >/dev/null 2>&1; then
  # The generic cups-pdf driver, with options when both forms exist.
  models=$(/usr/sbin/lpinfo -m 2>/dev/null | awk '{print $1}' | grep -i 'cups-pdf')
  model=$(echo "$models" | grep -i '_opt\.ppd$' | head -n 1)
  [ -n "$model" ] || model=$(echo "$models" | head -n 1)
  [ -n "$model" ] || fail "CUPS knows no cups-pdf driver (lpinfo -m)"
  /usr/sbin/lpadmin -p "$QUEUE" -E -v cups-pdf:/ -m "$model" 2>/dev/null ||
    fail "the queue $QUEUE cannot be added"
fi
/usr/sbin/cupsenable "$QUEUE" && /usr/sbin/cupsaccept "$QUEUE" ||
  fail "the queue $QUEUE cannot be enabled"

# cups-pdf writes to its "Out" folder, in which ${HOME} and ${USER} stand for the job's owner.
out=$(awk '$1 == "Out" { $1 = ""; sub(/^[ \t]+/, ""); print; exit }' "$CONF" 2>/dev/null)
[ -n "$out" ] || out='${HOME}/PDF'
user=$(id -un)
home=$(getent passwd "$user" | cut -d: -f6)
[ -n "$home" ] || home=$HOME
out=${out//'${HOME}'/$home}
out=${out//'${USER}'/$user}
echo "$out"
