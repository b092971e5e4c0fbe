"""The exceptions of gpio_dll."""
import errno
import os


class AutomationError(Exception):
    """A method raised an automation error instead of returning a result code.

    ``number`` is the automation error number: 6 overflow (a value that does not fit its
    argument, such as a negative byte), 13 type mismatch, 438 no such method, 450 wrong number
    of arguments.
    """

    def __init__(self, number, message=""):
        super().__init__(number, message)
        self.number = number
        self.message = message

    def __str__(self):
        return f"automation error {self.number}: {self.message}"


class ModuleError(OSError):
    """A transfer failed: an OSError whose errno says how, with the component's result code.

    errno: ENXIO the slave did not acknowledge (result 406, or 301 from firmware "1.0.10", which
    reports every bus failure so); ETIMEDOUT the module did not answer in time; EBADMSG a wrong
    PEC byte (61, 411); ENODEV no module (131, or a firmware version the component does not
    know); EBUSY another user held the module longer than a method waits for it (15 s); EIO any
    other result. ``result`` is the result code, ``message`` its text, ``reason`` what the
    component said about the module's node or lock ("module busy: held by another user for more
    than 15 s"), or None.
    """

    def __init__(self, code, result, message, reason=None):
        detail = f"result {result}: {message}" + (f"; {reason}" if reason else "")
        super().__init__(code, f"{os.strerror(code)} ({detail})")
        self.result = result
        self.message = message
        self.reason = reason


NOT_ACKNOWLEDGED = (406, 301)
BAD_PEC = (61, 411)
NO_MODULE = 131
UNKNOWN_FIRMWARE = 133
FATAL_ERROR = 14


def errno_for(result, module_present, lock_failure=None):
    """The errno that a failed transfer with this result code raises; `lock_failure` is the
    component's reason when the module's lock was not had."""
    if result == FATAL_ERROR and lock_failure is not None:
        return errno.EBUSY if lock_failure.busy else (lock_failure.error or errno.EIO)
    if result in NOT_ACKNOWLEDGED:
        return errno.ENXIO
    if result in BAD_PEC:
        return errno.EBADMSG
    if result in (NO_MODULE, UNKNOWN_FIRMWARE):
        return errno.ENODEV
    # A read that times out closes the module and marks it absent; a short answer leaves it open.
    if result == FATAL_ERROR and not module_present:
        return errno.ETIMEDOUT
    return errno.EIO
