"""Grabs N live frames from a camera and saves them as one NumPy file, shaped (N, height, width[, channels]).

    python save_frames.py 20 frames.npy --bits 24
    python save_frames.py --simulate        # a simulated camera (simulator builds of the library)

Shows the last frame in a window when OpenCV (cv2) is installed.
"""
import argparse
import sys
import time

import numpy as np

import kelvox


def show(frame):
    try:
        import cv2
    except ImportError:
        return
    cv2.imshow("last frame (any key closes)", frame)  # the library's channel order is OpenCV's: blue first
    cv2.waitKey(0)
    cv2.destroyAllWindows()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("count", type=int, nargs="?", default=10, help="frames to grab (default 10)")
    parser.add_argument("output", nargs="?", default="frames.npy", help="NumPy file to write (default frames.npy)")
    parser.add_argument("--index", type=int, default=0, help="which attached camera (default 0)")
    parser.add_argument("--bits", type=int, choices=sorted(kelvox.constants.COLOR_MODES), help="colour mode")
    parser.add_argument("--timeout", type=float, default=2.0, help="seconds to wait for each frame")
    parser.add_argument("--simulate", action="store_true", help="plug in a simulated camera first")
    args = parser.parse_args()

    simulated = kelvox.sim.attach(serial="EXAMPLE-1") if args.simulate else None
    frames = []
    try:
        with kelvox.Camera(args.index) as cam:
            if args.bits:
                cam.color_mode = args.bits
            start = time.monotonic()
            for frame in cam.frames(timeout=args.timeout):
                frames.append(frame)
                if len(frames) == args.count:
                    break
            seconds = time.monotonic() - start
    except kelvox.KelvoxError as error:
        print("error:", error, file=sys.stderr)
        return 1
    finally:
        if simulated is not None:
            kelvox.sim.detach(simulated)
    if not frames:
        print("the camera was lost before the first frame", file=sys.stderr)
        return 1
    if len(frames) < args.count:
        print("the camera was lost after %d frames" % len(frames), file=sys.stderr)
    stack = np.stack(frames)
    np.save(args.output, stack)
    print("wrote %s: %s %s, %.1f frames per second" % (args.output, stack.shape, stack.dtype,
                                                       len(frames) / seconds))
    show(frames[-1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
