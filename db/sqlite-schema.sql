-- Tables that kestalentry reads and writes, for SQLite. The schema name VXSYSTEM is
-- provided by the kestal_vxsystem extension, which attaches the file a second time.
-- Create them with: sqlite3 <file> < db/sqlite-schema.sql
-- The DSN then names the file and loads the extension, for example:
--   [kestal_sqlite]
--   Driver = /usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so
--   Database = /var/lib/kestalentry/kestal.sqlite
--   LoadExt = /usr/local/lib/kestalentry/kestal_vxsystem.so
-- Column types and meanings as in postgresql-schema.sql.
CREATE TABLE IF NOT EXISTS vxs1140trm (
  trmnam varchar(255) PRIMARY KEY,
  trmdtd varchar(14),
  trmdbe varchar(50),
  trmdnm varchar(40),
  trmdtp smallint,
  trmdst smallint,
  trmdpg smallint,
  trmdac integer NOT NULL DEFAULT 0
);

CREATE TABLE IF NOT EXISTS vxs113sto (
  stonum integer NOT NULL,
  stosta smallint,
  stonam varchar(80)
);
