-- Production database of the ОРДАН-КЛВ programming station: SQLite, for a small shop that
-- keeps the database in one file (reached through sqliteodbc).
-- The tables and columns the station reads and writes; a factory may add its own.
-- AUTOINCREMENT keeps every new operation_id larger than all earlier ones, also after
-- deletions: the station reads the id of a new operation back as the largest.
-- Date-times are local times, stored as 'YYYY-MM-DD HH:MM:SS' text.
-- SQLite checks the references only when asked to: set FKSupport=1 in the data source.
-- The station reaches the database through the ODBC data source "Electrometer", e.g. in
-- /etc/odbc.ini (sqliteodbc):
--   [Electrometer]
--   Driver=SQLite3
--   Database=/srv/ordan/electrometer.db
--   Timeout=5000
--   FKSupport=1

CREATE TABLE electrometer (
    electro_id INTEGER PRIMARY KEY AUTOINCREMENT,
    number INTEGER NOT NULL,
    type_id INTEGER NOT NULL,
    UNIQUE (type_id, number)
);

CREATE TABLE computer (
    computer_id INTEGER PRIMARY KEY AUTOINCREMENT,
    name VARCHAR(64) NOT NULL
);
CREATE INDEX computer_name ON computer (name);

CREATE TABLE operator (
    person_id INTEGER PRIMARY KEY AUTOINCREMENT,
    login VARCHAR(128) NOT NULL,
    operating INTEGER NOT NULL DEFAULT 1
);
CREATE INDEX operator_login ON operator (login);

CREATE TABLE plant (
    plant_id INTEGER PRIMARY KEY AUTOINCREMENT,
    type_id INTEGER NOT NULL,
    computer_id INTEGER REFERENCES computer (computer_id)
);
CREATE INDEX plant_computer ON plant (computer_id, type_id);

CREATE TABLE operation (
    operation_id INTEGER PRIMARY KEY AUTOINCREMENT,
    type_id INTEGER NOT NULL,
    electro_id INTEGER NOT NULL REFERENCES electrometer (electro_id),
    plant_id INTEGER REFERENCES plant (plant_id),
    person_id INTEGER REFERENCES operator (person_id),
    success INTEGER NOT NULL CHECK (success IN (0, 1)),
    date_operation TIMESTAMP NOT NULL DEFAULT (datetime('now', 'localtime'))
);
CREATE INDEX operation_plant ON operation (plant_id, operation_id);
CREATE INDEX operation_meter ON operation (electro_id, type_id);

CREATE TABLE set_ordan_klv (
    operation_id INTEGER PRIMARY KEY REFERENCES operation (operation_id),
    version VARCHAR(16),
    turn_on INTEGER,
    status INTEGER,
    address INTEGER,
    reset INTEGER CHECK (reset IN (0, 1)),
    date_time TIMESTAMP,
    summer INTEGER CHECK (summer IN (0, 1)),
    correct INTEGER,
    pass INTEGER,
    t_1_c DOUBLE,
    t_2_c DOUBLE,
    t_3_c DOUBLE,
    t_1_1 DOUBLE,
    t_2_1 DOUBLE,
    t_3_1 DOUBLE,
    ddm_a INTEGER,
    ddm_b INTEGER,
    ddm_c INTEGER,
    count_day INTEGER,
    count_hour INTEGER,
    ncorrect INTEGER,
    indicator INTEGER,
    secperday DOUBLE
);

CREATE TABLE set_ordan_tg (
    operation_id INTEGER PRIMARY KEY REFERENCES operation (operation_id),
    zone_0 INTEGER,
    zone_1 INTEGER,
    zone_2 INTEGER,
    zone_3 INTEGER,
    zone_4 INTEGER,
    zone_5 INTEGER,
    time_0 TIMESTAMP,
    time_1 TIMESTAMP,
    time_2 TIMESTAMP,
    time_3 TIMESTAMP,
    time_4 TIMESTAMP,
    time_5 TIMESTAMP,
    indicator INTEGER,
    pass INTEGER
);

CREATE TABLE spoilage (
    spoilage_id INTEGER PRIMARY KEY AUTOINCREMENT,
    type_id INTEGER NOT NULL,
    electro_id INTEGER NOT NULL REFERENCES electrometer (electro_id),
    person_id INTEGER REFERENCES operator (person_id),
    code VARCHAR(64) NOT NULL,
    operation_id INTEGER REFERENCES operation (operation_id),
    date_repair TIMESTAMP
);
CREATE INDEX spoilage_open ON spoilage (electro_id) WHERE date_repair IS NULL;

-- Factory numbers that "+" has proposed, each held for one work place until its programming
-- is recorded, the station proposes another or ends, or the hold outlives the station's
-- bound (taken over then, so a station killed while holding a number does not keep it).
-- reserved_at is the server's time in UTC.
-- An existing database needs only this table added (run this statement on it alone): the
-- station proposes numbers and records programmings through it, and nothing else changes.
CREATE TABLE number_reservation (
    number INTEGER PRIMARY KEY,
    plant_id INTEGER NOT NULL UNIQUE REFERENCES plant (plant_id),
    reserved_at TIMESTAMP NOT NULL
);
