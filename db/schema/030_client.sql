-- Client road: the client's account (the columns beside the signature key), member logins, pre-input
-- shipments with their goods lines, shipment records with their tracking events, and the fee
-- account. Money is kept in cents where a column's name begins with "i" (iprice, idvalue, iivalue);
-- the "f" columns the requests exchange as decimals are numeric with the places they are written
-- with. Text columns hold at most the characters their requests allow. Codes, numbers and accounts
-- that requests search by are citext (compared without case).
SET client_min_messages = warning;

-- ---- client accounts ----------------------------------------------------------------------------
-- cwebac is the web account (the member login of quillon.member_main), cwechat the chat id;
-- fcredit is the credit line, fdeposit the balance, fpay0/ipay0 and fpay1/ipay1 the amounts and
-- counts not yet audited.
ALTER TABLE dbo.client_arc
  ADD COLUMN IF NOT EXISTS cunitname varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cunitnamee varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddr varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddre varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccity varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccitye varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cprovince varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cprovincee varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccountry varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccountrye varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csender varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csendere varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cfax varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cemail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmname varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caccount varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csmnumber varchar(22) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cwebac citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cstation varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cqq varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmsn varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cskype varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cwang varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby2 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby3 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby4 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby5 varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fcredit numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fdeposit numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ndeposit smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpay0 numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ipay0 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fpay1 numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ipay1 integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cwechat citext NOT NULL DEFAULT '';
CREATE INDEX IF NOT EXISTS client_arc_cwebac ON dbo.client_arc (cwebac) WHERE cwebac <> '';
CREATE INDEX IF NOT EXISTS client_arc_cwechat ON dbo.client_arc (cwechat) WHERE cwechat <> '';

-- ---- member logins ------------------------------------------------------------------------------
-- mcpassword is kept in the scrambled form the client requests compare.
CREATE TABLE IF NOT EXISTS quillon.member_main (
  mcaccount citext PRIMARY KEY
);
ALTER TABLE quillon.member_main
  ADD COLUMN IF NOT EXISTS mcpassword varchar(31) NOT NULL DEFAULT '';

-- ---- pre-input shipments ------------------------------------------------------------------------
-- A shipment the client announced before its parcels reach the depot. irid is 0 until the shipment
-- record (client_rec) exists. The receiver's columns are cunitname ... cphone, creceiver, cremail,
-- crsms; the sender's csunitname ... csmsnumber. clwh holds the sides as "length*width*height".
-- cp_rec_pre_input_set stores it; its arguments 17, 20, 21, 36, 37, 38, 47 and 59 fill nstate,
-- crefer, caddrfrom, nsource, vaddress (the caller's IPv4 address), voption, corigin and cunit.
CREATE TABLE IF NOT EXISTS dbo.rec_pre_input (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.rec_pre_input
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS irid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS nlanguage smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cemskind citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdes citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cunitname varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddr varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccity varchar(126) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cprovince varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccountry varchar(126) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS creceiver varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crefer varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddrfrom varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS npayway smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS csender varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS clwh varchar(40) NOT NULL DEFAULT '0*0*0',
  ADD COLUMN IF NOT EXISTS iitem integer NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS fgoods numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoodsc numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoods varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpacking varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctransnote varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS idvalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iivalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nsource smallint NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS vaddress bytea NOT NULL DEFAULT '\x00000000'::bytea,
  ADD COLUMN IF NOT EXISTS voption bytea NOT NULL DEFAULT '\x000000000000000000000000'::bytea,
  ADD COLUMN IF NOT EXISTS csunitname varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csaddr varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cspostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscountry varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csprovince varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscity varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpaydir varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS corigin varchar(3) NOT NULL DEFAULT 'CN',
  ADD COLUMN IF NOT EXISTS csmsnumber varchar(22) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csemail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cremail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crsms varchar(22) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdepart varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cno citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS creserve citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ireserve integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cunit varchar(15) NOT NULL DEFAULT '',
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
  ADD COLUMN IF NOT EXISTS cemskindc citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cemskindw citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS faget numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fasafe numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fapack numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faother numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS facheck numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faremote numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faby numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ddate timestamp(3) NOT NULL DEFAULT LOCALTIMESTAMP;
CREATE INDEX IF NOT EXISTS rec_pre_input_client ON dbo.rec_pre_input (icid, iid);
CREATE INDEX IF NOT EXISTS rec_pre_input_cnum ON dbo.rec_pre_input (icid, cnum);
CREATE INDEX IF NOT EXISTS rec_pre_input_date ON dbo.rec_pre_input (icid, ddate);

-- The goods lines of a pre-input shipment in the order wpos (0, 1, ...); fprice is the unit price.
CREATE TABLE IF NOT EXISTS dbo.rec_pre_input_goods (
  iid integer NOT NULL,
  wpos smallint NOT NULL,
  PRIMARY KEY (iid, wpos)
);
ALTER TABLE dbo.rec_pre_input_goods
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

-- ---- shipment records ---------------------------------------------------------------------------
-- A shipment as the depot recorded it. ifid is the fee document that audited it (0: not audited),
-- cserviceno the transfer (waybill) number, nstate its state 0..10, ddate the shipment day and
-- dsysdate when the row was written.
CREATE TABLE IF NOT EXISTS dbo.client_rec (
  irid serial PRIMARY KEY
);
ALTER TABLE dbo.client_rec
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nitemtype smallint NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS cdes citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ddate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS ifid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iitem integer NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS cmark citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS npayway smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS crno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS creceiver varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cserviceno citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fsprice numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cemskind citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cemskindc citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS clwh varchar(40) NOT NULL DEFAULT '0*0*0',
  ADD COLUMN IF NOT EXISTS icubic integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ireserve integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS creserve citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgoods varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 1,
  ADD COLUMN IF NOT EXISTS fgoods numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgoodsc numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fabase numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faaddon numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS facustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faother numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faaddrate numeric(10,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faget numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS facarry numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fasafe numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fapack numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS facheck numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faremote numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS faby numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fdiscount numeric(10,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS client_rec_client ON dbo.client_rec (icid, ddate, irid);
CREATE INDEX IF NOT EXISTS client_rec_cnum ON dbo.client_rec (icid, cnum);

-- The tracking events of a shipment record, numbered by npos (one row per number); cdate is the
-- event's time as the carrier wrote it.
CREATE TABLE IF NOT EXISTS dbo.check_detail (
  irid integer NOT NULL,
  npos smallint NOT NULL,
  PRIMARY KEY (irid, npos)
);
ALTER TABLE dbo.check_detail
  ADD COLUMN IF NOT EXISTS cdate varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cplace varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinfo varchar(254) NOT NULL DEFAULT '';

-- ---- fee account --------------------------------------------------------------------------------
-- Charges (ntype 0) and payments (ntype 1) of a client: ffee the amount, ffeer and fchg its other
-- amounts, npayway the way it was paid (0..4), dpdate the day it counts for.
CREATE TABLE IF NOT EXISTS dbo.client_fee (
  ifid serial PRIMARY KEY
);
ALTER TABLE dbo.client_fee
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ffee numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cinvoice citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dpdate date NOT NULL DEFAULT CURRENT_DATE,
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ffeer numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney citext NOT NULL DEFAULT 'CNY',
  ADD COLUMN IF NOT EXISTS fchg numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cdocno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS npayway smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS crefno citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS client_fee_client ON dbo.client_fee (icid, dpdate, ifid);
