"""gpio_dll.Dll: the component's 29 methods, made from its method table."""
import inspect

from . import _gpio_dll

_PYTHON_TYPES = {"int16": int, "int32": int, "uint8": int, "str": str, "bytes": bytes}


def _doc(name, result, arguments):
    outputs = [arg for arg, _, written in arguments if written]
    shape = result if not outputs else "(" + ", ".join(["result"] + outputs) + ")"
    lines = [f"{name}({', '.join(arg for arg, _, _ in arguments)}) -> {shape}", ""]
    if outputs:
        lines.append(f"Returns the result ({result}), then the new value of "
                     f"{', '.join(outputs)}.")
    else:
        lines.append(f"Returns the result ({result}).")
    for arg, kind, _ in arguments:
        lines.append(f"  {arg}: {kind}")
    lines += ["", "Raises gpio_dll.AutomationError for a value that does not convert (6, 13)."]
    return "\n".join(lines)


def _method(name, result, arguments):
    def call(self, *args):
        return _gpio_dll._invoke(name, *args)

    call.__name__ = call.__qualname__ = name
    call.__doc__ = _doc(name, result, arguments)
    params = [inspect.Parameter("self", inspect.Parameter.POSITIONAL_ONLY)]
    params += [inspect.Parameter(arg, inspect.Parameter.POSITIONAL_ONLY,
                                 annotation=_PYTHON_TYPES[kind]) for arg, kind, _ in arguments]
    call.__signature__ = inspect.Signature(params)
    return call


class Dll:
    """The component's object: every method of cls_GPIO_DLL, on the calling thread's module.

    Each Python thread has its own module state, as each thread of a C++ client does: call
    GPIO_FW_VER_Read on every thread before its first bus method (until then they return 131).
    Every argument goes in by value; a method returns its result alone when it writes no
    argument back, else a tuple of the result and the new values of the arguments it writes
    back, in argument order (each method's docstring gives the shape)::

        dll = gpio_dll.Dll()
        result, fw, vendor, product = dll.GPIO_FW_VER_Read("", "", "")
        result, data_h, data_l = dll.GPIO_ReadSMBusWord(0x0D, 0, 0, 0x16)
        message = dll.Check_DllErrorCode(result)

    Integers are Python ints, texts str, byte arrays bytes (any bytes-like object or sequence
    of ints 0..255 goes in). Calls release the GIL while they wait for the module.
    """


for _name, _result, _arguments in _gpio_dll._method_table():
    setattr(Dll, _name, _method(_name, _result, _arguments))
