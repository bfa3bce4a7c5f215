"""Prints the benchmark table: our in-process figures (Google Benchmark medians) next to whole-process
timings of ImageMagick and Pillow measured in the same run, with the ratios the targets are set in.
usage: bench_report.py ours.json tools.tsv"""
import json
import re
import sys

ours_json, tools_tsv = sys.argv[1:3]
ours = {}
megabytes = {}  # the "file MB" counter of the writer benchmarks
for b in json.load(open(ours_json))["benchmarks"]:
    if b.get("aggregate_name", "median") != "median":
        continue
    unit = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b.get("time_unit", "ns")]
    name = b["run_name"] if "run_name" in b else b["name"]
    ours[name] = b["real_time"] * unit
    if "file MB" in b:
        megabytes[name] = b["file MB"]
tools = {}
for line in open(tools_tsv):
    name, value = line.split()
    tools[name] = float(value) * (1 if name.endswith("_bytes") else 1e3)


def find(*patterns):
    """First benchmark whose name matches every pattern (case-insensitive regexes)."""
    for name, ms in ours.items():
        if all(re.search(p, name, re.I) for p in patterns):
            return name, ms
    return None, None


print("\n## Our benchmarks (median of 3 repetitions, milliseconds; all cores, but for the rows whose"
      " last argument is a worker count)\n")
print("| benchmark | ms |")
print("|---|---|")
for name, ms in ours.items():
    print(f"| {name} | {ms:.1f} |")

_, memcpy = find("memcpy")
print("\n## Against the memcpy of the same bytes (24 MP)\n")
print("| operation | ms | x memcpy | target |")
print("|---|---|---|---|")
for label, pats, target in [
    ("BlendMask, every pixel blended", ["blendmask.*/1/0$"], "within 2x"),
    ("BlendMask, vignette (white skipped)", ["blendmask.*/0/0$"], "within 2x"),
    ("BlendMask, every pixel, baseline x86-64", ["blendmask.*/1/1$"], "-"),
    ("GreyBitmap", ["grey"], "within 2x"),
    ("InvertBitmap", ["invert"], "within 2x"),
    ("SoftenBitmap", ["soften"], "within 10x"),
    ("TwoToneBitmap", ["two.?tone"], "-"),
    ("TileBitmap", ["tile"], "-"),
    ("RotateQuarter", ["rotatequarter24"], "-"),
    ("mask build + apply, fitted", ["buildandapply.*workers:0/variant:0/"], "-"),
    ("mask build + apply, fitted and softened", ["buildandapply.*workers:0/variant:1/"], "-"),
    ("mask build + apply, Transparent", ["buildandapply.*workers:0/variant:2/"], "-"),
    ("TUndoList::Add", ["undoadd"], "-"),
    ("TUndoList undo (exchange)", ["undoexchange"], "-"),
]:
    name, ms = find(*pats)
    if ms is not None and memcpy:
        print(f"| {label} | {ms:.1f} | {ms / memcpy:.2f} | {target} |")
    else:
        print(f"| {label} | (not measured) | | {target} |")

print("\n## Against ImageMagick and Pillow (their figures are whole processes: start-up and file I/O"
      " included)\n")
print("| operation | ours ms | ImageMagick 1T ms | Pillow ms | IM / ours | Pillow / ours | target |")
print("|---|---|---|---|---|---|---|")
for label, pats, im, pil, target in [
    ("mask 800x600 -> 6000x4000 Lanczos 3", ["resamplemaskup/"], "im_up", "pil_up",
     ">= 10x IM, >= 2.5x Pillow"),
    ("photo 6000x4000 -> 3000x2000 Lanczos 3", ["resamplephotodown/"], "im_down", "pil_down",
     ">= 5x IM; faster than libvips 1T (0.35 s in ANCHORS.md)"),
    ("256 colours, dithering (options 65)", ["reducetopalette/65"], "im_quant_fs", "pil_quant_fs",
     ">= 4x IM, faster than Pillow"),
    ("256 colours, options 3", ["reducetopalette/3$"], "im_quant_fs",
     "pil_quant_fs", "-"),
    ("256 colours, no dithering (options 66)", ["reducetopalette/66"], None, "pil_quant_nd", "-"),
]:
    name, ms = find(*pats)
    imv, pilv = tools.get(im) if im else None, tools.get(pil) if pil else None
    cells = [f"{ms:.1f}" if ms else "-", f"{imv:.0f}" if imv else "-", f"{pilv:.0f}" if pilv else "-",
             f"{imv / ms:.1f}" if ms and imv else "-", f"{pilv / ms:.1f}" if ms and pilv else "-"]
    print(f"| {label} | " + " | ".join(cells) + f" | {target} |")


def whole(label, ours_key, others, target):
    ours_ms = tools.get(ours_key)
    if ours_ms is None:
        return
    cells = []
    for key in others:
        v = tools.get(key)
        cells.append(f"{v:.0f} ({v / ours_ms:.1f}x)" if v else "-")
    print(f"| {label} | {ours_ms:.0f} | " + " | ".join(cells) + f" | {target} |")


print("\n## Whole processes on both sides (milliseconds; in brackets: their time / ours)\n")
print("| job | vorlino-cli | ImageMagick | Pillow | libvips program | target |")
print("|---|---|---|---|---|---|")
whole("frame a 24 MP JPEG (all cores)", "ours_frame", ["im_frame", "pil_frame", "vips_frame"],
      ">= 4x IM, >= 1.5x libvips")
whole("frame a 24 MP JPEG (--jobs 1)", "ours_frame_1t", ["im_frame", "pil_frame", "vips_frame"], "-")
whole("PNG level 7 of 24 MP", "ours_png", ["im_png", "pil_png", "vips_png"], ">= 3x every tool")
sizes = [f"{label} {tools[key] / 1e6:.2f} MB" for label, key in [
    ("ours", "ours_png_bytes"), ("ImageMagick", "im_png_bytes"), ("Pillow", "pil_png_bytes"),
    ("libvips", "vips_png_bytes")] if key in tools]
zlib_rows = [mb for name, mb in megabytes.items() if re.search("zlib", name, re.I)]
if zlib_rows:
    sizes.append(f"zlib level 7 over our own Sub-filtered rows {zlib_rows[0]:.2f} MB (target: ours no larger)")
if sizes:
    print("\nPNG sizes: " + ", ".join(sizes) + ". The other tools choose a filter per row.")
if "batch_jobs1" in tools and "batch_jobs2" in tools:
    print(f"\nBatch of 20 photos of 12 MP: --jobs 1 {tools['batch_jobs1'] / 1e3:.1f} s, --jobs 2 "
          f"{tools['batch_jobs2'] / 1e3:.1f} s: {tools['batch_jobs1'] / tools['batch_jobs2']:.2f}x "
          "(target >= 1.8x).")
