"""Python threads and the module: each thread has its own module state, and a call waiting for
the module releases the GIL."""
import errno
import threading
from concurrent.futures import ThreadPoolExecutor

import pytest

import gpio_dll

BATTERY, VOLTAGE, MANUFACTURER_ACCESS = 0x0B, 0x09, 0x00


def test_two_threads_use_the_module_at_once(module):
    module.set_battery_word(VOLTAGE, 14800)
    bus = gpio_dll.SMBus()
    with ThreadPoolExecutor(2) as pool:  # result() raises what the thread raised
        voltages = pool.submit(lambda: {bus.read_word_data(BATTERY, VOLTAGE) for _ in range(200)})
        answers = pool.submit(lambda: [bus.process_call(BATTERY, MANUFACTURER_ACCESS, v)
                                       for v in range(200)])
    assert voltages.result() == {14800}
    assert answers.result() == [~v & 0xFFFF for v in range(200)]


def test_buses_of_different_modules_from_two_threads(module):
    buses = [gpio_dll.SMBus(), gpio_dll.SMBus(simulated="1.0.10"),
             gpio_dll.SMBus(simulated="2.0.19")]
    modules = [module, buses[1].simulated, buses[2].simulated]
    for value, m in enumerate(modules, 21):
        m.set_battery_word(VOLTAGE, value)

    def read_in_turn(order):  # each turn a switch to another bus, so an identification
        return [bus.read_word_data(BATTERY, VOLTAGE) for _ in range(20) for bus in order]

    with ThreadPoolExecutor(2) as pool:
        forward, backward = pool.submit(read_in_turn, buses), pool.submit(read_in_turn, buses[::-1])
    values = [m.battery_word(VOLTAGE) for m in modules]
    assert forward.result() == values * 20 and backward.result() == values[::-1] * 20


def test_each_thread_identifies_for_itself(module):
    dll = gpio_dll.Dll()
    assert dll.GPIO_FW_VER_Read("", "", "")[0] == 0
    assert dll.GPIO_ReadSMBusWord(VOLTAGE, 0, 0, 0x16)[0] == 0
    with ThreadPoolExecutor(1) as pool:  # that thread has not identified the module
        assert pool.submit(dll.GPIO_ReadSMBusWord, VOLTAGE, 0, 0, 0x16).result() == (131, 0, 0)


def smbus_read(bus):
    bus.read_word_data(BATTERY, VOLTAGE)


def dll_read(dll):
    result, _, _ = dll.GPIO_ReadSMBusWord(VOLTAGE, 0, 0, 0x16)
    if result != 0:
        raise OSError(errno.ETIMEDOUT if result == 14 else errno.EIO, f"result {result}")


@pytest.mark.parametrize("make,call", [(gpio_dll.SMBus, smbus_read),
                                       (gpio_dll.Dll, dll_read)], ids=["SMBus", "Dll"])
def test_other_threads_run_while_a_call_waits_out_the_time_out(make, call):
    # The silent module makes the call wait out the 6 s time-out on the virtual clock, and holds
    # the request until this thread, running Python code meanwhile, releases it: the call only
    # returns (before the gate's own limit) if it released the GIL while it waited.
    module = gpio_dll.sim.install("2.0.19")
    try:
        caller = make()
        identified, ready, outcome = threading.Event(), threading.Event(), []

        def waiting_call():
            if make is gpio_dll.Dll:
                caller.GPIO_FW_VER_Read("", "", "")
            call(caller)  # identified, the PEC mode set: the next request is the read
            identified.set()
            ready.wait()
            try:
                call(caller)
            except OSError as e:
                outcome.append(e.errno)

        worker = threading.Thread(target=waiting_call)
        worker.start()
        identified.wait()
        module.set_silent(True)
        module.hold_answers()
        before = module.now_ms()
        ready.set()
        assert module.wait_for_held_request(timeout=10)
        progress = sum(range(100000))  # Python work while the call is in progress
        assert module.held_requests() == 1
        module.release_answers()
        worker.join()
        assert progress == 4999950000
        assert module.gate_expired == 0
        assert outcome == [errno.ETIMEDOUT]
        assert module.now_ms() - before >= 6000
    finally:
        gpio_dll.use_system()
