#!/usr/bin/env python3
"""Logs the unit's digital tilt once a second, with a progress line on the terminal.

    examples/tilt_logger.py /dev/ttyUSB0                 a unit on that line (or a CommPort number)
    examples/tilt_logger.py --simulate --count 10        the simulated unit, swinging, ten readings

The readings go to the log file (tilt.log unless --log says otherwise), the progress line to
standard error. Ctrl-C stops.
"""
import argparse
import logging
import math
import sys
import time

import quarn7

DIGITAL_TILT = 45  # read item: hundredths of a degree, negative past 90 degrees


def open_unit(args):
    if args.simulate:
        return quarn7.simulate()
    return quarn7.open(int(args.address) if args.address.isdigit() else args.address)


def swing(de, reading):
    """The simulated unit tilts to and fro by up to 5 degrees."""
    hundredths = round(500 * math.sin(reading / 4))
    de.unit.set_tilt(hundredths & 0xFFFF, 0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("address", nargs="?", default="/dev/ttyUSB0")
    parser.add_argument("--simulate", action="store_true", help="the in-process simulated unit")
    parser.add_argument("--count", type=int, default=0, help="readings to take (0: until Ctrl-C)")
    parser.add_argument("--interval", type=float, default=1.0, help="seconds between readings")
    parser.add_argument("--log", default="tilt.log", help="log file")
    args = parser.parse_args()
    logging.basicConfig(filename=args.log, level=logging.INFO, format="%(asctime)s %(message)s")

    try:
        de = open_unit(args)
        taken, missed = 0, 0
        due = time.monotonic()
        while args.count == 0 or taken + missed < args.count:
            if args.simulate:
                swing(de, taken + missed)
            tilt = de.lees_waarde(DIGITAL_TILT)
            if de.last_outcome == "reply_received":
                taken += 1
                logging.info("tilt %.2f degrees", tilt)
            else:
                missed += 1
                logging.warning("no reading: %s", de.last_outcome)
            print(f"\r{taken} readings, {missed} missed, tilt {tilt:.2f} degrees   ", end="",
                  file=sys.stderr, flush=True)
            due += args.interval
            time.sleep(max(0.0, due - time.monotonic()))
    except KeyboardInterrupt:
        pass
    except quarn7.Error as e:
        print(f"\nerror {e.number}: {e.description}", file=sys.stderr)
        return 1
    print(file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
