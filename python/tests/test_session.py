"""The package against the simulated instrument and the stand-in's scripted
instrument: every family, errors and warnings, arrays, threads, sessions."""
import gc
import os
import subprocess
import sys
import threading
import warnings

import numpy
import pytest

import kavrel
from conftest import SCRIPTED_RESOURCE, STANDIN_READ, STANDIN_WRITE, Scripted

# One call of every family, in an order the instrument accepts, and what each returns.
FAMILIES = [
    ("srcFreqSweep", (True, 2e9, 6e9, -10.0), None),
    ("srcCreateLinList", ([1e9, 3e9], numpy.array([2e9, 4e9]), (101, 51)), None),
    ("srcSweepConfig", (201, 0.0), None),
    ("chanMode", (False, 0), None),
    ("measDispRange", (True, 1e9, 7e9), None),
    ("measCreateLimSpec", ([1e9, 3e9], [0, 1], [-3.0, -3.0], [-1.0, -2.0], [3e9, 6e9], [0.0, 0.0], [0.0, 0.0]), None),
    ("markConfig", (2, 2e9, True), None),
    ("readActMarker", (), (float, float, float)),
    ("appLoad", ("TESTAPP",), None),
    ("appParamQuery", (1,), float),
    ("scalPower", (False, False, 1), None),
    ("scalMem", (False, False, 0, 3), None),
    ("inpOffset", (2, -1.25), None),
    ("chanMode", (True, 1), None),
    ("routPwrSglIn", (True, False, 0), None),
    ("routData", (0,), float),
    ("readMax", (0,), int),
    ("chanMode", (True, 2), None),
    ("dispSetActMeas", (True, False), None),
    ("flocNumOfPoints", (True, 1024), None),
    ("chanMode", (False, 3), None),
    ("dispSetActMeas", (False, False), None),
    ("reflS11", (False, False), None),
    ("reflTimeDomain", (False, True), None),
    ("reflScaling", (False, False, True, 1.0, 5, 0.0), None),
    ("reflReadCalData", (1,), (int, int, int, str, int, str, int)),
    ("reflCalVal", (), int),
    ("reflSelectKit", (1,), None),
    ("reflConfKit", (1, "N-TYPE KIT"), None),
    ("revision_query", (), (str, str)),
    ("self_test", (), (int, str)),
    ("error_query", (), (int, str)),
]


def kinds(value):
    return tuple(type(v) for v in value) if isinstance(value, tuple) else type(value) if value is not None else None


def test_every_family_is_reached(session, tmp_path):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        results = [(name, kinds(getattr(session, name)(*args))) for name, args, _ in FAMILIES]
        session.reflTranCalKit(True, 1, tmp_path / "kit1.bin")
    assert results == [(name, returns) for name, _, returns in FAMILIES]
    assert session.error_query() == (0, "No error")
    assert (tmp_path / "kit1.bin").stat().st_size > 0


# Traces come back as float64 arrays of the length the instrument reports.
TRACES = [
    ("scalReadData", [("scalPower", (False, False, 1)), ("srcSweepConfig", (101, 0.0))], 101, 1),
    ("flocReadData", [("chanMode", (True, 2)), ("dispSetActMeas", (True, False)), ("flocNumOfPoints", (True, 51))],
     51, 1),
    ("reflReadData", [("chanMode", (False, 3)), ("reflS11", (False, False)), ("srcSweepConfig", (11, 0.0))], 11, 2),
]


@pytest.mark.parametrize("reader,setup,points,arrays", TRACES)
def test_traces_are_arrays_of_the_points_measured(session, reader, setup, points, arrays):
    for name, args in setup:
        getattr(session, name)(*args)
    count, *traces = getattr(session, reader)()
    assert count == points and len(traces) == arrays
    for trace in traces:
        assert trace.dtype == numpy.float64 and trace.shape == (points,) and numpy.isfinite(trace).all()


def test_the_notebook_example():
    with kavrel.simulator() as r, kavrel.Session(r) as s:
        s.srcFreqSweep(True, 2e9, 6e9, -10.0); s.srcSweepConfig(401, 0.0); s.scalPower(False, False, 1)  # noqa: E702
        points, trace = s.scalReadData()
    assert points == 401 and trace.shape == (401,) and -15 < trace.max() < -5  # the filter's pass band
    assert s.closed


def test_one_call_sweep_fills_its_trace(session):
    points, trace = session.appExample(1, 2e9, 6e9, -10.0, 101, True, 0.5, True)
    assert points == 101 and trace.shape == (101,)


