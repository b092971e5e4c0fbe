"""gpio_dll.SMBus: smbus2's SMBus interface over the module.

The same class, method names, parameter names, defaults and argument orders as smbus2 0.4.2's
SMBus, 7-bit addresses, words little-endian as smbus2 returns them. Each transfer is one call of
the component on the calling thread; a thread identifies the module the first time it uses a bus
(and again when it switches to another bus object, choosing that bus's platform and module for
itself first), since the component keeps its module state per thread.
"""
import errno
import itertools
import threading
from enum import IntFlag

from . import _gpio_dll
from . import sim as _sim
from ._errors import FATAL_ERROR, ModuleError, errno_for

I2C_M_RD = 0x0001


class I2cFunc(IntFlag):
    """What an adapter can do, as smbus2's I2cFunc (the kernel's I2C_FUNC_* values); SMBus.funcs
    holds the module's."""
    I2C = 0x00000001
    ADDR_10BIT = 0x00000002
    PROTOCOL_MANGLING = 0x00000004
    SMBUS_PEC = 0x00000008
    NOSTART = 0x00000010
    SLAVE = 0x00000020
    SMBUS_BLOCK_PROC_CALL = 0x00008000
    SMBUS_QUICK = 0x00010000
    SMBUS_READ_BYTE = 0x00020000
    SMBUS_WRITE_BYTE = 0x00040000
    SMBUS_READ_BYTE_DATA = 0x00080000
    SMBUS_WRITE_BYTE_DATA = 0x00100000
    SMBUS_READ_WORD_DATA = 0x00200000
    SMBUS_WRITE_WORD_DATA = 0x00400000
    SMBUS_PROC_CALL = 0x00800000
    SMBUS_READ_BLOCK_DATA = 0x01000000
    SMBUS_WRITE_BLOCK_DATA = 0x02000000
    SMBUS_READ_I2C_BLOCK = 0x04000000
    SMBUS_WRITE_I2C_BLOCK = 0x08000000
    SMBUS_HOST_NOTIFY = 0x10000000

    SMBUS_BYTE = 0x00060000
    SMBUS_BYTE_DATA = 0x00180000
    SMBUS_WORD_DATA = 0x00600000
    SMBUS_BLOCK_DATA = 0x03000000
    SMBUS_I2C_BLOCK = 0x0c000000
    SMBUS_EMUL = 0x0eff0008


# What the module does, with both firmware generations: every SMBus transfer but the quick
# command, PEC, and I2C messages (a write, or a write followed by a read of the same address, as
# an adapter with such quirks offers them). No 10-bit addresses, no slave mode.
MODULE_FUNCS = (I2cFunc.I2C | I2cFunc.SMBUS_PEC | I2cFunc.SMBUS_BYTE | I2cFunc.SMBUS_BYTE_DATA |
                I2cFunc.SMBUS_WORD_DATA | I2cFunc.SMBUS_PROC_CALL | I2cFunc.SMBUS_BLOCK_DATA |
                I2cFunc.SMBUS_BLOCK_PROC_CALL | I2cFunc.SMBUS_I2C_BLOCK)

# The component refuses a count over its firmware's block limits with these results before it
# sends anything, and records the limit in the thread's module state.
_READ_OVER_LIMIT, _WRITE_OVER_LIMIT = 138, 139
# Counts go in as at most this: every limit is below it, and a larger count would overflow the
# component's 16-bit count or, in a combined write, wrap round to a small one.
_COUNT_CAP = 255

_ARGUMENTS = {name: [arg for arg, _, _ in arguments]
              for name, _, arguments in _gpio_dll._method_table()}
_WRITTEN = {name: [arg for arg, _, written in arguments if written]
            for name, _, arguments in _gpio_dll._method_table()}
_thread = threading.local()  # which bus this thread's module state was identified for
_tokens = itertools.count(1)


def _call(method, **values):
    """Runs a method; returns its result and the new values of the arguments it writes, by
    name."""
    out = _gpio_dll._invoke(method, *(values[name] for name in _ARGUMENTS[method]))
    if not _WRITTEN[method]:
        return out, {}
    return out[0], dict(zip(_WRITTEN[method], out[1:]))


