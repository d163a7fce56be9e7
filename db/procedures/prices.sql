-- Prices and quotes: places for destination texts, base prices, client prices (special, peer and
-- member prices with the client's discounts) and supplier special prices. Every price comes from the
-- rows of the tables named here, band by band, so that a quote can be followed by hand.
--
-- A band (ibweight, ieweight] prices w grams by its rule ntype: 0 itopprice; 1 ceil(w / iweightper)
-- x iprice; 3 w / 1000 kg x iprice cents, rounded to cents, plus itopprice; any other itopprice plus
-- ceil((w - ibweight) / iweightper) x iprice.

-- The cents of w grams by one band; NULL for a stepped rule without a step.
CREATE OR REPLACE FUNCTION dbo.price_band_cents(p_ntype integer, p_ibweight integer, p_step integer,
    p_iprice integer, p_itopprice integer, p_w integer)
RETURNS bigint LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  v_milli bigint;
  v_over bigint;
BEGIN
  IF p_ntype = 0 THEN
    RETURN p_itopprice;
  END IF;
  IF p_ntype = 3 THEN
    -- Thousandths of a yuan, truncated, then rounded half up to cents.
    v_milli := (p_w::bigint * p_iprice) / 100;
    RETURN p_itopprice + CASE WHEN v_milli >= 0 THEN (v_milli + 5) / 10 ELSE -((-v_milli + 5) / 10) END;
  END IF;
  IF p_step <= 0 THEN
    RETURN NULL;
  END IF;
  IF p_ntype = 1 THEN
    RETURN ((GREATEST(p_w, 0)::bigint + p_step - 1) / p_step) * p_iprice;
  END IF;
  v_over := GREATEST(p_w::bigint - p_ibweight, 0);
  RETURN p_itopprice + ((v_over + p_step - 1) / p_step) * p_iprice;
END $$;

-- The place of a destination text: its Chinese name, English name or code (case ignored); else the
-- place whose Chinese name ends with the text (the shortest such name: 大连 finds 辽宁大连); else the
-- text without a trailing 市, 县 or 省, looked up the same way.
-- {?=CALL dorvane.dbo.cp_query_sys_place(?,?,?,?,?,?,'text')}: 1 with iid, narea, carea (30
-- characters), careae (63), czipcode (11), ccode (7); 0 when no place matches.
CREATE OR REPLACE FUNCTION dbo.cp_query_sys_place(p_text citext,
    OUT o_ret integer, OUT o_iid integer, OUT o_narea integer, OUT o_carea varchar, OUT o_careae varchar,
    OUT o_czipcode varchar, OUT o_ccode varchar)
LANGUAGE plpgsql STABLE AS $$
DECLARE
  v_text text := btrim(coalesce(p_text::text, ''));
  r record;
BEGIN
  o_ret := 0; o_iid := 0; o_narea := 0; o_carea := ''; o_careae := ''; o_czipcode := ''; o_ccode := '';
  IF v_text = '' THEN
    RETURN;
  END IF;
  SELECT p.iid, p.narea, p.carea, p.careae, p.czipcode, p.ccode INTO r FROM dbo.sys_place p
   WHERE p.carea = v_text::citext ORDER BY p.iid LIMIT 1;
  IF NOT FOUND THEN
    SELECT p.iid, p.narea, p.carea, p.careae, p.czipcode, p.ccode INTO r FROM dbo.sys_place p
     WHERE p.careae = v_text::citext ORDER BY p.iid LIMIT 1;
  END IF;
  IF NOT FOUND THEN
    SELECT p.iid, p.narea, p.carea, p.careae, p.czipcode, p.ccode INTO r FROM dbo.sys_place p
     WHERE p.ccode = v_text::citext ORDER BY p.iid LIMIT 1;
  END IF;
  IF NOT FOUND THEN
    SELECT p.iid, p.narea, p.carea, p.careae, p.czipcode, p.ccode INTO r FROM dbo.sys_place p
     WHERE length(p.carea) > length(v_text) AND lower(right(p.carea::text, length(v_text))) = lower(v_text)
     ORDER BY length(p.carea), p.iid LIMIT 1;
  END IF;
  IF NOT FOUND THEN
    IF length(v_text) > 2 AND right(v_text, 1) IN ('市', '县', '省') THEN
      SELECT * INTO o_ret, o_iid, o_narea, o_carea, o_careae, o_czipcode, o_ccode
        FROM dbo.cp_query_sys_place(left(v_text, -1)::citext);
    END IF;
    RETURN;
  END IF;
  o_ret := 1;
  o_iid := r.iid;
  o_narea := r.narea;
  o_carea := left(r.carea::text, 30);
  o_careae := left(r.careae::text, 63);
  o_czipcode := left(r.czipcode, 11);
  o_ccode := left(r.ccode::text, 7);
END $$;

-- The band of sys_price that prices w grams to a price area for an item type (0, 1, anything else
-- 2), as the base price table does: the first band that holds the weight, except that a band of a
-- stepped rule (other than 0, 1, 3) gives way to a later one that also holds it. No row when none.
CREATE OR REPLACE FUNCTION dbo.price_base_band(p_narea integer, p_itemtype integer, p_w integer)
RETURNS SETOF dbo.sys_price LANGUAGE plpgsql STABLE AS $$
DECLARE
  r dbo.sys_price;
  v_found dbo.sys_price;
  v_type integer := CASE WHEN p_itemtype IN (0, 1) THEN p_itemtype ELSE 2 END;
BEGIN
  FOR r IN SELECT * FROM dbo.sys_price s WHERE s.narea = p_narea AND s.nitemtype = v_type ORDER BY s.ibweight, s.iid LOOP
    IF r.ibweight < p_w AND p_w <= r.ieweight THEN
      v_found := r;
      EXIT WHEN r.ntype IN (0, 1, 3);
    END IF;
  END LOOP;
  IF v_found.iid IS NOT NULL THEN
    RETURN NEXT v_found;
  END IF;
END $$;

-- {?=CALL dorvane.dbo.cp_get_base_price(itemtype,grams,'kind','place')}: the base price in cents of
-- the grams to the price area of the place (sys_place by its Chinese name) from sys_price, with the
-- base table's rules (rule 3 as itopprice + w x iprice / 1000, truncated); 0 when no band holds the
-- weight, -4 when the place is unknown. The kind is not part of the base price.
CREATE OR REPLACE FUNCTION dbo.cp_get_base_price(p_itemtype integer, p_grams integer, p_kind citext,
    p_place citext, OUT o_ret integer)
LANGUAGE plpgsql STABLE AS $$
DECLARE
  v_area integer;
  b dbo.sys_price;
BEGIN
  SELECT p.narea INTO v_area FROM dbo.sys_place p WHERE p.carea = p_place ORDER BY p.iid LIMIT 1;
  IF v_area IS NULL THEN
    o_ret := -4;
    RETURN;
  END IF;
  SELECT * INTO b FROM dbo.price_base_band(v_area, p_itemtype, p_grams);
  IF b.iid IS NULL THEN
    o_ret := 0;
  ELSIF b.ntype = 3 THEN
    o_ret := b.itopprice + (p_grams::bigint * b.iprice) / 1000;
  ELSE
    o_ret := COALESCE(dbo.price_band_cents(b.ntype, b.ibweight, b.iweightper, b.iprice, b.itopprice, p_grams), 0);
  END IF;
END $$;

-- The client's discount code for the weight: the segment row (ibweight, ieweight] of the kind (or
-- '无差别价格') and item type; 0 when none.
CREATE OR REPLACE FUNCTION dbo.price_client_segment(p_icid integer, p_kind citext, p_itemtype integer, p_w integer)
RETURNS integer LANGUAGE sql STABLE AS $$
  SELECT COALESCE((SELECT s.idiscount FROM dbo.client_discount_seg s
                    WHERE s.icid = p_icid AND s.cemskind = p_kind AND s.nitemtype = p_itemtype
                      AND s.ibweight < p_w AND p_w <= s.ieweight ORDER BY s.ibweight, s.iid LIMIT 1), 0)
