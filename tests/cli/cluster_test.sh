#!/usr/bin/env bash
# Sharing a folder between machines: the parts of --shard are disjoint and together give the
# files of one run; --list reads inputs from a file or the standard input; --report writes one
# valid JSON line per photo.
# usage: cluster_test.sh VORLINO_CLI SOURCE_DIR WORK_DIR
. "$(dirname "$0")/test_start.sh"
mkdir -p "$WORK/in/sub"
MASK=$SRC/tests/data/pnm/hopper_16bit.pgm

cp "$SRC"/tests/data/png/*.png "$SRC"/tests/data/gif/*.gif "$WORK/in/"
cp "$SRC"/tests/data/jpeg/*.jpg "$WORK/in/sub/"
cp "$SRC/tests/data/jpeg/input_plane.jpg" "$WORK/in/sub/un nom \"cité\".jpg"
OPTS=(--mask "$MASK" --recursive --soften --opacity 70 --quiet)
total=$(cd "$WORK/in" && find . -type f | wc -l)

"$CLI" frame "$WORK/in" "${OPTS[@]}" --output-dir "$WORK/one" --jobs 2 || fail "one run"
for k in 1 2 3; do
  "$CLI" frame "$WORK/in" "${OPTS[@]}" --output-dir "$WORK/part$k" --shard $k/3 \
    --report "$WORK/report$k.jsonl" || fail "part $k/3"
done
all=$(cd "$WORK" && find part1 part2 part3 -type f | sed 's|^part[0-9]/||' | sort)
[ "$(echo "$all" | wc -l)" -eq "$total" ] || fail "the parts frame every photo once ($total)"
[ -z "$(echo "$all" | uniq -d)" ] || fail "the parts are disjoint: $(echo "$all" | uniq -d)"
for k in 1 2 3; do
  (cd "$WORK/part$k" && find . -type f) | while read -r f; do
    cmp -s "$WORK/part$k/$f" "$WORK/one/$f" || echo "FAIL: part $k gives other bytes for $f"
  done
done | grep -q FAIL && fail "a part gives the bytes of the single run"

# A part does not change when photos are added; a rerun only frames what is missing.
cp "$SRC/tests/data/jpeg/input_plane.jpg" "$WORK/in/ajout.jpg"
"$CLI" frame "$WORK/in" "${OPTS[@]}" --output-dir "$WORK/part1" --shard 1/3 \
  --report "$WORK/rerun.jsonl" || fail "rerun of part 1"
[ "$(grep -c '"status":"skipped"' "$WORK/rerun.jsonl")" -eq "$(grep -c . "$WORK/report1.jsonl")" ] ||
  fail "a rerun skips every earlier output of its part"
[ "$(grep -c '"status":"done"' "$WORK/rerun.jsonl")" -le 1 ] || fail "a rerun frames only the new photo"

# Every line of every report is JSON with the five fields; the whole folder is reported once.
python3 - "$WORK" "$total" <<'PY' || fail "reports are JSON lines with the five fields"
import json, sys
work, total = sys.argv[1], int(sys.argv[2])
inputs = []
for k in (1, 2, 3):
    for line in open(f"{work}/report{k}.jsonl", encoding="utf-8"):
        r = json.loads(line)
        assert set(r) == {"input", "output", "status", "milliseconds", "message"}, r
        assert r["status"] == "done" and r["message"] == "" and r["milliseconds"] >= 0, r
        inputs.append(r["input"])
assert len(inputs) == total and len(set(inputs)) == total, inputs
assert any(i.endswith('un nom "cité".jpg') for i in inputs), inputs
PY

# --list: from a file and from the standard input, the same outputs as the folder run.
(cd "$WORK/in" && find "$WORK/in" -maxdepth 1 -type f -name '*.png' | sort) >"$WORK/list.txt"
printf '\n' >>"$WORK/list.txt"
"$CLI" frame --list "$WORK/list.txt" "${OPTS[@]}" --output-dir "$WORK/listed" \
  --report "$WORK/listed.jsonl" || fail "--list FILE"
"$CLI" frame --list - "${OPTS[@]}" --output-dir "$WORK/stdin" <"$WORK/list.txt" || fail "--list -"
n=$(grep -c . "$WORK/list.txt")
[ "$(ls "$WORK/listed" | wc -l)" -eq "$n" ] || fail "--list frames each listed photo"
[ "$(grep -c '"status":"done"' "$WORK/listed.jsonl")" -eq "$n" ] || fail "--report has a line per listed photo"
for f in "$WORK"/listed/*; do
  cmp -s "$f" "$WORK/one/$(basename "$f")" || fail "--list gives the bytes of the folder run: $f"
  cmp -s "$f" "$WORK/stdin/$(basename "$f")" || fail "--list - reads the same list: $f"
done
echo "$WORK/in/missing.png" >"$WORK/bad.txt"
"$CLI" frame --list "$WORK/bad.txt" "${OPTS[@]}" --output-dir "$WORK/bad" --report "$WORK/bad.jsonl"
[ $? -eq 1 ] || fail "a missing listed photo fails the run"
grep -q '"status":"failed","milliseconds":[0-9]*,"message":"Impossible' "$WORK/bad.jsonl" ||
  fail "a failure is reported with its French message"
"$CLI" frame "$WORK/in" "${OPTS[@]}" --output-dir "$WORK/x" --shard 4/3 2>/dev/null
[ $? -eq 2 ] || fail "--shard 4/3 is a usage error"

if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all cluster checks passed"
