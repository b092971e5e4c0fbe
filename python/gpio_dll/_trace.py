"""The call trace through ``logging``: the lines the debug window's trace list shows, logged at
DEBUG on the logger ``gpio_dll`` as the component writes them."""
from ._gpio_dll import _LoggedTrace


class TraceLog:
    """Logs the calling thread's trace lines (every thread's with ``every_thread=True``) to the
    logger ``gpio_dll`` at DEBUG until ``close()`` or the end of a ``with`` block. A line of
    another thread is logged on that thread. Nothing is traced while no ``TraceLog`` is open."""

    def __init__(self, every_thread: bool = False) -> None:
        self._trace = _LoggedTrace(bool(every_thread))

    @property
    def active(self) -> bool:
        return self._trace.active

    def close(self) -> None:
        self._trace.close()

    def __enter__(self) -> "TraceLog":
        return self

    def __exit__(self, exc_type, exc_val, exc_tb) -> None:
        self.close()


def log_trace(every_thread: bool = False) -> TraceLog:
    """Starts logging the trace to the logger ``gpio_dll``; see ``TraceLog``."""
    return TraceLog(every_thread)