$$;

-- The client's special price band for the weight: the destination's row (carea), else the row of the
-- price area (narea, carea ''). p_kind is the kind or '无差别价格'. No row when none.
CREATE OR REPLACE FUNCTION dbo.price_client_special(p_icid integer, p_kind citext, p_place citext, p_narea integer,
    p_itemtype integer, p_w integer)
RETURNS SETOF dbo.client_special_price LANGUAGE sql STABLE AS $$
  SELECT * FROM dbo.client_special_price s
   WHERE s.icid = p_icid AND s.cemskind = p_kind AND s.nitemtype = p_itemtype AND s.ibweight < p_w AND p_w <= s.ieweight
     AND ((s.carea <> '' AND s.carea = p_place) OR (s.carea = '' AND p_narea > 0 AND s.narea = p_narea))
   ORDER BY (s.carea = '') , s.ibweight, s.iid LIMIT 1
$$;

-- The price of a quote for one kind.
-- {?=CALL dorvane.dbo.cp_ee_get_client_price(?,?,?,?,?,?,?,?,?,?,icid,'kind',narea,'place',grams,itemtype)}
-- Result: 0 the client's special price for the destination; 1 its special price for the kind's price
-- area narea; 3 the member price: with dictionary row "27" set, an active client (nstate 0) of a kind
-- whose ibagweighte is not 1 is priced at the base price band of the place (sys_price); 2 the peer
-- price: the kind's table band for narea (ems_price1 when the kind's b1price is 0, then ems_price);
-- -1 no band. The band comes back as start, end, step, step price, top price and rule; then the
-- client's discount table (client_discount.vdiscount of the kind, or of '无差别价格' for a member
-- price; 100,100,100,100,0,0,0,0 without a row), the fuel-surcharge flag (the special row's baddons
-- for special prices, else the discount row's, 1 without a row), the other fee in cents (iother of
-- the discount row) and the segment discount code (client_discount_seg, 0 when none).
CREATE OR REPLACE FUNCTION dbo.cp_ee_get_client_price(p_icid integer, p_kind citext, p_narea integer,
    p_place citext, p_grams integer, p_itemtype integer,
    OUT o_ret integer, OUT o_bstart integer, OUT o_bend integer, OUT o_step integer, OUT o_stepprice integer,
    OUT o_topprice integer, OUT o_rule integer, OUT o_discounts bytea, OUT o_addons integer,
    OUT o_fixedfee integer, OUT o_segcode integer)
