"""The profiler's reading of perf's text: which samples belong to the
package step, and what each is put down to."""
import importlib.util
import os

import pytest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "bench-profile.py")
_spec = importlib.util.spec_from_file_location("bench_profile", SCRIPT)
profile = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(profile)

# Four samples of the package process (pid 200), two inside its step, and
# one of the sqlite3 shell, as `perf script -F comm,pid,time,ip,sym,dso`
# prints them.
PERF_TEXT = """\
whatsapp_bench   200 100.000100: 
\tffffffff81234567 filemap_get_entry ([kernel.kallsyms])
\tffffffff81000130 entry_SYSCALL_64_after_hwframe ([kernel.kallsyms])
\t           1f2a3 __libc_pread64 (inlined)
\t           1f2a3 __libc_pread (/usr/lib/x86_64-linux-gnu/libc.so.6)
\t           8c1d0 [unknown] (/usr/lib/x86_64-linux-gnu/libsqlite3.so.0.8.6)

whatsapp_bench   200 100.000600: 
\tffffffff82241f31 __raw_callee_save_pvm_irq_enable ([kernel.kallsyms])
\tffffffff81000c82 asm_exc_page_fault ([kernel.kallsyms])
\t          16d843 __memcpy_avx512_unaligned_erms (/usr/lib/x86_64-linux-gnu/libc.so.6)
\t           4a100 kx::(anonymous namespace)::Writer<kx::TextBuffer>::Name(char const*) (/b/whatsapp_bench)

whatsapp_bench   200 100.000900: 
\t           4a200 kx::BasicJsonTextWriter<kx::TextBuffer>::Int(long) (/b/whatsapp_bench)

whatsapp_bench   200 101.500000: 
\t           4a200 kx::WriteNewFile(std::string const&) (/b/whatsapp_bench)

whatsapp_bench   300 100.000500: 
\t           4a200 kx::samples::MakeStore() (/b/whatsapp_bench)

sqlite3   400 102.000000: 
\t           8c1d0 [unknown] (/usr/lib/x86_64-linux-gnu/libsqlite3.so.0.8.6)
"""
OUTPUT = "message mix: typical\nPACKAGESTEP\t200\t100.000000\t100.001000\nBENCHROW\t...\n"


@pytest.fixture(name="samples")
def fixture_samples():
    return profile.parse_script(PERF_TEXT.splitlines(keepends=True))


def test_only_the_package_steps_samples_are_kept(samples):
    windows = profile.parse_windows(OUTPUT.splitlines())
    assert windows == [(200, 100.0, 100.001)]
    kept = [sample for sample in samples if profile.in_windows(sample, windows)]
    assert [sample.time for sample in kept] == [100.0001, 100.0006, 100.0009]


def test_each_sample_is_put_down_to_its_cause(samples):
    package = profile.Profile(samples[:3])
    assert package.kernel == {"system call: pread": 1, "page fault: kx::Writer::Name": 1}
    assert package.libraries == {"whatsapp_bench": 1}
    assert package.functions == {"kx::BasicJsonTextWriter::Int": 1}


@pytest.mark.parametrize("symbol,name", [
    ("__libc_pread64 (inlined)", "pread"),
    ("__GI___libc_write", "write"),
    ("__GI___fstatat64", "fstatat"),
    ("__libc_open64", "open"),
    ("__close", "close"),
])
def test_system_calls_are_named_without_their_wrappers(symbol, name):
    assert profile.call_name(symbol) == name


def test_callers_pass_over_unnamed_frames(samples):
    chains = profile.callers(samples[:1], {"pread"}, depth=2)
    assert chains == {"__libc_pread64 < __libc_pread": 1}
