"""gpio_dll.SMBus has smbus2.SMBus's methods with the same parameters and defaults."""
import inspect

import pytest

import gpio_dll

smbus2 = pytest.importorskip("smbus2", reason="python3-smbus2 is not installed")


def public_methods(cls):
    return sorted(name for name, member in inspect.getmembers(cls)
                  if not name.startswith("_") and (callable(member) or isinstance(member, property)))


def test_every_smbus2_method_is_there():
    assert set(public_methods(smbus2.SMBus)) <= set(public_methods(gpio_dll.SMBus))


@pytest.mark.parametrize("ours,theirs,name", [
    (gpio_dll.SMBus, smbus2.SMBus, n) for n in ["__enter__", "__exit__"] + [
        n for n in public_methods(smbus2.SMBus) if callable(getattr(smbus2.SMBus, n))]] + [
    (gpio_dll.i2c_msg, smbus2.i2c_msg, n) for n in ["read", "write"]])
def test_same_signature(ours, theirs, name):
    assert inspect.signature(getattr(ours, name)) == inspect.signature(getattr(theirs, name))


def test_constructor_takes_smbus2s_arguments_first():
    # Keyword-only choices of the module may follow; the positional part must be smbus2's.
    ours = list(inspect.signature(gpio_dll.SMBus.__init__).parameters.values())
    theirs = list(inspect.signature(smbus2.SMBus.__init__).parameters.values())
    assert ours[:len(theirs)] == theirs
    assert all(p.kind == p.KEYWORD_ONLY for p in ours[len(theirs):])


def test_i2c_msg_reads_like_smbus2s():
    ours, theirs = gpio_dll.i2c_msg.write(0x50, [1, 2, 3]), smbus2.i2c_msg.write(0x50, [1, 2, 3])
    assert (ours.addr, ours.flags, ours.len, list(ours), bytes(ours)) == \
        (theirs.addr, theirs.flags, theirs.len, list(theirs), bytes(theirs))
    ours, theirs = gpio_dll.i2c_msg.read(0x50, 4), smbus2.i2c_msg.read(0x50, 4)
    assert (ours.addr, ours.flags, ours.len) == (theirs.addr, theirs.flags, theirs.len)


def test_i2cfunc_has_smbus2s_names_and_values():
    # __members__ holds the combined flags (SMBUS_BYTE, ...) too, which iteration leaves out.
    assert {name: int(flag) for name, flag in gpio_dll.I2cFunc.__members__.items()} == \
        {name: int(flag) for name, flag in smbus2.I2cFunc.__members__.items()}


def test_a_bus_has_smbus2s_attributes():
    theirs = {name for name in vars(smbus2.SMBus()) if not name.startswith("_")}
    with gpio_dll.SMBus(simulated=True) as ours:
        assert theirs <= set(dir(ours))
