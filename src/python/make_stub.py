"""Writes the type stubs of the quarn7 module (quarn7.pyi) to the path given: the fixed part
below, and the controller's members as the built module has them from the dispatch table. The
build runs it after each build of the module and puts the stubs beside it:

    PYTHONPATH=build/src/python /usr/bin/python3 src/python/make_stub.py build/src/python/quarn7.pyi
"""
import inspect
import sys

import quarn7

HEAD = '''"""Type stubs of quarn7 (written by src/python/make_stub.py from the built module)."""
import datetime
from typing import Callable, NoReturn, Optional, Union

Result = Union[None, bool, int, float, str, "Object"]
Value = Union[Result, "Variant"]

class Error(Exception):
    number: int
    description: str

class PortBusy(Error): ...
class DeviceLost(Error): ...
class NoSuchDevice(Error): ...
class PermissionDenied(Error): ...

class Variant:
    kind: str
    value: Result

def Integer(value: Value) -> Variant: ...
def Long(value: Value) -> Variant: ...
def Single(value: Value) -> Variant: ...
def Double(value: Value) -> Variant: ...
def String(value: Value) -> Variant: ...
def Boolean(value: Value) -> Variant: ...

class TraceEvent:
    time: float
    direction: str
    bytes: bytes

def log_wire(event: TraceEvent) -> None: ...

class Faults:
    silent: bool
    refuse: bool
    delay: datetime.timedelta
    truncate_replies_to: int
    garbage_prefix: bytes
    drop_first_frames: int
    close_after_frames: int

class Frame:
    received: float
    bytes: bytes
    answer: bytes

class UnitState:
    switches: dict[int, bool]
    settings: dict[int, bytes]
    windows: dict[int, tuple[int, int]]
    text_fields: dict[int, bytes]
    selected_text_field: int
    system_text_field: int
    counter1: int
    counter2: int
    photo_counter: int
    video_seconds: int
    digital_tilt: int
    analogue_tilt: int
    colour: bytes
    resets: int

class SimulatedUnit:
    device_path: str
    frames: list[Frame]
    noise: bytes
    state: UnitState
    faults: Faults
    def set_faults(self, **faults: object) -> None: ...
    def set_tilt(self, digital: int, analogue: int) -> None: ...
    def set_item_data(self, item: int, data: bytes) -> None: ...
    def clear_frames(self) -> None: ...
    def close_line(self) -> None: ...
    def wait_for_frames(self, count: int, timeout: Union[float, datetime.timedelta]) -> bool: ...

class Object: ...

def open(address: Union[str, int]) -> Controller: ...
def simulate(*, pty: bool = False, paced: bool = True, **faults: object) -> Controller: ...
def interface_members() -> list[tuple[str, str, list[str]]]: ...

class Controller(Object):
    unit: SimulatedUnit
    last_outcome: Optional[str]
    def set_trace(self, callback: Optional[Callable[[TraceEvent], object]]) -> None: ...
    def set_fast_reads(self, on: bool) -> None: ...
'''


def member_stub(name, attribute, arguments):
    doc = f'        """{attribute.__doc__}"""'
    if isinstance(attribute, property):
        getter = "Result" if attribute.fget else "NoReturn"
        lines = ["    @property", f"    def {name}(self) -> {getter}:", doc]
        if attribute.fset:
            lines += [f"    @{name}.setter", f"    def {name}(self, value: Value) -> None: ..."]
        return lines
    params = "".join(f", {a}: Value = None" for a in arguments)
    several = "Union[Result, tuple[Result, ...]]"
    returns = "None" if not arguments else several if len(arguments) > 1 else "Result"
    slash = ", /" if arguments else ""
    return [f"    def {name}(self{params}{slash}) -> {returns}:", doc]


def main():
    lines = [HEAD.rstrip("\n")]
    written = set()
    for name, _kind, arguments in quarn7.interface_members():
        if name not in written:
            written.add(name)
            attribute = inspect.getattr_static(quarn7.Controller, name)
            lines += member_stub(name, attribute, arguments)
    with open(sys.argv[1], "w", encoding="utf-8") as stub:
        stub.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
