"""Fixtures of the module's tests: the library and kxpackage under test
(named by the environment, as CTest and scripts/package_test.sh set it),
and the sample data set with kxpackage's own output of it."""

import json
import os
import sqlite3
import subprocess

import pytest

import kxdatapackage


def pytest_sessionstart(session):
    expected = os.environ.get("KX_EXPECT_MODULE_DIR")
    if expected and not kxdatapackage.__file__.startswith(expected):
        raise pytest.UsageError(f"kxdatapackage imported from {kxdatapackage.__file__}, "
                                f"not from {expected}")


@pytest.fixture(scope="session")
def config_dir():
    return os.environ.get("KX_CONFIG_DIR")


@pytest.fixture
def library(tmp_path, config_dir):
    return kxdatapackage.Library(tmp_path / "logs", config_dir)


@pytest.fixture(scope="session")
def sample(tmp_path_factory):
    """The sample data set, and kxpackage's packaging of its Android folder
    and its iOS backup (the older copies merged in)."""
    root = tmp_path_factory.mktemp("sample")
    subprocess.run([kxdatapackage.host.find_kxpackage(), "sample", "-o", str(root / "set")],
                   check=True, stdout=subprocess.DEVNULL)
    return root


def backup_file(backup, domain, relative_path):
    """The stored file of `domain`/`relative_path` in an iOS backup folder."""
    with sqlite3.connect(f"file:{backup / 'Manifest.db'}?mode=ro", uri=True) as manifest:
        row = manifest.execute("SELECT fileID FROM Files WHERE domain = ? AND relativePath = ?",
                               (domain, relative_path)).fetchone()
    assert row is not None, f"{domain} {relative_path} not in {backup}"
    for candidate in (backup / row[0][:2] / row[0], backup / row[0]):
        if candidate.exists():
            return candidate
    raise AssertionError(f"{row[0]} not stored in {backup}")


def read_json(path):
    with open(path, encoding="utf-8") as file:
        return json.load(file)


@pytest.fixture
def lib_path():
    return os.environ.get("KXDATAPACKAGE_LIBRARY")
