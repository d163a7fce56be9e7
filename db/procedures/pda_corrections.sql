-- Corrections on the PDA: failed scans, returns of shipment records with their depot booking, and
-- the receipt of transfer parcels (known, unclaimed, or new for a client).

-- A typed time ("2026-06-01 10:00") as a time stamp; now when it is empty or not a time.
CREATE OR REPLACE FUNCTION dbo.pda_time_or_now(p_text text)
RETURNS timestamp LANGUAGE plpgsql STABLE AS $$
BEGIN
  IF p_text IS NULL OR length(p_text) < 8 THEN
    RETURN LOCALTIMESTAMP(0);
  END IF;
  RETURN p_text::timestamp(0);
EXCEPTION WHEN others THEN
  RETURN LOCALTIMESTAMP(0);
END $$;

-- {CALL dorvane.dbo.cp_check_scan_err_add('cnum','station','',4,'1900.1.1','','date','place','info',
-- weight,8,'operator',2,10)}: records a scan that could not be carried out.
CREATE OR REPLACE FUNCTION dbo.cp_check_scan_err_add(p_cnum text, p_station text, p_c3 text, p_type integer,
    p_d5 text, p_c6 text, p_cdate text, p_place text, p_info text, p_weight numeric, p_kind integer,
    p_opname text, p_source integer, p_code integer)
RETURNS void LANGUAGE sql AS $$
  INSERT INTO dbo.check_scan_err (cnum, cstation, ntype, cdate, cplace, cinfo, fweight, nkind, copname, nsource, ncode)
  VALUES (p_cnum, p_station, p_type, left(p_cdate, 31), left(p_place, 127), left(p_info, 254), p_weight, p_kind,
          p_opname, p_source, p_code)
$$;

-- {?=CALL dorvane.dbo.cp_pda_return_add(irid,'cnum','code',bsys,'station','date','place','info',
-- 'placeE','infoE','operator',weight)}: the record comes back: its return time (now with bsys 1 or a
-- date that is not one) and returner are set once, and the return is kept. Returns the return's id;
-- -2 no record; -13 returned already (also for the second of two simultaneous returns: the row lock
-- makes it see the first).
CREATE OR REPLACE FUNCTION dbo.cp_pda_return_add(p_irid integer, p_cnum text, p_code text, p_bsys integer,
    p_station text, p_cdate text, p_place text, p_info text, p_placee text, p_infoe text, p_opname text,
    p_weight numeric, OUT rv integer)
LANGUAGE plpgsql AS $$
BEGIN
  UPDATE dbo.client_rec
     SET dreturn = CASE WHEN p_bsys = 1 THEN LOCALTIMESTAMP(0) ELSE dbo.pda_time_or_now(p_cdate) END,
         creturn = left(p_opname, 32)
   WHERE irid = p_irid AND (dreturn IS NULL OR dreturn < timestamp '2000-01-01');
  IF NOT FOUND THEN
    rv := CASE WHEN EXISTS (SELECT 1 FROM dbo.client_rec WHERE irid = p_irid) THEN -13 ELSE -2 END;
    RETURN;
  END IF;
  DELETE FROM dbo.client_rec_return WHERE irid = p_irid;  -- a return before 2000 is no return
  INSERT INTO dbo.client_rec_return (irid, cnum, cctrlcode, nsys, cstation, cdate, cplace, cinfo, cplacee, cinfoe,
                                     copname, fweight)
  VALUES (p_irid, p_cnum, p_code, p_bsys, p_station, left(p_cdate, 31), p_place, p_info, p_placee, p_infoe,
          p_opname, p_weight)
  RETURNING iid INTO rv;
END $$;

-- {?=CALL dorvane.dbo.cp_pda_w_return_check(?,?,?,irid,icid,'depot')}: whether the depot books the
-- return: 1 for a record of that client and a depot in service, else 0; n 1 when the client is a
-- client of the depot (booked as "o"), 0 otherwise ("e"); the handling fee (the depot's fee per
-- weight unit times the weight) and the record's weight.
CREATE OR REPLACE FUNCTION dbo.cp_pda_w_return_check(p_irid integer, p_icid integer, p_depot text,
    OUT rv integer, OUT n integer, OUT amount numeric, OUT weight numeric)
LANGUAGE plpgsql AS $$
DECLARE
  v_fee numeric;