def _fail(result):
    message = _gpio_dll._invoke("Check_DllErrorCode", result)
    lock = _gpio_dll.last_lock_failure() if result == FATAL_ERROR else None
    return ModuleError(errno_for(result, _gpio_dll._module_present(), lock), result, message,
                       lock.text if lock is not None else None)


def _check_range(name, value, top):
    if not isinstance(value, int) or isinstance(value, bool) or not 0 <= value <= top:
        raise ValueError(f"{name} must be an int from 0 to {top:#x}, not {value!r}")
    return value


def _data(data):
    return bytes(_check_range("a data byte", b, 0xFF) for b in data)


def _count(n):
    return min(n, _COUNT_CAP)


def _over_limit(result, what, written, read):
    """The ValueError for a count that the component refused as over the module's limit."""
    max_read, max_write = _gpio_dll._block_limits()
    if result == _READ_OVER_LIMIT:
        return ValueError(f"{what}: {read} bytes to read, the module reads 1 to {max_read}")
    if written <= max_write:  # the new firmware's block write-block read: the limit holds both
        return ValueError(f"{what}: {written} bytes, the module takes at most {max_write} with "
                          f"the count and command byte")
    return ValueError(f"{what}: {written} bytes, the module takes at most {max_write}")


def _unsupported(what):
    return OSError(errno.EOPNOTSUPP, f"{what}: the module has no command for it")


class i2c_msg:
    """One message of an i2c_rdwr transfer, as smbus2's i2c_msg (addr, flags, len, buf)."""

    def __init__(self, addr, flags, buf):
        self.addr = addr
        self.flags = flags
        self.buf = bytearray(buf)
        self.len = len(self.buf)

    @staticmethod
    def read(address, length):
        """A read of `length` bytes from `address`."""
        return i2c_msg(address, I2C_M_RD, bytes(length))

    @staticmethod
    def write(address, buf):
        """A write of `buf` (bytes, a list of ints, or a str) to `address`."""
        if isinstance(buf, str):
            buf = buf.encode("latin-1")
        return i2c_msg(address, 0, bytes(buf))

    def __iter__(self):
        return iter(self.buf[:self.len])

    def __len__(self):
        return self.len

    def __bytes__(self):
        return bytes(self.buf[:self.len])

    def __repr__(self):
        return f"i2c_msg({self.addr}, {self.flags}, {bytes(self)!r})"

    def __str__(self):
        return bytes(self).decode("latin-1")