# Refusals: the driver's own (its text), and the package's for values C cannot hold.
REFUSED = [
    ("srcContWave", (30e9, -10.0), 2, "ERROR: Parameter 2 out of range"),
    ("srcContWave", (1e9, 99.0), 3, "ERROR: Parameter 3 out of range"),
    ("srcFreqSweep", (2, 2e9, 6e9, -10.0), 2, "ERROR: Parameter 2 out of range"),
    ("measCreateLimSpec", ([1e9] * 13, [0] * 13, [0.0] * 13, [0.0] * 13, [2e9] * 13, [0.0] * 13, [0.0] * 13), 2,
     "ERROR: Parameter 2 out of range"),  # the driver refuses a bad count at the first array
    ("srcRFOutput", (65537,), 2, "ERROR: Parameter 2 out of range: 65537 is outside 0..65535"),
    ("srcSweepConfig", (2 ** 31, 0.0), 2, "ERROR: Parameter 2 out of range: 2147483648 is outside"),
    ("srcSweepConfig", (201.5, 0.0), 2, "ERROR: Parameter 2 out of range: 201.5 is not a whole number"),
    ("srcCreateLinList", ([1e9], [2e9], [1.5]), 4, "ERROR: Parameter 4 out of range: values are not whole numbers"),
    ("srcCreateLinList", ([1e9], [2e9], [2 ** 40]), 4, "ERROR: Parameter 4 out of range: values outside the range"),
    ("srcCreateLinList", ([1e9, 2e9], [2e9], [11, 11]), 2, "ERROR: Parameter 2 out of range: 2 values asked for, only 1"),
    ("srcCreateLinList", ([1e9], [2e9], [11], 3), 2, "ERROR: Parameter 2 out of range: 3 values asked for, only 1"),
    ("reflConfKit", (1, "kit µ"), 3, "ERROR: Parameter 3 out of range: 'kit µ' is not plain ASCII text"),
    ("reflConfKit", (1, None), 3, "ERROR: Parameter 3 out of range"),
    ("srcContWave", ("1e9", -10.0), 2, "ERROR: Parameter 2 out of range: TypeError"),
    ("srcCreateLinList", (["1e9"], [2e9], [11]), 2, "ERROR: Parameter 2 out of range: values are not real numbers"),
    ("srcCreateLinList", ([1e9 + 1j], [2e9], [11]), 2, "ERROR: Parameter 2 out of range: values are not real"),
    ("srcCreateLinList", ([[1e9]], [[2e9]], [[11]]), 2, "ERROR: Parameter 2 out of range: expected a flat sequence"),
]


@pytest.mark.parametrize("name,args,position,text", REFUSED)
def test_refused_arguments_raise_parameter_error_before_any_io(scripted, name, args, position, text):
    with pytest.raises(kavrel.ParameterError) as raised:
        getattr(scripted.session, name)(*args)
    assert raised.value.position == position and raised.value.message.startswith(text)
    assert raised.value.function in (None, "kavrel_" + name)
    assert isinstance(raised.value, ValueError)
    assert scripted.written() == []


# Exact bytes: Python sequences of any kind give the line C arrays give.
SENT = [
    ("srcCreateLinList", ((1e9, 3e9), numpy.array([2e9, 4e9], numpy.float32), numpy.array([101, 51], numpy.int64)),
     b":SOUR:LLIS:RES;SEGM 1000000000.000000, 2000000000.000000, 101;SEGM 3000000000.000000, 4000000000.000000, 51"),
    ("srcCreateLinList", ([1e9, 3e9], [2e9, 4e9], [101, 51], 1),
     b":SOUR:LLIS:RES;SEGM 1000000000.000000, 2000000000.000000, 101"),
    ("srcRFOutput", (True,), b":SOUR:RF ON"),
    ("srcRFOutput", (numpy.bool_(True),), b":SOUR:RF ON"),
    ("srcContWave", (numpy.float32(1e9), numpy.int64(-10)), b":SOUR:MODE CW;:SOUR:FREQ 1000000000.000000;POW:LEV -10.00"),
]


@pytest.mark.parametrize("name,args,line", SENT)
def test_arguments_reach_the_wire_as_from_c(scripted, name, args, line):
    getattr(scripted.session, name)(*args)
    assert scripted.written() == [line, b"*ESR?", b"*ESR?"]


