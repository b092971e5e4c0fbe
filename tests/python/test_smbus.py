"""gpio_dll.SMBus against the simulated battery (0x0B) and I2C EEPROM (0x50), both generations."""
import errno

import pytest

import gpio_dll
from gpio_dll import I2cFunc, SMBus, i2c_msg

BATTERY, EEPROM = 0x0B, 0x50
MANUFACTURER_ACCESS, VOLTAGE, BLOCK_ACCESS = 0x00, 0x09, 0x44


def test_word_read_write_and_process_call(module, bus):
    module.set_battery_word(VOLTAGE, 0x3A98)
    assert bus.read_word_data(BATTERY, VOLTAGE) == 0x3A98
    bus.write_word_data(BATTERY, MANUFACTURER_ACCESS, 0x1234)
    assert module.battery_manufacturer_access() == 0x1234
    # The simulated battery answers ManufacturerAccess with the complement of the word written.
    assert bus.process_call(BATTERY, MANUFACTURER_ACCESS, 0x1234) == 0xEDCB


def test_byte_data_and_send_receive_byte(module, bus):
    bus.write_byte_data(EEPROM, 0x30, 0xC3)
    assert module.eeprom_byte(0x30) == 0xC3
    assert bus.read_byte_data(EEPROM, 0x30) == 0xC3
    bus.write_byte(EEPROM, 0x30)  # sets the pointer that read_byte reads from
    assert bus.read_byte(EEPROM) == 0xC3


def test_block_read_and_block_process_call(module, bus):
    module.set_battery_block(0x21, b"PACK-7")
    assert bus.read_block_data(BATTERY, 0x21) == list(b"PACK-7")
    assert bus.block_process_call(BATTERY, BLOCK_ACCESS, [0x10, 0x20, 0x30]) == [0x10, 0x20, 0x30]


@pytest.mark.parametrize("length", [1, 32, 60, 100, 120])
def test_block_write_then_read_back(module, bus, length):
    if module.firmware == "1.0.10" and length > 60:
        pytest.skip("firmware 1.0.10 moves at most 60 bytes")
    data = [(7 * i + 3) & 0xFF for i in range(length)]
    bus.write_block_data(BATTERY, BLOCK_ACCESS, data)
    assert module.battery_block(BLOCK_ACCESS) == bytes(data)
    assert bus.read_block_data(BATTERY, BLOCK_ACCESS) == data


@pytest.mark.parametrize("length", [1, 16, 58])
def test_i2c_block_write_then_read(module, bus, length):
    data = [(0xA0 + i) & 0xFF for i in range(length)]
    bus.write_i2c_block_data(EEPROM, 0x40, data)
    assert [module.eeprom_byte(0x40 + i) for i in range(length)] == data
    assert bus.read_i2c_block_data(EEPROM, 0x40, length) == data


def test_i2c_rdwr_write_then_read(module, bus):
    bus.i2c_rdwr(i2c_msg.write(EEPROM, [0x08, 1, 2, 3]))
    assert [module.eeprom_byte(0x08 + i) for i in range(3)] == [1, 2, 3]
    write, read = i2c_msg.write(EEPROM, [0x08]), i2c_msg.read(EEPROM, 3)
    bus.i2c_rdwr(write, read)
    assert list(read) == [1, 2, 3] and bytes(read) == b"\x01\x02\x03"


# (name, how to provoke it, expected errno, expected result by generation)
ERRNO_CASES = [
    ("not acknowledged", lambda m, b: b.read_word_data(0x0C, VOLTAGE), errno.ENXIO,
     {"1.0.10": 301, "2.0.19": 406}),
    ("time-out", lambda m, b: (m.set_silent(True), b.read_word_data(BATTERY, VOLTAGE)),
     errno.ETIMEDOUT, {"1.0.10": 14, "2.0.19": 14}),
    ("other status", lambda m, b: (m.fail_request(0, 0x42), b.read_word_data(BATTERY, VOLTAGE)),
     errno.EIO, {"1.0.10": 300 + 0x42, "2.0.19": 400 + 0x42}),
    # Another user holds the module past the 15 s a call waits for it.
    ("busy", lambda m, b: (m.hold_lock_elsewhere(40000), b.read_word_data(BATTERY, VOLTAGE)),
     errno.EBUSY, {"1.0.10": 14, "2.0.19": 14}),
    # Answers cut to 8 bytes: too short for a 10-byte block, from a module still present.
    ("short answer", lambda m, b: SMBus(simulated=gpio_dll.sim.make(
        m.firmware, input_report_length=9)).read_block_data(BATTERY, 0x21),
     errno.EIO, {"1.0.10": 14, "2.0.19": 14}),
]


