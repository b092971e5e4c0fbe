"""Fixtures: a fresh simulated module of each firmware generation, and a bus on it."""
import pytest

import gpio_dll

GENERATIONS = ["1.0.10", "2.0.19"]


@pytest.fixture(params=GENERATIONS)
def module(request):
    module = gpio_dll.sim.install(request.param)
    yield module
    gpio_dll.use_system()


@pytest.fixture
def bus(module):
    with gpio_dll.SMBus() as bus:
        yield bus
