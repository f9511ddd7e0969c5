#!/usr/bin/python3
"""Reads a dBase table with Debian's python3-dbfread and prints it as JSON, so the tests
check the station's files against a reader they do not share code with.

    dbf_read.py [--level7] FILE

dbfread knows only 32-byte field descriptors and reads 'I' and '@' the FoxPro way
(little-endian). With --level7 the 48-byte descriptors of dBase level 7 are read here and
'I' and '@' decoded as level 7 stores them; records and the other types stay dbfread's.
"""
import datetime
import json
import struct
import sys
import types

import dbfread
from dbfread.field_parser import FieldParser


class Level7Parser(FieldParser):
    def parseI(self, field, data):
        if data == b'\0' * 4:
            return None
        return struct.unpack('>i', struct.pack('>I', struct.unpack('>I', data)[0] ^ 0x80000000))[0]

    def parse40(self, field, data):  # '@'
        if data == b'\0' * 8:
            return None
        bits = struct.unpack('>Q', data)[0]
        if bits & (1 << 63):
            bits ^= 1 << 63
        ms = struct.unpack('>d', struct.pack('>Q', bits))[0]
        return datetime.datetime(1, 1, 1) + datetime.timedelta(milliseconds=ms) - datetime.timedelta(days=1)


class Level7(dbfread.DBF):
    def __init__(self, filename, **kwargs):
        super().__init__(filename, parserclass=Level7Parser, **kwargs)

    def _read_field_headers(self, infile):
        infile.seek(68)
        while True:
            first = infile.read(1)
            if first in (b'\r', b''):
                break
            raw = first + infile.read(47)
            name = raw[:32].split(b'\0')[0].decode('ascii').lower()
            field = types.SimpleNamespace(name=name, type=chr(raw[32]), length=raw[33],
                                          decimal_count=raw[34])
            self.field_names.append(name)
            self.fields.append(field)


def plain(value):
    if isinstance(value, datetime.datetime):
        return value.isoformat(timespec='milliseconds')
    if isinstance(value, datetime.date):
        return value.isoformat()
    if isinstance(value, bytes):  # Visual FoxPro's _NullFlags
        return value.hex()
    return value


def main():
    args = sys.argv[1:]
    level7 = args and args[0] == '--level7'
    if level7:
        args = args[1:]
    table = (Level7 if level7 else dbfread.DBF)(args[0], lowernames=True, char_decode_errors='strict',
                                                ignore_missing_memofile=True)
    out = {
        'dbversion': table.header.dbversion,
        'numrecords': table.header.numrecords,
        'headerlen': table.header.headerlen,
        'recordlen': table.header.recordlen,
        'date': plain(table.date),
        'fields': [{'name': f.name, 'type': f.type, 'length': f.length, 'decimals': f.decimal_count}
                   for f in table.fields],
        'records': [{k: plain(v) for k, v in r.items()} for r in table.records],
        'deleted': len(table.deleted),
    }
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == '__main__':
    main()