@pytest.mark.parametrize("provoke,code,results", [c[1:] for c in ERRNO_CASES],
                         ids=[c[0] for c in ERRNO_CASES])
def test_failures_raise_oserror_with_errno_and_result(module, bus, provoke, code, results):
    bus.read_word_data(BATTERY, VOLTAGE)  # identified, PEC mode set: the next request is the read
    before = module.now_ms()
    with pytest.raises(OSError) as raised:
        provoke(module, bus)
    assert raised.value.errno == code
    assert raised.value.result == results[module.firmware]
    assert raised.value.message and raised.value.message in str(raised.value)
    if code == errno.ETIMEDOUT:
        assert module.now_ms() - before >= 6000  # the virtual clock, not real time
    if code == errno.EBUSY:
        assert module.now_ms() - before == 15000
        assert raised.value.reason == "module busy: held by another user for more than 15 s"
        assert raised.value.reason in str(raised.value)
        assert gpio_dll.last_lock_failure().busy


def test_no_module_is_enodev():
    gpio_dll.use_hidraw_device("/nonexistent/hidraw0")
    try:
        with pytest.raises(OSError) as raised:
            SMBus().read_word_data(BATTERY, VOLTAGE)
        assert raised.value.errno == errno.ENODEV and raised.value.result == 131
        assert gpio_dll.last_open_failure().path == "/nonexistent/hidraw0"
        assert gpio_dll.last_open_failure().error == errno.ENOENT
    finally:
        gpio_dll.use_system()


@pytest.mark.parametrize("switch", ["enable_pec", "property"])
def test_pec_makes_the_module_check_the_slaves_pec(module, bus, switch):
    module.set_battery_wrong_pec(True)
    assert bus.read_word_data(BATTERY, VOLTAGE) == module.battery_word(VOLTAGE)  # not checked
    if switch == "enable_pec":
        bus.enable_pec()
    else:
        bus.pec = True
    assert bus.pec
    with pytest.raises(OSError) as raised:
        bus.read_word_data(BATTERY, VOLTAGE)
    if module.firmware == "2.0.19":  # 1.0.10 reports every bus failure as one status
        assert raised.value.errno == errno.EBADMSG and raised.value.result == 411
    module.set_battery_wrong_pec(False)
    assert bus.read_word_data(BATTERY, VOLTAGE) == module.battery_word(VOLTAGE)
    bus.enable_pec(False)
    assert not bus.pec


# Transfers refused before anything is sent: (name, call, exception, generations)
BOTH, OLD, NEW = ["1.0.10", "2.0.19"], ["1.0.10"], ["2.0.19"]
REFUSED = [
    ("block write over 60", lambda b: b.write_block_data(BATTERY, 0x44, [0] * 61), ValueError, OLD),
    ("block write over 120", lambda b: b.write_block_data(BATTERY, 0x44, [0] * 121), ValueError,
     BOTH),
    ("i2c read over 60", lambda b: b.read_i2c_block_data(EEPROM, 0, 61), ValueError, NEW),
    ("i2c read over 62", lambda b: b.read_i2c_block_data(EEPROM, 0, 63), ValueError, BOTH),
    ("i2c read of 0", lambda b: b.read_i2c_block_data(EEPROM, 0, 0), ValueError, BOTH),
    ("block process call over 58", lambda b: b.block_process_call(BATTERY, 0x44, [0] * 59),
     ValueError, NEW),
    ("byte value 256", lambda b: b.write_byte_data(EEPROM, 0, 256), ValueError, BOTH),
    ("negative word", lambda b: b.write_word_data(BATTERY, 0, -1), ValueError, BOTH),
    ("10-bit address", lambda b: b.read_byte(0x80), ValueError, BOTH),
    ("quick command", lambda b: b.write_quick(BATTERY), OSError, BOTH),
    ("read alone", lambda b: b.i2c_rdwr(i2c_msg.read(EEPROM, 2)), OSError, BOTH),
    ("empty write", lambda b: b.i2c_rdwr(i2c_msg.write(EEPROM, [])), OSError, BOTH),
    ("two addresses", lambda b: b.i2c_rdwr(i2c_msg.write(EEPROM, [0]), i2c_msg.read(BATTERY, 2)),
     OSError, BOTH),
    ("rdwr read over 60",
     lambda b: b.i2c_rdwr(i2c_msg.write(EEPROM, [0]), i2c_msg.read(EEPROM, 61)), ValueError, BOTH),
]


