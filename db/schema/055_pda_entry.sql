-- PDA shipment entry: what the shipment records keep beside the client road's columns (the
-- receiver and sender blocks, weights, fee details, where the record came from), their piece rows
-- (weight detail) and goods rows, the pieces of pre-input shipments, and the row type of the values
-- a new record is stored with.
--
-- Internal numbers (cnum) and transfer numbers (cserviceno) of the records cp_client_rec_fast_add
-- stores are unique across all clients: the procedure serialises each number (see
-- db/procedures/pda_entry.sql). The table itself may hold repeated numbers written by other programs
-- (the send scan refuses a transfer number that is not unique), so it has plain indexes on them.
SET client_min_messages = warning;

-- ---- shipment records ---------------------------------------------------------------------------
-- fweights is the weight the record is charged by, fweightb the real (scale) weight, fweighti the
-- weight as entered; icubic the volume in cm3. fsprice is the standard price (list freight, its
-- surcharges and the fees), fsprices the entered amount, foprice the list freight, fabase the
-- discounted freight, faaddon/faaddrate the fuel surcharge and its percentage, facustom the customs
-- fee, fdiscount the discount factor and focustomc the kind's customs setting. nfrom tells where
-- the record came from (5 typed on a PDA, 2 a pre-input shipment, 3 a transfer bag) and piid the
-- id of that source. cinput is the operator who entered the record, creweight the one who weighed
-- it last. ifid, ipid, iiid, iqid, ifcid and ifsid are the fee, supplier payment, invoice, cheque,
-- client refund and supplier refund documents (0: none); dfeeaud the day the client's fees were
-- audited (NULL: never).
ALTER TABLE dbo.client_rec
  ADD COLUMN IF NOT EXISTS nlanguage smallint NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cinput varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS creweight varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddrfrom varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cmname varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctaker varchar(31) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fweightb numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fweighti numeric(12,3) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fsprices numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fabaserate numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS foprice numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS focustomc numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cstation varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iidr integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iids integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iidi integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ipid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iiid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iqid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ifcid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS dfeeaud timestamp(0);
DROP INDEX IF EXISTS dbo.client_rec_cnum_unique;
DROP INDEX IF EXISTS dbo.client_rec_cserviceno_unique;
CREATE INDEX IF NOT EXISTS client_rec_cnum_any ON dbo.client_rec (cnum) WHERE cnum <> '';
CREATE INDEX IF NOT EXISTS client_rec_cserviceno_any ON dbo.client_rec (cserviceno) WHERE cserviceno <> '';

-- The pieces of a shipment record in the order wpos (1, 2, ...): sides in cm, grams, the
-- volume-weight percentage and the piece's own numbers and goods (iprice in cents).
CREATE TABLE IF NOT EXISTS dbo.client_rec_weight_detail (
  irid integer NOT NULL,
  wpos integer NOT NULL,
  PRIMARY KEY (irid, wpos)
);
ALTER TABLE dbo.client_rec_weight_detail
  ADD COLUMN IF NOT EXISTS ilong integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iwidth integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iheight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS npercent smallint NOT NULL DEFAULT 100,
  ADD COLUMN IF NOT EXISTS cno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fcost numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibag integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoods varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS crno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cnum varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(10,4) NOT NULL DEFAULT 0;

-- ---- pre-input shipments: their pieces and the ids a shipment record takes over -----------------
ALTER TABLE dbo.rec_pre_input
  ADD COLUMN IF NOT EXISTS iidr integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iids integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iidi integer NOT NULL DEFAULT 0;

-- The pieces of a pre-input shipment in the order wpos, as the weight detail keeps them.
CREATE TABLE IF NOT EXISTS dbo.rec_pre_input_item (
  iid integer NOT NULL,
  wpos integer NOT NULL,
  PRIMARY KEY (iid, wpos)
);
ALTER TABLE dbo.rec_pre_input_item
  ADD COLUMN IF NOT EXISTS ilong integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iwidth integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iheight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iweight integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS npercent smallint NOT NULL DEFAULT 100,
  ADD COLUMN IF NOT EXISTS cno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS famount numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fcost numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS ibag integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoods varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS crno varchar(30) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(10,4) NOT NULL DEFAULT 0;

-- ---- transfer bags ------------------------------------------------------------------------------
-- The bags (dbo.rec_trans_bag), the transfers packed in them (dbo.rec_trans) and their goods lines
-- (dbo.rec_trans_goods) are the transfer road's tables.

-- ---- the values of a new shipment record --------------------------------------------------------
-- cp_client_rec_fast_add receives its 117 values as one value of this type, in the order of the
-- call (a function takes at most 100 arguments). Fields named xNN carry a constant of the call
-- that no column keeps.
DO $$
BEGIN
  IF NOT EXISTS (SELECT 1 FROM pg_type t JOIN pg_namespace n ON n.oid = t.typnamespace
                 WHERE n.nspname = 'dbo' AND t.typname = 'client_rec_fast_add_args') THEN
    CREATE TYPE dbo.client_rec_fast_add_args AS (
      icid integer, nitemtype integer, nlanguage integer, ddate text, x05 integer,
      npayway integer, cinput text, cemskind text, caddrfrom text, cdes text,
      cnum text, cserviceno text, fweight numeric, famount numeric, csender text,
      creceiver text, cphone text, cunitname text, cpostcode text, caddr text,
      ccountry text, ccity text, cprovince text, cmname text, ctaker text,
      x26 text, x27 text, x28 text, x29 text, x30 text,
      cmemo text, ireserve integer, x33 integer, fweights numeric, clwh text,
      fweightb numeric, piid integer, fsprice numeric, fsprices numeric, x40 integer,
      x41 integer, facarry numeric, fabase numeric, faaddon numeric, facustom numeric,
      faother numeric, faaddrate numeric, cgoods text, iquantity integer, iprice integer,
      cpacking text, ctransnote text, idvalue integer, iivalue integer, faget numeric,
      fabaserate numeric, fasafe numeric, fapack numeric, x59 integer, x60 numeric,
      cmoney text, foprice numeric, csunitname text, csaddr text, csphone text,
      cspostcode text, cscountry text, csprovince text, cscity text, cmark text,
      cpaydir text, corigin text, iitem integer, cweightdetail text, nfrom integer,
      fweighti numeric, crno text, cstation text, x79 integer, x80 integer,
      csmsnumber text, fgoods numeric, x83 text, x84 text, ccno text,
      cdepart text, csemail text, cremail text, crsms text, creserve text,
      x91 integer, x92 integer, x93 integer, x94 integer, x95 integer,
      x96 text, cby1 text, cby2 text, cby3 text, cby4 text,
      cby5 text, icubic bigint, iidr integer, iids integer, iidi integer,
      x106 text, cgoodsa text, cgcodea text, cgcodeb text, cgcodec text,
      fgcustom numeric, fgcrate numeric, facheck numeric, faremote numeric, faby numeric,
      fdiscount numeric, focustomc numeric);
  END IF;
END $$;
