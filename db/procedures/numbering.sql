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
