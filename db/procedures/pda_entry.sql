-- Shipment records entered and weighed on PDAs.
--
-- A shipment record's piece rows travel to these functions as one INSERT text for
-- client_rec_weight_detail (built by the PDA road with every text escaped), whose record id is the
-- marker '#1234567#' when the record does not exist yet. A text that is not such an INSERT is not
-- run.

-- Runs a piece-row text for record p_irid when it is one; returns whether it was run.
CREATE OR REPLACE FUNCTION dbo.pda_run_weight_detail(p_text text, p_irid integer)
RETURNS boolean LANGUAGE plpgsql AS $$
BEGIN
  IF p_text IS NULL OR left(p_text, 48) <> 'INSERT INTO dorvane.dbo.client_rec_weight_detail' THEN
    RETURN false;
  END IF;
  EXECUTE replace(p_text, '#1234567#', p_irid::text);
  RETURN true;
END $$;

-- The advisory lock key of a shipment record's number (internal or transfer), compared without case.
CREATE OR REPLACE FUNCTION dbo.client_rec_number_key(p_kind text, p_number text)
RETURNS bigint LANGUAGE sql IMMUTABLE AS $$
  SELECT hashtextextended('client_rec:' || p_kind || ':' || lower(p_number), 0)
$$;

-- {?=CALL dorvane.dbo.cp_client_rec_fast_add(CAST(ROW(... 117 values ...) AS dbo.client_rec_fast_add_args))}:
-- stores a new shipment record of client icid with its piece rows (cweightdetail). Returns the new
-- irid; -1 when the client does not exist, -3 when the source it is made from (nfrom 2: pre-input
-- shipment piid, 3: transfer bag piid) is gone or was made into a record already, -6 when the
-- internal number or the transfer (waybill) number is empty, whether the record is typed or made
-- from a source, -7 when another record has the transfer number, -8 when another record has the
-- internal number. The source is locked while it is checked and linked
-- to the new record in the same transaction, so of two PDAs converting the same source one stores
-- the record and the other is refused with -3. Each number is serialised by a transaction-scoped
-- advisory lock before it is looked for, so of two calls storing the same number at once the second
-- finds the first one's record once that is committed, and is refused. Nothing is stored on a
-- refusal.
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_fast_add(p dbo.client_rec_fast_add_args, OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_irid integer;
  v_link integer;
BEGIN
  IF NOT EXISTS (SELECT 1 FROM dbo.client_arc WHERE icid = p.icid) THEN
    o_ret := -1;
    RETURN;
  END IF;
  IF coalesce(p.cnum, '') = '' OR coalesce(p.cserviceno, '') = '' THEN
    o_ret := -6;
    RETURN;
  END IF;
  IF p.nfrom = 2 THEN
    SELECT irid INTO v_link FROM dbo.rec_pre_input WHERE iid = p.piid FOR UPDATE;
  ELSIF p.nfrom = 3 THEN
    SELECT irid INTO v_link FROM dbo.rec_trans_bag WHERE biid = p.piid FOR UPDATE;
  ELSE
    v_link := 0;
  END IF;
  IF v_link IS NULL OR v_link <> 0 THEN
    o_ret := -3;
    RETURN;
  END IF;
  -- The internal number first, then the transfer number: every caller takes them in this order.
  PERFORM pg_advisory_xact_lock(dbo.client_rec_number_key('cnum', p.cnum));
  PERFORM pg_advisory_xact_lock(dbo.client_rec_number_key('cserviceno', p.cserviceno));
  IF EXISTS (SELECT 1 FROM dbo.client_rec WHERE cnum = p.cnum::citext) THEN
    o_ret := -8;
    RETURN;
  END IF;
  IF EXISTS (SELECT 1 FROM dbo.client_rec WHERE cserviceno = p.cserviceno::citext) THEN
    o_ret := -7;
    RETURN;
  END IF;

  INSERT INTO dbo.client_rec (
    icid, nitemtype, nlanguage, ddate, npayway, cinput, cemskind, caddrfrom, cdes, cnum, cserviceno,
    fweight, famount, csender, creceiver, cphone, cunitname, cpostcode, caddr, ccountry, ccity, cprovince,
    cmname, ctaker, cmemo, ireserve, fweights, clwh, fweightb, piid, fsprice, fsprices, facarry, fabase,
    faaddon, facustom, faother, faaddrate, cgoods, iquantity, iprice, cpacking, ctransnote, idvalue,
    iivalue, faget, fabaserate, fasafe, fapack, cmoney, foprice, csunitname, csaddr, csphone, cspostcode,
    cscountry, csprovince, cscity, cmark, cpaydir, corigin, iitem, nfrom, fweighti, crno, cstation,
    csmsnumber, fgoods, ccno, cdepart, csemail, cremail, crsms, creserve, cby1, cby2, cby3, cby4, cby5,
    icubic, iidr, iids, iidi, cgoodsa, cgcodea, cgcodeb, cgcodec, fgcustom, fgcrate, facheck, faremote,
    faby, fdiscount, focustomc)
  VALUES (
    p.icid, p.nitemtype, p.nlanguage, to_timestamp(p.ddate, 'YYYY.MM.DD'), p.npayway, p.cinput,
    p.cemskind, p.caddrfrom, p.cdes, p.cnum, p.cserviceno, p.fweight, p.famount, p.csender, p.creceiver,
    p.cphone, p.cunitname, p.cpostcode, p.caddr, p.ccountry, p.ccity, p.cprovince, p.cmname, p.ctaker,
    p.cmemo, p.ireserve, p.fweights, p.clwh, p.fweightb, p.piid, p.fsprice, p.fsprices, p.facarry,
    p.fabase, p.faaddon, p.facustom, p.faother, p.faaddrate, p.cgoods, p.iquantity, p.iprice, p.cpacking,
    p.ctransnote, p.idvalue, p.iivalue, p.faget, p.fabaserate, p.fasafe, p.fapack, p.cmoney, p.foprice,
    p.csunitname, p.csaddr, p.csphone, p.cspostcode, p.cscountry, p.csprovince, p.cscity, p.cmark,
    p.cpaydir, p.corigin, p.iitem, p.nfrom, p.fweighti, p.crno, p.cstation, p.csmsnumber, p.fgoods,
    p.ccno, p.cdepart, p.csemail, p.cremail, p.crsms, p.creserve, p.cby1, p.cby2, p.cby3, p.cby4, p.cby5,
    p.icubic, p.iidr, p.iids, p.iidi, p.cgoodsa, p.cgcodea, p.cgcodeb, p.cgcodec, p.fgcustom, p.fgcrate,
    p.facheck, p.faremote, p.faby, p.fdiscount, p.focustomc)
  RETURNING irid INTO v_irid;

  PERFORM dbo.pda_run_weight_detail(p.cweightdetail, v_irid);
  IF p.nfrom = 2 THEN
    UPDATE dbo.rec_pre_input SET irid = v_irid WHERE iid = p.piid;
  ELSIF p.nfrom = 3 THEN
    UPDATE dbo.rec_trans_bag SET irid = v_irid WHERE biid = p.piid;
  END IF;
  o_ret := v_irid;
END $$;

-- {?=CALL dorvane.dbo.cp_client_rec_reweight_ex(irid, icid, weight, ... 30 values)}: stores the new
-- weights, amount and fees of shipment record irid of client icid as the PDA weighed and priced it
-- again. A non-empty piece text replaces the record's piece rows. Returns 1; -2 when the record
-- does not exist, -3 when the client does not, -5 when the record has been sent already.
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_reweight_ex(
    p_irid integer, p_icid integer, p_fweight numeric, p_famount numeric, p_opname varchar,
    p_fsprice numeric, p_ctaker varchar, p_clwh varchar, p_fweights numeric, p_fweightb numeric,
    p_iitem integer, p_fsprices numeric, p_fabase numeric, p_faaddon numeric, p_facustom numeric,
    p_faother numeric, p_faaddrate numeric, p_faget numeric, p_facarry numeric, p_fasafe numeric,
    p_fapack numeric, p_fabaserate numeric, p_foprice numeric, p_icubic bigint, p_pieces text,
    p_facheck numeric, p_faremote numeric, p_faby numeric, p_fdiscount numeric, p_focustomc numeric,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_nstate integer;
BEGIN
  SELECT nstate INTO v_nstate FROM dbo.client_rec WHERE irid = p_irid AND icid = p_icid FOR UPDATE;
  IF NOT FOUND THEN
    o_ret := CASE WHEN EXISTS (SELECT 1 FROM dbo.client_rec WHERE irid = p_irid) THEN -3 ELSE -2 END;
    RETURN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM dbo.client_arc WHERE icid = p_icid) THEN
    o_ret := -3;
    RETURN;
  END IF;
  IF v_nstate >= 1 THEN
    o_ret := -5;
    RETURN;
  END IF;
  UPDATE dbo.client_rec SET
    fweight = p_fweight, famount = p_famount, creweight = p_opname, fsprice = p_fsprice, ctaker = p_ctaker,
    clwh = p_clwh, fweights = p_fweights, fweightb = p_fweightb, iitem = p_iitem, fsprices = p_fsprices,
    fabase = p_fabase, faaddon = p_faaddon, facustom = p_facustom, faother = p_faother,
    faaddrate = p_faaddrate, faget = p_faget, facarry = p_facarry, fasafe = p_fasafe, fapack = p_fapack,
    fabaserate = p_fabaserate, foprice = p_foprice, icubic = p_icubic, facheck = p_facheck,
    faremote = p_faremote, faby = p_faby, fdiscount = p_fdiscount, focustomc = p_focustomc
  WHERE irid = p_irid;
  IF coalesce(p_pieces, '') <> '' THEN
    DELETE FROM dbo.client_rec_weight_detail WHERE irid = p_irid;
    PERFORM dbo.pda_run_weight_detail(p_pieces, p_irid);
  END IF;
  o_ret := 1;
END $$;
