-- PDA road: what the courier and hub PDAs read and write besides shipment entry: the supplier batch of
-- a shipment record, its edits and return, prompts, control codes, pickups, tracking events, export
-- bags with their packs, transfer records and the operators' right bits. Flags compared with "=1" are
-- smallint; codes and numbers searched by text are citext; batch numbers (YYMMDD + supplier + digit)
-- are bigint. Dates that mean "not yet" are NULL.
SET client_min_messages = warning;

-- ---- shipment records: the columns the PDA requests read and write ---------------------------------
ALTER TABLE dbo.client_rec
  ADD COLUMN IF NOT EXISTS isid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibatch bigint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nfrom smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS piid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweights numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fcost numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cawb citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby2 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby3 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby4 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby5 varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csender varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csunitname varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csaddr varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cspostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscountry varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csprovince varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cscity varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csmsnumber varchar(22) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS csemail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdepart varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS creturn varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dreturn timestamp(0),
  ADD COLUMN IF NOT EXISTS cctrlcode varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS clastmod varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dlastmod timestamp(0),
  ADD COLUMN IF NOT EXISTS isidc integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS isids integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dsend timestamp(0);
CREATE INDEX IF NOT EXISTS client_rec_num ON dbo.client_rec (cnum);
CREATE INDEX IF NOT EXISTS client_rec_serviceno ON dbo.client_rec (cserviceno) WHERE cserviceno <> '';
CREATE INDEX IF NOT EXISTS client_rec_batch ON dbo.client_rec (isid, ibatch) WHERE ibatch <> 0;

-- ---- operators' rights: two 16-byte bit fields (and one unused), the transfer station ----------------
ALTER TABLE dbo.man_main
  ADD COLUMN IF NOT EXISTS mvright bytea,
  ADD COLUMN IF NOT EXISTS mvrighte bytea,
  ADD COLUMN IF NOT EXISTS mvrighti bytea,
  ADD COLUMN IF NOT EXISTS cstationt varchar(15) NOT NULL DEFAULT '';
ALTER TABLE dbo.w_depot_role
  ADD COLUMN IF NOT EXISTS vright bytea;

