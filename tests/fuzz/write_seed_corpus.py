#!/usr/bin/env python3
"""Writes the committed seed corpus of the two fuzz targets.

The seeds are the interesting inputs a fuzzer would take long to stumble on:
every base and sign of an argument, the ends of the 32-bit range, and reports
with each delivery system, the largest scan, a bad system late in a scan, a
trailing partial record and frequencies that wrap.  Run it after changing
the input layout of a target; the files it writes are committed.
"""
import pathlib
import struct

corpus = pathlib.Path(__file__).resolve().parent / "corpus"

arguments = {
    "decimal": b"1234",
    "hex": b"0x10",
    "hex_upper": b"0X1f",
    "hex_prefix_only": b"0x",
    "hex_no_digits": b"0xzz",
    "octal": b"010",
    "octal_bad_digit": b"08",
    "trailing_junk": b"12abc",
    "no_digits": b"abc",
    "empty": b"",
    "negative": b"-5",
    "plus": b"+7",
    "double_sign": b"+-3",
    "space_then_sign": b" \t\n\v\f\r-0x1F",
    "sign_then_space": b"- 5",
    "fraction": b"11750.5",
    "int32_max": b"2147483647",
    "int32_max_plus_one": b"2147483648",
    "int32_min": b"-2147483648",
    "int32_min_minus_one": b"-2147483649",
    "uint32_max_hex": b"0xFFFFFFFF",
    "int64_beyond": b"99999999999999999999999",
    "int64_beyond_negative": b"-0x8000000000000001",
    "embedded_nul": b"12\x0034",
}


def record(frequency, symbol_rate, system, other_flag_bits=0):
    return struct.pack("<III", frequency, symbol_rate, (system << 2) | other_flag_bits)


def report_input(pol, hilow_band, records, capacity=65535, tail=b""):
    return struct.pack("<iiH", pol, hilow_band, capacity) + b"".join(records) + tail


largest = [record(950_000 + 1_000 * i, 27_500, i % 2) for i in range(120)]
reports = {
    "no_records": report_input(0, 0, []),
    "low_horizontal_dvbs": report_input(0, 0, [record(1_000_000, 27_500, 0)]),
    "high_vertical_dvbs2": report_input(1, 1, [record(1_000_000, 30_000, 1)]),
    "negative_selectors": report_input(-1, -1, [record(1_150_000, 2_000, 0)]),
    "flag_bits_outside_field": report_input(0, 1, [record(950_000, 22_000, 0, 0xFFFFFFE3)]),
    "frequency_wraps": report_input(0, 0, [record(0xFFFFFFFF, 1, 0)]),
    "widest_line": report_input(0, 1, [record(0xFFFFFFFF - 10_600_000, 0xFFFFFFFF, 1)]),
    "largest_scan": report_input(1, 0, largest),
    "bad_system_third": report_input(0, 0, [record(1, 2, 0), record(3, 4, 1), record(5, 6, 5)]),
    "bad_system_last": report_input(0, 0, largest[:119] + [record(1, 2, 7)]),
    "partial_record": report_input(0, 0, [record(1, 2, 0), record(3, 4, 1)], tail=b"\x01"),
    "short_buffer": report_input(0, 0, largest[:3], capacity=200),
}

for name, seeds in (("convert_argument", arguments), ("report", reports)):
    folder = corpus / name
    folder.mkdir(parents=True, exist_ok=True)
    for seed, data in seeds.items():
        (folder / seed).write_bytes(data)
