"""The Python module on the sample data set, against kxpackage's own
output; a stop from another thread; lazy reading of a large chat; errors."""

import json
import os
import shutil
import sqlite3
import subprocess
import sys
import threading
import time
import tracemalloc

import pytest

import kxdatapackage as kx
from conftest import backup_file, read_json

HOME = "HomeDomain"
CALLS = "Library/CallHistoryDB/CallHistory.storedata"
MESSAGES = "Library/SMS/sms.db"
ADDRESS_BOOK = "Library/AddressBook/AddressBook.sqlitedb"
ADDRESS_BOOK_IMAGES = "Library/AddressBook/AddressBookImages.sqlitedb"


@pytest.fixture(scope="session")
def ios_out(sample):
    """kxpackage's packaging of the sample backup, older backup merged in."""
    out = sample / "ios-out"
    summary = kx.package_backup(sample / "set" / "ios", out, copies=[sample / "set" / "ios-older"])
    return out, summary


@pytest.fixture(scope="session")
def android_out(sample):
    out = sample / "android-out"
    return out, kx.package_folder(sample / "set" / "android", out)


def equal_after_moving(ours, theirs, our_folder, their_folder):
    """Documents compared as if ours had been written into their folder."""
    moved = json.loads(json.dumps(ours).replace(str(our_folder), str(their_folder)))
    assert moved == theirs


def test_package_backup_returns_the_summary_kxpackage_leaves(ios_out):
    out, summary = ios_out
    assert summary == read_json(out / "summary.json")
    assert summary["provenance"]["sources"]
    statuses = dict(kx.host.summary_statuses(summary))
    assert statuses["ios_messages"] == 0 and statuses["ios_call_history"] == 0


def test_module_run_as_a_program_packages_a_backup(sample, ios_out):
    out = sample / "main-out"
    run = subprocess.run([sys.executable, "-m", "kxdatapackage", str(sample / "set" / "ios"),
                          "-o", str(out), "--copy", str(sample / "set" / "ios-older"), "--json",
                          "--quiet"], stdout=subprocess.PIPE, check=False)
    assert run.returncode == 0
    printed = json.loads(run.stdout)
    assert kx.host.summary_statuses(printed) == kx.host.summary_statuses(ios_out[1])


@pytest.mark.parametrize("number,store,chats", [(13, CALLS, False), (12, MESSAGES, True)])
def test_ios_documents_equal_those_of_kxpackage(tmp_path, library, sample, ios_out, number, store,
                                                chats):
    backup, older = sample / "set" / "ios", sample / "set" / "ios-older"
    data_type = kx.data_type(number)
    name, key = data_type.name, data_type.primary_file_keys[0]
    primary = {key: backup_file(backup, HOME, store),
               "contact_file_path": backup_file(backup, HOME, ADDRESS_BOOK),
               "contact_image_file_path": backup_file(backup, HOME, ADDRESS_BOOK_IMAGES),
               "manifest_file_path": backup / "Manifest.db"}
    temp = tmp_path / name
    library.filter(data_type.filter_request(temp, primary, copies=[backup_file(older, HOME, store)],
                                            additional_param=str(backup)))
    result = library.package_ex(number)
    assert result.kind == data_type.result_kind
    their_folder = ios_out[0] / name
    equal_after_moving(result.document, read_json(their_folder / "result.json"), temp, their_folder)
    if not chats:
        return
    # The messages of the batch files, read lazily from both folders.
    ours = [tuple(message) for message in kx.iter_messages(*result)]
    theirs = [tuple(message) for message in
              kx.iter_messages(result.kind, read_json(their_folder / "result.json"))]
    assert len(ours) == len(theirs) > 0
    equal_after_moving(ours, json.loads(json.dumps(theirs)), temp, their_folder)


def test_android_documents_equal_those_of_kxpackage(tmp_path, library, sample, android_out):
    phone, (out, _) = sample / "set" / "android", android_out
    calls = kx.data_type("AndroidCallhistoryDataPackage")
    library.filter(calls.filter_request(tmp_path / "calls",
                                        {calls.primary_file_keys[0]: phone / "calllog.db"}))
    result = library.package_ex(calls.number)
    equal_after_moving(result.document, read_json(out / calls.name / "result.json"),
                       tmp_path / "calls", out / calls.name)
    # The staged Android LINE packager, and its detail files read lazily.
    line = kx.data_type(30)
    result = library.package_new(line.staged_request(tmp_path / "line", phone / "naver_line"))
    assert result.kind == line.staged_result_kind
    equal_after_moving(result.document, read_json(out / line.name / "result.json"),
                       tmp_path / "line", out / line.name)
    assert len(list(kx.iter_messages(*result))) > 0


@pytest.fixture(scope="module")
def large_chat(sample, tmp_path_factory):
    """The sample's messages store with 30,000 more messages in one chat."""
    store = tmp_path_factory.mktemp("large") / "sms.db"
    shutil.copy(backup_file(sample / "set" / "ios", HOME, MESSAGES), store)
    with sqlite3.connect(store) as database:
        database.execute(
            "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 30000) "
            "INSERT INTO message (guid, text, handle_id, service, date, is_from_me) "
            "SELECT 'bulk-' || x, 'message number ' || x, "
            "(SELECT handle_id FROM chat_handle_join WHERE chat_id = 1 LIMIT 1), 'iMessage', "
            "700000000000000000 + x * 1000000000, x % 2 FROM n")
        database.execute("INSERT INTO chat_message_join (chat_id, message_id, message_date) "
                         "SELECT 1, ROWID, date FROM message WHERE guid LIKE 'bulk-%'")
    return store


