-- Defining goods and placing them in depots. Uniqueness is kept by the tables' unique indexes, so
-- two PDAs defining the same code at once cannot both succeed: the loser's INSERT fails and is
-- answered with the refusal of the index it broke.

-- {?=CALL dorvane.dbo.cp_w_goods_define_add(... 33 arguments)}: a new goods definition. Returns the
-- goods id; -1 the goods code is taken, -3 the client's code is taken, -4 the client's goods name
-- is taken.
CREATE OR REPLACE FUNCTION dbo.cp_w_goods_define_add(
    p_icid integer, p_cccode varchar, p_cgcode varchar, p_chscode varchar, p_cgpccode varchar, p_oper varchar,
    p_reserve integer, p_bshare integer, p_nqc integer, p_fwpu numeric, p_freedays integer, p_ckind varchar,
    p_cname varchar, p_cnamee varchar, p_cproducer varchar, p_ccolor varchar, p_csize varchar, p_cbrand varchar,
    p_cmodel varchar, p_ilong integer, p_iwidth integer, p_iheight integer, p_fweight numeric,
    p_cweightunit varchar, p_corigin varchar, p_cunit varchar, p_iedays integer, p_ntype integer,
    p_cmark varchar, p_cmemo varchar, p_reserve2 integer, p_reserve3 integer, p_iweightdiff integer)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_giid integer;
  v_constraint text;
BEGIN
  INSERT INTO dbo.w_goods_define (icid, cccode, cgcode, chscode, cgpccode, coper, nshare, nqc, fwpu, wfreedays,
      ckind, cname, cnamee, cproducer, ccolor, csize, cbrand, cmodel, ilong, iwidth, iheight, fweight,
      cweightunit, corigin, cunit, iedays, ntype, cmark, cmemo, iweightdiff, ddate)
  VALUES (p_icid, p_cccode, p_cgcode, p_chscode, p_cgpccode, p_oper, p_bshare, p_nqc, p_fwpu, p_freedays,
      p_ckind, p_cname, p_cnamee, p_cproducer, p_ccolor, p_csize, p_cbrand, p_cmodel, p_ilong, p_iwidth,
      p_iheight, p_fweight, p_cweightunit, p_corigin, p_cunit, p_iedays, p_ntype, p_cmark, p_cmemo,
      p_iweightdiff, LOCALTIMESTAMP(0))
  RETURNING giid INTO v_giid;
  RETURN v_giid;
EXCEPTION WHEN unique_violation THEN
  GET STACKED DIAGNOSTICS v_constraint = CONSTRAINT_NAME;
  RETURN CASE v_constraint
           WHEN 'w_goods_define_cgcode' THEN -1
           WHEN 'w_goods_define_cccode' THEN -3
           WHEN 'w_goods_define_cname' THEN -4
           ELSE -5
         END;
END $$;

-- {?=CALL dorvane.dbo.cp_w_goods_depot_add(... 42 arguments)}: places the goods in a depot. Returns the
-- placement id; -1 the goods are placed in that depot already; -2 there are no such goods.
CREATE OR REPLACE FUNCTION dbo.cp_w_goods_depot_add(
    p_giid integer, p_icid integer, p_cdepot varchar, p_cshelfb varchar, p_cshelfe varchar, p_storyb integer,
    p_storye integer, p_columnb integer, p_columne integer, p_oper varchar, p_reserve integer, p_bshare integer,
    p_nqc integer, p_empty varchar, p_fpackm numeric, p_fpackl numeric, p_fqcin numeric, p_flabel numeric,
    p_farrange numeric, p_fqcout numeric, p_fwpu numeric, p_freedays integer, p_cmoney varchar,
    p_fprice numeric, p_fprices numeric, p_fpriceb numeric, p_fpricev numeric, p_fdvalue numeric,
    p_fivalue numeric, p_fevalue numeric, p_fvaday numeric, p_cunit varchar, p_imin integer, p_imax integer,
    p_iedays integer, p_reserve2 integer, p_cmark varchar, p_cmemo varchar, p_reserve3 integer,
    p_reserve4 integer, p_reserve5 integer, p_reserve6 numeric)
RETURNS integer LANGUAGE plpgsql AS $$
DECLARE
  v_iid integer;
BEGIN
  PERFORM 1 FROM dbo.w_goods_define WHERE giid = p_giid;
  IF NOT FOUND THEN
    RETURN -2;
  END IF;
  INSERT INTO dbo.w_goods_depot (giid, icid, cdepot, cshelfb, cshelfe, nstoryb, nstorye, wcolumnb, wcolumne,
      coper, nshare, nqc, fpackm, fpackl, fqcin, flabel, farrange, fqcout, fwpu, wfreedays, cmoney, fprice,
      fprices, fpriceb, fpricev, fdvalue, fivalue, fevalue, fvaday, cunit, imin, imax, iedays, cmark, cmemo)
  VALUES (p_giid, p_icid, p_cdepot, p_cshelfb, p_cshelfe, p_storyb, p_storye, p_columnb, p_columne, p_oper,
      p_bshare, p_nqc, p_fpackm, p_fpackl, p_fqcin, p_flabel, p_farrange, p_fqcout, p_fwpu, p_freedays,
      p_cmoney, p_fprice, p_fprices, p_fpriceb, p_fpricev, p_fdvalue, p_fivalue, p_fevalue, p_fvaday, p_cunit,
      p_imin, p_imax, p_iedays, p_cmark, p_cmemo)
  RETURNING iid INTO v_iid;
  RETURN v_iid;
EXCEPTION WHEN unique_violation THEN
  RETURN -1;
END $$;
