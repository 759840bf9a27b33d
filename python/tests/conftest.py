import os

import pytest

# The simulated device table is shared between processes by name: this suite keeps its own.
os.environ["KELVOX_SIM_SHARED_SUFFIX"] = "-python-tests"

import kelvox  # noqa: E402


@pytest.fixture(autouse=True)
def settings_store(tmp_path, monkeypatch):
    """Each test starts from a camera without stored settings (the library keeps them per camera)."""
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))


@pytest.fixture
def lib():
    return kelvox.library()


@pytest.fixture
def plug():
    """kelvox.sim.attach for the test; every simulated camera is unplugged after it."""
    kelvox.sim.detach_all()
    yield kelvox.sim.attach
    kelvox.sim.detach_all()
