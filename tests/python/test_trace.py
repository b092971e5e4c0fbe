"""The call trace through logging: the debug window's lines on the logger "gpio_dll" at DEBUG."""
import logging
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import gpio_dll

BATTERY, VOLTAGE = 0x0B, 0x09


class Collect(logging.Handler):
    def __init__(self):
        super().__init__(logging.DEBUG)
        self.records = []
        self.guard = threading.Lock()  # not `lock`: the handler has its own

    def emit(self, record):
        with self.guard:
            self.records.append(record)

    def take(self):
        with self.guard:
            records, self.records = self.records, []
        return records


@pytest.fixture
def heard():
    logger = logging.getLogger("gpio_dll")
    handler = Collect()
    old_level = logger.level
    logger.addHandler(handler)
    logger.setLevel(logging.DEBUG)
    yield handler
    logger.removeHandler(handler)
    logger.setLevel(old_level)


def test_a_calls_lines_are_logged_at_debug(module, heard):
    with gpio_dll.SMBus() as bus:
        bus.read_word_data(BATTERY, VOLTAGE)  # the window exists from here on
        with gpio_dll.log_trace() as trace:
            assert trace.active
            bus.read_word_data(BATTERY, VOLTAGE)
        assert not trace.active
    records = heard.take()
    lines = [r.getMessage() for r in records]
    assert {r.levelno for r in records} == {logging.DEBUG}
    assert {r.name for r in records} == {"gpio_dll"}
    assert lines[0] == ""
    assert "  Result = Success" in lines
    # The reports' bytes, 16 to a line after the identifier.
    assert any(len(line) == 49 and line.startswith("  ") for line in lines)


def test_nothing_is_logged_without_or_after_a_subscription(module, heard):
    with gpio_dll.SMBus() as bus:
        bus.read_word_data(BATTERY, VOLTAGE)
        trace = gpio_dll.log_trace()
        trace.close()
        trace.close()  # again: nothing
        bus.read_word_data(BATTERY, VOLTAGE)
    assert heard.take() == []


def test_this_thread_or_every_thread(module, heard):
    def other_thread_reads():
        with gpio_dll.SMBus() as bus:
            bus.read_word_data(BATTERY, VOLTAGE)

    with gpio_dll.log_trace():
        with ThreadPoolExecutor(1) as pool:
            pool.submit(other_thread_reads).result()
    assert heard.take() == []
    with gpio_dll.log_trace(every_thread=True):
        with ThreadPoolExecutor(1) as pool:
            pool.submit(other_thread_reads).result()
    records = heard.take()
    assert records and {r.thread for r in records} != {threading.get_ident()}


def test_threads_calling_while_the_trace_ends_do_not_hang(module, heard):
    # Each line takes the GIL on the thread that traces; ending the subscription gives it up.
    trace = gpio_dll.log_trace(every_thread=True)
    started = threading.Barrier(3)

    def reads():
        with gpio_dll.SMBus() as bus:
            started.wait()
            return [bus.read_word_data(BATTERY, VOLTAGE) for _ in range(50)]

    with ThreadPoolExecutor(2) as pool:
        results = [pool.submit(reads), pool.submit(reads)]
        started.wait()
        trace.close()
        assert [len(r.result()) for r in results] == [50, 50]
    heard.take()
    with gpio_dll.SMBus() as bus:
        bus.read_word_data(BATTERY, VOLTAGE)
    assert heard.take() == []
