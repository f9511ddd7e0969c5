-- Production database of the ОРДАН-КЛВ programming station: Microsoft SQL Server.
-- The tables and columns the station reads and writes; a factory may add its own.
-- IDENTITY keeps every new operation_id larger than all earlier ones: the station reads the
-- id of a new operation back as the largest of its work place.
-- The station reaches the database through the ODBC data source "Electrometer", which
-- names the server and the database and authenticates (Windows authentication or a stored
-- login): the station supplies no user name or password. E.g. in /etc/odbc.ini (Microsoft
-- ODBC Driver 18 for SQL Server; on Windows the same entries in the ODBC administrator):
--   [Electrometer]
--   Driver=ODBC Driver 18 for SQL Server
--   Server=tcp:db.factory.local,1433
--   Database=electrometer
--   Trusted_Connection=yes
--   Encrypt=yes
-- Run as it is with sqlcmd (-f 65001 reads it as UTF-8):
--   sqlcmd -S db.factory.local -d electrometer -E -f 65001 -b -i mssql.sql
-- sqlcmd opens its session with QUOTED_IDENTIFIER OFF; the filtered index on spoilage needs
-- these options on when it is created (ODBC connections, like the station's, have them on).

SET ANSI_NULLS ON;
SET ANSI_PADDING ON;
SET ANSI_WARNINGS ON;
SET ARITHABORT ON;
SET CONCAT_NULL_YIELDS_NULL ON;
SET QUOTED_IDENTIFIER ON;
SET NUMERIC_ROUNDABORT OFF;

CREATE TABLE electrometer (
    electro_id int IDENTITY(1, 1) NOT NULL PRIMARY KEY,
    number int NOT NULL,
    type_id int NOT NULL,
    CONSTRAINT electrometer_number_unique UNIQUE (type_id, number)
);

CREATE TABLE computer (
    computer_id int IDENTITY(1, 1) NOT NULL PRIMARY KEY,
    name nvarchar(64) NOT NULL
);
CREATE INDEX computer_name ON computer (name);

CREATE TABLE operator (
    person_id int IDENTITY(1, 1) NOT NULL PRIMARY KEY,
    login nvarchar(128) NOT NULL,
    operating int NOT NULL DEFAULT 1
);
CREATE INDEX operator_login ON operator (login);

CREATE TABLE plant (
    plant_id int IDENTITY(1, 1) NOT NULL PRIMARY KEY,
    type_id int NOT NULL,
    computer_id int NULL REFERENCES computer (computer_id)
);
CREATE INDEX plant_computer ON plant (computer_id, type_id);

CREATE TABLE operation (
    operation_id int IDENTITY(1, 1) NOT NULL PRIMARY KEY,
    type_id int NOT NULL,
    electro_id int NOT NULL REFERENCES electrometer (electro_id),
    plant_id int NULL REFERENCES plant (plant_id),
    person_id int NULL REFERENCES operator (person_id),
    success bit NOT NULL,
    date_operation datetime NOT NULL DEFAULT getdate()
);
CREATE INDEX operation_plant ON operation (plant_id, operation_id);
CREATE INDEX operation_meter ON operation (electro_id, type_id);

CREATE TABLE set_ordan_klv (
    operation_id int NOT NULL PRIMARY KEY REFERENCES operation (operation_id),
    version nvarchar(16) NULL,
    turn_on int NULL,
    status int NULL,
    address int NULL,
    reset bit NULL,
    date_time datetime NULL,
    summer bit NULL,
    correct int NULL,
    pass int NULL,
    t_1_c float NULL,
    t_2_c float NULL,
    t_3_c float NULL,
    t_1_1 float NULL,
    t_2_1 float NULL,
    t_3_1 float NULL,
    ddm_a int NULL,
    ddm_b int NULL,
    ddm_c int NULL,
    count_day int NULL,
    count_hour int NULL,
    ncorrect int NULL,
    indicator int NULL,
    secperday float NULL
);

CREATE TABLE set_ordan_tg (
    operation_id int NOT NULL PRIMARY KEY REFERENCES operation (operation_id),
    zone_0 int NULL,
    zone_1 int NULL,
    zone_2 int NULL,
    zone_3 int NULL,
    zone_4 int NULL,
    zone_5 int NULL,
    time_0 datetime NULL,
    time_1 datetime NULL,
    time_2 datetime NULL,
    time_3 datetime NULL,
    time_4 datetime NULL,
    time_5 datetime NULL,
    indicator int NULL,
    pass int NULL
);

CREATE TABLE spoilage (
    spoilage_id int IDENTITY(1, 1) NOT NULL PRIMARY KEY,
    type_id int NOT NULL,
    electro_id int NOT NULL REFERENCES electrometer (electro_id),
    person_id int NULL REFERENCES operator (person_id),
    code nvarchar(64) NOT NULL,
    operation_id int NULL REFERENCES operation (operation_id),
    date_repair datetime NULL
);
CREATE INDEX spoilage_open ON spoilage (electro_id) WHERE date_repair IS NULL;

-- Factory numbers that "+" has proposed, each held for one work place until its programming
-- is recorded, the station proposes another or ends, or the hold outlives the station's
-- bound (taken over then, so a station killed while holding a number does not keep it).
-- reserved_at is the server's time in UTC.
-- An existing database needs only this table added (run this statement on it alone): the
-- station proposes numbers and records programmings through it, and nothing else changes.
CREATE TABLE number_reservation (
    number int NOT NULL PRIMARY KEY,
    plant_id int NOT NULL UNIQUE REFERENCES plant (plant_id),
    reserved_at datetime2(3) NOT NULL
);