def messages_request(temp, store, sample):
    return kx.data_type(12).filter_request(temp, {"sms_file_path": store},
                                           additional_param=str(sample / "set" / "ios"))


def test_stop_from_another_thread_ends_the_call_without_a_result(tmp_path, library, sample,
                                                                 large_chat):
    library.filter(messages_request(tmp_path / "out", large_chat, sample))
    outcome, delivered = {}, []

    def package():
        try:
            outcome["result"] = library.package_ex(12, on_result=delivered.append)
        except kx.KxError as error:
            outcome["error"] = error

    worker = threading.Thread(target=package)
    worker.start()
    log = tmp_path / "logs" / "KxDataPackage.log"
    deadline = time.monotonic() + 60
    while "type 12 KxDataPackage start" not in (log.read_text() if log.exists() else ""):
        assert time.monotonic() < deadline and worker.is_alive()
        time.sleep(0.001)
    library.stop()
    worker.join()
    assert "result" not in outcome and delivered == []
    assert (outcome["error"].status, outcome["error"].name) == (1111, "KX_STATUS_STOPPED")
    with pytest.raises(kx.KxError) as later:
        library.package_ex(12)
    assert later.value.status == 1111


def test_a_large_chat_is_read_in_bounded_memory(tmp_path, library, sample, large_chat):
    library.filter(messages_request(tmp_path / "out", large_chat, sample))
    kind, document = library.package_ex(12)
    size = sum(os.path.getsize(path) for path in kx.batch_files(document))
    tracemalloc.start()
    try:
        bulk = sum(1 for _, message in kx.iter_messages(kind, document)
                   if str(message.get("text", "")).startswith("message number "))
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    assert bulk == 30000
    assert size > 10_000_000 and peak < size / 5


# ---- errors ----

@pytest.mark.parametrize("call,argument,status,name", [
    ("filter", "not json", -1, "KX_STATUS_INVALID_JSON"),
    ("filter", {"package_type": 3}, 1100, "KX_STATUS_MISSING_INPUT"),
    ("package_new", "not json", 1104, "KX_STATUS_INVALID_JSON_NEW"),
    ("package_ex", 3, 1112, "KX_STATUS_NOT_PACKAGED"),
])
def test_a_status_is_raised_with_its_name(library, call, argument, status, name):
    with pytest.raises(kx.KxError) as raised:
        getattr(library, call)(argument)
    assert (raised.value.status, raised.value.name) == (status, name)
    assert str(status) in str(raised.value) and name in str(raised.value)


def test_an_exception_in_the_callback_is_raised_after_the_call(tmp_path, library, sample):
    calls = kx.data_type(3)
    library.filter(calls.filter_request(tmp_path / "calls",
                                        {"callhistory_file_path": sample / "set" / "android" / "calllog.db"}))

    def refuse(result):
        raise LookupError(f"refused kind {result.kind}")

    with pytest.raises(LookupError, match="refused kind 0"):
        library.package_ex(3, on_result=refuse)
    # The library finished its call as usual: the data type is packaged.
    with pytest.raises(kx.KxError) as again:
        library.package_ex(3)
    assert again.value.status == 1112


def test_a_missing_library_is_named(tmp_path):
    missing = tmp_path / "libkxdatapackage.so.1"
    with pytest.raises(kx.LibraryNotFoundError, match=str(missing)):
        kx.Library(tmp_path / "logs", library_path=str(missing))


def test_a_library_of_another_version_is_refused(tmp_path, lib_path):
    other = tmp_path / "libkxdatapackage.so.2.0.0"
    shutil.copy(lib_path, other)
    with pytest.raises(kx.LibraryNotFoundError, match="2.0.0.*major version 1"):
        kx.load_library(str(other))


def test_a_library_without_the_exports_is_refused():
    with pytest.raises(kx.LibraryNotFoundError, match="lacks InitKxDataPackage"):
        kx.load_library("libz.so.1")


def test_request_builders_refuse_what_the_table_does_not_name(tmp_path):
    with pytest.raises(ValueError, match="callhistory_files_path"):
        kx.data_type(3).filter_request(tmp_path, {}, copies={"sms_files_path": ["a.db"]})
    with pytest.raises(ValueError, match="no data type 31"):
        kx.data_type(31)
    with pytest.raises(ValueError, match="no staged packager"):
        kx.data_type(3).staged_request(tmp_path, "calllog.db")


def test_pip_installs_the_module_without_an_index(tmp_path):
    pytest.importorskip("pip")
    source = os.path.join(os.path.dirname(__file__), "..")
    subprocess.run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index",
                    "--target", str(tmp_path / "site"), source], check=True)
    check = "import kxdatapackage; print(kxdatapackage.data_type(3).second_file_keys)"
    run = subprocess.run([sys.executable, "-c", check], stdout=subprocess.PIPE, check=True,
                         env={**os.environ, "PYTHONPATH": str(tmp_path / "site")})
    assert run.stdout.decode().strip() == "['callhistory_files_path']"
