-- Booking the payments that couriers collect with the payment terminals.

-- {?=CALL dorvane.dbo.cp_client_fee_r_pos(0, waybill, account, amount, waybill, booking time,
-- "operator,terminal", service, memo, card-network deal, 2, card-network deal, pay way, '', 0,
-- currency, 0.0, 1)}: books the amount collected for the shipment record with the waybill number as
-- a payment (client_fee, ntype 1) of the record's client and marks the record paid (ifsid). Returns
-- the fee's id. A waybill that is already booked with the same memo and card-network deal answers
-- that booking's id (a terminal sends its result again), so a deal is never booked twice; booked
-- by another deal: -4. No such waybill: -2. The fee could not be stored: -9.
CREATE OR REPLACE FUNCTION dbo.cp_client_fee_r_pos(
    p_zero integer, p_waybill citext, p_account integer, p_amount numeric, p_waybill2 varchar, p_time varchar,
    p_docno varchar, p_service varchar, p_memo varchar, p_refno varchar, p_payway_code integer,
    p_refno2 varchar, p_payway varchar, p_empty varchar, p_zero2 integer, p_money varchar, p_change numeric,
    p_one integer,
    OUT o_ret integer)
LANGUAGE plpgsql AS $$
DECLARE
  v_irid integer;
  v_icid integer;
  v_ifsid integer;
BEGIN
  -- The record is locked first: two terminals sending the same deal at once are serialised here and
  -- the second one finds the first one's booking.
  SELECT irid, icid, ifsid INTO v_irid, v_icid, v_ifsid FROM dbo.client_rec WHERE cnum = p_waybill
    ORDER BY irid LIMIT 1 FOR UPDATE;
  IF NOT FOUND THEN
    o_ret := -2;
    RETURN;
  END IF;
  IF v_ifsid > 0 THEN
    SELECT ifid INTO o_ret FROM dbo.client_fee
      WHERE ifid = v_ifsid AND cmemo = p_memo AND crefno = p_refno::citext;
    IF NOT FOUND THEN
      o_ret := -4;
    END IF;
    RETURN;
  END IF;
  BEGIN
    INSERT INTO dbo.client_fee (icid, ffee, fchg, dpdate, cdocno, cmemo, crefno, cpayway, cmoney, ntype, npayway,
      dsysdate)
    VALUES (v_icid, p_amount, p_change, p_time::timestamp::date, p_docno, p_memo, p_refno, p_payway, p_money, 1,
      LEAST(GREATEST(p_payway_code, 0), 4), LOCALTIMESTAMP(0))
    RETURNING ifid INTO o_ret;
    UPDATE dbo.client_rec SET ifsid = o_ret WHERE irid = v_irid;
  EXCEPTION
    WHEN OTHERS THEN
      o_ret := -9;
  END;
END $$;