# Negative statuses and their exception classes, positive ones and kavrel.Warning.
def test_statuses_map_to_exceptions_and_warnings(scripted):
    s = scripted.session
    scripted.lib.standin_esr(0x20)  # the instrument flags a command error
    with pytest.raises(kavrel.InstrumentError, match="ERROR: Instrument specific error"):
        s.srcRFOutput(True)
    scripted.lib.standin_fail(STANDIN_READ, 1, -1073807339)  # VI_ERROR_TMO
    with pytest.raises(kavrel.TimeoutError) as raised:
        s.readMax(0)
    assert raised.value.status == -1073807339 and isinstance(raised.value, TimeoutError)
    scripted.lib.standin_fail(STANDIN_WRITE, 1, -1073807194)  # VI_ERROR_CONN_LOST: no class of its own
    with pytest.raises(kavrel.Error) as raised:
        s.srcRFOutput(True)
    assert type(raised.value) is kavrel.Error and "kavrel_srcRFOutput" in str(raised.value)
    scripted.reply("0,12.5\n")
    with pytest.warns(kavrel.Warning, match="The Search value is not found") as caught:
        assert s.markSearchPkPk() == (0, 12.5)
    assert caught[0].message.status == 0x3FFC0901
    scripted.reply("0123456789\n")
    with pytest.warns(kavrel.Warning) as caught:
        assert s.readInstrData(4) == (b"0123", 4)
    assert caught[0].message.status == 0x3FFF0006  # VI_SUCCESS_MAX_CNT: more to read


def test_two_threads_share_one_session(session):
    session.scalPower(False, False, 1)
    session.srcSweepConfig(101, 0.0)
    failures = []

    def traces():
        for _ in range(30):
            count, trace = session.scalReadData()
            if count != 101 or trace.shape != (101,):
                failures.append(("trace", count))

    def identities():
        for _ in range(30):
            if session.revision_query()[1] != "1.00" or session.instrOptions(16) != 0:
                failures.append("identity")

    threads = [threading.Thread(target=traces), threading.Thread(target=identities)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=60)
    assert failures == [] and not any(thread.is_alive() for thread in threads)


def test_no_session_stays_open(resource):
    script = Scripted()
    before = script.open_sessions()
    with pytest.raises(RuntimeError):
        with kavrel.Session(resource) as s:
            raise RuntimeError("the test engineer's own failure")
    assert s.closed and script.open_sessions() == before
    with pytest.raises(kavrel.Error):
        s.srcRFOutput(True)  # a closed session refuses calls
    with pytest.raises(kavrel.Error):
        kavrel.Session("TCPIP::127.0.0.1::hislip0,1::INSTR")  # nobody listens there
    assert script.open_sessions() == before
    kavrel.Session(resource)  # dropped without close: collected and closed
    gc.collect()
    assert script.open_sessions() == before
    s.close()  # closing twice does nothing


def test_info_names_the_libraries(session):
    assert session.visa_identity() == ("Kavrel VISA stand-in", 0x00100000, 0x00700200)
    assert session.visa_library().endswith("libvisa.so.0")
    found = kavrel.info()
    assert found["library"] == kavrel._library_path and found["library_version"] == "1.0.0"
    assert found["visa"].endswith("libvisa.so.0") and found["visa_manufacturer"] == "Kavrel VISA stand-in"
    assert (found["visa_version"], found["visa_specification"]) == ("1.0.0", "7.2.0")


def test_the_package_describes_itself_from_the_shell(tmp_path):
    # A VISA that lacks entry points is named with the first one missing, and the exit status says so.
    run = subprocess.run([sys.executable, "-m", "kavrel"], capture_output=True, text=True, timeout=60,
                         env=dict(os.environ, KAVREL_VISA_LIBRARY="libm.so.6"))
    assert run.returncode == 1 and "libm.so.6: lacks viOpenDefaultRM" in run.stdout, run.stdout + run.stderr
    run = subprocess.run([sys.executable, "-m", "kavrel"], capture_output=True, text=True, timeout=60)
    assert run.returncode == 0 and "(Kavrel VISA stand-in, version 1.0.0, VISA 7.2.0)" in run.stdout, run.stdout


def test_simulator_refuses_a_model_it_does_not_simulate():
    with pytest.raises(ValueError, match="4100..4104"):
        with kavrel.simulator(model=4200):
            pass


def test_simulator_models(resource):
    with kavrel.simulator(model=4102, options=0x20, seed=7) as other, kavrel.Session(other) as s:
        assert s.instrOptions(16) == 0x20
        with pytest.raises(kavrel.ParameterError):
            s.srcContWave(4e9, 0.0)  # above the 2 GHz of a 4102
    assert other != resource
