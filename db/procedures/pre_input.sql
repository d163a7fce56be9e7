-- Storing and withdrawing the client's pre-input shipments.
--
-- Internal numbers are unique per client (compared without case, as cnum is citext). Every call
-- that stores a number first takes the transaction-scoped advisory lock of (client, number), so two
-- calls storing the same number at once are serialised: the second one finds the first one's row
-- once that row is committed, and is refused. The lock is held until the caller's transaction ends,
-- so a caller that stores the goods rows in the same transaction keeps the number to itself
-- until it commits.

-- The advisory lock key of a client's internal number.
CREATE OR REPLACE FUNCTION dbo.pre_input_number_key(p_icid integer, p_cnum citext)
RETURNS bigint LANGUAGE sql IMMUTABLE AS $$
  SELECT hashtextextended('rec_pre_input:' || p_icid::text || ':' || lower(p_cnum::text), 0)
$$;

-- Locks the client's pre-input shipment iid for the rest of the transaction. Returns 0 when it may
-- still be changed or withdrawn, -2 when it is not the client's (or does not exist), -4 when it has
-- been taken over (irid > 0).
CREATE OR REPLACE FUNCTION dbo.pre_input_lock_own(p_iid integer, p_icid integer)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_irid integer;
BEGIN
  SELECT irid INTO v_irid FROM dbo.rec_pre_input WHERE iid = p_iid AND icid = p_icid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  RETURN CASE WHEN v_irid > 0 THEN -4 ELSE 0 END;
END $$;

