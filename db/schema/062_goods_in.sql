-- Goods coming into depots: the goods-in notices with their pick, check and confirm steps, the
-- pictures of deliveries, and the fee items the warehouse steps record.
SET client_min_messages = warning;

-- One announced delivery of one goods item into one depot. nstate: 10 announced, 20 picked, 30
-- checked, 40 stored (din the time it was stored). crno is the goods-in number, unique in its depot.
CREATE TABLE IF NOT EXISTS dbo.w_g_in (
  iid serial PRIMARY KEY,
  crno varchar(30) NOT NULL DEFAULT '',
  cdepot varchar(3) NOT NULL DEFAULT ''
);
ALTER TABLE dbo.w_g_in
  ADD COLUMN IF NOT EXISTS giid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cbatch varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS npick smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpick numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fqcin numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS flabel numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS farrange numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 10,
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS inormal integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS idefective integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS deta timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS din timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS wpic integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cshelf varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nstory integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS wcolumn integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmname varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddr varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinput varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dprod timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS dexpire timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cshelftext varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dinput timestamp NOT NULL DEFAULT '1900-01-01',
  ADD COLUMN IF NOT EXISTS cpick varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccheck varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cconfirm varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS wfreedays integer NOT NULL DEFAULT 0;
CREATE UNIQUE INDEX IF NOT EXISTS w_g_in_depot_crno ON dbo.w_g_in (cdepot, crno) WHERE crno <> '';
CREATE INDEX IF NOT EXISTS w_g_in_crno ON dbo.w_g_in (crno);
CREATE INDEX IF NOT EXISTS w_g_in_giid ON dbo.w_g_in (giid, nstate);

-- Pictures of a delivery: the bytes as they were sent.
CREATE TABLE IF NOT EXISTS dbo.w_g_in_pic (
  iipid serial PRIMARY KEY,
  iid integer NOT NULL
);
ALTER TABLE dbo.w_g_in_pic
  ADD COLUMN IF NOT EXISTS cext varchar(7) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ilen integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS vdata bytea,
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS w_g_in_pic_iid ON dbo.w_g_in_pic (iid);

-- The fee items of the warehouse steps: what each operation took (standard seconds) and earned
-- (wage), by the record it was done on. ckind: 'in' goods-in confirm, 'out' order out, 'serial_in',
-- 'serial_out'.
CREATE TABLE IF NOT EXISTS dbo.w_operate_log (
  ilogid bigserial PRIMARY KEY,
  ckind varchar(15) NOT NULL,
  irefid integer NOT NULL
);
ALTER TABLE dbo.w_operate_log
  ADD COLUMN IF NOT EXISTS cname varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iseconds integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fwage numeric(12,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS coper varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS w_operate_log_ref ON dbo.w_operate_log (ckind, irefid);