class SMBus:
    """smbus2's SMBus over the USB HID bridge module.

    SMBus() or SMBus(1)             the first module found (a bus number names no module here)
                                    on the process-wide platform (gpio_dll.use_hidraw_device,
                                    gpio_dll.sim.install, ...)
    SMBus(device="/dev/hidraw3")    the module at that hidraw node
    SMBus(serial="A1B2C3")          the module with that serial number
    SMBus(simulated="2.0.19")       a new simulated module of its own, as .simulated
    SMBus(simulated=module)         that gpio_dll.sim.Module (made by gpio_dll.sim.make)

    Each bus talks to its own module, on any thread and beside other buses: a thread that uses
    another bus than the one it last used chooses this bus's platform and module for itself and
    identifies again. device= and serial= together, or device= and simulated= together, raise
    ValueError.

    Attributes as smbus2's: funcs holds the I2cFunc flags of what the module does (every SMBus
    transfer but the quick command, PEC, and I2C writes and writes followed by a read); address
    is the 7-bit address of the last SMBus transfer asked for (None before the first; i2c_rdwr
    leaves it, as smbus2 does); fd is always None: the bus has no file descriptor of its own,
    the component opens the module on each thread that uses it. An address, register, value or
    data byte out of range (0x00-0x7f, 0x00-0xff, 0x00-0xff or 0x0000-0xffff for words) raises
    ValueError before anything is sent.

    Failures raise OSError (gpio_dll.ModuleError) with errno ENXIO for a slave that does not
    acknowledge, ETIMEDOUT for a module that does not answer, EBADMSG for a wrong PEC byte,
    ENODEV without a module, EBUSY when another user held the module longer than a call waits for
    it (15 s), EIO otherwise; .result and .message carry the component's result code and its
    text, .reason what the component said about the module's lock. A transfer the module cannot make raises OSError EOPNOTSUPP, and a
    length over the module's limits ValueError, before anything is sent.
    """

    def __init__(self, bus=None, force=False, *, device=None, serial=None, simulated=None):
        self.fd = None
        self.funcs = MODULE_FUNCS
        self.address = None
        self.force = force
        self.simulated = None
        self._pec = False
        self._token = None
        self._device = None
        self._serial = None
        self._open(bus, device, serial, simulated)

    def __enter__(self):
        return self

    def __exit__(self, exc_type, exc_val, exc_tb):
        self.close()

    def open(self, bus):
        """Opens the bus again, as SMBus(bus) would: a bus number (the first module of the
        process-wide platform) or a hidraw path."""
        self._open(bus, None, None, None)

    def _open(self, bus, device, serial, simulated):
        if isinstance(bus, str):
            if device is not None:
                raise ValueError("a hidraw path as bus and device= both name the node: give one")
            device = bus
        elif bus is not None and not isinstance(bus, int):
            raise TypeError(f"bus must be an int or a path, not {type(bus).__name__}")
        if simulated is False:
            simulated = None
        if device is not None and serial is not None:
            raise ValueError("device= and serial= both choose the module: give one of them")
        if device is not None and simulated is not None:
            raise ValueError("device= and simulated= both choose the platform: give one of them")
        if simulated is not None and not isinstance(simulated, _sim.Module):
            simulated = _sim.make("2.0.19" if simulated is True else simulated)
        self.simulated = simulated
        self._device = device
        self._serial = serial
        self._token = next(_tokens)

    def close(self):
        """Closes the calling thread's handles to the module and puts the thread back on the
        process-wide platform and the first module; the bus can be opened again."""
        if self._token is not None and getattr(_thread, "token", None) == self._token:
            _gpio_dll._invoke("GPIO_ShutdownDLL")
            _thread.token = None
            _gpio_dll.use_process_platform_on_this_thread()
            _gpio_dll.use_first_module()
        self._token = None

    def enable_pec(self, enable=True):
        """Packet error checking on (or off) for the SMBus transfers from now on."""
        self._pec = bool(enable)

    @property
    def pec(self):
        """Whether packet error checking is on."""
        return self._pec

    @pec.setter
    def pec(self, enable):
        self.enable_pec(enable)

    # The module state of this thread, identified for this bus.
    def _identify(self):
        if self._token is None:
            raise ValueError("the bus is closed; open() it first")
        if getattr(_thread, "token", None) != self._token:
            # Identified for no bus until this identification succeeds: the thread's choice is
            # this bus's from here on.
            _thread.token = None
            self._choose()
            result, _ = _call("GPIO_FW_VER_Read", iDevFWver="", iVendorID="", iProductID="")
            if result != 0:
                raise _fail(result)
            _thread.token = self._token

    def _choose(self):
        """Makes the calling thread use this bus's platform and module from its next
        identification on."""
        if self._serial is not None:
            _gpio_dll.use_module_with_serial(self._serial)
        else:
            _gpio_dll.use_first_module()
        # After the module choice: on Windows a device path chooses the module too.
        if self.simulated is not None:
            self.simulated.use_on_this_thread()
        elif self._device is not None:
            _gpio_dll.use_hidraw_device_on_this_thread(self._device)
        else:
            _gpio_dll.use_process_platform_on_this_thread()

    def _target(self, i2c_addr, pec=True, transfer=True):
        _check_range("i2c_addr", i2c_addr, 0x7F)
        if transfer:  # smbus2 remembers the address of SMBus transfers, not i2c_rdwr's
            self.address = i2c_addr
        self._identify()
        return (i2c_addr << 1) | (1 if pec and self._pec else 0)

    def _run(self, method, **values):
        result, out = _call(method, **values)
        if result != 0:
            raise _fail(result)
        return out

    def _block(self, method, what, written=None, read=None, **values):
        """Runs a block method with a write count `written` and/or a read count `read`; a count
        the component refuses as over the module's limit (nothing sent) raises ValueError."""
        result, out = _call(method, **values)
        if ((result == _WRITE_OVER_LIMIT and written is not None) or
                (result == _READ_OVER_LIMIT and read is not None)):
            raise _over_limit(result, what, written, read)
        if result != 0:
            raise _fail(result)
        return out

    def write_quick(self, i2c_addr, force=None):
        """Quick command: not a transfer the module makes (raises OSError EOPNOTSUPP)."""
        _check_range("i2c_addr", i2c_addr, 0x7F)
        raise _unsupported("write_quick")

    def read_byte(self, i2c_addr, force=None):
        """Receive Byte: a byte read without a register."""
        out = self._run("GPIO_ReceiveSMBusByte", DataB=0, nTargetID=self._target(i2c_addr))
        return out["DataB"]

    def write_byte(self, i2c_addr, value, force=None):
        """Send Byte: a byte written without a register."""
        _check_range("value", value, 0xFF)
        self._run("GPIO_SendSMBusByte", DataL=value, nTargetID=self._target(i2c_addr))

    def read_byte_data(self, i2c_addr, register, force=None):
        """Read Byte of a register."""
        _check_range("register", register, 0xFF)
        out = self._run("GPIO_ReadSMBusByte", iCmd=register, DataB=0,
                        nTargetID=self._target(i2c_addr))
        return out["DataB"]

    def write_byte_data(self, i2c_addr, register, value, force=None):
        """Write Byte to a register."""
        _check_range("register", register, 0xFF)
        _check_range("value", value, 0xFF)
        self._run("GPIO_WriteSMBusByte", iCmd=register, DataL=value,
                  nTargetID=self._target(i2c_addr))

    def read_word_data(self, i2c_addr, register, force=None):
        """Read Word of a register: the word as a number (low byte first on the bus)."""
        _check_range("register", register, 0xFF)
        out = self._run("GPIO_ReadSMBusWord", iCmd=register, DataH=0, DataL=0,
                        nTargetID=self._target(i2c_addr))
        return out["DataH"] << 8 | out["DataL"]

    def write_word_data(self, i2c_addr, register, value, force=None):
        """Write Word to a register (low byte first on the bus)."""
        _check_range("register", register, 0xFF)
        _check_range("value", value, 0xFFFF)
        self._run("GPIO_WriteSMBusWord", iCmd=register, DataH=value >> 8, DataL=value & 0xFF,
                  nTargetID=self._target(i2c_addr))

    def process_call(self, i2c_addr, register, value, force=None):
        """Process Call: writes a word to a register and returns the word the slave answers."""
        _check_range("register", register, 0xFF)
        _check_range("value", value, 0xFFFF)
        out = self._run("GPIO_ProcessCall", iCmd=register, wDataH=value >> 8,
                        wDataL=value & 0xFF, rDataH=0, rDataL=0,
                        nTargetID=self._target(i2c_addr))
        return out["rDataH"] << 8 | out["rDataL"]

    def read_block_data(self, i2c_addr, register, force=None):
        """Block Read: the block the slave sends, as a list of ints."""
        _check_range("register", register, 0xFF)
        out = self._run("GPIO_ReadSMBusBlock", iCmd=register, DataArray=b"", iNumBytesRd=0,
                        nTargetID=self._target(i2c_addr))
        return list(out["DataArray"][:out["iNumBytesRd"]])

    def write_block_data(self, i2c_addr, register, data, force=None):
        """Block Write of `data` (at most 60 bytes, 120 with firmware "2.0.19")."""
        _check_range("register", register, 0xFF)
        target = self._target(i2c_addr)
        data = _data(data)
        self._block("GPIO_WriteSMBusBlock", "write_block_data", written=len(data), iCmd=register,
                    DataArray=data, iNumBytesWr=_count(len(data)), nTargetID=target)

    def block_process_call(self, i2c_addr, register, data, force=None):
        """Block write then block read: writes `data`, returns the block the slave answers."""
        _check_range("register", register, 0xFF)
        target = self._target(i2c_addr)
        data = _data(data)
        # The component wants room for the count and the command beside the data. A read count
        # over the limit here is the slave's answer, a failed transfer, not a refusal.
        out = self._block("GPIO_WriteReadSMBusBlock", "block_process_call", written=len(data),
                          iCmd=register, DataArrayW=data + bytes(2), DataArrayR=b"",
                          iNumBytesWr=_count(len(data)), iNumBytesRd=0, nTargetID=target)
        return list(out["DataArrayR"][:out["iNumBytesRd"]])

    def read_i2c_block_data(self, i2c_addr, register, length, force=None):
        """I2C block read: writes the register, then reads `length` bytes (1 to 60, 62 with
        firmware "1.0.10")."""
        _check_range("register", register, 0xFF)
        target = self._target(i2c_addr, pec=False)
        # The component takes 0 for its whole limit, and sends a negative count as it is.
        if not isinstance(length, int) or length < 1:
            raise ValueError(f"read_i2c_block_data: length {length!r}, the module reads at "
                             f"least 1 byte")
        out = self._block("GPIO_ReadI2CBlock", "read_i2c_block_data", read=length, iCmd=register,
                          DataArray=b"", iNumBytesRd=_count(length), nTargetID=target)
        return list(out["DataArray"][:out["iNumBytesRd"]])

    def write_i2c_block_data(self, i2c_addr, register, data, force=None):
        """I2C block write: the register, then `data` (at most 60 bytes, 120 with "2.0.19")."""
        _check_range("register", register, 0xFF)
        target = self._target(i2c_addr, pec=False)
        data = _data(data)
        self._block("GPIO_WriteI2CBlock", "write_i2c_block_data", written=len(data),
                    iCmd=register, DataArray=data, iNumBytesWr=_count(len(data)),
                    nTargetID=target)

    def i2c_rdwr(self, *i2c_msgs):
        """Combined transfers the module has a command for: one write of at least one byte, or
        such a write followed by a read from the same address (a repeated start between them).
        The read message's buffer receives the bytes read."""
        shapes = [(m.flags & I2C_M_RD, m.len) for m in i2c_msgs]
        if any(m.flags & ~I2C_M_RD for m in i2c_msgs):
            raise _unsupported("i2c_rdwr with flags other than I2C_M_RD")
        if len(shapes) == 1 and shapes[0][0] == 0 and shapes[0][1] >= 1:
            (w,) = i2c_msgs
            target = self._target(w.addr, pec=False, transfer=False)
            data = _data(bytes(w)[1:])
            self._block("GPIO_WriteI2CBlock", "i2c_rdwr write", written=len(data),
                        iCmd=w.buf[0], DataArray=data, iNumBytesWr=_count(len(data)),
                        nTargetID=target)
            return
        if (len(shapes) == 2 and shapes[0][0] == 0 and shapes[0][1] >= 1 and shapes[1][0] and
                i2c_msgs[0].addr == i2c_msgs[1].addr):
            w, r = i2c_msgs
            target = self._target(w.addr, pec=False, transfer=False)
            data = _data(bytes(w)[1:])
            if r.len < 1:  # the component would send a read of nothing
                raise ValueError("i2c_rdwr read: 0 bytes, the module reads at least 1")
            out = self._block("GPIO_WriteReadI2CBlock", "i2c_rdwr", written=len(data),
                              read=r.len, iCmd=w.buf[0], DataArrayW=data, DataArrayR=b"",
                              iNumBytesWr=_count(len(data)), iNumBytesRd=_count(r.len),
                              nTargetID=target)
            r.buf[:r.len] = out["DataArrayR"][:r.len]
            return
        raise _unsupported("i2c_rdwr of " + ", ".join(
            f"{'read' if rd else 'write'} of {n}" for rd, n in shapes))