-- {?=CALL dorvane.dbo.cp_rec_pre_input_set(iid, icid, ... 79 arguments)}: stores a pre-input shipment of
-- client icid: a new one when iid is 0 or less, else the client's shipment iid, whose goods rows are
-- removed (the caller stores the new ones). Returns the shipment's id; -1 when another shipment of
-- the client has the same internal number, -2 when shipment iid is not the client's, -4 when it has
-- been taken over already (irid > 0). The arguments come in the order of the call text of the
-- shipment-entry worker; nstate, crefer, caddrfrom, nsource, vaddress, voption, corigin and cunit
-- are stored as given.
CREATE OR REPLACE FUNCTION dbo.cp_rec_pre_input_set(
    p_iid integer, p_icid integer, p_nitemtype integer, p_nlanguage integer, p_cemskind citext, p_cdes citext,
    p_fweight numeric, p_famount numeric, p_cunitname varchar, p_caddr varchar, p_ccity varchar,
    p_cpostcode varchar, p_cprovince varchar, p_ccountry varchar, p_creceiver varchar, p_cphone varchar,
    p_nstate integer, p_cmemo varchar, p_cnum citext, p_crefer varchar, p_caddrfrom varchar, p_npayway integer,
    p_csender varchar, p_clwh varchar, p_iitem integer, p_fgoods numeric, p_fgoodsc numeric, p_cgoods varchar,
    p_iquantity integer, p_iprice bigint, p_cmoney varchar, p_cpacking varchar, p_ctransnote varchar,
    p_idvalue bigint, p_iivalue bigint, p_nsource integer, p_vaddress bytea, p_voption bytea,
    p_csunitname varchar, p_csaddr varchar, p_csphone varchar, p_cspostcode varchar, p_cscountry varchar,
    p_csprovince varchar, p_cscity varchar, p_cpaydir varchar, p_corigin varchar, p_csmsnumber varchar,
    p_csemail varchar, p_cremail varchar, p_crsms varchar, p_cmark citext, p_cdepart varchar, p_cno citext,
    p_crno varchar, p_ccno varchar, p_creserve citext, p_ireserve integer, p_cunit varchar, p_cby1 varchar,
    p_cby2 varchar, p_cby3 varchar, p_cby4 varchar, p_cby5 varchar, p_cgoodsa varchar, p_cgcodea varchar,
    p_cgcodeb varchar, p_cgcodec varchar, p_fgcustom numeric, p_fgcrate numeric, p_cemskindc citext,
    p_cemskindw citext, p_faget numeric, p_fasafe numeric, p_fapack numeric, p_faother numeric,
    p_facheck numeric, p_faremote numeric, p_faby numeric,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
BEGIN
  IF p_cnum <> '' THEN
    PERFORM pg_advisory_xact_lock(dbo.pre_input_number_key(p_icid, p_cnum));
  END IF;
  IF p_iid > 0 THEN
    o_ret := dbo.pre_input_lock_own(p_iid, p_icid);
    IF o_ret < 0 THEN
      RETURN;
    END IF;
  END IF;
  IF p_cnum <> '' AND EXISTS (SELECT 1 FROM dbo.rec_pre_input
                               WHERE icid = p_icid AND cnum = p_cnum AND iid <> p_iid) THEN
    o_ret := -1;
    RETURN;
  END IF;

  IF p_iid > 0 THEN
    UPDATE dbo.rec_pre_input SET
      nitemtype = p_nitemtype, nlanguage = p_nlanguage, cemskind = p_cemskind, cdes = p_cdes,
      fweight = p_fweight, famount = p_famount, cunitname = p_cunitname, caddr = p_caddr, ccity = p_ccity,
      cpostcode = p_cpostcode, cprovince = p_cprovince, ccountry = p_ccountry, creceiver = p_creceiver,
      cphone = p_cphone, nstate = p_nstate, cmemo = p_cmemo, cnum = p_cnum, crefer = p_crefer,
      caddrfrom = p_caddrfrom, npayway = p_npayway, csender = p_csender, clwh = p_clwh, iitem = p_iitem,
      fgoods = p_fgoods, fgoodsc = p_fgoodsc, cgoods = p_cgoods, iquantity = p_iquantity, iprice = p_iprice,
      cmoney = p_cmoney, cpacking = p_cpacking, ctransnote = p_ctransnote, idvalue = p_idvalue,
      iivalue = p_iivalue, nsource = p_nsource, vaddress = p_vaddress, voption = p_voption,
      csunitname = p_csunitname, csaddr = p_csaddr, csphone = p_csphone, cspostcode = p_cspostcode,
      cscountry = p_cscountry, csprovince = p_csprovince, cscity = p_cscity, cpaydir = p_cpaydir,
      corigin = p_corigin, csmsnumber = p_csmsnumber, csemail = p_csemail, cremail = p_cremail,
      crsms = p_crsms, cmark = p_cmark, cdepart = p_cdepart, cno = p_cno, crno = p_crno, ccno = p_ccno,
      creserve = p_creserve, ireserve = p_ireserve, cunit = p_cunit, cby1 = p_cby1, cby2 = p_cby2,
      cby3 = p_cby3, cby4 = p_cby4, cby5 = p_cby5, cgoodsa = p_cgoodsa, cgcodea = p_cgcodea,
      cgcodeb = p_cgcodeb, cgcodec = p_cgcodec, fgcustom = p_fgcustom, fgcrate = p_fgcrate,
      cemskindc = p_cemskindc, cemskindw = p_cemskindw, faget = p_faget, fasafe = p_fasafe,
      fapack = p_fapack, faother = p_faother, facheck = p_facheck, faremote = p_faremote, faby = p_faby
    WHERE iid = p_iid;
    DELETE FROM dbo.rec_pre_input_goods WHERE iid = p_iid;
    o_ret := p_iid;
    RETURN;
  END IF;

  INSERT INTO dbo.rec_pre_input (
    icid, nitemtype, nlanguage, cemskind, cdes, fweight, famount, cunitname, caddr, ccity, cpostcode,
    cprovince, ccountry, creceiver, cphone, nstate, cmemo, cnum, crefer, caddrfrom, npayway, csender, clwh,
    iitem, fgoods, fgoodsc, cgoods, iquantity, iprice, cmoney, cpacking, ctransnote, idvalue, iivalue,
    nsource, vaddress, voption, csunitname, csaddr, csphone, cspostcode, cscountry, csprovince, cscity,
    cpaydir, corigin, csmsnumber, csemail, cremail, crsms, cmark, cdepart, cno, crno, ccno, creserve,
    ireserve, cunit, cby1, cby2, cby3, cby4, cby5, cgoodsa, cgcodea, cgcodeb, cgcodec, fgcustom, fgcrate,
    cemskindc, cemskindw, faget, fasafe, fapack, faother, facheck, faremote, faby)
  VALUES (
    p_icid, p_nitemtype, p_nlanguage, p_cemskind, p_cdes, p_fweight, p_famount, p_cunitname, p_caddr,
    p_ccity, p_cpostcode, p_cprovince, p_ccountry, p_creceiver, p_cphone, p_nstate, p_cmemo, p_cnum,
    p_crefer, p_caddrfrom, p_npayway, p_csender, p_clwh, p_iitem, p_fgoods, p_fgoodsc, p_cgoods,
    p_iquantity, p_iprice, p_cmoney, p_cpacking, p_ctransnote, p_idvalue, p_iivalue, p_nsource, p_vaddress,
    p_voption, p_csunitname, p_csaddr, p_csphone, p_cspostcode, p_cscountry, p_csprovince, p_cscity,
    p_cpaydir, p_corigin, p_csmsnumber, p_csemail, p_cremail, p_crsms, p_cmark, p_cdepart, p_cno, p_crno,
    p_ccno, p_creserve, p_ireserve, p_cunit, p_cby1, p_cby2, p_cby3, p_cby4, p_cby5, p_cgoodsa, p_cgcodea,
    p_cgcodeb, p_cgcodec, p_fgcustom, p_fgcrate, p_cemskindc, p_cemskindw, p_faget, p_fasafe, p_fapack,
    p_faother, p_facheck, p_faremote, p_faby)
  RETURNING iid INTO o_ret;
END $$;

-- {?=CALL dorvane.dbo.cp_rec_pre_input_del(iid,icid)}: withdraws the client's pre-input shipment iid
-- with its goods rows. Returns 1; -2 when the shipment is not the client's (or does not exist), -4
-- when it has been taken over already (irid > 0).
CREATE OR REPLACE FUNCTION dbo.cp_rec_pre_input_del(p_iid integer, p_icid integer, OUT o_ret integer)
LANGUAGE plpgsql AS $$
BEGIN
  o_ret := dbo.pre_input_lock_own(p_iid, p_icid);
  IF o_ret < 0 THEN
    RETURN;
  END IF;
  DELETE FROM dbo.rec_pre_input_goods WHERE iid = p_iid;
  DELETE FROM dbo.rec_pre_input WHERE iid = p_iid;
  o_ret := 1;
END $$;