LANGUAGE plpgsql STABLE AS $$
DECLARE
  k dbo.ems_kind;
  sp dbo.client_special_price;
  d dbo.client_discount;
  b record;
  v_member boolean := false;
  v_dkind citext := p_kind;
  v_area integer;
BEGIN
  o_ret := -1; o_bstart := 0; o_bend := 0; o_step := 0; o_stepprice := 0; o_topprice := 0; o_rule := 0;
  o_discounts := '\x6464646400000000'::bytea; o_addons := 1; o_fixedfee := 0; o_segcode := 0;
  SELECT * INTO k FROM dbo.ems_kind WHERE cemskind = p_kind;
  IF NOT FOUND THEN
    RETURN;
  END IF;

  SELECT * INTO sp FROM dbo.price_client_special(p_icid, p_kind, p_place, p_narea, p_itemtype, p_grams);
  IF sp.iid IS NOT NULL THEN
    o_ret := CASE WHEN sp.carea <> '' THEN 0 ELSE 1 END;
    o_bstart := sp.ibweight; o_bend := sp.ieweight; o_step := sp.iweightper; o_stepprice := sp.iprice;
    o_topprice := sp.itopprice; o_rule := sp.ntype;
  ELSE
    v_member := COALESCE((SELECT left(dcvalue, 1) = '1' FROM dbo.sys_dict WHERE dcname = '27' ORDER BY iid LIMIT 1), false)
            AND COALESCE((SELECT c.nstate = 0 FROM dbo.client_arc c WHERE c.icid = p_icid), false)
            AND k.ibagweighte <> 1;
    IF v_member THEN
      SELECT p.narea INTO v_area FROM dbo.sys_place p WHERE p.carea = p_place ORDER BY p.iid LIMIT 1;
      SELECT s.ibweight, s.ieweight, s.iweightper, s.iprice, s.itopprice, s.ntype INTO b
        FROM dbo.price_base_band(COALESCE(v_area, 0), p_itemtype, p_grams) s;
      IF FOUND THEN
        o_ret := 3;
        v_dkind := '无差别价格';
      END IF;
    END IF;
    IF o_ret < 0 THEN
      IF k.b1price = 0 THEN
        SELECT a.ibweight, a.ieweight, a.iweightper, a.iprice, a.itopprice, a.ntype INTO b FROM dbo.ems_price1 a
         WHERE a.cemskind = p_kind AND a.narea = p_narea AND a.nitemtype = p_itemtype
           AND a.ibweight < p_grams AND a.ieweight >= p_grams ORDER BY a.ibweight, a.iid LIMIT 1;
      END IF;
      IF k.b1price <> 0 OR NOT FOUND THEN
        SELECT a.ibweight, a.ieweight, a.iweightper, a.iprice, a.itopprice, a.ntype INTO b FROM dbo.ems_price a
         WHERE a.cemskind = p_kind AND a.narea = p_narea AND a.nitemtype = p_itemtype
           AND a.ibweight < p_grams AND a.ieweight >= p_grams ORDER BY a.ibweight, a.iid LIMIT 1;
      END IF;
      IF NOT FOUND THEN
        RETURN;
      END IF;
      o_ret := 2;
    END IF;
    o_bstart := b.ibweight; o_bend := b.ieweight; o_step := b.iweightper; o_stepprice := b.iprice;
    o_topprice := b.itopprice; o_rule := b.ntype;
  END IF;

  SELECT * INTO d FROM dbo.client_discount WHERE icid = p_icid AND cemskind = v_dkind;
  IF FOUND THEN
    o_discounts := d.vdiscount;
    o_addons := d.baddons;
    o_fixedfee := d.iother;
  END IF;
  IF sp.iid IS NOT NULL THEN
    o_addons := sp.baddons;
  END IF;
  o_segcode := dbo.price_client_segment(p_icid, v_dkind, p_itemtype, p_grams);
