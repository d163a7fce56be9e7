-- Drawing numbers. Each call takes the next number of its sequence under the row's lock, so two calls
-- never draw the same number, and a drawn number is never given again.

-- {?=CALL dorvane.dbo.cp_x_genno_exx(rule,?,?,?,?,?)}: the next number of sequence `rule` with the
-- prefix, suffix, width and check type of its row. Returns 1; 0 when the sequence does not exist or its
-- range is used up (the number is then -1).
CREATE OR REPLACE FUNCTION dbo.cp_x_genno_exx(p_rule integer,
    OUT ret integer, OUT num bigint, OUT prefix varchar, OUT suffix varchar, OUT width integer,
    OUT checktype integer)
LANGUAGE plpgsql AS $$
BEGIN
  UPDATE dbo.sys_genno SET inext = inext + 1
   WHERE iid = p_rule AND (ilast IS NULL OR inext <= ilast)
  RETURNING inext - 1, cprefix, csuffix, iwidth, nchecktype INTO num, prefix, suffix, width, checktype;
  IF NOT FOUND THEN
    ret := 0; num := -1; prefix := ''; suffix := ''; width := 0; checktype := 0;
    RETURN;
  END IF;
  ret := 1;
END $$;

-- dorvane.dbo.genno_draw_many(rules): the numbers of many drawings at once, one row for each element
-- of `rules` in its order, each what cp_x_genno_exx of that rule would give were it called for the
-- elements one after the other. A sequence's row is updated once however many of its numbers are
-- drawn (a row updated once per number within one statement costs more with every update); the rows
-- are locked in rule order.
CREATE OR REPLACE FUNCTION dbo.genno_draw_many(p_rules integer[])
RETURNS TABLE (ret integer, num bigint, prefix varchar, suffix varchar, width integer, checktype integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_rule integer;
  v_count bigint;
  v_next bigint;
  v_last bigint;
  v_row dbo.sys_genno%ROWTYPE;
  -- Per rule drawn (in rule order): the next number to give, the first not to give, the dress.
  v_rules integer[] := '{}';
  v_from bigint[] := '{}';
  v_to bigint[] := '{}';
  v_prefix varchar[] := '{}';
  v_suffix varchar[] := '{}';
  v_width integer[] := '{}';
  v_check integer[] := '{}';
  i integer;
BEGIN
  FOR v_rule, v_count IN SELECT a.r, count(*) FROM unnest(p_rules) AS a(r) WHERE a.r IS NOT NULL
                          GROUP BY a.r ORDER BY a.r LOOP
    SELECT * INTO v_row FROM dbo.sys_genno WHERE iid = v_rule FOR UPDATE;
    IF NOT FOUND OR (v_row.ilast IS NOT NULL AND v_row.inext > v_row.ilast) THEN
      CONTINUE;
    END IF;
    v_next := v_row.inext;
    v_last := CASE WHEN v_row.ilast IS NULL THEN v_next + v_count
                   ELSE LEAST(v_next + v_count, v_row.ilast + 1) END;
    UPDATE dbo.sys_genno SET inext = v_last WHERE iid = v_rule;
    v_rules := v_rules || v_rule;
    v_from := v_from || v_next;
    v_to := v_to || v_last;
    v_prefix := v_prefix || v_row.cprefix;
    v_suffix := v_suffix || v_row.csuffix;
    v_width := v_width || v_row.iwidth;
    v_check := v_check || v_row.nchecktype;
  END LOOP;
  FOREACH v_rule IN ARRAY p_rules LOOP
    i := array_position(v_rules, v_rule);
    IF i IS NULL OR v_from[i] >= v_to[i] THEN
      ret := 0; num := -1; prefix := ''; suffix := ''; width := 0; checktype := 0;
    ELSE
      ret := 1; num := v_from[i]; prefix := v_prefix[i]; suffix := v_suffix[i]; width := v_width[i];
      checktype := v_check[i];
      v_from[i] := v_from[i] + 1;
    END IF;
    RETURN NEXT;
  END LOOP;
END $$;

-- {?=CALL dorvane.dbo.cp_get_sys_num(?,client,'rule')}: the next number of the sequence of `rule` for
-- the client (or for every client) as text: the prefix and the number padded with zeros to the
-- width (a longer number keeps all its digits). Returns 1; 0 when the rule has no sequence, -2 when
-- the text would be longer than 30 characters.
CREATE OR REPLACE FUNCTION dbo.cp_get_sys_num(p_client integer, p_rule text,
    OUT ret integer, OUT numtext varchar)
LANGUAGE plpgsql AS $$
DECLARE
  v_num bigint;
  v_prefix varchar;
  v_width integer;
  v_digits text;
BEGIN
  UPDATE dbo.sys_num SET inext = inext + 1 WHERE crule = p_rule AND icid = p_client
  RETURNING inext - 1, cprefix, iwidth INTO v_num, v_prefix, v_width;
  IF NOT FOUND THEN
    UPDATE dbo.sys_num SET inext = inext + 1 WHERE crule = p_rule AND icid = 0
    RETURNING inext - 1, cprefix, iwidth INTO v_num, v_prefix, v_width;
  END IF;
  IF NOT FOUND THEN
    ret := 0; numtext := '';
    RETURN;
  END IF;
  v_digits := v_num::text;
  IF length(v_digits) < v_width THEN
    v_digits := lpad(v_digits, v_width, '0');
  END IF;
  numtext := v_prefix || v_digits;
  IF length(numtext) > 30 THEN
    ret := -2; numtext := '';
    RETURN;
  END IF;
  ret := 1;
END $$;
