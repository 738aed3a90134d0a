"""What every scenario of the bench needs: a display of its own for each
pytest worker (two at a time with -n 2, pytest-xdist), and the program
under test. bench/run.py prepares the rest once (template, disc, driver)."""

import os

import pytest

import harness


@pytest.fixture(scope="session")
def display():
    xvfb, name = harness.start_xvfb()
    yield name
    harness.stop_xvfb(xvfb)


@pytest.fixture(scope="session", autouse=True)
def driver():
    harness.DRIVER = os.environ.get("BENCH_DRIVER_EXE") or harness.driver_exe()
