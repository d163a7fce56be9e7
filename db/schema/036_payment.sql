-- The payment terminals' side of the shipment records: what a courier collects on delivery
-- (client_rec.fgoods) and the fee booked for it (client_rec.ifsid, the client_fee row; cpayway the
-- terminal's pay way "POS", "CASH" or "CASH."), and the receiver and goods columns the client's
-- shipment-data request reads, with the goods lines of a shipment record.
SET client_min_messages = warning;

ALTER TABLE dbo.client_rec
  ADD COLUMN IF NOT EXISTS ifsid integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iprice integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cpaydir varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cunitname varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS caddr varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccity varchar(126) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpostcode varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cprovince varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ccountry varchar(126) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cphone varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cremail varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS crsms varchar(22) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cpacking varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS ctransnote varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS idvalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS iivalue integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cmoney varchar(3) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(254) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(10,4) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS corigin varchar(3) NOT NULL DEFAULT '';
-- The terminals look shipments up by waybill number alone.
CREATE INDEX IF NOT EXISTS client_rec_number ON dbo.client_rec (cnum);

-- The goods lines of a shipment record in the order wpos (0, 1, ...); fprice is the unit price.
CREATE TABLE IF NOT EXISTS dbo.client_rec_goods (
  irid integer NOT NULL,
  wpos smallint NOT NULL,
  PRIMARY KEY (irid, wpos)
);
ALTER TABLE dbo.client_rec_goods
  ADD COLUMN IF NOT EXISTS cgoods varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cunit varchar(15) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS iquantity integer NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fprice numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS cgoodsa varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodea varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodeb varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS cgcodec varchar(63) NOT NULL DEFAULT '',
  ADD COLUMN IF NOT EXISTS fgcustom numeric(14,2) NOT NULL DEFAULT 0,
  ADD COLUMN IF NOT EXISTS fgcrate numeric(10,4) NOT NULL DEFAULT 0;

ALTER TABLE dbo.client_fee
  ADD COLUMN IF NOT EXISTS cpayway varchar(7) NOT NULL DEFAULT '';
