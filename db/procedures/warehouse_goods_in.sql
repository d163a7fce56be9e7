-- Goods in: notices, pictures, and the pick, check and confirm steps. Each step locks the goods-in
-- row (FOR UPDATE) and tests its state again before it changes anything, so of two PDAs confirming
-- one notice one stores the goods and the other is refused, and the stock counter grows once.
-- No function here returns 0: success is a positive value.

-- The handover person of a depot: 0 when `cname` has a role in the depot with the right (1 goods-in
-- handover, 2 goods-out handover, 4 picking confirmation) and the password (case-sensitive); -6 no
-- role in the depot, -7 no such right, -8 a wrong password.
CREATE OR REPLACE FUNCTION dbo.w_handover_check(p_cdepot varchar, p_cname varchar, p_cpassword varchar,
    p_right integer)
RETURNS integer LANGUAGE plpgsql STABLE AS $$
DECLARE
  v_rights integer;
  v_password varchar;
BEGIN
  SELECT nrights, cpassword INTO v_rights, v_password FROM dbo.w_depot_role
   WHERE cname = p_cname AND cdepot::text = p_cdepot
   ORDER BY (nrights & p_right) DESC LIMIT 1;
  IF NOT FOUND THEN
    RETURN -6;
  END IF;
  IF (v_rights & p_right) = 0 THEN
    RETURN -7;
  END IF;
  IF v_password IS DISTINCT FROM p_cpassword THEN
    RETURN -8;
  END IF;
  RETURN 0;
END $$;

-- Records the fee items of a step: one row per (name, seconds, wage) item.
CREATE OR REPLACE FUNCTION dbo.w_operate_log_add(p_kind varchar, p_refid integer, p_cmoney varchar, p_oper varchar,
    p_names varchar[], p_seconds integer[], p_wages numeric[])
RETURNS void LANGUAGE sql AS $$
  INSERT INTO dbo.w_operate_log (ckind, irefid, cname, iseconds, fwage, cmoney, coper)
  SELECT p_kind, p_refid, n, s, w, p_cmoney, p_oper
    FROM unnest(p_names, p_seconds, p_wages) AS f(n, s, w)
$$;

-- {?=CALL dorvane.dbo.cp_w_g_in_add(... 30 arguments)}: a new goods-in notice (state 10). Returns
-- its id; -8 the goods have no placement in the depot; -3 the goods-in number is used in the depot
-- already; -5 a date that cannot be read.
CREATE OR REPLACE FUNCTION dbo.cp_w_g_in_add(
    p_cdepot varchar, p_giid integer, p_ntype integer, p_z1 integer, p_icid integer, p_z2 integer,
    p_cshelf varchar, p_shelftext varchar, p_story integer, p_column integer, p_batch varchar, p_z3 integer,
    p_bpick integer, p_fpick numeric, p_fqcin numeric, p_flabel numeric, p_farrange numeric, p_z4 integer,
    p_cmname varchar, p_caddr varchar, p_cphone varchar, p_today integer, p_dprod varchar, p_dexpire varchar,
    p_oper varchar, p_qty integer, p_cmark varchar, p_cmemo varchar, p_crno varchar, p_deta varchar)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_iid integer;
BEGIN
  PERFORM 1 FROM dbo.w_goods_depot WHERE giid = p_giid AND cdepot = p_cdepot;
  IF NOT FOUND THEN
    RETURN -8;
  END IF;
  BEGIN
    INSERT INTO dbo.w_g_in (crno, cdepot, giid, icid, cbatch, ntype, npick, fpick, fqcin, flabel, farrange,
        nstate, iquantity, cmark, cmemo, ddate, deta, cshelf, nstory, wcolumn, cmname, cphone, caddr, cinput,
        dprod, dexpire, cshelftext, dinput)
    VALUES (p_crno, p_cdepot, p_giid, p_icid, p_batch, p_ntype, p_bpick, p_fpick, p_fqcin, p_flabel, p_farrange,
        10, p_qty, p_cmark, p_cmemo, LOCALTIMESTAMP(0), p_deta::timestamp, p_cshelf, p_story, p_column, p_cmname,
        p_cphone, p_caddr, p_oper, p_dprod::timestamp, p_dexpire::timestamp, p_shelftext,
        to_timestamp(p_today::text, 'YYYYMMDD')::timestamp)
    RETURNING iid INTO v_iid;
  EXCEPTION
    WHEN unique_violation THEN
      RETURN -3;
    WHEN invalid_datetime_format OR datetime_field_overflow THEN
      RETURN -5;
  END;
  RETURN v_iid;
