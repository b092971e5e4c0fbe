"""An smbus2 battery script runs on the module with only its import changed."""
import ast
import pathlib
import runpy
import sys

SCRIPT = pathlib.Path(__file__).with_name("battery_report.py")


def test_only_the_import_names_this_package():
    imports = [node for node in ast.walk(ast.parse(SCRIPT.read_text()))
               if isinstance(node, (ast.Import, ast.ImportFrom))]
    modules = {node.module if isinstance(node, ast.ImportFrom) else node.names[0].name
               for node in imports}
    assert modules == {"sys", "gpio_dll"}


def test_the_script_reports_the_battery(module, monkeypatch, capsys):
    module.set_battery_word(0x09, 16234)
    module.set_battery_word(0x0A, 0x10000 - 1500)  # discharging
    module.set_battery_word(0x0D, 63)
    module.set_battery_block(0x20, b"Contoso")
    module.set_battery_block(0x21, b"CB-4S2P")
    monkeypatch.setattr(sys, "argv", [str(SCRIPT), "1"])
    runpy.run_path(str(SCRIPT), run_name="__main__")
    assert capsys.readouterr().out.splitlines() == [
        "Battery:  Contoso CB-4S2P", "Voltage:  16234 mV", "Current:  -1500 mA", "Charge:   63 %"]

