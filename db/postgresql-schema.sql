-- Tables that kestalentry reads and writes, for PostgreSQL.
-- The tool only updates VXS1140TRM rows that exist, and only reads VXS113STO.
-- Create them with: psql -d <database> -f db/postgresql-schema.sql
-- A database in encoding SQL_ASCII or WIN1252 keeps names with bytes above 127 as the
-- tool sends them (Windows-1252); set the DSN's client encoding to WIN1252 as well.
CREATE SCHEMA IF NOT EXISTS vxsystem;

-- One row per terminal: the course of its latest registry transfer.
CREATE TABLE IF NOT EXISTS vxsystem.vxs1140trm (
  trmnam varchar(255) PRIMARY KEY,  -- terminal name as given on the command line
  trmdtd varchar(14),               -- time of the latest update, yyyymmddhhminss
  trmdbe varchar(50),               -- user who started the transfer
  trmdnm varchar(40),               -- transfer name ("Registry")
  trmdtp smallint,                  -- transfer type (40)
  trmdst smallint,                  -- NULL, or the code of an unexpected reply / failed connection
  trmdpg smallint,                  -- progress figure
  trmdac integer NOT NULL DEFAULT 0 -- 1 while a transfer runs, 0 after it
);

-- Sites: each qualifying site number becomes one *STO entry. StoNum is a number, so
-- the sites come in numeric order (7 before 12345) and the entry names follow it; the
-- tool reads it as text of at most 8 characters, so numbers above 99999999 are cut.
CREATE TABLE IF NOT EXISTS vxsystem.vxs113sto (
  stonum integer NOT NULL,          -- site number
  stosta smallint,                  -- status; 4 and 8 exclude the site, NULL does not
  stonam varchar(80)                -- site name (not used by the tool)
);
