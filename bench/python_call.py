"""The cost of a member call from Python against the same call from C++, on the unpaced
in-process simulated unit (reads end once their reply is in), as a Markdown table.

    /usr/bin/python3 bench/python_call.py BUILD_DIR [--calls N]

The C++ figures come from quarn7_micro's BM_InProcessUnit benchmarks, which make these calls.
"""
import argparse
import json
import os
import subprocess
import sys
import timeit

CALLS = {  # the exchanges of bench/exchanges.h, as Python makes them
    "do-command": "de.meterteller_aan()",
    "write": "de.afstand = 1234.5",
    "text-write": "de.schrijf_tekst_veld = TEXT40",
    "read": "de.lees_waarde(43)",
}
TEXT40 = "Inspection 0042 manhole 17 to manhole 18"
TARGET_US = 20


def cxx_microseconds(build):
    run = subprocess.run([os.path.join(build, "bench", "quarn7_micro"),
                          "--benchmark_filter=BM_InProcessUnit", "--benchmark_format=json"],
                         capture_output=True, text=True, check=True)
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}
    return {b["name"].split("/")[1]: b["real_time"] * scale[b["time_unit"]]
            for b in json.loads(run.stdout)["benchmarks"]}


def python_microseconds(statement, de, calls):
    names = {"de": de, "TEXT40": TEXT40}
    return min(timeit.repeat(statement, globals=names, number=calls, repeat=5)) / calls * 1e6


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--calls", type=int, default=20000)
    args = parser.parse_args()
    sys.path.insert(0, os.path.join(args.build, "src", "python"))
    import quarn7

    cxx = cxx_microseconds(args.build)
    de = quarn7.simulate(paced=False)
    de.set_fast_reads(True)
    traced = {name: python_microseconds(s, de, args.calls) for name, s in CALLS.items()}
    de.set_trace(None)
    plain = {name: python_microseconds(s, de, args.calls) for name, s in CALLS.items()}

    print("| call | C++ µs | Python µs | more | with the wire logger (off) |")
    print("|---|---:|---:|---:|---:|")
    worst = 0
    for name, statement in CALLS.items():
        more = plain[name] - cxx[name]
        worst = max(worst, more, traced[name] - cxx[name])
        print(f"| `{statement}` | {cxx[name]:.2f} | {plain[name]:.2f} | {more:+.2f} | "
              f"{traced[name]:.2f} ({traced[name] - cxx[name]:+.2f}) |")
    print(f"\nmost a Python call costs more: {worst:.2f} µs (target: under {TARGET_US} µs)")


if __name__ == "__main__":
    main()