END $$;

-- {?=CALL dorvane.dbo.cp_w_g_in_pic_add(iid, crno, 0, cext, oper)}: a new picture row of the notice
-- (by id, else the first of that number). Returns the picture id; -2 no such notice. The caller
-- stores the bytes in the same transaction.
CREATE OR REPLACE FUNCTION dbo.cp_w_g_in_pic_add(p_iid integer, p_crno varchar, p_z integer, p_cext varchar,
    p_oper varchar)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_iid integer;
  v_ipid integer;
BEGIN
  IF p_iid > 0 THEN
    SELECT iid INTO v_iid FROM dbo.w_g_in WHERE iid = p_iid;
  ELSIF p_crno <> '' THEN
    SELECT iid INTO v_iid FROM dbo.w_g_in WHERE crno = p_crno ORDER BY iid LIMIT 1;
  END IF;
  IF v_iid IS NULL THEN
    RETURN -2;
  END IF;
  INSERT INTO dbo.w_g_in_pic (iid, cext, coper) VALUES (v_iid, p_cext, p_oper) RETURNING iipid INTO v_ipid;
  UPDATE dbo.w_g_in SET wpic = wpic + 1 WHERE iid = v_iid;
  RETURN v_ipid;
END $$;

-- {?=CALL dorvane.dbo.cp_w_g_in_set_pick(iid, oper, qty, inormal, idefective, '')}: the goods were
-- fetched: stores the counts, state 20. Returns 1; -2 no such notice; -4 stored already; -5 checked
-- already; -9 counts that do not add up or are negative, or a notice not yet ready.
CREATE OR REPLACE FUNCTION dbo.cp_w_g_in_set_pick(p_iid integer, p_oper varchar, p_qty integer,
    p_inormal integer, p_idefective integer, p_e varchar)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_state integer;
BEGIN
  SELECT nstate INTO v_state FROM dbo.w_g_in WHERE iid = p_iid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  IF v_state >= 40 THEN
    RETURN -4;
  END IF;
  IF v_state >= 30 THEN
    RETURN -5;
  END IF;
  IF v_state < 10 OR p_inormal < 0 OR p_idefective < 0 OR p_qty <> p_inormal + p_idefective OR p_qty < 1 THEN
    RETURN -9;
  END IF;
  UPDATE dbo.w_g_in SET nstate = 20, npick = 1, iquantity = p_qty, inormal = p_inormal, idefective = p_idefective,
         cpick = p_oper
   WHERE iid = p_iid;
  RETURN 1;
END $$;

-- {?=CALL dorvane.dbo.cp_w_g_in_set_check(iid, oper, qty, inormal, idefective, '')}: the goods were
-- counted and inspected: stores the counts, state 30. Returns 1; -2; -4 stored already; -9 as pick.
CREATE OR REPLACE FUNCTION dbo.cp_w_g_in_set_check(p_iid integer, p_oper varchar, p_qty integer,
    p_inormal integer, p_idefective integer, p_e varchar)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_state integer;
