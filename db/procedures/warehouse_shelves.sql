-- Putting pieces on shelves and taking them off. w_shelf_io holds the pieces on the shelves now, so
-- a shelf's content is always what was put on it less what was taken; a take removes one row under
-- a row lock (two takes of the last piece: one succeeds, the other finds nothing).

-- The goods of a goods code placed in a depot: their id, or NULL.
CREATE OR REPLACE FUNCTION dbo.w_placed_goods(p_cdepot varchar, p_cgcode varchar)
RETURNS integer LANGUAGE sql STABLE AS $$
  SELECT b.giid FROM dbo.w_goods_define AS b
    JOIN dbo.w_goods_depot AS a ON a.giid = b.giid AND a.cdepot = p_cdepot
   WHERE b.cgcode = p_cgcode AND p_cgcode <> ''
   ORDER BY b.giid LIMIT 1
$$;

-- {?=CALL dorvane.dbo.cp_w_shelf_io_put(?,cdepot,cshelf,cgcode,oper,cscode)}: puts one piece (the
-- serial-numbered piece cscode when given) on the shelf. ret 1 with the new row's id; -2 the goods
-- are not defined or not placed in the depot; -3 the serial piece is not in stock, or lies on a
-- shelf already. iwsioid is 0 on a refusal.
CREATE OR REPLACE FUNCTION dbo.cp_w_shelf_io_put(p_cdepot varchar, p_cshelf varchar, p_cgcode varchar,
    p_oper varchar, p_cscode varchar, OUT ret integer, OUT iwsioid bigint)
LANGUAGE plpgsql AS $$
DECLARE
  v_giid integer;
BEGIN
  ret := -2;
  iwsioid := 0;
  v_giid := dbo.w_placed_goods(p_cdepot, p_cgcode);
  IF v_giid IS NULL THEN
    RETURN;
  END IF;
  IF p_cscode <> '' THEN
    PERFORM 1 FROM dbo.w_g_serial
      WHERE giid = v_giid AND cdepot = p_cdepot AND ccode = p_cscode AND iidout = 0;
    IF NOT FOUND THEN
      ret := -3;
      RETURN;
    END IF;
  END IF;
  BEGIN
    INSERT INTO dbo.w_shelf_io (cdepot, cshelf, giid, cscode, coper)
    VALUES (p_cdepot, p_cshelf, v_giid, p_cscode, p_oper)
    RETURNING w_shelf_io.iwsioid INTO iwsioid;
  EXCEPTION WHEN unique_violation THEN
    ret := -3;
    iwsioid := 0;
    RETURN;
  END;
  INSERT INTO dbo.w_shelf_io_log (iwsioid, ntype, cdepot, cshelf, giid, cscode, coper)
  VALUES (iwsioid, 1, p_cdepot, p_cshelf, v_giid, p_cscode, p_oper);
  ret := 1;
END $$;

-- {?=CALL dorvane.dbo.cp_w_shelf_io_get(?,cdepot,cshelf,cgcode,oper,cscode)}: takes one piece off
-- the shelf: the serial piece cscode when given, else a piece without a serial code. ret 1 with the
-- id of the row removed; -2 the goods are not defined or not placed; -3 no such piece on the shelf.
CREATE OR REPLACE FUNCTION dbo.cp_w_shelf_io_get(p_cdepot varchar, p_cshelf varchar, p_cgcode varchar,
    p_oper varchar, p_cscode varchar, OUT ret integer, OUT iwsioid bigint)
LANGUAGE plpgsql AS $$
DECLARE
  v_giid integer;
BEGIN
  ret := -2;
  iwsioid := 0;
  v_giid := dbo.w_placed_goods(p_cdepot, p_cgcode);
  IF v_giid IS NULL THEN
    RETURN;
  END IF;
  DELETE FROM dbo.w_shelf_io AS s
   WHERE s.iwsioid = (SELECT t.iwsioid FROM dbo.w_shelf_io AS t
                       WHERE t.cdepot = p_cdepot AND t.cshelf = p_cshelf AND t.giid = v_giid
                         AND t.cscode = p_cscode
                       ORDER BY t.iwsioid LIMIT 1 FOR UPDATE SKIP LOCKED)
  RETURNING s.iwsioid INTO iwsioid;
  IF iwsioid IS NULL THEN
    ret := -3;
    iwsioid := 0;
    RETURN;
  END IF;
  INSERT INTO dbo.w_shelf_io_log (iwsioid, ntype, cdepot, cshelf, giid, cscode, coper)
  VALUES (iwsioid, 2, p_cdepot, p_cshelf, v_giid, p_cscode, p_oper);
  ret := 1;
END $$;