END $$;

-- The client's special price of a shipment and its discount code.
-- {?=CALL dorvane.dbo.cp_ee_client_price_get(?,?,icid,itemtype,grams,'kind','destination',frombase)}
-- Returns the special price in cents (0 when none) from client_special_price, for the destination or
-- for the kind's price area of the destination (ems_area); with frombase 1 the rows of
-- '无差别价格' count instead of the kind's. Then the segment discount code (client_discount_seg, 0
-- when none) and the special row's fuel-surcharge flag (0 without a special price).
CREATE OR REPLACE FUNCTION dbo.cp_ee_client_price_get(p_icid integer, p_itemtype integer, p_grams integer,
    p_kind citext, p_dest citext, p_frombase integer,
    OUT o_ret integer, OUT o_code integer, OUT o_addons integer)
LANGUAGE plpgsql STABLE AS $$
DECLARE
  v_kind citext := CASE WHEN p_frombase = 1 THEN '无差别价格'::citext ELSE p_kind END;
  v_area integer;
  sp dbo.client_special_price;
BEGIN
  o_ret := 0; o_code := 0; o_addons := 0;
  SELECT a.narea INTO v_area FROM dbo.ems_area a WHERE a.cemskind = p_kind AND a.carea = p_dest;
  SELECT * INTO sp FROM dbo.price_client_special(p_icid, v_kind, p_dest, COALESCE(v_area, 0), p_itemtype, p_grams);
  IF sp.iid IS NOT NULL THEN
    o_ret := COALESCE(dbo.price_band_cents(sp.ntype, sp.ibweight, sp.iweightper, sp.iprice, sp.itopprice, p_grams), 0);
    o_addons := sp.baddons;
  END IF;
  o_code := dbo.price_client_segment(p_icid, v_kind, p_itemtype, p_grams);
END $$;

-- A supplier's special price of a shipment.
-- {?=CALL dorvane.dbo.cp_ee_get_sp_price(?,?,?,?,?,?,?,?,isid,'kind','destination',grams,itemtype)}
-- Result: 0 the supplier's special price for the destination, the price area (above 0) for its
-- special price of the kind's price area of the destination (sp_special_price), -1 none (the
-- standard price applies). Then the band (start, end, step, step price, top price, rule), the
-- special row's fuel-surcharge flag and the segment discount code (sp_discount_seg, 0 when none).
CREATE OR REPLACE FUNCTION dbo.cp_ee_get_sp_price(p_isid integer, p_kind citext, p_dest citext, p_grams integer,
    p_itemtype integer,
    OUT o_ret integer, OUT o_bstart integer, OUT o_bend integer, OUT o_step integer, OUT o_stepprice integer,
    OUT o_topprice integer, OUT o_rule integer, OUT o_addons integer, OUT o_segcode integer)
LANGUAGE plpgsql STABLE AS $$
DECLARE
  v_area integer;
  sp dbo.sp_special_price;
BEGIN
  o_ret := -1; o_bstart := 0; o_bend := 0; o_step := 0; o_stepprice := 0; o_topprice := 0; o_rule := 0;
  o_addons := 0; o_segcode := 0;
  SELECT a.narea INTO v_area FROM dbo.ems_area a WHERE a.cemskind = p_kind AND a.carea = p_dest;
  SELECT * INTO sp FROM dbo.sp_special_price s
   WHERE s.isid = p_isid AND s.cemskind = p_kind AND s.nitemtype = p_itemtype AND s.ibweight < p_grams
     AND p_grams <= s.ieweight
     AND ((s.carea <> '' AND s.carea = p_dest) OR (s.carea = '' AND COALESCE(v_area, 0) > 0 AND s.narea = v_area))
   ORDER BY (s.carea = ''), s.ibweight, s.iid LIMIT 1;
  IF FOUND THEN
    o_ret := CASE WHEN sp.carea <> '' THEN 0 ELSE sp.narea END;
    o_bstart := sp.ibweight; o_bend := sp.ieweight; o_step := sp.iweightper; o_stepprice := sp.iprice;
    o_topprice := sp.itopprice; o_rule := sp.ntype; o_addons := sp.baddons;
  END IF;
  o_segcode := COALESCE((SELECT s.idiscount FROM dbo.sp_discount_seg s
                          WHERE s.isid = p_isid AND s.cemskind = p_kind AND s.nitemtype = p_itemtype
                            AND s.ibweight < p_grams AND p_grams <= s.ieweight ORDER BY s.ibweight, s.iid LIMIT 1), 0);
END $$;