BEGIN
  SELECT nstate INTO v_state FROM dbo.w_g_in WHERE iid = p_iid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  IF v_state >= 40 THEN
    RETURN -4;
  END IF;
  IF v_state < 10 OR p_inormal < 0 OR p_idefective < 0 OR p_qty <> p_inormal + p_idefective OR p_qty < 1 THEN
    RETURN -9;
  END IF;
  UPDATE dbo.w_g_in SET nstate = 30, iquantity = p_qty, inormal = p_inormal, idefective = p_idefective,
         ccheck = p_oper
   WHERE iid = p_iid;
  RETURN 1;
END $$;

-- {?=CALL dorvane.dbo.cp_w_g_in_confirm(... 34 arguments)}: the goods are handed over and stored:
-- state 40, din set, the pieces added to the placement's stock counter once, the four fee items
-- recorded. Returns 1; -2 no such notice; -3 serial goods whose recorded pieces differ from the
-- quantity; -4 stored already; -5 counts that do not add up, or no such placement; -6, -7, -8 the
-- handover person (no role in the depot, no goods-in handover right, wrong password).
CREATE OR REPLACE FUNCTION dbo.cp_w_g_in_confirm(
    p_iid integer, p_oper varchar, p_qty integer, p_inormal integer, p_idefective integer, p_e1 varchar,
    p_freedays integer, p_z1 integer, p_batch varchar, p_defshelf varchar, p_cconfirm varchar,
    p_cpassword varchar, p_e2 varchar, p_cmoney varchar, p_placement integer, p_cshelf varchar, p_z2 integer,
    p_z3 integer,
    p_name1 varchar, p_secs1 integer, p_x1 integer, p_wage1 numeric,
    p_name2 varchar, p_secs2 integer, p_x2 integer, p_wage2 numeric,
    p_name3 varchar, p_secs3 integer, p_x3 integer, p_wage3 numeric,
    p_name4 varchar, p_secs4 integer, p_x4 integer, p_wage4 numeric)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_row dbo.w_g_in%ROWTYPE;
  v_ntype integer;
  v_check integer;
  v_serials integer;
BEGIN
  SELECT * INTO v_row FROM dbo.w_g_in WHERE iid = p_iid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  IF v_row.nstate >= 40 THEN
    RETURN -4;
  END IF;
  IF v_row.nstate < 10 OR p_inormal < 0 OR p_idefective < 0 OR p_qty <> p_inormal + p_idefective OR p_qty < 1 THEN
    RETURN -5;
  END IF;
  v_check := dbo.w_handover_check(v_row.cdepot, p_cconfirm, p_cpassword, 1);
  IF v_check < 0 THEN
    RETURN v_check;
  END IF;
  SELECT ntype INTO v_ntype FROM dbo.w_goods_define WHERE giid = v_row.giid;
  IF v_ntype = 1 THEN
    SELECT COUNT(*) INTO v_serials FROM dbo.w_g_serial WHERE iidin = p_iid AND iidout = 0;
    IF v_serials <> p_qty THEN
      RETURN -3;
    END IF;
  END IF;
  UPDATE dbo.w_goods_depot SET iin = iin + p_qty
   WHERE iid = p_placement AND giid = v_row.giid AND cdepot = v_row.cdepot;
  IF NOT FOUND THEN
    RETURN -5;
  END IF;
  UPDATE dbo.w_g_in SET nstate = 40, din = LOCALTIMESTAMP(0), iquantity = p_qty, inormal = p_inormal,
         idefective = p_idefective, cshelf = COALESCE(NULLIF(p_cshelf, ''), p_defshelf), cconfirm = p_cconfirm,
         cmoney = p_cmoney, wfreedays = p_freedays
   WHERE iid = p_iid;
  PERFORM dbo.w_operate_log_add('in', p_iid, p_cmoney, p_oper,
      ARRAY[p_name1, p_name2, p_name3, p_name4], ARRAY[p_secs1, p_secs2, p_secs3, p_secs4],
      ARRAY[p_wage1, p_wage2, p_wage3, p_wage4]);
  RETURN 1;
END $$;
