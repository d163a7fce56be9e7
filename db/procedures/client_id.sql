-- Client road, identity: receivers' ID-card records and client accounts made by partners.

-- {?=CALL dorvane.dbo.cp_x_sri_set('客户', t1, t2, t3, 1, 0, 0, icid, 0, 0, ikind, '', c13 ... c23,
-- cidcard, '' ... , cmark, '' ..., cex1, '' ..., initial)}: makes a new ID-card record of client
-- icid without picture (the caller stores it in the same transaction). Arguments 13 and 14 are the
-- receiver's name as the client's layout places it (the first for kind 0, the second for the
-- others), 17 and 18 the card number likewise; 24 is always the card number. Returns the new id,
-- -9 when the row could not be stored.
CREATE OR REPLACE FUNCTION dbo.cp_x_sri_set(
    p_csource varchar, p_nt1 integer, p_nt2 integer, p_nt3 integer, p_a5 integer, p_a6 integer,
    p_a7 integer, p_icid integer, p_a9 integer, p_a10 integer, p_ikind integer, p_a12 varchar,
    p_a13 varchar, p_a14 varchar, p_a15 varchar, p_a16 varchar, p_a17 varchar, p_a18 varchar,
    p_a19 varchar, p_a20 varchar, p_a21 varchar, p_a22 varchar, p_a23 varchar, p_cidcard varchar,
    p_a25 varchar, p_a26 varchar, p_a27 varchar, p_a28 varchar, p_cmark varchar, p_a30 varchar,
    p_a31 varchar, p_a32 varchar, p_a33 varchar, p_a34 varchar, p_a35 varchar, p_cex1 varchar,
    p_a37 varchar, p_a38 varchar, p_a39 varchar, p_a40 varchar, p_cinitial varchar,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
BEGIN
  IF p_icid IS NULL OR p_icid <= 0 THEN
    o_ret := -9;
    RETURN;
  END IF;
  INSERT INTO dbo.x_sri (icid, ikind, csource, nt1, nt2, nt3, crname, crnamee, cidcard, cmark, cex1, cinitial)
  VALUES (p_icid, p_ikind, left(p_csource, 15), p_nt1, p_nt2, p_nt3, left(p_a13, 30), left(p_a14, 30),
          left(p_cidcard, 30), left(p_cmark, 15), left(p_cex1, 63), COALESCE(NULLIF(left(p_cinitial, 1), ''), '$'))
  RETURNING iid INTO o_ret;
EXCEPTION WHEN OTHERS THEN
  o_ret := -9;
END $$;

-- {?=CALL dorvane.dbo.cp_client_arc_add(64 arguments)}: opens a client account. The arguments come in
-- the order of the client-creation call: the unit's names and address (1-11), sender (12, 13),
-- phone and fax (14, 15), memo (17), state (18), e-mail (19), contact (20), account (22), SMS
-- number (23), kind (28), brief name (32), station (35), pay way (37), the chat and shop ids
-- (39-42), order text (43), mark (44), reserve fields (53-57) and the WeChat id (64); the others are
-- the zeros and empty texts the call passes. Returns the new client id; -1 when the account
-- already names a client; -9 when the row could not be stored.
CREATE OR REPLACE FUNCTION dbo.cp_client_arc_add(
    p_cunitname varchar, p_cunitnamee varchar, p_caddr varchar, p_caddre varchar, p_ccity varchar,
    p_ccitye varchar, p_cpostcode varchar, p_cprovince varchar, p_cprovincee varchar, p_ccountry varchar,
    p_ccountrye varchar, p_csender varchar, p_csendere varchar, p_cphone varchar, p_cfax varchar,
    p_a16 integer, p_cmemo varchar, p_nstate integer, p_cemail varchar, p_cmname varchar,
    p_a21 numeric, p_caccount varchar, p_csmnumber varchar, p_a24 integer, p_a25 integer,
    p_a26 integer, p_a27 integer, p_ckind varchar, p_a29 integer, p_a30 integer, p_a31 integer,
    p_cbrief varchar, p_a33 varchar, p_a34 integer, p_cstation varchar, p_cmname2 varchar,
    p_npayway integer, p_nstateflag integer, p_cqq varchar, p_cmsn varchar, p_cskype varchar,
    p_cwang varchar, p_corder varchar, p_cmark varchar, p_a45 integer, p_a46 integer, p_a47 varchar,
    p_a48 varchar, p_a49 varchar, p_a50 integer, p_a51 varchar, p_a52 varchar, p_cby1 varchar,
    p_cby2 varchar, p_cby3 varchar, p_cby4 varchar, p_cby5 varchar, p_a58 varchar, p_a59 varchar,
    p_a60 varchar, p_a61 varchar, p_a62 varchar, p_a63 varchar, p_cwechat varchar,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_icid integer;
BEGIN
  -- Two creations of one account at once: the second waits, then finds the first one's row.
  PERFORM pg_advisory_xact_lock(hashtextextended('client_arc:caccount:' || lower(COALESCE(p_caccount, '')), 0));
  IF p_caccount <> '' AND EXISTS (SELECT 1 FROM dbo.client_arc WHERE lower(caccount) = lower(p_caccount)) THEN
    o_ret := -1;
    RETURN;
  END IF;
  LOOP
    v_icid := nextval('dbo.client_arc_icid_seq');
    EXIT WHEN NOT EXISTS (SELECT 1 FROM dbo.client_arc WHERE icid = v_icid);
  END LOOP;
  INSERT INTO dbo.client_arc (icid, cunitname, cunitnamee, caddr, caddre, ccity, ccitye, cpostcode, cprovince,
                              cprovincee, ccountry, ccountrye, csender, csendere, cphone, cfax, cmemo, nstate,
                              cemail, cmname, caccount, csmnumber, ckind, cbrief, cstation, npayway, cqq, cmsn,
                              cskype, cwang, corder, cmark, cby1, cby2, cby3, cby4, cby5, cwechat)
  VALUES (v_icid, p_cunitname, p_cunitnamee, p_caddr, p_caddre, p_ccity, p_ccitye, p_cpostcode, p_cprovince,
          p_cprovincee, p_ccountry, p_ccountrye, p_csender, p_csendere, p_cphone, p_cfax, p_cmemo, p_nstate,
          p_cemail, p_cmname, p_caccount, p_csmnumber, p_ckind, p_cbrief, p_cstation, p_npayway, p_cqq, p_cmsn,
          p_cskype, p_cwang, p_corder, p_cmark, p_cby1, p_cby2, p_cby3, p_cby4, p_cby5, p_cwechat);
  o_ret := v_icid;
EXCEPTION
  WHEN unique_violation THEN
    o_ret := -1;
  WHEN OTHERS THEN
    o_ret := -9;
END $$;
