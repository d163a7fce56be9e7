-- Transfer records and transfer bags: parcels a client announces for forwarding (rec_trans, with
-- their goods lines in rec_trans_goods) and the outgoing shipments they are packed into
-- (rec_trans_bag). A transfer record is received at the depot (crname, drdate), shelved (cshelf),
-- packed into a bag (biid > 0) and at last turned into a shipment record (irid > 0). Money kept in
-- cents where a column's name begins with "i" (iprice, idvalue, iivalue). Numbers and codes that
-- requests search by are citext. Other subjects add their own columns with ADD COLUMN IF NOT EXISTS.
SET client_min_messages = warning;

-- ---- transfer records ---------------------------------------------------------------------------
CREATE TABLE IF NOT EXISTS dbo.rec_trans (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.rec_trans
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS irid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS biid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iitem integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoods numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoodsc numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoods varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cpacking varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctransnote varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS idvalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iivalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpaydir varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cf_emskind citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cf_num citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nopen smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cstationc varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cstationr varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nex1 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nex2 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nex3 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cex1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cex2 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cex3 varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS isplite integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iidori integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(10,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cshelf varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crname varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS drdate timestamp(0),
  ADD COLUMN IF NOT EXISTS ddate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS vipaddr bytea NOT NULL DEFAULT '\x00000000'::bytea;
-- A client announces each parcel number once.
CREATE UNIQUE INDEX IF NOT EXISTS rec_trans_client_num ON dbo.rec_trans (icid, cf_num);
CREATE INDEX IF NOT EXISTS rec_trans_client ON dbo.rec_trans (icid, iid);
CREATE INDEX IF NOT EXISTS rec_trans_bagged ON dbo.rec_trans (biid) WHERE biid > 0;

-- The goods lines of a transfer record in the order wpos (0, 1, ...); fprice is the unit price.
CREATE TABLE IF NOT EXISTS dbo.rec_trans_goods (
  iid integer NOT NULL,
  wpos smallint NOT NULL,
  PRIMARY KEY (iid, wpos)
);
ALTER TABLE dbo.rec_trans_goods
  ADD COLUMN IF NOT EXISTS cgoods varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cunit varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fprice numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(10,4) NOT NULL DEFAULT 0;

-- ---- transfer bags ------------------------------------------------------------------------------
-- One outgoing shipment packed from a client's transfer records, with its receiver (cunitname ...
-- cphone, creceiver, cremail, crsms) and sender (csunitname ... csmsnumber, csemail). A new bag
-- waits for receipt (bget) and audit (caud, nbstate) before it becomes a shipment record (irid).
-- clwh holds the sides as "length*width*height"; cstationr the receiving station.
CREATE TABLE IF NOT EXISTS dbo.rec_trans_bag (
  biid serial PRIMARY KEY
);
ALTER TABLE dbo.rec_trans_bag
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS irid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS bget smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nbstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS caud varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cstationr varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nlanguage smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cemskind citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdes citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cunitname varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddr varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccity varchar(126) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cprovince varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccountry varchar(126) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS creceiver varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddrfrom varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS npayway smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS csender varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS clwh varchar(40) NOT NULL DEFAULT '0*0*0',
  ADD COLUMN IF NOT EXISTS iitem integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoods numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoodsc numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoods varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpacking varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctransnote varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS idvalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iivalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS vipaddr bytea NOT NULL DEFAULT '\x00000000'::bytea,
  ADD COLUMN IF NOT EXISTS csunitname varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csaddr varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cspostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscountry varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csprovince varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscity varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpaydir varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csmsnumber varchar(22) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csemail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cremail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crsms varchar(22) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby2 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby3 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby4 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby5 varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(10,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faget numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fasafe numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fapack numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faother numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS facheck numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faremote numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faby numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iidrs integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS crefer varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS corigin varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS rec_trans_bag_client ON dbo.rec_trans_bag (icid, biid);
CREATE INDEX IF NOT EXISTS rec_trans_bag_cnum ON dbo.rec_trans_bag (cnum);
