"""The package through the kernel: two simulated modules served as hidraw nodes by
gpio-dll-sim serve (FUSE). Needs root, /dev/fuse and fusermount3; without them the tests skip,
unless GPIO_DLL_REQUIRE_SERVED_DEVICE is set, where they fail."""
import errno
import os
import pathlib
import selectors
import shutil
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

import pytest

import gpio_dll

SIM = os.environ.get("GPIO_DLL_SIM", "gpio-dll-sim")


def missing_prerequisite():
    for missing, why in [(os.geteuid() != 0, "needs root"),
                         (not os.access("/dev/fuse", os.R_OK | os.W_OK), "needs /dev/fuse"),
                         (not os.access("/usr/bin/fusermount3", os.X_OK),
                          "needs fusermount3 (package fuse3)"),
                         (shutil.which(SIM) is None, f"needs gpio-dll-sim ({SIM} not found)")]:
        if missing:
            return why
    return None


@pytest.fixture
def served():
    missing = missing_prerequisite()
    if missing:
        if os.environ.get("GPIO_DLL_REQUIRE_SERVED_DEVICE"):
            pytest.fail(missing)
        pytest.skip(f"served-device tests skipped: {missing}")
    mount = pathlib.Path(tempfile.mkdtemp(prefix="gpio-dll-py-served."))
    server = subprocess.Popen([SIM, "serve", "--fw", "2.0.19", "--modules", "2", "--mount",
                               str(mount)], stdout=subprocess.PIPE, bufsize=0)
    try:
        # Ready once it has said where its control file is (at most 10 s for the mount).
        selector = selectors.DefaultSelector()
        selector.register(server.stdout, selectors.EVENT_READ)
        said = ""
        while "control:" not in said and selector.select(timeout=10):
            chunk = os.read(server.stdout.fileno(), 4096)
            if not chunk:
                break
            said += chunk.decode(errors="replace")
        assert "control:" in said, f"gpio-dll-sim serve did not start: {said!r}"
        gpio_dll.use_hidraw_device(str(mount / "dev" / "hidraw0"))
        yield mount
    finally:
        gpio_dll.use_system()
        server.terminate()
        server.wait()
        shutil.rmtree(mount, ignore_errors=True)


def control(mount, command, node=0):
    (mount / f"control-hidraw{node}").write_text(command + "\n")


def node(mount, k):
    return str(mount / "dev" / f"hidraw{k}")


def test_words_blocks_and_two_threads_through_the_kernel(served):
    control(served, "word 0x09 15000")
    control(served, "word 0x0d 55")
    with gpio_dll.SMBus(device=str(served / "dev" / "hidraw0")) as bus:
        assert bus.read_word_data(0x0B, 0x0D) == 55
        bus.enable_pec()
        assert bus.process_call(0x0B, 0x00, 0x00FF) == 0xFF00
        bus.write_block_data(0x0B, 0x44, list(range(100)))
        assert bus.read_block_data(0x0B, 0x44) == list(range(100))
        with pytest.raises(OSError) as raised:
            bus.read_word_data(0x0C, 0x09)
        assert raised.value.errno == errno.ENXIO
    bus = gpio_dll.SMBus()  # the node the fixture chose, from two threads
    with ThreadPoolExecutor(2) as pool:  # result() raises what the thread raised
        reads = {r: pool.submit(lambda r=r: {bus.read_word_data(0x0B, r) for _ in range(20)})
                 for r in (0x09, 0x0D)}
    assert {r: f.result() for r, f in reads.items()} == {0x09: {15000}, 0x0D: {55}}


def test_each_bus_talks_to_its_own_module(served):
    for k in (0, 1):
        control(served, f"word 0x0d {11 + k}", k)
    a, b = gpio_dll.SMBus(device=node(served, 0)), gpio_dll.SMBus(device=node(served, 1))
    s = gpio_dll.SMBus(simulated="2.0.19")
    s.simulated.set_battery_word(0x0D, 13)
    expected = {a: 11, b: 12, s: 13}
    assert {bus: bus.read_word_data(0x0B, 0x0D) for bus in (a, b, s, a)} == expected
    a.write_word_data(0x0B, 0x0D, 0x1234)
    expected[a] = 0x1234

    def read_in_turn(order):  # each bus from a thread that used another one last
        return [{bus: bus.read_word_data(0x0B, 0x0D) for bus in order} for _ in range(5)]

    with ThreadPoolExecutor(2) as pool:
        turns = [pool.submit(read_in_turn, order) for order in ((a, b, s), (s, b, a))]
    assert all(seen == expected for turn in turns for seen in turn.result())
    # The module's own state: a fresh thread on the process-wide platform, the node of module 0.
    with ThreadPoolExecutor(1) as pool:
        assert pool.submit(lambda: gpio_dll.SMBus().read_word_data(0x0B, 0x0D)).result() == 0x1234
    for bus in (a, b, s):
        bus.close()


def run_python(code, hidraw_dir):
    """Runs `code` in a fresh python with GPIO_DLL_HIDRAW_DIR set, as a user's script would."""
    env = dict(os.environ, GPIO_DLL_HIDRAW_DIR=str(hidraw_dir))
    run = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True,
                         timeout=60)
    assert run.returncode == 0, run.stderr
    return run.stdout


def test_the_variable_points_discovery_at_a_folder_when_imported(tmp_path):
    # A tree of one entry and no node: the node listed is the folder's, whatever the host has.
    (tmp_path / "sys" / "class" / "hidraw" / "hidraw7").mkdir(parents=True)
    listed = "import gpio_dll; print([d.path for d in gpio_dll.list_devices()])"
    assert run_python(listed, tmp_path) == f"{[str(tmp_path / 'dev' / 'hidraw7')]}\n"
    assert run_python("import gpio_dll; print(gpio_dll.use_hidraw_dir_from_environment())",
                      "") == "False\n"


def test_every_served_module_by_serial_through_the_folder(served):
    for k in (0, 1):
        control(served, f"word 0x0d {21 + k}", k)
    second = ("import gpio_dll; print(sorted(d.serial_number for d in gpio_dll.list_devices()), "
              "gpio_dll.SMBus(serial='SIM0002').read_word_data(0x0B, 0x0D))")
    assert run_python(second, served) == "['SIM0001', 'SIM0002'] 22\n"
    gpio_dll.use_hidraw_dir(str(served))
    with ThreadPoolExecutor(1) as pool:
        assert pool.submit(lambda: gpio_dll.SMBus(serial="SIM0001").read_word_data(
            0x0B, 0x0D)).result() == 21
