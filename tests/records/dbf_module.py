#!/usr/bin/python3
"""Settings logs made and read by Debian's python3-dbf, a dBase library the station shares no
code with, in the forms other programs of a service shop leave behind.

    dbf_module.py create FORM PATH   FORM: db3, fp, vfp (no null flags), vfp-null
    dbf_module.py read PATH          prints the records as JSON, nulls as null

The created table holds one row written by "another program" on 2026-12-07 with zones,
start times and display items, so the start-up defaults have something to come from.
"""
import datetime
import json
import sys

import dbf


def fields(form):
    vfp = form.startswith('vfp')
    null = ' null' if form == 'vfp-null' else ''
    whole = (lambda width: 'I' + null) if vfp else (lambda width: 'N(%d,0)' % width)
    columns = [
        ('c_number', ('B' + null) if vfp else 'N(10,0)'),
        ('version', 'C(5)' + null),
        ('address', whole(3)),
        ('turn_on', 'N(10,0)' + null),
        ('status', 'N(10,0)' + null),
        ('c_date', 'D' + null),
        ('c_time', 'C(8)' + null),
        ('summer', 'L' + null),
        ('correct', whole(3)),
        ('pass', 'N(10,0)' + null),
        ('t_1_1', 'N(15,5)' + null),
        ('t_1_c', 'N(15,5)' + null),
        ('t_2_1', 'N(15,5)' + null),
        ('t_2_c', 'N(15,5)' + null),
        ('t_3_1', 'N(15,5)' + null),
        ('t_3_c', 'N(15,5)' + null),
        ('ddm_a', 'N(10,0)' + null),
        ('ddm_b', 'N(10,0)' + null),
        ('ddm_c', 'N(10,0)' + null),
        ('count_day', whole(3)),
        ('count_hour', whole(3)),
        ('reset', 'L' + null),
        ('report', 'L' + null),
        ('date_rec', 'D' + null),
        ('time_rec', 'C(5)' + null),
        ('ncorrect', whole(5)),
        ('indicator', whole(6)),
    ]
    for zone in range(6):
        columns.append(('zone_%d' % zone, whole(11)))
    for zone in range(6):
        columns.append(('time_%d' % zone, ('T' + null) if vfp else 'C(8)'))
    if form == 'fp':
        columns.append(('note', 'M'))  # python3-dbf writes FoxPro tables with a memo only
    return '; '.join('%s %s' % f for f in columns)


def create(form, path):
    kind = {'db3': 'db3', 'fp': 'fp', 'vfp': 'vfp', 'vfp-null': 'vfp'}[form]
    table = dbf.Table(path, fields(form), dbf_type=kind, codepage='cp1251')
    table.open(dbf.READ_WRITE)
    vfp = form.startswith('vfp')
    row = {'c_number': 500, 'version': '4.1', 'date_rec': datetime.date(2026, 12, 7), 'time_rec': '09:00',
           'summer': False, 'reset': False, 'report': False, 'indicator': 10}
    for zone, tariff in enumerate([2, 1, 3, 1, 2, 3]):
        row['zone_%d' % zone] = tariff
        start = datetime.time(6 + zone, 10 * zone)
        row['time_%d' % zone] = (datetime.datetime.combine(datetime.date(1899, 12, 30), start) if vfp
                                 else start.strftime('%H:%M'))
    table.append(row)
    table.close()


def plain(value):
    if value is None or isinstance(value, type(dbf.Null)) or value is dbf.Null:
        return None
    if isinstance(value, (datetime.datetime, dbf.DateTime)):
        return value.isoformat()
    if isinstance(value, (datetime.date, dbf.Date)):
        return value.isoformat() if value else None
    if isinstance(value, (dbf.Logical,)):
        return None if value is dbf.Unknown else bool(value)
    if isinstance(value, str):
        return value.rstrip()
    if isinstance(value, bool):
        return value
    if isinstance(value, (int, float)):
        return value
    return str(value)


def read(path):
    table = dbf.Table(path)
    table.open(dbf.READ_ONLY)
    records = []
    for record in table:
        records.append({name: plain(record[name]) for name in table.field_names})
    table.close()
    json.dump({'records': records}, sys.stdout, ensure_ascii=False)


def main():
    if sys.argv[1] == 'create':
        create(sys.argv[2], sys.argv[3])
    else:
        read(sys.argv[2])


if __name__ == '__main__':
    main()
