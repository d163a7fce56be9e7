-- The goods clients define for warehousing, as the client goods list reads them. Rows are written by
-- the client's own goods maintenance; bactive 1 marks the goods in use. iweight is in grams; iin and
-- iout count the pieces stored and gone out, ibag the bags. The scan code, which the list searches
-- by, is citext (compared without case).
SET client_min_messages = warning;

CREATE TABLE IF NOT EXISTS dbo.vst_goods_define (
  giid serial PRIMARY KEY,
  icid integer NOT NULL DEFAULT 0
);
ALTER TABLE dbo.vst_goods_define
  ADD COLUMN IF NOT EXISTS bactive smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cname varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnamee varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmodel varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscan citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cunit varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS imin integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS imax integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iin integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iout integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibag integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS clwh varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccolor varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csize varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cbrand varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcode varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cstore varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cshelf varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(255) NOT NULL DEFAULT '';
-- The list's pages: a client's goods by name.
CREATE INDEX IF NOT EXISTS vst_goods_define_list ON dbo.vst_goods_define (icid, cname, giid);
CREATE INDEX IF NOT EXISTS vst_goods_define_scan ON dbo.vst_goods_define (icid, cscan);

-- The partner's goods-in lists read a client's records of a depot.
CREATE INDEX IF NOT EXISTS w_g_in_client ON dbo.w_g_in (cdepot, icid);