-- ---- prompts a PDA shows at one step of handling: staff prompts and client prompts ------------------
CREATE TABLE IF NOT EXISTS dbo.client_rec_prompt (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.client_rec_prompt
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinput varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp(0) DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS bweight smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS binput smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS bsend smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS bquery smallint NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS client_rec_prompt_num ON dbo.client_rec_prompt (cnum);

CREATE TABLE IF NOT EXISTS dbo.client_rec_promptc (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.client_rec_promptc
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp(0) DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS bweight smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS binput smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS bsend smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS bquery smallint NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS client_rec_promptc_num ON dbo.client_rec_promptc (cnum);

-- ---- control codes: one three-character code per number and kind of number ---------------------------
-- ikind: 0 internal number, 1 service number, 2 receiver's reference, 3 customer's number.
CREATE TABLE IF NOT EXISTS dbo.client_rec_ctrl (
  ikind smallint NOT NULL,
  cno citext NOT NULL,
  PRIMARY KEY (ikind, cno)
);
ALTER TABLE dbo.client_rec_ctrl
  ADD COLUMN IF NOT EXISTS cctrlcode varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS copname varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);

-- ---- pickups: one per shipment number ----------------------------------------------------------------
CREATE TABLE IF NOT EXISTS dbo.client_rec_pick (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.client_rec_pick
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS copname varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE UNIQUE INDEX IF NOT EXISTS client_rec_pick_num ON dbo.client_rec_pick (cnum);

-- ---- tracking events the PDAs record: on shipment records, export bags and air waybills --------------
-- ctag names the source ("PDA-Rec", "PDA-xBag", "PDA-Awb"); irid/ixid the record or bag it was
-- recorded on (0 for a waybill); nsys 1 when the server's time stands for the event's time.
CREATE TABLE IF NOT EXISTS dbo.pda_track_info (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.pda_track_info
  ADD COLUMN IF NOT EXISTS ctag varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnumber citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ntype integer NOT NULL DEFAULT -1,
  ADD COLUMN IF NOT EXISTS irid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ixid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nsys smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cstation varchar(16) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdate varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cplace varchar(128) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinfo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cplacee varchar(128) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinfoe varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS copname varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nposb integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS pda_track_info_number ON dbo.pda_track_info (cnumber);

-- ---- export bags and the packs (air waybills) they travel in -----------------------------------------
CREATE TABLE IF NOT EXISTS dbo.client_rec_pack (
  cawb citext PRIMARY KEY
);
ALTER TABLE dbo.client_rec_pack
  ADD COLUMN IF NOT EXISTS cairport citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ddate timestamp(0),
  ADD COLUMN IF NOT EXISTS cflightno citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dfdate timestamp(0);

CREATE TABLE IF NOT EXISTS dbo.client_rec_xbag (
  ixid serial PRIMARY KEY
);
ALTER TABLE dbo.client_rec_xbag
  ADD COLUMN IF NOT EXISTS cxno citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cfrom varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdes varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cstation varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cstationd varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmark varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctype varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctransnote varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmemo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nstate smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ntype smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS corder varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cawb citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) DEFAULT LOCALTIMESTAMP(0),
  ADD COLUMN IF NOT EXISTS cinput varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iitem integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS il integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iw integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ih integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icub integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS clastmod varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dlastmod timestamp(0),
  ADD COLUMN IF NOT EXISTS cby1 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby2 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby3 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby4 varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cby5 varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nshare smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS chno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpack varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dpack timestamp(0),
  ADD COLUMN IF NOT EXISTS caddawb varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS daddawb timestamp(0),
  ADD COLUMN IF NOT EXISTS cunpack varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS dunpack timestamp(0),
  ADD COLUMN IF NOT EXISTS chorder varchar(30) NOT NULL DEFAULT '';
CREATE INDEX IF NOT EXISTS client_rec_xbag_no ON dbo.client_rec_xbag (cxno);
CREATE INDEX IF NOT EXISTS client_rec_xbag_awb ON dbo.client_rec_xbag (cawb);

-- ---- transfer records: the parcel's sides (cm) and volume, which the PDA's record query shows ---------
ALTER TABLE dbo.rec_trans
  ADD COLUMN IF NOT EXISTS icubic integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS il integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iw integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ih integer NOT NULL DEFAULT 0;
CREATE INDEX IF NOT EXISTS rec_trans_cf_num ON dbo.rec_trans (cf_num);

-- ---- send scans: a shipment handed to a supplier under a batch number ----------------------------------
-- isidc on the record is the supplier its cost was computed for, isids the supplier the sorting chose;
-- one row here per send scan, with the cost breakdown when the scan costed the shipment (nwithcost 1).
CREATE TABLE IF NOT EXISTS dbo.client_rec_send (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.client_rec_send
  ADD COLUMN IF NOT EXISTS irid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS isid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibatch bigint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cspname varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cemskind citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cbearer varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnextpoint varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS idayindex integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fcost numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS copname varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nwithcost smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ffreight numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ffuel numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fcustoms numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ffixed numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ffuelrate numeric(10,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fcustomset numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS client_rec_send_irid ON dbo.client_rec_send (irid);

-- The batches suppliers were paid for (npaid 1): no shipment joins them any more.
CREATE TABLE IF NOT EXISTS dbo.sp_batch (
  ibatch bigint PRIMARY KEY
);
ALTER TABLE dbo.sp_batch
  ADD COLUMN IF NOT EXISTS isid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS npaid smallint NOT NULL DEFAULT 0;

-- ---- corrections: failed scans, returns and their depot bookings --------------------------------------
-- A scan that could not be carried out (a return of a record that is missing or returned already).
CREATE TABLE IF NOT EXISTS dbo.check_scan_err (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.check_scan_err
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cstation varchar(16) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ntype integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cdate varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cplace varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinfo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nkind integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS copname varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nsource integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ncode integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE INDEX IF NOT EXISTS check_scan_err_num ON dbo.check_scan_err (cnum);

-- The return of a shipment record: one per record (client_rec.dreturn marks it).
CREATE TABLE IF NOT EXISTS dbo.client_rec_return (
  iid serial PRIMARY KEY
);
ALTER TABLE dbo.client_rec_return
  ADD COLUMN IF NOT EXISTS irid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cnum citext NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cctrlcode varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS nsys smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cstation varchar(16) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdate varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cplace varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinfo varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cplacee varchar(127) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cinfoe varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS copname varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE UNIQUE INDEX IF NOT EXISTS client_rec_return_irid ON dbo.client_rec_return (irid);

-- The depot's handling of a returned shipment (ctype "o": a client of the depot, "e": another), with
-- the fee and standard time of the depot's return operation; one per record.
CREATE TABLE IF NOT EXISTS dbo.w_return (
  ioid serial PRIMARY KEY
);
ALTER TABLE dbo.w_return
  ADD COLUMN IF NOT EXISTS ctype varchar(1) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cdepot varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS irid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS icid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS nitem integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweight numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS coperate varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iday integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cname varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnamee varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpoint varchar(255) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS copname varchar(32) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ngrade integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iseconds integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fwage numeric(12,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dsysdate timestamp(0) NOT NULL DEFAULT LOCALTIMESTAMP(0);
CREATE UNIQUE INDEX IF NOT EXISTS w_return_irid ON dbo.w_return (irid);

-- A transfer number is unique for its client, and an unclaimed one (client 0) among the unclaimed.
CREATE UNIQUE INDEX IF NOT EXISTS rec_trans_client_num ON dbo.rec_trans (icid, cf_num);