BEGIN
  rv := 0; n := 0; amount := 0; weight := 0;
  SELECT fweight INTO weight FROM dbo.client_rec WHERE irid = p_irid AND icid = p_icid;
  IF NOT FOUND THEN
    weight := 0;
    RETURN;
  END IF;
  SELECT fwpufee INTO v_fee FROM dbo.w_depot WHERE cdepot = p_depot AND nstate = 0;
  IF NOT FOUND THEN
    RETURN;
  END IF;
  n := CASE WHEN EXISTS (SELECT 1 FROM dbo.w_client WHERE icid = p_icid AND cdepot = p_depot) THEN 1 ELSE 0 END;
  amount := round(v_fee * weight, 2);
  rv := 1;
END $$;

-- The booking of both forms: one per record. Returns its id; -1 when the record was booked before.
CREATE OR REPLACE FUNCTION dbo.pda_w_return_add(p_type text, p_depot text, p_irid integer, p_icid integer,
    p_n integer, p_weight numeric, p_operate text, p_amount numeric, p_day integer, p_name text, p_namee text,
    p_point text, p_money text, p_opname text, p_grade integer, p_seconds integer, p_wage numeric)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_id integer;
BEGIN
  INSERT INTO dbo.w_return (ctype, cdepot, irid, icid, nitem, fweight, coperate, famount, iday, cname, cnamee, cpoint,
                            cmoney, copname, ngrade, iseconds, fwage)
  VALUES (p_type, p_depot, p_irid, p_icid, p_n, p_weight, left(p_operate, 31), p_amount, p_day, p_name, p_namee,
          p_point, p_money, p_opname, p_grade, p_seconds, p_wage)
  ON CONFLICT (irid) DO NOTHING
  RETURNING ioid INTO v_id;
  RETURN COALESCE(v_id, -1);
END $$;

-- {?=CALL dorvane.dbo.cp_w_return_o('depot',irid,icid,n,weight,'operation',amount,0,0,0,0,0,yyyymmdd,
-- 'name','nameE','point','money','operator',grade,seconds,wage)}: a return of a client of the depot.
CREATE OR REPLACE FUNCTION dbo.cp_w_return_o(p_depot text, p_irid integer, p_icid integer, p_n integer,
    p_weight numeric, p_operate text, p_amount numeric, p_z1 integer, p_z2 integer, p_z3 integer, p_z4 integer,
    p_z5 integer, p_day integer, p_name text, p_namee text, p_point text, p_money text, p_opname text,
    p_grade integer, p_seconds integer, p_wage numeric, OUT rv integer)
LANGUAGE sql AS $$
  SELECT dbo.pda_w_return_add('o', p_depot, p_irid, p_icid, p_n, p_weight, p_operate, p_amount, p_day, p_name,
                              p_namee, p_point, p_money, p_opname, p_grade, p_seconds, p_wage)
$$;

-- The same for a shipment of another client.
CREATE OR REPLACE FUNCTION dbo.cp_w_return_e(p_depot text, p_irid integer, p_icid integer, p_n integer,
    p_weight numeric, p_operate text, p_amount numeric, p_z1 integer, p_z2 integer, p_z3 integer, p_z4 integer,
    p_z5 integer, p_day integer, p_name text, p_namee text, p_point text, p_money text, p_opname text,
    p_grade integer, p_seconds integer, p_wage numeric, OUT rv integer)
LANGUAGE sql AS $$
  SELECT dbo.pda_w_return_add('e', p_depot, p_irid, p_icid, p_n, p_weight, p_operate, p_amount, p_day, p_name,
                              p_namee, p_point, p_money, p_opname, p_grade, p_seconds, p_wage)
$$;

-- ---- transfer receipt ----------------------------------------------------------------------------------

-- {?=CALL dorvane.dbo.cp_rec_trans_receive_set(iid,1,weight,'operator','memo',items,'shelf','station',
-- volume,l,w,h)}: a known transfer is received: receiver and time, weight, pieces, shelf, sides and
-- volume (a memo only when one is given). Returns 1; -2 no such transfer; -4 made into a shipment
-- (packed and sent); -3 received already (nothing changed).
CREATE OR REPLACE FUNCTION dbo.cp_rec_trans_receive_set(p_iid integer, p_n integer, p_weight numeric,
    p_opname text, p_memo text, p_items integer, p_shelf text, p_station text, p_volume integer, p_l integer,
    p_w integer, p_h integer, OUT rv integer)
LANGUAGE plpgsql AS $$
DECLARE
  t dbo.rec_trans%ROWTYPE;
