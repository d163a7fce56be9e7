-- Goods placed in depots, the pieces lying on shelves and the serial-numbered pieces.
SET client_min_messages = warning;

-- ---- placements ---------------------------------------------------------------------------------
-- One row per goods item and depot: default shelf and story/column ranges, stock bounds and
-- counters (iin pieces stored, iout pieces gone out), handling fees and prices. nstate 0: active.
CREATE TABLE IF NOT EXISTS dbo.w_goods_depot (
  iid serial PRIMARY KEY,
  giid integer NOT NULL,
  cdepot varchar(3) NOT NULL
);
ALTER TABLE dbo.w_goods_depot
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cshelfb varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cshelfe varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nstoryb integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstorye integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS wcolumnb integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS wcolumne integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nshare smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nqc smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fwpu numeric(12,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS wfreedays integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fprice numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fprices numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpriceb numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpricev numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fdvalue numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fivalue numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fevalue numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fvaday numeric(12,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cunit varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS imin integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS imax integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iedays integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iin integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iout integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fqcin numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS flabel numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS farrange numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpackm numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpackl numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fqcout numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ipoint integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fvmoney numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE UNIQUE INDEX IF NOT EXISTS w_goods_depot_giid_cdepot ON dbo.w_goods_depot (giid, cdepot);
CREATE INDEX IF NOT EXISTS w_goods_depot_cdepot ON dbo.w_goods_depot (cdepot);

-- ---- serial-numbered pieces ---------------------------------------------------------------------
-- One row per piece of serial goods in a depot: its code, the goods-in record it came with (iidin)
-- and the goods-out row it left with (iidout, 0 while in stock).
CREATE TABLE IF NOT EXISTS dbo.w_g_serial (
  serid serial PRIMARY KEY,
  giid integer NOT NULL,
  cdepot varchar(3) NOT NULL,
  ccode varchar(63) NOT NULL
);
ALTER TABLE dbo.w_g_serial
  ADD COLUMN IF NOT EXISTS iidout integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iidin integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nsound smallint NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '';
CREATE UNIQUE INDEX IF NOT EXISTS w_g_serial_piece ON dbo.w_g_serial (giid, cdepot, ccode);

-- ---- shelves ------------------------------------------------------------------------------------
-- The pieces lying on shelves now: a put adds one row, a take removes one. What was put and taken
-- is kept in w_shelf_io_log.
CREATE TABLE IF NOT EXISTS dbo.w_shelf_io (
  iwsioid bigserial PRIMARY KEY,
  cdepot varchar(3) NOT NULL,
  cshelf varchar(15) NOT NULL,
  giid integer NOT NULL
);
ALTER TABLE dbo.w_shelf_io
  ADD COLUMN IF NOT EXISTS cscode varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS w_shelf_io_shelf ON dbo.w_shelf_io (cdepot, cshelf, giid);
CREATE INDEX IF NOT EXISTS w_shelf_io_giid ON dbo.w_shelf_io (giid, cdepot);
-- A serial-numbered piece lies on one shelf at most.
CREATE UNIQUE INDEX IF NOT EXISTS w_shelf_io_piece ON dbo.w_shelf_io (giid, cdepot, cscode) WHERE cscode <> '';

-- Every put (ntype 1) and take (ntype 2) with the id of the shelf row it made or removed.
CREATE TABLE IF NOT EXISTS dbo.w_shelf_io_log (
  ilogid bigserial PRIMARY KEY,
  iwsioid bigint NOT NULL,
  ntype smallint NOT NULL
);
ALTER TABLE dbo.w_shelf_io_log
  ADD COLUMN IF NOT EXISTS cdepot varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cshelf varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS giid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cscode varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0);