@pytest.mark.parametrize("call,exception,generations", [r[1:] for r in REFUSED],
                         ids=[r[0] for r in REFUSED])
def test_refused_before_anything_is_sent(module, bus, call, exception, generations):
    if module.firmware not in generations:
        pytest.skip(f"within the limits of {module.firmware}")
    bus.read_word_data(BATTERY, VOLTAGE)
    sent = len(module.requests())
    with pytest.raises(exception) as raised:
        call(bus)
    assert len(module.requests()) == sent
    if exception is OSError:
        assert raised.value.errno == errno.EOPNOTSUPP


# Each block count one past the limit of each generation: (name, call(bus, count), limits by
# generation). The ValueError names the method and the limit.
BLOCK_LIMITS = [
    ("write_block_data", lambda b, n: b.write_block_data(BATTERY, 0x44, [0] * n),
     {"1.0.10": 60, "2.0.19": 120}),
    ("write_i2c_block_data", lambda b, n: b.write_i2c_block_data(EEPROM, 0, [0] * n),
     {"1.0.10": 60, "2.0.19": 120}),
    ("read_i2c_block_data", lambda b, n: b.read_i2c_block_data(EEPROM, 0, n),
     {"1.0.10": 62, "2.0.19": 60}),
    ("block_process_call", lambda b, n: b.block_process_call(BATTERY, 0x44, [0] * n),
     {"1.0.10": 59, "2.0.19": 58}),
    ("i2c_rdwr write", lambda b, n: b.i2c_rdwr(i2c_msg.write(EEPROM, [0] * (n + 1))),
     {"1.0.10": 60, "2.0.19": 120}),
    ("i2c_rdwr", lambda b, n: b.i2c_rdwr(i2c_msg.write(EEPROM, [0] * (n + 1)),
                                         i2c_msg.read(EEPROM, 1)),
     {"1.0.10": 58, "2.0.19": 59}),
    ("i2c_rdwr", lambda b, n: b.i2c_rdwr(i2c_msg.write(EEPROM, [0]), i2c_msg.read(EEPROM, n)),
     {"1.0.10": 60, "2.0.19": 60}),
]


@pytest.mark.parametrize("name,call,limits", BLOCK_LIMITS,
                         ids=[f"{r[0]} {i}" for i, r in enumerate(BLOCK_LIMITS)])
def test_a_count_over_the_limit_is_refused_naming_the_limit(module, bus, name, call, limits):
    limit = limits[module.firmware]
    call(bus, limit)
    sent = len(module.requests())
    with pytest.raises(ValueError) as raised:
        call(bus, limit + 1)
    assert len(module.requests()) == sent
    message = str(raised.value)
    assert message.startswith(name + ":") and str(limit + 1) in message
    # The new firmware records its whole segment for a block process call, the count and the
    # command byte in it.
    shown = 60 if (name, module.firmware) == ("block_process_call", "2.0.19") else limit
    assert f"{shown}" in message.split(",", 1)[1]


# Counts far past a byte: they neither overflow the component's 16-bit count nor wrap round.
@pytest.mark.parametrize("count", [256, 260, 40000])
@pytest.mark.parametrize("name,call,limits", BLOCK_LIMITS,
                         ids=[f"{r[0]} {i}" for i, r in enumerate(BLOCK_LIMITS)])
def test_a_count_beyond_a_byte_is_refused(module, bus, name, call, limits, count):
    bus.read_word_data(BATTERY, VOLTAGE)
    sent = len(module.requests())
    with pytest.raises(ValueError, match=f"^{name}: {count} bytes"):
        call(bus, count)
    assert len(module.requests()) == sent


@pytest.mark.parametrize("call", [
    lambda b: b.read_i2c_block_data(EEPROM, 0, -1),
    lambda b: b.read_i2c_block_data(EEPROM, 0, 2.0),
    lambda b: b.i2c_rdwr(i2c_msg.write(EEPROM, [0]), i2c_msg.read(EEPROM, 0)),
], ids=["negative i2c read", "float i2c read", "rdwr read of 0"])
def test_reads_of_less_than_a_byte_are_refused(module, bus, call):
    bus.read_word_data(BATTERY, VOLTAGE)
    sent = len(module.requests())
    with pytest.raises(ValueError):
        call(bus)
    assert len(module.requests()) == sent


