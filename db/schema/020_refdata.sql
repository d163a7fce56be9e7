-- Reference data: places, base price bands, service kinds with their areas and supplier prices, and
-- the suppliers. Codes and names that requests search by are citext (compared without case), as the
-- library's in-memory lookups compare them.
SET client_min_messages = warning;

-- Places: the destination names (Chinese carea, English careae) and codes the place table maps free
-- destination texts to; narea selects the base price band (1..255, 255 also meaning unknown).
CREATE TABLE IF NOT EXISTS dbo.sys_place (
  iid integer PRIMARY KEY
);
ALTER TABLE dbo.sys_place
  ADD COLUMN IF NOT EXISTS ccode citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscan citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS carea citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS careae citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS narea smallint NOT NULL DEFAULT 255,
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS czipcode varchar(11) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cc2 citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cc3 citext NOT NULL DEFAULT '';

-- Base price bands per area and item type (0, 1, 2): weights in grams, prices in cents. ntype is
-- the pricing rule (0 fixed itopprice, 1 per step, 3 itopprice plus per kg, other itopprice plus
-- steps after ibweight).
CREATE TABLE IF NOT EXISTS dbo.sys_price (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.sys_price
  ADD COLUMN IF NOT EXISTS narea smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ieweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iweightper integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS itopprice integer NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS sys_price_area ON dbo.sys_price (narea, nitemtype, ibweight);

-- Service kinds. cemskind is the code, cemskindi the input name clients enter (ninput=1 kinds are
-- offered for input).
CREATE TABLE IF NOT EXISTS dbo.ems_kind (
  cemskind citext PRIMARY KEY
);
ALTER TABLE dbo.ems_kind
  ADD COLUMN IF NOT EXISTS narea smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS idocweighte integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibagweighte integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmemo varchar(120) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fcustoms double precision NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faddons double precision NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS b1price smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nextra smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nclient smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nsp smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nweights smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ckey varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cemskindi citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ninput smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS idiscount integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ncost smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmaskno varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmasknum varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ntrackbit smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nbusitype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fscustoms double precision NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fsaddons double precision NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ncuball smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nnoprice smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cstation citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ndiscountc smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ndiscounts smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nallcustoms smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS npubprice smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS crmtkind citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ipubdis integer,
  ADD COLUMN IF NOT EXISTS cekgroup varchar(15),
  ADD COLUMN IF NOT EXISTS nwtypec smallint,
  ADD COLUMN IF NOT EXISTS nwtypes smallint,
  ADD COLUMN IF NOT EXISTS iidgen integer;
CREATE INDEX IF NOT EXISTS ems_kind_input ON dbo.ems_kind (cemskindi);

-- The destination areas of a kind: carea is the destination name, narea the kind's price area,
-- ntype its customs type, ccode the delivery days as "from,to".
CREATE TABLE IF NOT EXISTS dbo.ems_area (
  cemskind citext NOT NULL,
  carea citext NOT NULL
);
ALTER TABLE dbo.ems_area
  ADD COLUMN IF NOT EXISTS careae citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS narea smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ccode varchar(15) NOT NULL DEFAULT '';
CREATE UNIQUE INDEX IF NOT EXISTS ems_area_kind_area ON dbo.ems_area (cemskind, carea);

-- Suppliers (nstate 0: active).
CREATE TABLE IF NOT EXISTS dbo.sp_arc (
  isid integer PRIMARY KEY
);
ALTER TABLE dbo.sp_arc
  ADD COLUMN IF NOT EXISTS cname varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nbatch integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ntype integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0;

-- A supplier's prices for a kind: discounts in hundredths of a percent (10000: none), the
-- coefficients of standard (fsrate) and special (fprate) prices and a fixed fee (fother, yuan).
-- Rows with nstate 0 are in force.
CREATE TABLE IF NOT EXISTS dbo.ems_sp (
  isid integer NOT NULL,
  cemskind citext NOT NULL
);
ALTER TABLE dbo.ems_sp
  ADD COLUMN IF NOT EXISTS ndocdiscount integer NOT NULL DEFAULT 10000,
  ADD COLUMN IF NOT EXISTS nbagdiscount integer NOT NULL DEFAULT 10000,
  ADD COLUMN IF NOT EXISTS nwbagdiscount integer NOT NULL DEFAULT 10000,
  ADD COLUMN IF NOT EXISTS ipos integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nextra integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS vdiscount integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iaddweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fsrate double precision NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fprate double precision NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fother double precision NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS ems_sp_kind ON dbo.ems_sp (isid, cemskind);
