-- Send scans: a PDA hands a shipment record to a supplier under a batch number. The check describes
-- the shipment in a text of LF-ended lines that the handler reads as data; one of the four scan
-- functions then records the send (with or without the supplier cost), refusing a record that was
-- sent meanwhile.

-- A text as one line of the check text (no line breaks inside).
CREATE OR REPLACE FUNCTION dbo.pda_send_line(p_text text)
RETURNS text LANGUAGE sql IMMUTABLE AS $$
  SELECT translate(COALESCE(p_text, ''), E'\n\r', '  ')
$$;

-- The check of both call forms. The record is found by its internal number (p_bnotno 1) or its
-- service number (0), and with a kind given only among records of that kind. Results: 1 with the
-- 24-line text; -2 no record; -5 sent already or the number names several records; -12 the record
-- has no client; -3 the client is unknown; -13 with the credit check, the client's credit does not
-- cover the amount; -6 costed for another supplier; -7 (with the dictionary switch on) the supplier
-- does not carry the kind; -8 the batch belongs to another supplier; -10 the batch was paid; -11
-- with a tolerance (grams), the PDA's weight differs more from the record's: the text is the
-- message.
CREATE OR REPLACE FUNCTION dbo.pda_send_check(p_cnum text, p_kind text, p_isid integer, p_batch bigint,
    p_fweights numeric, p_tolerance integer, p_credit integer, p_station text, p_dict64 integer, p_bnotno integer,
    OUT rv integer, OUT ctext varchar)
LANGUAGE plpgsql AS $$
DECLARE
  n integer;
  r dbo.client_rec%ROWTYPE;
  c dbo.client_arc%ROWTYPE;
  v_weight numeric;
  v_code integer;
BEGIN
  ctext := '';
  SELECT count(*) INTO n FROM dbo.client_rec
   WHERE CASE WHEN p_bnotno = 1 THEN cnum ELSE cserviceno END = p_cnum::citext
     AND (p_kind = '' OR cemskind = p_kind::citext);
  IF n = 0 OR p_cnum = '' THEN
    rv := -2; RETURN;
  END IF;
  IF n > 1 THEN
    rv := -5; RETURN;
  END IF;
  SELECT * INTO r FROM dbo.client_rec
   WHERE CASE WHEN p_bnotno = 1 THEN cnum ELSE cserviceno END = p_cnum::citext
     AND (p_kind = '' OR cemskind = p_kind::citext);
  IF r.ibatch <> 0 THEN
    rv := -5; RETURN;
  END IF;
  IF r.icid = 0 THEN
    rv := -12; RETURN;
  END IF;
  SELECT * INTO c FROM dbo.client_arc WHERE icid = r.icid;
  IF NOT FOUND THEN
    rv := -3; RETURN;
  END IF;
  IF p_credit = 1 AND c.fcredit + c.fdeposit - c.fpay0 - c.fpay1 < r.famount THEN
    rv := -13; RETURN;
  END IF;
  IF r.fcost > 0 AND r.isidc <> 0 AND r.isidc <> p_isid THEN
    rv := -6; RETURN;
  END IF;
  IF p_dict64 = 1 AND NOT EXISTS (SELECT 1 FROM dbo.ems_sp WHERE isid = p_isid AND cemskind = r.cemskind
                                                              AND nstate = 0) THEN
    rv := -7; RETURN;
  END IF;
  IF EXISTS (SELECT 1 FROM dbo.client_rec WHERE ibatch = p_batch AND isid <> p_isid) THEN
    rv := -8; RETURN;
  END IF;
  IF EXISTS (SELECT 1 FROM dbo.sp_batch WHERE ibatch = p_batch AND npaid = 1) THEN
    rv := -10; RETURN;
  END IF;
  IF p_tolerance >= 0 AND p_fweights > 0 AND abs(p_fweights - r.fweight) * 1000 > p_tolerance THEN
    rv := -11;
    ctext := format('重量差异超出范围: 记录 %s kg, 称重 %s kg', r.fweight, round(p_fweights, 3));
    RETURN;
  END IF;
  v_weight := CASE WHEN p_fweights > 0 THEN round(p_fweights, 3) ELSE r.fweight END;
  SELECT ntype INTO v_code FROM dbo.ems_area WHERE cemskind = r.cemskind AND carea = r.cdes;
  ctext := left(concat_ws(E'\n',
      'VCHK01',                               -- 1
      dbo.pda_send_line(r.cdes),              -- 2 destination
      dbo.pda_send_line(r.cserviceno),        -- 3 service number
      dbo.pda_send_line(r.cnum),              -- 4 internal number
      r.icid::text,                           -- 5 client
      v_weight::text,                         -- 6 weight kg
      r.famount::text,                        -- 7 amount
      r.fcost::text,                          -- 8 cost so far
      dbo.pda_send_line(r.cemskind),          -- 9 kind
      r.iitem::text,                          -- 10 pieces
      r.nitemtype::text,                      -- 11 item type
      r.nstate::text,                         -- 12 state
      r.irid::text,                           -- 13 record id
      COALESCE(v_code, 0)::text,              -- 14 customs type of the destination
      dbo.pda_send_line(p_station),           -- 15 station of the scan
      '',                                     -- 16
      dbo.pda_send_line(r.cawb),              -- 17 air waybill
      r.isids::text,                          -- 18 supplier of the sorting
      dbo.pda_send_line(r.cmark),             -- 19 mark
      '',                                     -- 20
      dbo.pda_send_line(r.cpacking),          -- 21 packing
      dbo.pda_send_line(r.ctransnote),        -- 22 transfer note
      dbo.pda_send_line(r.cgoods),            -- 23 goods
      dbo.pda_send_line(r.cmemo)) || E'\n',   -- 24 memo
    1023);
  rv := 1;