def test_a_firmware_the_component_does_not_know_is_enodev():
    try:
        with SMBus(simulated="3.0.0") as bus, pytest.raises(OSError) as raised:
            bus.write_block_data(BATTERY, BLOCK_ACCESS, [1] * 100)
        assert raised.value.errno == errno.ENODEV and raised.value.result == 133
    finally:
        gpio_dll.use_system()


def test_context_manager_closes_the_threads_handles(module):
    with SMBus(1) as bus:
        bus.read_word_data(BATTERY, VOLTAGE)
        assert module.open_handle_count() > 0
    assert module.open_handle_count() == 0
    with pytest.raises(ValueError):
        bus.read_word_data(BATTERY, VOLTAGE)
    bus.open(1)
    assert bus.read_word_data(BATTERY, VOLTAGE) == module.battery_word(VOLTAGE)
    bus.close()


def test_simulated_buses_each_talk_to_their_own_module(module):
    made = gpio_dll.sim.make("1.0.10", serial_number="MADE")
    buses = {"own": SMBus(simulated="2.0.19"), "made": SMBus(simulated=made),
             "process": SMBus(1)}
    assert buses["made"].simulated is made and buses["process"].simulated is None
    modules = {"own": buses["own"].simulated, "made": made, "process": module}
    for value, name in enumerate(buses, 11):
        modules[name].set_battery_word(0x0D, value)
    for name, bus in buses.items():  # one thread, switching between the buses
        assert bus.read_word_data(BATTERY, 0x0D) == modules[name].battery_word(0x0D)
    before = {name: m.battery_manufacturer_access() for name, m in modules.items()}
    buses["own"].write_word_data(BATTERY, MANUFACTURER_ACCESS, 0x1234)
    assert {name: m.battery_manufacturer_access() for name, m in modules.items()} == \
        dict(before, own=0x1234)
    for name, bus in buses.items():
        assert bus.read_word_data(BATTERY, MANUFACTURER_ACCESS) == \
            modules[name].battery_manufacturer_access()
    # Each bus keeps its own module's limits: 100 bytes are over firmware 1.0.10's.
    buses["own"].write_block_data(BATTERY, BLOCK_ACCESS, [1] * 100)
    with pytest.raises(ValueError):
        buses["made"].write_block_data(BATTERY, BLOCK_ACCESS, [1] * 100)
    for bus in buses.values():
        bus.close()


def test_after_close_the_thread_is_back_on_the_process_wide_module(module):
    module.set_battery_word(0x0D, 44)
    with SMBus(simulated="2.0.19") as bus:
        bus.simulated.set_battery_word(0x0D, 55)
        assert bus.read_word_data(BATTERY, 0x0D) == 55
    with SMBus(1) as first:
        assert first.read_word_data(BATTERY, 0x0D) == 44
    dll = gpio_dll.Dll()  # the thread's own choice is gone too
    assert dll.GPIO_FW_VER_Read("", "", "")[0] == 0
    assert dll.GPIO_ReadSMBusWord(0x0D, 0, 0, 0x16) == (0, 0, 44)


@pytest.mark.parametrize("args,kwargs", [
    ((), {"device": "/dev/hidraw0", "serial": "SIM0001"}),
    ((), {"device": "/dev/hidraw0", "simulated": "2.0.19"}),
    (("/dev/hidraw0",), {"device": "/dev/hidraw1"}),
], ids=["device and serial", "device and simulated", "path and device"])
def test_two_choices_of_the_module_are_refused(args, kwargs):
    with pytest.raises(ValueError):
        SMBus(*args, **kwargs)


def test_a_new_bus_learns_the_newly_installed_modules_limits():
    try:
        gpio_dll.sim.install("2.0.19")
        with SMBus() as bus:
            bus.write_block_data(BATTERY, BLOCK_ACCESS, [1] * 100)
        gpio_dll.sim.install("1.0.10")
        with SMBus() as bus, pytest.raises(ValueError):
            bus.write_block_data(BATTERY, BLOCK_ACCESS, [1] * 100)
    finally:
        gpio_dll.use_system()


