-- The label store's one procedure.

-- {?=CALL dorvane.dbo.cp_file_share_set(iid,'kind','order','title','key',grade)}: with iid 0 a new
-- row (ilen 0, no data, ddate now) of the kind, order id, title, key and grade; with an iid above 0
-- that row's kind, order id, title and key are set again and its data cleared. Returns the row's iid;
-- 0 when the iid names no row, -1 when a text is longer than its column.
CREATE OR REPLACE FUNCTION dbo.cp_file_share_set(p_iid integer, p_ckind varchar, p_corder varchar,
    p_ctitle varchar, p_ckey varchar, p_ngrade integer)
RETURNS integer
LANGUAGE plpgsql AS $$
DECLARE
  v_iid integer;
BEGIN
  IF length(COALESCE(p_ckind, '')) > 15 OR length(COALESCE(p_corder, '')) > 31
     OR length(COALESCE(p_ctitle, '')) > 255 OR length(COALESCE(p_ckey, '')) > 31 THEN
    RETURN -1;
  END IF;
  IF COALESCE(p_iid, 0) <= 0 THEN
    INSERT INTO dbo.file_share (ngrade, ckind, corder, ctitle, ckey, ilen, cfilename, vdata, ddate)
    VALUES (COALESCE(p_ngrade, 0), COALESCE(p_ckind, ''), COALESCE(p_corder, ''), COALESCE(p_ctitle, ''),
            COALESCE(p_ckey, ''), 0, '', NULL, LOCALTIMESTAMP)
    RETURNING iid INTO v_iid;
    RETURN v_iid;
  END IF;
  UPDATE dbo.file_share
     SET ngrade = COALESCE(p_ngrade, 0), ckind = COALESCE(p_ckind, ''), corder = COALESCE(p_corder, ''),
         ctitle = COALESCE(p_ctitle, ''), ckey = COALESCE(p_ckey, ''), ilen = 0, cfilename = '', vdata = NULL,
         ddate = LOCALTIMESTAMP
   WHERE iid = p_iid
  RETURNING iid INTO v_iid;
  RETURN COALESCE(v_iid, 0);
END $$;
