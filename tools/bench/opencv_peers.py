#!/usr/bin/python3
"""OpenCV doing what a user would compare our processing and saves with, on the same pictures.

The pictures come from the simulated camera through our Python binding, set up as
kelvox_save_bench sets it up (chart, unpaced, noise 8, neutral settings): the raw Bayer frame at 8
and 16 bits and the processed 24-bit picture. Prints one line per measurement:
"key<TAB>best ms<TAB>median ms<TAB>file bytes<TAB>what", median of many runs after a warm-up.

Run by scripts/bench.sh; by hand: KELVOX_LIBRARY=build/native-release/bin/libZorezoRer_Av40_IVA3_V5.so
/usr/bin/python3 tools/bench/opencv_peers.py [directory for the written files]
"""
import os
import statistics
import sys
import tempfile
import time

import cv2
import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
import kelvox  # noqa: E402

FAST_RUNS = 51  # runs of a few milliseconds
SLOW_RUNS = 31  # file writes of tens of milliseconds


def pictures():
    """Raw 8-bit, raw 16-bit and processed 24-bit pictures (top row first, B G R) of one camera."""
    camera = kelvox.sim.attach(serial="PEER-BENCH", paced=False, noise=8)
    try:
        with kelvox.Camera(0) as cam:
            shots = {}
            for bits in (8, 16, 24):
                cam.color_mode = bits
                shots[bits] = np.ascontiguousarray(cam.snapshot())
            return shots[8], shots[16], shots[24]
    finally:
        kelvox.sim.detach(camera)


def measure(run, runs):
    run()
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        run()
        times.append((time.perf_counter() - t0) * 1000.0)
    return min(times), statistics.median(times)


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else tempfile.mkdtemp(prefix="kelvox-peers-")
    os.makedirs(out_dir, exist_ok=True)
    raw8, raw16, picture = pictures()
    all_threads = cv2.getNumberOfCPUs()
    print("# OpenCV %s, NumPy %s, %d CPUs; picture %d x %d; median of %d runs (imwrite %d)" % (
        cv2.__version__, np.__version__, all_threads, picture.shape[1], picture.shape[0], FAST_RUNS, SLOW_RUNS))
    print("# key\tbest ms\tmedian ms\tfile bytes\twhat")

    def row(key, timing, what, size=0):
        print("%s\t%.4f\t%.4f\t%d\t%s" % (key, timing[0], timing[1], size, what), flush=True)

    # Bayer mode 2 (B G / G R from the top row) is OpenCV's "RG" pattern: its letters name the
    # second row's second and third samples.
    bayer = cv2.COLOR_BayerRG2BGR
    colour8 = np.empty(raw8.shape + (3,), np.uint8)
    colour16 = np.empty(raw16.shape + (3,), np.uint16)
    # A gamma table, the kind our gamma and contrast step applies.
    lut = np.clip(np.round(255.0 * (np.arange(256) / 255.0) ** (1 / 1.2)), 0, 255).astype(np.uint8)
    lut_out = np.empty_like(picture)
    for threads, label in ((1, "1"), (all_threads, "all")):
        cv2.setNumThreads(threads)
        row("cvtColor/8/%s" % label, measure(lambda: cv2.cvtColor(raw8, bayer, dst=colour8), FAST_RUNS),
            "cv2.cvtColor BayerRG2BGR 8-bit, %d thread%s" % (threads, "s" if threads > 1 else ""))
        row("cvtColor/16/%s" % label, measure(lambda: cv2.cvtColor(raw16, bayer, dst=colour16), FAST_RUNS),
            "cv2.cvtColor BayerRG2BGR 16-bit, %d thread%s" % (threads, "s" if threads > 1 else ""))
        row("LUT/24/%s" % label, measure(lambda: cv2.LUT(picture, lut, dst=lut_out), FAST_RUNS),
            "cv2.LUT 24-bit, %d thread%s" % (threads, "s" if threads > 1 else ""))

    cv2.setNumThreads(all_threads)
    saves = [
        # Ours: quality 100, progressive (libjpeg-turbo's defaults otherwise, 4:2:0).
        ("imwrite/jpeg100", "x.jpg", [cv2.IMWRITE_JPEG_QUALITY, 100, cv2.IMWRITE_JPEG_PROGRESSIVE, 1],
         "cv2.imwrite JPEG quality 100, progressive"),
        # Ours leaves libpng at its defaults (zlib level 6, adaptive filters); OpenCV's own default
        # trades size for speed (level 1, one filter, run-length strategy).
        ("imwrite/png6", "x.png", [cv2.IMWRITE_PNG_COMPRESSION, 6], "cv2.imwrite PNG, zlib level 6"),
        ("imwrite/png", "x.png", [], "cv2.imwrite PNG, OpenCV's default (level 1)"),
        ("imwrite/tiff", "x.tif", [cv2.IMWRITE_TIFF_COMPRESSION, 1], "cv2.imwrite TIFF, uncompressed"),
    ]
    for key, name, params, what in saves:
        path = os.path.join(out_dir, name)
        ok = []
        timing = measure(lambda: ok.append(cv2.imwrite(path, picture, params)), SLOW_RUNS)
        if not all(ok):
            print("cv2.imwrite failed: %s" % path, file=sys.stderr)
            return 1
        row(key, timing, what, os.path.getsize(path))
        os.remove(path)
    return 0


if __name__ == "__main__":
    sys.exit(main())