BEGIN
  SELECT * INTO t FROM dbo.rec_trans WHERE iid = p_iid FOR UPDATE;
  IF NOT FOUND THEN
    rv := -2; RETURN;
  END IF;
  IF t.irid <> 0 THEN
    rv := -4; RETURN;
  END IF;
  IF t.crname <> '' AND t.drdate >= timestamp '2001-01-01' THEN
    rv := -3; RETURN;
  END IF;
  UPDATE dbo.rec_trans
     SET crname = left(p_opname, 32), drdate = LOCALTIMESTAMP(0), fweight = p_weight,
         cmemo = CASE WHEN p_memo <> '' THEN p_memo ELSE cmemo END, iitem = p_items, cshelf = p_shelf,
         cstationr = CASE WHEN cstationr = '' THEN left(p_station, 15) ELSE cstationr END, icubic = p_volume,
         il = p_l, iw = p_w, ih = p_h
   WHERE iid = p_iid;
  rv := 1;
END $$;

-- {?=CALL dorvane.dbo.cp_rec_trans_noclaim_set(0,'number',weight,0,'operator','memo',items,'shelf',
-- 'station',volume,l,w,h)}: a parcel nobody has announced is stored as unclaimed (client 0) and
-- received. Returns its id; -4 for an empty number; -1 when an unclaimed parcel of that number exists.
CREATE OR REPLACE FUNCTION dbo.cp_rec_trans_noclaim_set(p_z1 integer, p_number text, p_weight numeric,
    p_z2 integer, p_opname text, p_memo text, p_items integer, p_shelf text, p_station text, p_volume integer,
    p_l integer, p_w integer, p_h integer, OUT rv integer)
LANGUAGE plpgsql AS $$
BEGIN
  IF COALESCE(p_number, '') = '' THEN
    rv := -4; RETURN;
  END IF;
  INSERT INTO dbo.rec_trans (icid, cf_num, fweight, crname, drdate, cmemo, iitem, cshelf, cstationr, icubic, il, iw,
                             ih)
  VALUES (0, p_number, p_weight, left(p_opname, 32), LOCALTIMESTAMP(0), left(p_memo, 254), p_items, p_shelf,
          left(p_station, 15), p_volume, p_l, p_w, p_h)
  ON CONFLICT (icid, cf_num) DO NOTHING
  RETURNING iid INTO rv;
  IF rv IS NULL THEN
    rv := -1;
  END IF;
END $$;

-- {?=CALL dorvane.dbo.cp_rec_trans_set_ems(icid,weight,items,'',1,'kind','number','mark','memo',0,
-- 'operator','station',0,0,0,0,0,'','','',1,'shelf','','','','',0,0,volume,l,w,h)}: a parcel of a
-- client that announced none is stored as the client's transfer, received now. Returns its id; -1
-- when the client has a transfer of that number; -5 for an unknown client; -4 for an empty number.
CREATE OR REPLACE FUNCTION dbo.cp_rec_trans_set_ems(p_icid integer, p_weight numeric, p_items integer, p_c4 text,
    p_n5 integer, p_kind text, p_number text, p_mark text, p_memo text, p_n10 integer, p_opname text,
    p_station text, p_n13 integer, p_n14 integer, p_n15 integer, p_n16 integer, p_n17 integer, p_c18 text,
    p_c19 text, p_c20 text, p_n21 integer, p_shelf text, p_c23 text, p_c24 text, p_c25 text, p_c26 text,
    p_n27 integer, p_n28 integer, p_volume integer, p_l integer, p_w integer, p_h integer, OUT rv integer)
LANGUAGE plpgsql AS $$
BEGIN
  IF COALESCE(p_number, '') = '' THEN
    rv := -4; RETURN;
  END IF;
  IF NOT EXISTS (SELECT 1 FROM dbo.client_arc WHERE icid = p_icid) THEN
    rv := -5; RETURN;
  END IF;
  INSERT INTO dbo.rec_trans (icid, cf_num, cf_emskind, cmark, fweight, crname, drdate, cmemo, iitem, cshelf,
                             cstationr, icubic, il, iw, ih)
  VALUES (p_icid, p_number, p_kind, left(p_mark, 15), p_weight, left(p_opname, 32), LOCALTIMESTAMP(0),
          left(p_memo, 254), p_items, p_shelf, left(p_station, 15), p_volume, p_l, p_w, p_h)
  ON CONFLICT (icid, cf_num) DO NOTHING
  RETURNING iid INTO rv;
  IF rv IS NULL THEN
    rv := -1;
  END IF;
END $$;
