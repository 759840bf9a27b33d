#!/usr/bin/env python3
"""Lines up our benchmarks with the OpenCV peers and prints the ratios (scripts/bench.sh).

Usage: bench_report.py <processing --tsv, frames on one thread> <the same, frames on every thread>
                       <save bench output> <opencv_peers.py output>
Processing rows compare medians (both sides have them); save rows compare the save bench's own
statistic (its header says which) with the same statistic of cv2.imwrite.
"""
import re
import sys


def read_tsv(path, columns):
    rows, notes = {}, []
    with open(path) as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("#"):
                notes.append(line[1:].strip())
            elif line:
                parts = line.split("\t")
                if len(parts) >= columns:
                    rows[parts[0]] = parts[1:]
    return rows, notes


def read_saves(path):
    """{bits: {format name: ms}}, the statistic named in the header, and the file sizes in KiB."""
    tables, statistic = [], "best"
    with open(path) as f:
        lines = f.read().splitlines()
    for line in lines:
        m = re.search(r"\((best|median)[^)]*\)", line)
        if m:
            statistic = m.group(0)[1:-1]
            break
    header = None
    for line in lines:
        fields = re.split(r"\s{2,}", line.strip())
        if fields and fields[0] == "bits":
            header = fields[1:]
            tables.append({})
        elif header and line.split() and line.split()[0].isdigit():
            values = line.split()[1:]
            tables[-1][int(line.split()[0])] = dict(zip(header, values))
        else:
            header = None
    times = tables[0] if tables else {}
    sizes = tables[1] if len(tables) > 1 else {}
    return times, statistic, sizes