END $$;

-- {?=CALL dorvane.dbo.cp_client_rec_send_x_check(?,'cnum',isid,batch,fweights,tolerance,credit,
-- 'station',dict64,bnotno)}
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_x_check(p_cnum text, p_isid integer, p_batch bigint,
    p_fweights numeric, p_tolerance integer, p_credit integer, p_station text, p_dict64 integer, p_bnotno integer,
    OUT rv integer, OUT ctext varchar)
LANGUAGE sql AS $$
  SELECT * FROM dbo.pda_send_check(p_cnum, '', p_isid, p_batch, p_fweights, p_tolerance, p_credit, p_station,
                                   p_dict64, p_bnotno)
$$;

-- {?=CALL dorvane.dbo.cp_client_rec_send_x_check_ex(?,'cnum','kind',...)}: among records of the kind.
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_x_check_ex(p_cnum text, p_kind text, p_isid integer,
    p_batch bigint, p_fweights numeric, p_tolerance integer, p_credit integer, p_station text, p_dict64 integer,
    p_bnotno integer, OUT rv integer, OUT ctext varchar)
LANGUAGE sql AS $$
  SELECT * FROM dbo.pda_send_check(p_cnum, COALESCE(p_kind, ''), p_isid, p_batch, p_fweights, p_tolerance,
                                   p_credit, p_station, p_dict64, p_bnotno)
$$;

-- The send of all four forms: the record joins the supplier's batch (state sent) unless it was sent
-- meanwhile; with a cost (p_cost not NULL) the record takes the cost for that supplier. One send row
-- keeps the scan. Returns the record id; -2 no record; -5 sent already.
CREATE OR REPLACE FUNCTION dbo.pda_send_scan(p_irid integer, p_isid integer, p_spname text, p_kind text,
    p_cost numeric, p_bearer text, p_batch bigint, p_dayindex integer, p_amount numeric, p_opname text,
    p_nextpoint text, p_weight numeric, p_freight numeric, p_fuel numeric, p_customs numeric, p_fixed numeric,
    p_fuelrate numeric, p_customset numeric)