@pytest.mark.parametrize("serial,found", [("RACK-7", True), ("OTHER", False)])
def test_serial_number_chooses_the_module(serial, found):
    module = gpio_dll.sim.install("2.0.19", serial_number="RACK-7")
    try:
        first = SMBus()
        assert first.read_word_data(BATTERY, VOLTAGE) == module.battery_word(VOLTAGE)
        with SMBus(serial=serial) as bus:
            if found:
                assert bus.read_word_data(BATTERY, VOLTAGE) == module.battery_word(VOLTAGE)
            else:
                with pytest.raises(OSError) as raised:
                    bus.read_word_data(BATTERY, VOLTAGE)
                assert raised.value.errno == errno.ENODEV
        # The bus used before still reaches its module, whatever the other one found.
        assert first.read_word_data(BATTERY, VOLTAGE) == module.battery_word(VOLTAGE)
    finally:
        gpio_dll.use_first_module()
        gpio_dll.use_system()


# Each flag of I2cFunc with a transfer that needs it, against the simulated battery and EEPROM.
TRANSFERS_BY_FLAG = [
    (I2cFunc.SMBUS_QUICK, lambda b: b.write_quick(EEPROM)),
    (I2cFunc.SMBUS_READ_BYTE, lambda b: b.read_byte(EEPROM)),
    (I2cFunc.SMBUS_WRITE_BYTE, lambda b: b.write_byte(EEPROM, 0)),
    (I2cFunc.SMBUS_READ_BYTE_DATA, lambda b: b.read_byte_data(EEPROM, 0)),
    (I2cFunc.SMBUS_WRITE_BYTE_DATA, lambda b: b.write_byte_data(EEPROM, 0, 1)),
    (I2cFunc.SMBUS_READ_WORD_DATA, lambda b: b.read_word_data(BATTERY, VOLTAGE)),
    (I2cFunc.SMBUS_WRITE_WORD_DATA, lambda b: b.write_word_data(BATTERY, MANUFACTURER_ACCESS, 1)),
    (I2cFunc.SMBUS_PROC_CALL, lambda b: b.process_call(BATTERY, MANUFACTURER_ACCESS, 1)),
    (I2cFunc.SMBUS_READ_BLOCK_DATA, lambda b: b.read_block_data(BATTERY, 0x21)),
    (I2cFunc.SMBUS_WRITE_BLOCK_DATA, lambda b: b.write_block_data(BATTERY, BLOCK_ACCESS, [1])),
    (I2cFunc.SMBUS_BLOCK_PROC_CALL, lambda b: b.block_process_call(BATTERY, BLOCK_ACCESS, [1])),
    (I2cFunc.SMBUS_READ_I2C_BLOCK, lambda b: b.read_i2c_block_data(EEPROM, 0, 4)),
    (I2cFunc.SMBUS_WRITE_I2C_BLOCK, lambda b: b.write_i2c_block_data(EEPROM, 0, [1, 2])),
    (I2cFunc.I2C, lambda b: b.i2c_rdwr(i2c_msg.write(EEPROM, [0]), i2c_msg.read(EEPROM, 2))),
    (I2cFunc.SMBUS_PEC, lambda b: (b.enable_pec(), b.read_word_data(BATTERY, VOLTAGE))),
]


@pytest.mark.parametrize("flag,transfer", TRANSFERS_BY_FLAG, ids=lambda x: getattr(x, "name", ""))
def test_funcs_holds_what_the_module_does(module, bus, flag, transfer):
    if bus.funcs & flag:
        transfer(bus)
    else:
        with pytest.raises(OSError) as raised:
            transfer(bus)
        assert raised.value.errno == errno.EOPNOTSUPP


def test_funcs_leaves_out_what_no_transfer_offers(bus):
    for flag in (I2cFunc.ADDR_10BIT, I2cFunc.PROTOCOL_MANGLING, I2cFunc.NOSTART, I2cFunc.SLAVE,
                 I2cFunc.SMBUS_HOST_NOTIFY, I2cFunc.SMBUS_QUICK):
        assert not bus.funcs & flag, flag.name


def test_address_is_the_last_smbus_transfers_and_fd_none(module, bus):
    assert (bus.address, bus.fd) == (None, None)
    bus.read_word_data(BATTERY, VOLTAGE)
    assert bus.address == BATTERY
    bus.i2c_rdwr(i2c_msg.write(EEPROM, [0, 1]))  # as smbus2: i2c_rdwr sets no address
    assert bus.address == BATTERY
    with pytest.raises(ValueError):
        bus.read_byte(0x80)
    assert bus.address == BATTERY
    bus.write_byte_data(EEPROM, 0, 1)
    assert bus.address == EEPROM
