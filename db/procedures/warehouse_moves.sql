-- Signing stock moves between depots. Each end signs once: the test and the change are one UPDATE,
-- so of two PDAs signing the same move at once one signs and the other is told it is signed already.

-- {?=CALL dorvane.dbo.cp_w_move_set_out(imid, oper)}: signs the move out at its source. Returns 1
-- when signed now, 0 when it was signed out already, -2 when there is no such move.
CREATE OR REPLACE FUNCTION dbo.cp_w_move_set_out(p_imid integer, p_oper varchar)
RETURNS integer LANGUAGE plpgsql AS $$
BEGIN
  UPDATE dbo.w_move SET dout = LOCALTIMESTAMP(0), cout = p_oper
   WHERE imid = p_imid AND dout < '2000-01-01';
  IF FOUND THEN
    RETURN 1;
  END IF;
  PERFORM 1 FROM dbo.w_move WHERE imid = p_imid;
  RETURN CASE WHEN FOUND THEN 0 ELSE -2 END;
END $$;

-- {?=CALL dorvane.dbo.cp_w_move_set_in(imid, oper)}: signs the move in at its destination. Returns 1
-- when signed now, 0 when it was signed in already, -2 when there is no such move, -3 when it has not
-- been signed out yet.
CREATE OR REPLACE FUNCTION dbo.cp_w_move_set_in(p_imid integer, p_oper varchar)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_dout timestamp;
  v_din timestamp;
BEGIN
  UPDATE dbo.w_move SET din = LOCALTIMESTAMP(0), cin = p_oper
   WHERE imid = p_imid AND din < '2000-01-01' AND dout >= '2000-01-01';
  IF FOUND THEN
    RETURN 1;
  END IF;
  SELECT dout, din INTO v_dout, v_din FROM dbo.w_move WHERE imid = p_imid;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  IF v_din >= '2000-01-01' THEN
    RETURN 0;
  END IF;
  RETURN -3;
END $$;
