"""The type stubs describe the package as it is at run time."""
import ast
import inspect
import pathlib

import pytest

import gpio_dll

PACKAGE = pathlib.Path(gpio_dll.__file__).parent


def stub_classes(name):
    tree = ast.parse((PACKAGE / name).read_text())
    classes = {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}
    functions = {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}
    return classes, functions


def stub_parameters(function):
    a = function.args
    return [p.arg for p in a.posonlyargs + a.args + ([a.vararg] if a.vararg else []) +
            a.kwonlyargs]


def test_every_public_name_has_a_hint():
    classes, functions = stub_classes("__init__.pyi")
    assert set(gpio_dll.__all__) - {"sim", "I2C_M_RD", "__version__"} <= set(classes) | set(functions)


@pytest.mark.parametrize("cls,stub", [(gpio_dll.Dll, "__init__.pyi"),
                                      (gpio_dll.SMBus, "__init__.pyi"),
                                      (gpio_dll.TraceLog, "__init__.pyi"),
                                      (gpio_dll.sim.Module, "sim.pyi")],
                         ids=["Dll", "SMBus", "TraceLog", "sim.Module"])
def test_methods_and_parameters_match(cls, stub):
    classes, _ = stub_classes(stub)
    hinted = {node.name: node for node in classes[cls.__name__].body
              if isinstance(node, ast.FunctionDef)}
    public = {name for name in dir(cls) if not name.startswith("_")} | {
        name for name in ("__init__", "__enter__", "__exit__")
        if inspect.isfunction(vars(cls).get(name))}
    assert set(hinted) - {"pec"} == public - {"pec"}
    for name, node in hinted.items():
        member = getattr(cls, name)
        if isinstance(member, property):
            continue
        try:
            runtime = list(inspect.signature(member).parameters)
        except ValueError:  # a pybind11 method without a Python signature
            continue
        if runtime and runtime[0] != "self":
            runtime = ["self"] + runtime
        assert stub_parameters(node) == runtime, name
