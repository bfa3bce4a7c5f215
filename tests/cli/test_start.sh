# The start every vorlino-cli test script shares, sourced with the script's own arguments
# (VORLINO_CLI SOURCE_DIR WORK_DIR): the tool's messages in French whatever the language of the
# shell, a fresh work folder, and fail(), which counts the failed checks in $failures.
set -u
export LANGUAGE=fr
CLI=$1
SRC=$2
WORK=$3
rm -rf "$WORK"
mkdir -p "$WORK"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
