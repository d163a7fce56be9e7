-- PDA lookups and events: control codes, pickups and tracking events. Each function is one small
-- transaction of its caller's statement; the return value comes first (the call's first "?").

-- {?=CALL dorvane.dbo.cp_pda_rec_ctrl_set_no(ikind,'cno','code','operator')}: attaches the control
-- code to the number of that kind (0 internal number, 1 service number, 2 receiver's reference,
-- 3 customer's number). A shipment record that carries the number (internal or service number) takes
-- the code too. Returns 1 for a new code, 2 when an earlier code of the number was replaced; -4 for a
-- code that is not three characters.
CREATE OR REPLACE FUNCTION dbo.cp_pda_rec_ctrl_set_no(p_ikind integer, p_cno text, p_code text, p_opname text,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_old boolean;
BEGIN
  IF length(p_code) <> 3 THEN
    o_ret := -4;
    RETURN;
  END IF;
  v_old := EXISTS (SELECT 1 FROM dbo.client_rec_ctrl WHERE ikind = p_ikind AND cno = p_cno::citext);
  INSERT INTO dbo.client_rec_ctrl (ikind, cno, cctrlcode, copname, ddate)
  VALUES (p_ikind, p_cno, p_code, p_opname, LOCALTIMESTAMP(0))
  ON CONFLICT (ikind, cno) DO UPDATE SET cctrlcode = EXCLUDED.cctrlcode, copname = EXCLUDED.copname,
                                        ddate = EXCLUDED.ddate;
  IF p_ikind = 0 THEN
    UPDATE dbo.client_rec SET cctrlcode = p_code WHERE cnum = p_cno::citext;
  ELSIF p_ikind = 1 THEN
    UPDATE dbo.client_rec SET cctrlcode = p_code WHERE cserviceno = p_cno::citext;
  END IF;
  o_ret := CASE WHEN v_old THEN 2 ELSE 1 END;
END $$;

-- {?=CALL dorvane.dbo.cp_client_rec_pick_add(icid,'cnum','operator','memo')}: records that the
-- parcel of that number was picked up from the client. Returns the pickup's id; -1 when the number was
-- picked up before.
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_pick_add(p_icid integer, p_cnum text, p_opname text, p_cmemo text,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
BEGIN
  INSERT INTO dbo.client_rec_pick (icid, cnum, copname, cmemo) VALUES (p_icid, p_cnum, p_opname, p_cmemo)
  ON CONFLICT (cnum) DO NOTHING
  RETURNING iid INTO o_ret;
  IF o_ret IS NULL THEN
    o_ret := -1;
  END IF;
END $$;

-- The common step of the tracking events: one event row of the source.
CREATE OR REPLACE FUNCTION dbo.pda_track_info_add(p_tag text, p_number text, p_ntype integer, p_irid integer,
    p_ixid integer, p_bsys integer, p_station text, p_cdate text, p_place text, p_info text, p_placee text,
    p_infoe text, p_opname text, p_nposb integer)
RETURNS integer LANGUAGE sql AS $$
  INSERT INTO dbo.pda_track_info (ctag, cnumber, ntype, irid, ixid, nsys, cstation, cdate, cplace, cinfo, cplacee,
                                  cinfoe, copname, nposb)
  VALUES (p_tag, p_number, p_ntype, p_irid, p_ixid, p_bsys, p_station,
          CASE WHEN p_bsys = 1 THEN to_char(LOCALTIMESTAMP, 'YYYY-MM-DD HH24:MI:SS') ELSE left(p_cdate, 31) END,
          p_place, p_info, p_placee, p_infoe, p_opname, p_nposb)
  RETURNING iid
$$;

-- {?=CALL dorvane.dbo.cp_pda_track_info_rec('number',bsys,'station','',0,'date','place','info',
-- 'placeE','infoE','operator','tag',nposb[,ntype])}: a tracking event on the shipment record of the
-- number: its internal number (ntype 0), its service number (1) or either (-1, the default; the newest
-- record first). The event is also the record's newest tracking line. Returns 1; -1 when no record has
-- the number.
CREATE OR REPLACE FUNCTION dbo.cp_pda_track_info_rec(p_number text, p_bsys integer, p_station text, p_unused text,
    p_zero integer, p_cdate text, p_place text, p_info text, p_placee text, p_infoe text, p_opname text,
    p_tag text, p_nposb integer, p_ntype integer DEFAULT -1, OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_irid integer;
  v_date text;
BEGIN
  SELECT irid INTO v_irid FROM dbo.client_rec
   WHERE (p_ntype IN (0, -1) AND cnum = p_number::citext) OR (p_ntype IN (1, -1) AND cserviceno = p_number::citext
          AND p_number <> '')
   ORDER BY irid DESC LIMIT 1;
  IF v_irid IS NULL THEN
    o_ret := -1;
    RETURN;
  END IF;
  PERFORM dbo.pda_track_info_add(p_tag, p_number, p_ntype, v_irid, 0, p_bsys, p_station, p_cdate, p_place, p_info,
                                 p_placee, p_infoe, p_opname, p_nposb);
  v_date := CASE WHEN p_bsys = 1 THEN to_char(LOCALTIMESTAMP, 'YYYY-MM-DD HH24:MI:SS') ELSE left(p_cdate, 31) END;
  INSERT INTO dbo.check_detail (irid, npos, cdate, cplace, cinfo)
  SELECT v_irid, COALESCE(MAX(npos), 0) + 1, v_date, left(p_place, 63), p_info
    FROM dbo.check_detail WHERE irid = v_irid;
  o_ret := 1;
END $$;

-- {?=CALL dorvane.dbo.cp_pda_track_info_xbag(...13 as above)}: a tracking event on the export bag of
-- that number. Returns 1; -1 when there is no such bag.
CREATE OR REPLACE FUNCTION dbo.cp_pda_track_info_xbag(p_number text, p_bsys integer, p_station text,
    p_unused text, p_zero integer, p_cdate text, p_place text, p_info text, p_placee text, p_infoe text,
    p_opname text, p_tag text, p_nposb integer, OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_ixid integer;
BEGIN
  SELECT ixid INTO v_ixid FROM dbo.client_rec_xbag WHERE cxno = p_number::citext ORDER BY ixid DESC LIMIT 1;
  IF v_ixid IS NULL THEN
    o_ret := -1;
    RETURN;
  END IF;
  PERFORM dbo.pda_track_info_add(p_tag, p_number, -1, 0, v_ixid, p_bsys, p_station, p_cdate, p_place, p_info,
                                 p_placee, p_infoe, p_opname, p_nposb);
  o_ret := 1;
END $$;

-- {?=CALL dorvane.dbo.cp_pda_track_info_awb(...13 as above)}: a tracking event on the air waybill
-- (pack) of that number. Returns 1; -1 when there is no such pack.
CREATE OR REPLACE FUNCTION dbo.cp_pda_track_info_awb(p_number text, p_bsys integer, p_station text,
    p_unused text, p_zero integer, p_cdate text, p_place text, p_info text, p_placee text, p_infoe text,
    p_opname text, p_tag text, p_nposb integer, OUT o_ret integer)
LANGUAGE plpgsql AS $$
BEGIN
  IF NOT EXISTS (SELECT 1 FROM dbo.client_rec_pack WHERE cawb = p_number::citext) THEN
    o_ret := -1;
    RETURN;
  END IF;
  PERFORM dbo.pda_track_info_add(p_tag, p_number, -1, 0, 0, p_bsys, p_station, p_cdate, p_place, p_info,
                                 p_placee, p_infoe, p_opname, p_nposb);
  o_ret := 1;
END $$;
