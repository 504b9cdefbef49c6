"""The Python module against the in-process simulated unit (once over a pseudo-terminal)."""
import logging
import os
import threading
import time

import pytest

import quarn7

METERTELLER_AAN = bytes.fromhex("02 01 00 00 26 00 0d")
ACK = b"\x06"


@pytest.fixture
def de():
    return quarn7.simulate(paced=False)


def sent(de):
    return [f.bytes for f in de.unit.frames]


def test_do_command(de):
    assert de.meterteller_aan() is None
    assert [(f.bytes, f.answer) for f in de.unit.frames] == [(METERTELLER_AAN, ACK)]
    assert de.last_outcome == "acknowledged"


def test_writes_return_their_write_backs(de):
    de.afstand = 12.3
    assert de.zettekst_x_y(20, 0, "ab") == (16, 0, "ab")  # x kept to 1..16
    assert de.ZetTekst("  hi ", 3) == ("hi", 3)
    assert de.hooglaag(1234) == (4, 210)  # left-off arguments: only they come back
    assert de.hooglaag(1234, None, None) == (1234, 4, 210)
    assert sent(de) == [bytes.fromhex(h) for h in (
        "02 04 00 02 23 7b 00 00 00 0d", "02 01 00 02 a0 10 0d",
        "02 04 00 02 a1 61 00 62 00 0d", "02 02 00 02 03 68 00 69 00 0d")]
    assert de.unit.state.counter1 == 123


def test_reads(de):
    de.unit.set_tilt(4500, 0xFFFF - 99)
    de.afstand = 12.3
    assert (de.lees_waarde(45), de.lees_waarde(46), de.afstand) == (45.0, -1.0, 12.3)
    assert de.last_outcome == "reply_received"
    assert sent(de)[1:3] == [bytes.fromhex("02 00 00 01 2d 0d"), bytes.fromhex("02 00 00 01 2e 0d")]


@pytest.mark.parametrize("call, number", [
    (lambda de: setattr(de, "schrijf_commando", "5"), 9),  # no "|code" field
    (lambda de: setattr(de, "regel", "abc"), 13),
    (lambda de: setattr(de, "afstand", 4000), 6),  # 40000 tenths
    (lambda de: de.settings(de), 8100),  # no panel in this process
    (lambda de: quarn7.Integer(32767.5), 6),
])
def test_errors_carry_their_number_and_send_nothing(de, call, number):
    with pytest.raises(quarn7.Error) as raised:
        call(de)
    assert raised.value.number == number and raised.value.description
    assert sent(de) == []


def test_values_take_the_kinds_the_command_line_gives_them():
    assert [quarn7.Integer(2.5), quarn7.Long(70000), quarn7.Boolean(0), quarn7.String(3)] == [
        quarn7.Integer(2), quarn7.Long(70000.0), quarn7.Boolean(False), quarn7.String("3")]
    assert repr(quarn7.Integer("7")) == "Integer(7)" and quarn7.Double(1).kind == "Double"


def test_port_errors_and_a_line_over_a_pty():
    with pytest.raises(quarn7.NoSuchDevice) as raised:
        quarn7.open("/dev/quarn7-no-such-line")
    assert raised.value.number == 8002
    de = quarn7.simulate(pty=True, paced=False)
    de.meterteller_aan()
    with pytest.raises(quarn7.PortBusy) as raised:
        quarn7.open(de.unit.device_path)
    assert raised.value.number == 8010 and isinstance(raised.value, quarn7.Error)
    de.OpenClose(False)
    quarn7.open(de.unit.device_path).meterteller_aan()
    assert [(f.bytes, f.answer) for f in de.unit.frames] == [(METERTELLER_AAN, ACK)] * 2


def test_calls_from_several_threads_stay_whole(de):
    threads = [threading.Thread(target=lambda: [de.meterteller_aan() for _ in range(20)])
               for _ in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert sent(de) == [METERTELLER_AAN] * 80
    assert {f.answer for f in de.unit.frames} == {ACK}


def test_other_threads_run_while_a_call_waits():
    de = quarn7.simulate(silent=True)
    call = threading.Thread(target=de.meterteller_aan)  # six sends, 0.1 s each unanswered
    call.start()
    steps = 0
    while call.is_alive() and steps < 1000:
        time.sleep(0.002)
        steps += 1
    call.join()
    assert de.last_outcome == "no_reaction" and len(de.unit.frames) == 6
    assert steps >= 20


def test_byte_trace_to_a_callback_and_the_wire_logger(de, caplog):
    with caplog.at_level(logging.DEBUG, logger="quarn7.wire"):
        de.meterteller_aan()
    assert caplog.messages == ["TX 02 01 00 00 26 00 0d", "RX 06"]
    events = []
    de.set_trace(events.append)
    de.meterteller_aan()
    assert [(e.direction, e.bytes) for e in events] == [("out", METERTELLER_AAN), ("in", ACK)]
    assert events[0].time <= events[1].time <= time.monotonic()


def test_the_stubs_beside_the_module_name_its_members():
    with open(os.path.join(os.path.dirname(quarn7.__file__), "quarn7.pyi")) as stubs:
        made = stubs.read()
    assert "    def hooglaag(self, Waarde: Value = None, hoog: Value = None" in made
