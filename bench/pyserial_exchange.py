#!/usr/bin/env python3
"""The benchmark's exchanges done by a plain pyserial program, for comparison.

Each exchange: write the frame, wait for the answer with the controller's reply window, read it;
a read reply is read until it is complete. Prints one line per exchange: its name, then the
seconds each exchange took.
"""
import argparse
import sys
import time

import serial

ACK = b"\x06"


def exchange(port, frame, answer):
    """One exchange; the answer must be the one expected or the comparison means nothing."""
    start = time.perf_counter()
    port.write(frame)
    if answer == "ack":
        reply = port.read(1)
        ok = reply == ACK
    else:
        # Two leading bytes, the data length low and high, the data, one trailing byte.
        reply = port.read(4)
        if len(reply) == 4:
            reply += port.read(reply[2] + 256 * reply[3] + 1)
        ok = len(reply) >= 5 and len(reply) == 5 + reply[2] + 256 * reply[3]
    elapsed = time.perf_counter() - start
    if not ok:
        sys.exit(f"pyserial_exchange: unexpected answer {reply.hex(' ')} to {frame.hex(' ')}")
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--device", required=True)
    parser.add_argument("--calls", type=int, default=200)
    parser.add_argument("--timeout", type=float, default=0.1, help="reply window, seconds")
    parser.add_argument("--exchange", nargs=3, action="append", default=[],
                        metavar=("NAME", "ack|reply", "HEX"), help="an exchange to time")
    args = parser.parse_args()

    # A pseudo-terminal cannot keep parity, and refuses (EINVAL) a request whose only change is
    # parity: as this program left it on an earlier run, put back by the controller's port on its
    # close. Another speed first makes the request below change more than that.
    serial.Serial(args.device, 9600, exclusive=True).close()
    with serial.Serial(args.device, 19200, parity=serial.PARITY_ODD, timeout=args.timeout,
                       exclusive=True) as port:
        for name, answer, frame_hex in args.exchange:
            frame = bytes.fromhex(frame_hex)
            exchange(port, frame, answer)  # warm-up, as the controller's run has
            times = [exchange(port, frame, answer) for _ in range(args.calls)]
            print(name, " ".join(repr(t) for t in times), flush=True)


if __name__ == "__main__":
    main()