RETURNS integer LANGUAGE plpgsql AS $$
BEGIN
  UPDATE dbo.client_rec
     SET isid = p_isid, ibatch = p_batch, nstate = GREATEST(nstate, 1), dsend = LOCALTIMESTAMP(0),
         fcost = COALESCE(p_cost, fcost), isidc = CASE WHEN p_cost IS NULL THEN isidc ELSE p_isid END
   WHERE irid = p_irid AND ibatch = 0;
  IF NOT FOUND THEN
    RETURN CASE WHEN EXISTS (SELECT 1 FROM dbo.client_rec WHERE irid = p_irid) THEN -5 ELSE -2 END;
  END IF;
  INSERT INTO dbo.client_rec_send (irid, isid, ibatch, cspname, cemskind, cbearer, cnextpoint, idayindex, famount,
                                   fcost, fweight, copname, nwithcost, ffreight, ffuel, fcustoms, ffixed, ffuelrate,
                                   fcustomset)
  VALUES (p_irid, p_isid, p_batch, p_spname, p_kind, p_bearer, p_nextpoint, p_dayindex, p_amount,
          COALESCE(p_cost, 0), p_weight, p_opname, CASE WHEN p_cost IS NULL THEN 0 ELSE 1 END, p_freight, p_fuel,
          p_customs, p_fixed, p_fuelrate, p_customset);
  RETURN p_irid;
END $$;

-- {?=CALL dorvane.dbo.cp_client_rec_send_scan_0(irid,isid,'sp','bearer',batch,day,amount,'op','next',
-- weight,1)}: the send without cost.
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_scan_0(p_irid integer, p_isid integer, p_spname text,
    p_bearer text, p_batch bigint, p_dayindex integer, p_amount numeric, p_opname text, p_nextpoint text,
    p_weight numeric, p_flag integer, OUT rv integer)
LANGUAGE sql AS $$
  SELECT dbo.pda_send_scan(p_irid, p_isid, p_spname, '', NULL, p_bearer, p_batch, p_dayindex, p_amount, p_opname,
                           p_nextpoint, p_weight, 0, 0, 0, 0, 0, 0)
$$;

-- The same with the kind chosen on the PDA after the supplier's name.
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_scan_0_ex(p_irid integer, p_isid integer, p_spname text,
    p_kind text, p_bearer text, p_batch bigint, p_dayindex integer, p_amount numeric, p_opname text,
    p_nextpoint text, p_weight numeric, p_flag integer, OUT rv integer)
LANGUAGE sql AS $$
  SELECT dbo.pda_send_scan(p_irid, p_isid, p_spname, p_kind, NULL, p_bearer, p_batch, p_dayindex, p_amount,
                           p_opname, p_nextpoint, p_weight, 0, 0, 0, 0, 0, 0)
$$;

-- {?=CALL dorvane.dbo.cp_client_rec_send_scan_1(irid,isid,'sp',cost,'bearer',batch,day,amount,'op',
-- 'next',weight,1,freight,fuel,customs,0,0,0,fixed,fuelrate,customset)}: the send with the cost.
CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_scan_1(p_irid integer, p_isid integer, p_spname text,
    p_cost numeric, p_bearer text, p_batch bigint, p_dayindex integer, p_amount numeric, p_opname text,
    p_nextpoint text, p_weight numeric, p_flag integer, p_freight numeric, p_fuel numeric, p_customs numeric,
    p_z1 numeric, p_z2 numeric, p_z3 numeric, p_fixed numeric, p_fuelrate numeric, p_customset numeric,
    OUT rv integer)
LANGUAGE sql AS $$
  SELECT dbo.pda_send_scan(p_irid, p_isid, p_spname, '', p_cost, p_bearer, p_batch, p_dayindex, p_amount, p_opname,
                           p_nextpoint, p_weight, p_freight, p_fuel, p_customs, p_fixed, p_fuelrate, p_customset)
$$;

CREATE OR REPLACE FUNCTION dbo.cp_client_rec_send_scan_1_ex(p_irid integer, p_isid integer, p_spname text,
    p_kind text, p_cost numeric, p_bearer text, p_batch bigint, p_dayindex integer, p_amount numeric,
    p_opname text, p_nextpoint text, p_weight numeric, p_flag integer, p_freight numeric, p_fuel numeric,
    p_customs numeric, p_z1 numeric, p_z2 numeric, p_z3 numeric, p_fixed numeric, p_fuelrate numeric,
    p_customset numeric, OUT rv integer)
LANGUAGE sql AS $$
  SELECT dbo.pda_send_scan(p_irid, p_isid, p_spname, p_kind, p_cost, p_bearer, p_batch, p_dayindex, p_amount,
                           p_opname, p_nextpoint, p_weight, p_freight, p_fuel, p_customs, p_fixed, p_fuelrate,
                           p_customset)
$$;
