-- Prices and quotes: the client price tables of the service kinds, the clients' discounts and
-- special prices, the suppliers' special prices and segment discounts, the quote columns of kinds
-- and areas, and the stored files that hold the postcode zone definitions. Weights are grams and
-- money is cents, always integers. Codes and names that requests search by are citext.
SET client_min_messages = warning;

-- ---- client price tables -------------------------------------------------------------------------
-- Bands (ibweight, ieweight] in grams of a kind's price area narea (ems_area.narea) and item type:
-- ems_price is the kind's list price (class 0), ems_price1 its peer price (class 1, used for kinds
-- whose b1price is 0), ems_price2 a third list (class 2). ntype is the pricing rule: 0 itopprice;
-- 1 ceil(w / iweightper) x iprice; 3 w kg x iprice (cents per kg, rounded to cents) plus itopprice;
-- any other itopprice plus ceil((w - ibweight) / iweightper) x iprice.
DO $$
DECLARE
  t text;
BEGIN
  FOREACH t IN ARRAY ARRAY['ems_price', 'ems_price1', 'ems_price2'] LOOP
    EXECUTE format('CREATE TABLE IF NOT EXISTS dbo.%I (iid serial PRIMARY KEY)', t);
    EXECUTE format('ALTER TABLE dbo.%I
      ADD COLUMN IF NOT EXISTS cemskind citext NOT NULL DEFAULT '''',
      ADD COLUMN IF NOT EXISTS narea smallint NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ibweight integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ieweight integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS iweightper integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS itopprice integer NOT NULL DEFAULT 0', t);
    EXECUTE format('CREATE INDEX IF NOT EXISTS %I ON dbo.%I (cemskind, narea, nitemtype, ibweight)',
                   t || '_band', t);
  END LOOP;
END $$;

-- A client's discounts for a kind, or for the undifferentiated base price under the kind name
-- '无差别价格': vdiscount bytes 0..3 the whole percent charged for item types 0..3, bytes 4..7 the
-- hundredths (100 and 0: no discount; 95 and 50: 95.50 %); baddons 1 charges the fuel surcharge;
-- iother an other fee in cents.
CREATE TABLE IF NOT EXISTS dbo.client_discount (
  icid integer NOT NULL,
  cemskind citext NOT NULL
);
ALTER TABLE dbo.client_discount
  ADD COLUMN IF NOT EXISTS baddons smallint NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS vdiscount bytea NOT NULL DEFAULT '\x6464646400000000'::bytea,
  ADD COLUMN IF NOT EXISTS iother integer NOT NULL DEFAULT 0;
CREATE UNIQUE INDEX IF NOT EXISTS client_discount_kind ON dbo.client_discount (icid, cemskind);

-- Special prices and segment discounts, of clients (icid) and of suppliers (isid):
-- client_special_price and sp_special_price hold bands as in ems_price for one destination (carea,
-- with narea 0) or for one price area of the kind (narea, with carea ''); baddons 1 charges the fuel
-- surcharge on them. The kind '无差别价格' holds a client's special prices of the undifferentiated
-- base price. client_discount_seg and sp_discount_seg hold discount codes by weight segment
-- (ibweight, ieweight] of a kind and item type, in hundredths of a percent (9500 takes 5 % off,
-- 10500 adds 5 %).
DO $$
DECLARE
  t record;
BEGIN
  FOR t IN SELECT * FROM (VALUES ('client', 'icid'), ('sp', 'isid')) AS v(owner, id) LOOP
    EXECUTE format('CREATE TABLE IF NOT EXISTS dbo.%I (iid serial PRIMARY KEY)', t.owner || '_special_price');
    EXECUTE format('ALTER TABLE dbo.%I
      ADD COLUMN IF NOT EXISTS %I integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS cemskind citext NOT NULL DEFAULT '''',
      ADD COLUMN IF NOT EXISTS carea citext NOT NULL DEFAULT '''',
      ADD COLUMN IF NOT EXISTS narea smallint NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ibweight integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ieweight integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS iweightper integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS itopprice integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS baddons smallint NOT NULL DEFAULT 1', t.owner || '_special_price', t.id);
    EXECUTE format('CREATE INDEX IF NOT EXISTS %I ON dbo.%I (%I, cemskind)', t.owner || '_special_price_kind',
                   t.owner || '_special_price', t.id);
    EXECUTE format('CREATE TABLE IF NOT EXISTS dbo.%I (iid serial PRIMARY KEY)', t.owner || '_discount_seg');
    EXECUTE format('ALTER TABLE dbo.%I
      ADD COLUMN IF NOT EXISTS %I integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS cemskind citext NOT NULL DEFAULT '''',
      ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ibweight integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS ieweight integer NOT NULL DEFAULT 0,
      ADD COLUMN IF NOT EXISTS idiscount integer NOT NULL DEFAULT 10000', t.owner || '_discount_seg', t.id);
    EXECUTE format('CREATE INDEX IF NOT EXISTS %I ON dbo.%I (%I, cemskind)', t.owner || '_discount_seg_kind',
                   t.owner || '_discount_seg', t.id);
  END LOOP;
END $$;

-- ---- quote columns -------------------------------------------------------------------------------
-- A kind's name in quotes (cemskindd) and its quote memo (cpmemo); an area's memo and the limits it
-- states: the longest side (ilong, mm), the weight (iweight, grams) and the volume (icubic, cm3).
ALTER TABLE dbo.ems_kind
  ADD COLUMN IF NOT EXISTS cemskindd varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpmemo varchar(254);
ALTER TABLE dbo.ems_area
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ilong integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icubic integer NOT NULL DEFAULT 0;

-- ---- stored files --------------------------------------------------------------------------------
-- Files kept in the database: ngrade 188 holds the postcode zone definitions ("Zip_Choice_Zone_0",
-- "Zip_Choice_Price_0" ... in ctitle, the GBK text in vdata, its length in ilen); ngrade 119 the
-- carriers' label store.
CREATE TABLE IF NOT EXISTS dbo.file_share (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.file_share
  ADD COLUMN IF NOT EXISTS ngrade integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ckind citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctitle citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ckey citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ilen integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cfilename varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS vdata bytea,
  ADD COLUMN IF NOT EXISTS ddate timestamp NOT NULL DEFAULT LOCALTIMESTAMP;
CREATE INDEX IF NOT EXISTS file_share_title ON dbo.file_share (ngrade, ctitle);
