-- Goods out: choosing and confirming picking carts, confirming orders out of the depot, and the
-- serial-numbered pieces in and out. Every function locks the row it changes and tests its state
-- again, so a cart is confirmed once, an order goes out once (its stock leaves once), and a serial
-- piece is in stock at most once. No function here returns 0.

-- {?=CALL dorvane.dbo.cp_w_order_cart_set_choose(icartid, cchoose, cmark, oper)}: a picker takes
-- the cart (state 2). Returns 1; -2 no such cart; -4 confirmed already.
CREATE OR REPLACE FUNCTION dbo.cp_w_order_cart_set_choose(p_icartid integer, p_cchoose varchar, p_cmark varchar,
    p_oper varchar)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_state integer;
BEGIN
  SELECT nstate INTO v_state FROM dbo.w_order_cart WHERE icartid = p_icartid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  IF v_state >= 3 THEN
    RETURN -4;
  END IF;
  UPDATE dbo.w_order_cart SET nstate = GREATEST(nstate, 2), dchoose = LOCALTIMESTAMP(0), cchoose = p_cchoose,
         cmark = CASE WHEN p_cmark <> '' THEN p_cmark ELSE cmark END
   WHERE icartid = p_icartid;
  RETURN 1;
END $$;

-- {?=CALL dorvane.dbo.cp_w_order_cart_set_confirm_ex(today, icartid, coper, cconfirm, cpassword, cmark,
-- oper)}: the picked cart is handed over (state 3); its ready orders and their goods-out rows count
-- as picked (state 20). Returns 1; -2 no such cart; -4 confirmed already; -6, -7, -8 the handover
-- person (no role in the cart's depot, no picking-confirmation right, wrong password).
CREATE OR REPLACE FUNCTION dbo.cp_w_order_cart_set_confirm_ex(p_today integer, p_icartid integer, p_coper varchar,
    p_cconfirm varchar, p_cpassword varchar, p_cmark varchar, p_oper varchar)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_state integer;
  v_depot varchar;
  v_check integer;
BEGIN
  SELECT nstate, cdepot INTO v_state, v_depot FROM dbo.w_order_cart WHERE icartid = p_icartid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  IF v_state >= 3 THEN
    RETURN -4;
  END IF;
  v_check := dbo.w_handover_check(v_depot, p_cconfirm, p_cpassword, 4);
  IF v_check < 0 THEN
    RETURN v_check;
  END IF;
  UPDATE dbo.w_order_cart SET nstate = 3, dconfirm = LOCALTIMESTAMP(0), coper = p_coper, cconfirm = p_cconfirm,
         cmark = CASE WHEN p_cmark <> '' THEN p_cmark ELSE cmark END
   WHERE icartid = p_icartid;
  UPDATE dbo.w_g_out SET nstate = 20
   WHERE nstate >= 10 AND nstate < 20
     AND ioid IN (SELECT ioid FROM dbo.w_order WHERE icartid = p_icartid AND cdepot = v_depot);
  UPDATE dbo.w_order SET nstate = 20
   WHERE icartid = p_icartid AND cdepot = v_depot AND nstate >= 10 AND nstate < 20;
  RETURN 1;
END $$;

-- {?=CALL dorvane.dbo.cp_w_order_set_o_confirm(?, ioid, oper, '', '', '', cconfirm, cpassword, '', '',
-- 5 fee items)}: the order leaves the depot (state 50): its goods-out pieces are booked out of the
-- placements' stock once, the fee items recorded; irid is the booking made. ret 1; -2 no such
-- order; -3 serial goods whose scanned pieces differ from the quantity; -4 out already; -5 not
-- ready; -6, -7, -8 the handover person (no role in the depot, no goods-out handover right, wrong
-- password). irid is 0 on a refusal.
CREATE OR REPLACE FUNCTION dbo.cp_w_order_set_o_confirm(
    p_ioid integer, p_oper varchar, p_e1 varchar, p_e2 varchar, p_e3 varchar, p_cconfirm varchar,
    p_cpassword varchar, p_e4 varchar, p_e5 varchar,
    p_name1 varchar, p_secs1 integer, p_x1 integer, p_wage1 numeric,
    p_name2 varchar, p_secs2 integer, p_x2 integer, p_wage2 numeric,
    p_name3 varchar, p_secs3 integer, p_x3 integer, p_wage3 numeric,
    p_name4 varchar, p_secs4 integer, p_x4 integer, p_wage4 numeric,
    p_name5 varchar, p_secs5 integer, p_x5 integer, p_wage5 numeric,
    OUT ret integer, OUT irid integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_state integer;
  v_depot varchar;
  v_money varchar;
  v_check integer;
  v_total integer;
BEGIN
  irid := 0;
  SELECT nstate, cdepot, cmoney INTO v_state, v_depot, v_money FROM dbo.w_order WHERE ioid = p_ioid FOR UPDATE;
  IF NOT FOUND THEN
    ret := -2;
    RETURN;
  END IF;
  IF v_state >= 50 THEN
    ret := -4;
    RETURN;
  END IF;
  IF v_state < 10 THEN
    ret := -5;
    RETURN;
  END IF;
  v_check := dbo.w_handover_check(v_depot, p_cconfirm, p_cpassword, 2);
  IF v_check < 0 THEN
    ret := v_check;
    RETURN;
  END IF;
  -- Every serial-numbered goods-out row must have had each of its pieces scanned out.
  PERFORM 1 FROM dbo.w_g_out AS o JOIN dbo.w_goods_define AS b ON b.giid = o.giid
   WHERE o.ioid = p_ioid AND b.ntype = 1
     AND o.iquantity <> (SELECT COUNT(*) FROM dbo.w_g_serial AS s WHERE s.iidout = o.iid);
  IF FOUND THEN
    ret := -3;
    RETURN;
  END IF;
  UPDATE dbo.w_goods_depot AS d SET iout = d.iout + o.qty
    FROM (SELECT giid, SUM(iquantity) AS qty FROM dbo.w_g_out WHERE ioid = p_ioid GROUP BY giid) AS o
   WHERE d.giid = o.giid AND d.cdepot = v_depot;
  SELECT COALESCE(SUM(iquantity), 0) INTO v_total FROM dbo.w_g_out WHERE ioid = p_ioid;
  UPDATE dbo.w_g_out SET nstate = 50 WHERE ioid = p_ioid;
  UPDATE dbo.w_order SET nstate = 50, dout = LOCALTIMESTAMP(0), cout = p_oper, cconfirm = p_cconfirm
   WHERE ioid = p_ioid;
  INSERT INTO dbo.w_order_out_book (ioid, cdepot, iquantity, cconfirm, coper)
  VALUES (p_ioid, v_depot, v_total, p_cconfirm, p_oper)
  RETURNING w_order_out_book.irid INTO irid;
  PERFORM dbo.w_operate_log_add('out', p_ioid, v_money, p_oper,
      ARRAY[p_name1, p_name2, p_name3, p_name4, p_name5], ARRAY[p_secs1, p_secs2, p_secs3, p_secs4, p_secs5],
      ARRAY[p_wage1, p_wage2, p_wage3, p_wage4, p_wage5]);
  ret := 1;
END $$;

-- {?=CALL dorvane.dbo.cp_w_g_serial_add(cdepot, giid, icid, ccode, today, oper, 0, '', '', 0, 0)}: the
-- serial row of a piece code (not yet in stock). Returns its id; when the code is known already
-- (two PDAs adding it at once, say), the id of the row there.
CREATE OR REPLACE FUNCTION dbo.cp_w_g_serial_add(p_cdepot varchar, p_giid integer, p_icid integer, p_ccode varchar,
    p_today integer, p_oper varchar, p_z1 integer, p_e1 varchar, p_e2 varchar, p_z2 integer, p_z3 integer)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_serid integer;
BEGIN
  INSERT INTO dbo.w_g_serial (giid, cdepot, ccode, icid, coper)
  VALUES (p_giid, p_cdepot, p_ccode, p_icid, p_oper)
  ON CONFLICT (giid, cdepot, ccode) DO NOTHING
  RETURNING serid INTO v_serid;
  IF v_serid IS NULL THEN
    SELECT serid INTO v_serid FROM dbo.w_g_serial WHERE giid = p_giid AND cdepot = p_cdepot AND ccode = p_ccode;
  END IF;
  RETURN COALESCE(v_serid, -5);
END $$;

-- {?=CALL dorvane.dbo.cp_w_g_serial_in_id(serid, sound, today, oper, iid, opname, today text, secs, 0, 0,
-- shelf, '', '', cmoney, wage)}: the piece comes in with goods-in notice iid. Returns the serial id;
-- -2 no such notice (or serial row); -3 the piece is not of the notice's goods and depot, is in
-- stock already, or the notice has all its pieces; -4 the piece has gone out.
CREATE OR REPLACE FUNCTION dbo.cp_w_g_serial_in_id(p_serid integer, p_sound integer, p_today integer,
    p_oper varchar, p_iid integer, p_opname varchar, p_today_text varchar, p_secs integer, p_z1 integer,
    p_z2 integer, p_shelf varchar, p_e1 varchar, p_e2 varchar, p_cmoney varchar, p_wage numeric)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_in dbo.w_g_in%ROWTYPE;
  v_serial dbo.w_g_serial%ROWTYPE;
  v_count integer;
BEGIN
  SELECT * INTO v_in FROM dbo.w_g_in WHERE iid = p_iid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  SELECT * INTO v_serial FROM dbo.w_g_serial WHERE serid = p_serid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  IF v_serial.iidout > 0 THEN
    RETURN -4;
  END IF;
  IF v_serial.giid <> v_in.giid OR v_serial.cdepot <> v_in.cdepot OR v_serial.iidin > 0 THEN
    RETURN -3;
  END IF;
  SELECT COUNT(*) INTO v_count FROM dbo.w_g_serial WHERE iidin = p_iid;
  IF v_count >= v_in.iquantity THEN
    RETURN -3;
  END IF;
  UPDATE dbo.w_g_serial SET iidin = p_iid, nsound = p_sound, icid = v_in.icid, coper = p_oper,
         ddate = LOCALTIMESTAMP(0)
   WHERE serid = p_serid;
  PERFORM dbo.w_operate_log_add('serial_in', p_serid, p_cmoney, p_oper, ARRAY[p_opname], ARRAY[p_secs],
      ARRAY[p_wage]);
  RETURN p_serid;
END $$;

-- {?=CALL dorvane.dbo.cp_w_g_serial_out_id(serid, sound, today, oper, ioid, goods-out iid, opname,
-- today text, secs, 0, 0, shelf, '', '', cmoney, wage)}: the piece leaves with goods-out row iid of
-- order ioid. Returns 1; -2 no such piece in stock (serid 0 included) or of other goods; -3 the row
-- has all its pieces already; -4 the piece has gone out already.
CREATE OR REPLACE FUNCTION dbo.cp_w_g_serial_out_id(p_serid integer, p_sound integer, p_today integer,
    p_oper varchar, p_ioid integer, p_iid integer, p_opname varchar, p_today_text varchar, p_secs integer,
    p_z1 integer, p_z2 integer, p_shelf varchar, p_e1 varchar, p_e2 varchar, p_cmoney varchar, p_wage numeric)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_out dbo.w_g_out%ROWTYPE;
  v_serial dbo.w_g_serial%ROWTYPE;
  v_depot varchar;
  v_count integer;
BEGIN
  SELECT * INTO v_out FROM dbo.w_g_out WHERE iid = p_iid AND ioid = p_ioid FOR UPDATE;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  SELECT cdepot INTO v_depot FROM dbo.w_order WHERE ioid = p_ioid;
  SELECT * INTO v_serial FROM dbo.w_g_serial WHERE serid = p_serid FOR UPDATE;
  IF NOT FOUND OR v_serial.iidin = 0 OR v_serial.giid <> v_out.giid OR v_serial.cdepot <> v_depot THEN
    RETURN -2;
  END IF;
  IF v_serial.iidout > 0 THEN
    RETURN -4;
  END IF;
  SELECT COUNT(*) INTO v_count FROM dbo.w_g_serial WHERE iidout = p_iid;
  IF v_count >= v_out.iquantity THEN
    RETURN -3;
  END IF;
  UPDATE dbo.w_g_serial SET iidout = p_iid, coper = p_oper, ddate = LOCALTIMESTAMP(0) WHERE serid = p_serid;
  PERFORM dbo.w_operate_log_add('serial_out', p_serid, p_cmoney, p_oper, ARRAY[p_opname], ARRAY[p_secs],
      ARRAY[p_wage]);
  RETURN 1;
END $$;
