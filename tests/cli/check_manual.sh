#!/usr/bin/env bash
# The manual page and the bash completion of vorlino-cli against the tool's own help text: the
# same commands, options, writable types and exit statuses (what one of them lacks is named), every
# option the completion offers accepted by its command, and the completion at work on a folder.
# usage: check_manual.sh VORLINO_CLI SOURCE_DIR COMPLETION
set -u
cli=$(realpath "$1")
src=$(realpath "$2")
completion=$(realpath "$3")
manual=$src/cli/vorlino-cli.1
work=$(mktemp -d "${TMPDIR:-/tmp}/vorlino-manual.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# same WHAT LEFT_NAME LEFT RIGHT_NAME RIGHT: two word lists hold the same words.
same() {
  local missing
  missing=$(comm -23 <(tr ' ' '\n' <<<"$3" | sed '/^$/d' | sort -u) \
    <(tr ' ' '\n' <<<"$5" | sed '/^$/d' | sort -u) | tr '\n' ' ')
  [ -z "$missing" ] || fail "$1 in $2 but not in $4: $missing"
  missing=$(comm -13 <(tr ' ' '\n' <<<"$3" | sed '/^$/d' | sort -u) \
    <(tr ' ' '\n' <<<"$5" | sed '/^$/d' | sort -u) | tr '\n' ' ')
  [ -z "$missing" ] || fail "$1 in $4 but not in $2: $missing"
}

# The options named in a text: a dash or two and a lower-case word, not inside a word.
options_in() { grep -oE '(^|[^A-Za-z0-9_-])--?[a-z][a-z0-9-]*' | sed 's/^[^-]*//' | sort -u; }

# The man page's text without its comments, with "\-" as plain dashes.
man_text=$(grep -v '^\.\\"' "$manual" | sed 's/\\-/-/g')
# A section of it: the lines from ".SH NAME" to the next ".SH".
section() { awk -v name="$1" '/^\.SH /{inside = ($0 == ".SH " name)} inside' <<<"$man_text"; }

help=$("$cli" --help) || fail "vorlino-cli --help"
help_options=$(options_in <<<"$help")
help_commands=$(awk '/^Commands:/{inside=1; next} /^[^ ]/{inside=0} inside' <<<"$help" |
  grep -oE '^  [a-z]+( |$)' | tr -d ' ')
help_writable=$(grep -oE '\((\.[a-z]+ ?)+\)' <<<"$help" | head -n 1 | tr -d '().')
help_statuses=$(grep -i '^exit status' <<<"$help" | grep -oE '[0-9]+ [a-z]' | cut -d' ' -f1)

# The manual.
same options "vorlino-cli --help" "$help_options" "vorlino-cli.1" "$(options_in <<<"$man_text")"
man_commands=$(section COMMANDS | awk 'previous == ".TP" {print $2} {previous = $0}' | tr -d '"')
same commands "vorlino-cli --help" "$help_commands help" "the manual's COMMANDS" "$man_commands"
man_statuses=$(section 'EXIT STATUS' | awk 'previous == ".TP" {print $2} {previous = $0}')
same "exit statuses" "vorlino-cli --help" "$help_statuses" "the manual's EXIT STATUS" "$man_statuses"
for type in $help_writable; do
  grep -q "^\.BR \.$type\( \|$\)" <<<"$man_text" || fail "writable .$type not in vorlino-cli.1"
done
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man reports: $warnings"

# The completion: complete WORD... prints what it offers for the last word, one per line.
complete() {
  bash -c 'source "$1" || exit 1; shift
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _vorlino_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | sed '/^$/d' | sort
}
grep -q '@[A-Z_]*@' "$completion" && fail "the completion still holds a placeholder"

first_words=$(complete vorlino-cli '')
completion_commands=$(grep -v '^-' <<<"$first_words")
same commands "vorlino-cli --help" "$help_commands help" "the completion" "$completion_commands"
all_options=$(grep '^-' <<<"$first_words")
for command in $help_commands; do
  offered=$(complete vorlino-cli "$command" -)
  [ -n "$offered" ] || fail "the completion offers no option for $command"
  for option in $offered; do
    "$cli" "$command" "$option" >/dev/null 2>"$work/err.txt"
    grep -q "unknown option" "$work/err.txt" && fail "the completion offers $option, which $command refuses"
  done
  all_options="$all_options $offered"
done
same options "vorlino-cli --help" "$help_options" "the completion" "$all_options"
same "writable types" "vorlino-cli --help" "$help_writable" "the completion of --format" \
  "$(complete vorlino-cli frame --format '')"

# At work on a folder: inputs by the readable types in any letter case, outputs by the writable
# ones, folders where a folder is asked for, values of the option before the word ("--a=b" comes
# as three words, as bash splits it).
mkdir "$work/Photos" "$work/Cadres"
touch "$work/photo.JPG" "$work/scan.pcx" "$work/notes.txt" "$work/Vorlino.ini" "$work/mask.png"
cd "$work" || exit 1
expect() {
  local want=$1
  shift
  local got
  got=$(complete "$@" | tr '\n' ' ')
  [ "$got" = "$want" ] || fail "completing '$*': got '$got', wanted '$want'"
}
expect "Cadres Photos mask.png photo.JPG scan.pcx " vorlino-cli frame ''
expect "photo.JPG " vorlino-cli info p
expect "Cadres Photos " vorlino-cli frame photo.JPG --output-dir ''
expect "Cadres Photos mask.png photo.JPG scan.pcx " vorlino-cli frame --mask ''
expect "Cadres Photos Vorlino.ini " vorlino-cli frame --settings ''
expect "Cadres Photos mask.png photo.JPG " vorlino-cli frame photo.JPG -o ''
expect "Cadres Photos mask.png photo.JPG scan.pcx " vorlino-cli convert --quality 80 ''
expect "Cadres Photos mask.png photo.JPG " vorlino-cli convert --quality = 80 scan.pcx ''
expect "tga tif tiff " vorlino-cli frame Photos --output-dir Cadres --format = t
expect "180 " vorlino-cli frame --rotate 1
expect "--opacity --output-dir --overwrite " vorlino-cli frame Photos --o
expect "" vorlino-cli frame --jobs ''

if [ "$failures" -gt 0 ]; then
  echo "manual and completion: $failures failed"
  exit 1
fi
echo "manual and completion: all agree with vorlino-cli --help"
