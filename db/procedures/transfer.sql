-- Storing, withdrawing and bagging a client's transfer records.
--
-- A transfer record may be changed or withdrawn only while it is neither in a bag (biid = 0) nor a
-- shipment record (irid = 0). Every call locks the rows it decides on (FOR UPDATE), so a change, a
-- withdrawal and a bag that meet on one record are serialised at the database.

-- Locks the client's transfer record iid for the rest of the transaction. Returns 0 when it may
-- still be changed, withdrawn or bagged, -2 when it is not the client's (or does not exist), -4
-- when it is bagged or converted.
CREATE OR REPLACE FUNCTION dbo.rec_trans_lock_own(p_iid integer, p_icid integer)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_biid integer;
  v_irid integer;
BEGIN
  SELECT biid, irid INTO v_biid, v_irid FROM dbo.rec_trans WHERE iid = p_iid AND icid = p_icid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  RETURN CASE WHEN v_biid > 0 OR v_irid > 0 THEN -4 ELSE 0 END;
END $$;

-- {?=CALL dorvane.dbo.cp_rec_trans_set(iid, icid, ... 43 arguments)}: stores a transfer record of
-- client icid: a new one when iid is 0 or less, else the client's record iid, replaced whole, whose
-- goods rows are removed (the caller stores the new ones). Returns the record's id; -1 when another
-- record of the client has the same parcel number, -2 when record iid is not the client's, -4 when
-- it is bagged or converted, -9 when the row could not be stored.
CREATE OR REPLACE FUNCTION dbo.cp_rec_trans_set(
    p_iid integer, p_icid integer, p_nitemtype integer, p_fweight numeric, p_famount numeric, p_time varchar,
    p_nstate integer, p_cmemo varchar, p_iitem integer, p_fgoods numeric, p_fgoodsc numeric, p_cgoods varchar,
    p_iquantity integer, p_iprice bigint, p_cmoney varchar, p_cpacking varchar, p_ctransnote varchar,
    p_idvalue bigint, p_iivalue bigint, p_nsource integer, p_vipaddr bytea, p_voption bytea,
    p_cf_emskind citext, p_cf_num citext, p_cpaydir varchar, p_cmark citext, p_nopen integer, p_cempty varchar,
    p_cstationc varchar, p_isplite integer, p_iidori integer, p_nex1 integer, p_nex2 integer, p_nex3 integer,
    p_cex1 varchar, p_cex2 varchar, p_cex3 varchar, p_cgoodsa varchar, p_cgcodea varchar, p_cgcodeb varchar,
    p_cgcodec varchar, p_fgcustom numeric, p_fgcrate numeric,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_check integer;
BEGIN
  IF p_iid > 0 THEN
    v_check := dbo.rec_trans_lock_own(p_iid, p_icid);
    IF v_check < 0 THEN
      o_ret := v_check;
      RETURN;
    END IF;
  END IF;
  IF EXISTS (SELECT 1 FROM dbo.rec_trans WHERE icid = p_icid AND cf_num = p_cf_num AND iid <> GREATEST(p_iid, 0)) THEN
    o_ret := -1;
    RETURN;
  END IF;
  BEGIN
    IF p_iid > 0 THEN
      UPDATE dbo.rec_trans SET nitemtype = p_nitemtype, fweight = p_fweight, famount = p_famount,
        nstate = p_nstate, cmemo = p_cmemo, iitem = p_iitem, fgoods = p_fgoods, fgoodsc = p_fgoodsc,
        cgoods = p_cgoods, iquantity = p_iquantity, iprice = p_iprice, cmoney = p_cmoney, cpacking = p_cpacking,
        ctransnote = p_ctransnote, idvalue = p_idvalue, iivalue = p_iivalue, vipaddr = p_vipaddr,
        cf_emskind = p_cf_emskind, cf_num = p_cf_num, cpaydir = p_cpaydir, cmark = p_cmark, nopen = p_nopen,
        cstationc = p_cstationc, nex1 = p_nex1, nex2 = p_nex2, nex3 = p_nex3, cex1 = p_cex1, cex2 = p_cex2,
        cex3 = p_cex3, cgoodsa = p_cgoodsa, cgcodea = p_cgcodea, cgcodeb = p_cgcodeb, cgcodec = p_cgcodec,
        fgcustom = p_fgcustom, fgcrate = p_fgcrate
      WHERE iid = p_iid;
      DELETE FROM dbo.rec_trans_goods WHERE iid = p_iid;
      o_ret := p_iid;
    ELSE
      INSERT INTO dbo.rec_trans (icid, nitemtype, fweight, famount, ddate, nstate, cmemo, iitem, fgoods, fgoodsc,
        cgoods, iquantity, iprice, cmoney, cpacking, ctransnote, idvalue, iivalue, vipaddr, cf_emskind, cf_num,
        cpaydir, cmark, nopen, cstationc, isplite, iidori, nex1, nex2, nex3, cex1, cex2, cex3, cgoodsa, cgcodea,
        cgcodeb, cgcodec, fgcustom, fgcrate)
      VALUES (p_icid, p_nitemtype, p_fweight, p_famount, COALESCE(p_time::timestamp(0), LOCALTIMESTAMP(0)), p_nstate,
        p_cmemo, p_iitem, p_fgoods, p_fgoodsc, p_cgoods, p_iquantity, p_iprice, p_cmoney, p_cpacking,
        p_ctransnote, p_idvalue, p_iivalue, p_vipaddr, p_cf_emskind, p_cf_num, p_cpaydir, p_cmark, p_nopen,
        p_cstationc, p_isplite, p_iidori, p_nex1, p_nex2, p_nex3, p_cex1, p_cex2, p_cex3, p_cgoodsa, p_cgcodea,
        p_cgcodeb, p_cgcodec, p_fgcustom, p_fgcrate)
      RETURNING iid INTO o_ret;
    END IF;
  EXCEPTION
    WHEN unique_violation THEN
      o_ret := -1;  -- the same number was stored by another call meanwhile
    WHEN OTHERS THEN
      o_ret := -9;
  END;
END $$;

-- {?=CALL dorvane.dbo.cp_rec_trans_del(iid, icid)}: withdraws the client's transfer record with its
-- goods rows. Returns 1; -2 when it is not the client's, -4 when it is bagged or converted.
CREATE OR REPLACE FUNCTION dbo.cp_rec_trans_del(p_iid integer, p_icid integer, OUT o_ret integer)
LANGUAGE plpgsql AS $$
BEGIN
  o_ret := dbo.rec_trans_lock_own(p_iid, p_icid);
  IF o_ret < 0 THEN
    RETURN;
  END IF;
  DELETE FROM dbo.rec_trans_goods WHERE iid = p_iid;
  DELETE FROM dbo.rec_trans WHERE iid = p_iid;
  o_ret := 1;
END $$;

-- {?=CALL dorvane.dbo.cp_rec_trans_bag_set(0, icid, ... 79 arguments)}: packs the client's transfer
-- records named by p_ids (each id right-aligned in ten characters, p_count of them) into one new
-- bag holding the shipment data of the call. Every listed record is locked and must belong to the
-- client, be in no bag and not be converted; otherwise nothing is stored and the result is -4. Returns
-- the new bag's id; -9 when the bag could not be stored (nothing is stored then either).
CREATE OR REPLACE FUNCTION dbo.cp_rec_trans_bag_set(
    p_biid integer, p_icid integer, p_nitemtype integer, p_nlanguage integer, p_cemskind citext, p_cdes citext,
    p_fweight numeric, p_famount numeric, p_time varchar, p_cunitname varchar, p_caddr varchar, p_ccity varchar,
    p_cpostcode varchar, p_cprovince varchar, p_ccountry varchar, p_creceiver varchar, p_cphone varchar,
    p_nstate integer, p_cmemo varchar, p_cnum citext, p_crno varchar, p_caddrfrom varchar, p_npayway integer,
    p_csender varchar, p_clwh varchar, p_iitem integer, p_fgoods numeric, p_fgoodsc numeric, p_cgoods varchar,
    p_iquantity integer, p_iprice bigint, p_cmoney varchar, p_cpacking varchar, p_ctransnote varchar,
    p_idvalue bigint, p_iivalue bigint, p_nsource integer, p_vipaddr bytea, p_voption bytea,
    p_csunitname varchar, p_csaddr varchar, p_csphone varchar, p_cspostcode varchar, p_cscountry varchar,
    p_csprovince varchar, p_cscity varchar, p_cpaydir varchar, p_corigin varchar, p_cmark citext,
    p_ids varchar, p_count integer, p_csmsnumber varchar, p_csemail varchar, p_cremail varchar, p_crsms varchar,
    p_cempty varchar, p_cby1 varchar, p_cby2 varchar, p_cby3 varchar, p_cby4 varchar, p_cby5 varchar,
    p_fa1 numeric, p_fa2 numeric, p_fa3 numeric, p_fa4 numeric, p_n66 integer, p_n67 integer,
    p_cstation varchar, p_n69 integer, p_n70 integer, p_n71 integer, p_n72 integer, p_n73 integer,
    p_cgoodsa varchar, p_cgcodea varchar, p_cgcodeb varchar, p_cgcodec varchar, p_fgcustom numeric,
    p_fgcrate numeric,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_ids integer[];
  v_claimed integer;
BEGIN
  IF p_count < 1 OR length(p_ids) <> 10 * p_count THEN
    o_ret := -9;
    RETURN;
  END IF;
  SELECT array_agg(DISTINCT btrim(substr(p_ids, 10 * (i - 1) + 1, 10))::integer)
    INTO v_ids FROM generate_series(1, p_count) AS i;
  BEGIN
    -- Locked in id order, so two bags over overlapping records cannot deadlock.
    SELECT count(*) INTO v_claimed FROM (
      SELECT iid FROM dbo.rec_trans WHERE iid = ANY (v_ids) AND icid = p_icid AND biid = 0 AND irid = 0
      ORDER BY iid FOR UPDATE) AS t;
    IF v_claimed <> cardinality(v_ids) THEN
      o_ret := -4;
      RETURN;
    END IF;
    INSERT INTO dbo.rec_trans_bag (icid, irid, bget, nbstate, caud, cnum, cstationr, nitemtype, nlanguage,
      cemskind, cdes, fweight, ddate, cunitname, caddr, ccity, cpostcode, cprovince, ccountry, creceiver, cphone,
      cmemo, crno, caddrfrom, npayway, csender, clwh, iitem, fgoods, fgoodsc, cgoods, iquantity, iprice, cmoney,
      cpacking, ctransnote, idvalue, iivalue, vipaddr, csunitname, csaddr, csphone, cspostcode, cscountry,
      csprovince, cscity, cpaydir, corigin, cmark, csmsnumber, csemail, cremail, crsms, cby1, cby2, cby3, cby4,
      cby5, cgoodsa, cgcodea, cgcodeb, cgcodec, fgcustom, fgcrate)
    VALUES (p_icid, 0, 0, 0, '', p_cnum, p_cstation, p_nitemtype, p_nlanguage, p_cemskind, p_cdes, p_fweight,
      COALESCE(p_time::timestamp(0), LOCALTIMESTAMP(0)), p_cunitname, p_caddr, p_ccity, p_cpostcode,
      p_cprovince, p_ccountry, p_creceiver, p_cphone, p_cmemo, p_crno, p_caddrfrom, p_npayway, p_csender,
      p_clwh, p_iitem, p_fgoods, p_fgoodsc, p_cgoods, p_iquantity, p_iprice, p_cmoney, p_cpacking, p_ctransnote,
      p_idvalue, p_iivalue, p_vipaddr, p_csunitname, p_csaddr, p_csphone, p_cspostcode, p_cscountry,
      p_csprovince, p_cscity, p_cpaydir, p_corigin, p_cmark, p_csmsnumber, p_csemail, p_cremail, p_crsms,
      p_cby1, p_cby2, p_cby3, p_cby4, p_cby5, p_cgoodsa, p_cgcodea, p_cgcodeb, p_cgcodec, p_fgcustom, p_fgcrate)
    RETURNING biid INTO o_ret;
    UPDATE dbo.rec_trans SET biid = o_ret WHERE iid = ANY (v_ids);
  EXCEPTION
    WHEN OTHERS THEN
      o_ret := -9;  -- the block's changes are undone: no bag, no claimed record
  END;
END $$;