def number(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


def frame_threads(notes):
    """The threads the processing bench ran frames on: 1 unless it says otherwise."""
    for note in notes:
        m = re.match(r"frame threads: (\d+)", note)
        if m:
            return int(m.group(1))
    return 1


def main():
    ours, our_notes = read_tsv(sys.argv[1], 3)
    ours_all, all_notes = read_tsv(sys.argv[2], 3)
    saves, save_statistic, save_sizes = read_saves(sys.argv[3])
    peers, peer_notes = read_tsv(sys.argv[4], 4)
    threads = frame_threads(all_notes)
    if threads == 1:
        ours_all = ours  # the library processes frames on one thread: one set of figures
    median = lambda rows, key: number(rows[key][1]) if key in rows else None  # noqa: E731
    kernels = next((n.split(":", 1)[1].strip() for n in our_notes if n.startswith("kernels")), "?")
    runs = next((re.search(r"of (\d+) runs", n).group(1) for n in our_notes if "runs" in n), "?")

    def text(value):
        return "%.2f" % value if value is not None else "n/a"

    print("== our processing, ms per 1920 x 1200 frame (median of %s runs, %s kernels) ==" % (runs, kernels))
    sets = [("frames on 1 thread", ours)] + ([("on %d threads" % threads, ours_all)] if threads > 1 else [])
    print("%-12s" % "" + "".join("%28s" % name for name, _ in sets))
    print("%-12s" % "colour mode" + "".join("%10s %17s" % ("neutral", "every adjustment") for _ in sets))
    for bits in (8, 16, 24, 32, 48, 64):
        print("%7d bits " % bits + "".join("%10s %17s" % (text(median(rows, "frame/%d/neutral" % bits)),
                                                         text(median(rows, "frame/%d/all" % bits))) for _, rows in sets))
    print("kernels alone, one thread:")
    for key, what in (("kernel/demosaic_8_24", "demosaic 8 -> 24 bits"), ("kernel/demosaic_16_48", "demosaic 16 -> 48 bits"),
                      ("adjust/24/table", "gamma + contrast table, 24 bits"), ("adjust/48/table", "gamma + contrast table, 48 bits"),
                      ("adjust/24/hue_saturation", "hue + saturation, 24 bits"),
                      ("adjust/24/sharpen_brightness", "sharpness + brightness, 24 bits")):
        print("  %-34s %6s ms" % (what, text(median(ours, key))))

    print()
    print("== OpenCV peers on the same pictures (%s) ==" % "; ".join(peer_notes[:1]))
    print("%-48s %9s %9s %9s" % ("", "median ms", "best ms", "file KiB"))
    for key, (best, med, size, what) in peers.items():
        print("%-48s %9.2f %9.2f %9s" % (what, float(med), float(best), "%.0f" % (int(size) / 1024) if int(size) else ""))

    def peer(key, column):
        return number(peers[key][column]) if key in peers else None

    def ours_pair(key, rows=ours):
        return (number(rows[key][1]), number(rows[key][0])) if key in rows else (None, None)

    def peer_pair(key):
        return peer(key, 1), peer(key, 0)

    all_label = "%d threads" % threads if threads > 1 else "1 thread"
    # (ours, its (median, best) ms, OpenCV's, its (median, best) ms)
    pairs = [
        ("24-bit processing, neutral, 1 thread", ours_pair("frame/24/neutral"), "cvtColor Bayer 8-bit, 1 thread",
         peer_pair("cvtColor/8/1")),
        ("24-bit processing, neutral, %s" % all_label, ours_pair("frame/24/neutral", ours_all),
         "cvtColor Bayer 8-bit, all threads", peer_pair("cvtColor/8/all")),
        ("48-bit processing, neutral, 1 thread", ours_pair("frame/48/neutral"), "cvtColor Bayer 16-bit, 1 thread",
         peer_pair("cvtColor/16/1")),
        ("48-bit processing, neutral, %s" % all_label, ours_pair("frame/48/neutral", ours_all),
         "cvtColor Bayer 16-bit, all threads", peer_pair("cvtColor/16/all")),
        ("demosaic kernel 8 -> 24", ours_pair("kernel/demosaic_8_24"), "cvtColor Bayer 8-bit, 1 thread", peer_pair("cvtColor/8/1")),
        ("demosaic kernel 16 -> 48", ours_pair("kernel/demosaic_16_48"), "cvtColor Bayer 16-bit, 1 thread",
         peer_pair("cvtColor/16/1")),
        ("24-bit gamma+contrast table, 1 thread", ours_pair("adjust/24/table"), "LUT 24-bit, 1 thread",
         peer_pair("LUT/24/1")),
        ("24-bit gamma+contrast table, 1 thread", ours_pair("adjust/24/table"), "LUT 24-bit, all threads",
         peer_pair("LUT/24/all")),
    ]
    # The save bench has one statistic: it stands in both columns, against OpenCV's same one.
    save_column = 0 if save_statistic.startswith("best") else 1
    ours24 = saves.get(24, {})
    for name, key, what in (("JPEG 100", "imwrite/jpeg100", "imwrite JPEG q100 progressive"),
                            ("PNG", "imwrite/png6", "imwrite PNG, zlib level 6"),
                            ("PNG", "imwrite/png", "imwrite PNG, OpenCV default"),
                            ("TIFF", "imwrite/tiff", "imwrite TIFF uncompressed")):
        ms = number(ours24.get(name))
        theirs = peer(key, save_column)
        pairs.append(("24-bit %s save (%s)" % (name, save_statistic), (ms, ms), what, (theirs, theirs)))

    def ratio(a, b):
        return "%.2f" % (a / b) if a is not None and b else "n/a"

    print()
    print("== ours / OpenCV, same machine, same run (below 1: ours is faster) ==")
    print("ms: medians, except the saves: the save bench's %s against cv2.imwrite's %s" % (
        save_statistic, "best" if save_column == 0 else "median"))
    print("%-42s %8s   %-36s %8s %7s %14s" % ("ours", "ms", "OpenCV", "ms", "ratio", "ratio of bests"))
    for ours_what, (ours_ms, ours_best), peer_what, (peer_ms, peer_best) in pairs:
        print("%-42s %8s   %-36s %8s %7s %14s" % (ours_what, text(ours_ms), peer_what, text(peer_ms),
                                                  ratio(ours_ms, peer_ms), ratio(ours_best, peer_best)))
    if save_sizes.get(24):
        print("file sizes of the 24-bit saves, KiB: ours JPEG 100 %s, PNG %s, TIFF %s (OpenCV's in the table above)" % (
            save_sizes[24].get("JPEG 100", "?"), save_sizes[24].get("PNG", "?"), save_sizes[24].get("TIFF", "?")))
    return 0


if __name__ == "__main__":
    sys.exit(main())
